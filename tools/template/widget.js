// Shows the focus timer and starts or pauses it. `Tarn` comes from the widget SDK; the state
// holds what the manifest's permissions allow ("focus" here).
const time = document.getElementById('time');
const toggle = document.getElementById('toggle');
const notice = document.getElementById('notice');

function clock(seconds) {
  return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

Tarn.onUpdate(state => {
  time.textContent = clock(state.focus.secondsLeft);
  toggle.textContent = state.focus.running ? 'Pause' : 'Start';
});

// data-tarn-control makes the button answer taps on the touchscreen too.
toggle.addEventListener('click', () => {
  Tarn.command('focus.toggle')
    .then(() => { notice.textContent = ''; })
    .catch(error => { notice.textContent = error.message; });
});
