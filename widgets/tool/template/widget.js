// Shows the focus timer and starts or pauses it. `Tarn` comes from the Tablora SDK, which the
// dashboard injects before this script runs; the state holds what the manifest's permissions allow.
const time = document.getElementById('time');
const toggle = document.getElementById('toggle');

function twoDigits(number) {
  return String(number).padStart(2, '0');
}

Tarn.onUpdate(state => {
  document.documentElement.style.setProperty('--accent', state.theme.accent);
  const focus = state.focus;
  time.textContent = `${twoDigits(Math.floor(focus.secondsLeft / 60))}:${twoDigits(focus.secondsLeft % 60)}`;
  toggle.textContent = focus.running ? 'Pause' : 'Start';
});

function toggleTimer() {
  Tarn.command('focus.toggle').catch(error => console.warn(error.message));
}

toggle.addEventListener('click', toggleTimer);

// On the touchscreen, taps reach the page through the controls it reports.
function reportControls() {
  const box = toggle.getBoundingClientRect();
  Tarn.controls([{ id: 1, x: box.x, y: box.y, width: box.width, height: box.height, enabled: true }]);
}
Tarn.onActivate(1, toggleTimer);
new ResizeObserver(reportControls).observe(document.body);
