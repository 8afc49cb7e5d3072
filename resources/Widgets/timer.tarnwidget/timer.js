'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const root = $('timer');
  const arc = $('arc');
  const toggleButton = $('toggle');
  const lessButton = $('less');
  const moreButton = $('more');
  const resetButton = $('reset');

  const CIRCUMFERENCE = 2 * Math.PI * 90;
  const endFormat = Kit.dateFormat({ hour: 'numeric', minute: '2-digit' });

  let state = null;
  let receivedAt = 0;
  let tickTimer = 0;

  function toast(message) {
    Kit.flash($('toast'), message);
  }

  function focus() {
    const f = state && state.focus;
    return f && typeof f === 'object' && typeof f.secondsLeft === 'number' ? f : null;
  }

  // The dashboard sends the seconds left with every state; between two states a running
  // timer keeps counting here so the display never stalls.
  function secondsLeft(f) {
    if (!f.running) {
      return Math.max(0, f.secondsLeft);
    }
    const elapsed = Math.floor((performance.now() - receivedAt) / 1000);
    return Math.max(0, f.secondsLeft - elapsed);
  }

  function mmss(seconds) {
    const m = Math.floor(seconds / 60);
    const s = seconds % 60;
    return String(m).padStart(2, '0') + ':' + String(s).padStart(2, '0');
  }

  function phaseOf(f, left) {
    if (f.completed) {
      return 'completed';
    }
    if (f.running) {
      return 'running';
    }
    return left < Math.round(f.duration) ? 'paused' : 'ready';
  }

  function render() {
    const f = focus();
    const time = $('time');
    if (!f) {
      root.className = 'tarn-widget timer waiting';
      time.textContent = '--:--';
      $('phase').textContent = state ? 'Unavailable' : 'Waiting…';
      $('caption').textContent = state ? 'No focus timer here' : 'Waiting for the dashboard…';
      [toggleButton, lessButton, moreButton, resetButton].forEach((b) => { b.disabled = true; });
      return;
    }

    const left = secondsLeft(f);
    const duration = Math.max(1, Number(f.duration) || 1);
    const minutes = Math.max(1, Math.round(Number(f.minutes) || duration / 60));
    const phase = phaseOf(f, left);
    root.className = 'tarn-widget timer ' + phase;

    const fraction = phase === 'completed' ? 1 : Math.min(1, left / duration);
    arc.style.strokeDasharray = (fraction * CIRCUMFERENCE).toFixed(2) + ' ' + CIRCUMFERENCE.toFixed(2);
    arc.style.visibility = fraction > 0 ? 'visible' : 'hidden';
    $('line').style.width = (fraction * 100).toFixed(2) + '%';

    const text = phase === 'completed' ? 'Done' : mmss(left);
    time.textContent = text;
    time.classList.toggle('long', text.length > 5);

    let caption;
    let label;
    if (phase === 'completed') {
      $('phase').textContent = 'Done';
      caption = 'Time for a breather';
      label = 'Again';
    } else if (phase === 'running') {
      $('phase').textContent = 'Focusing';
      const now = typeof state.now === 'number' ? state.now + (performance.now() - receivedAt) : Date.now();
      caption = 'Ends ' + endFormat.format(new Date(now + left * 1000));
      label = 'Pause';
    } else if (phase === 'paused') {
      $('phase').textContent = 'Paused';
      caption = 'of ' + minutes + ' min';
      label = 'Resume';
    } else {
      $('phase').textContent = 'Ready';
      caption = minutes + ' minute session';
      label = 'Start';
    }
    $('caption').textContent = caption;
    toggleButton.textContent = label;
    toggleButton.disabled = false;

    // The length can only change while the clock is stopped.
    lessButton.disabled = f.running || minutes <= 1;
    moreButton.disabled = f.running || minutes >= 120;
    resetButton.disabled = phase === 'ready';
  }

  function schedule() {
    clearTimeout(tickTimer);
    const f = focus();
    if (f && f.running) {
      tickTimer = setTimeout(() => {
        render();
        schedule();
      }, 1000);
    }
  }

  function send(method, args) {
    return Tarn.command(method, args).catch((error) => toast(error.message));
  }

  // Five-minute steps, except near the bottom where single minutes matter.
  function shorter(m) {
    if (m <= 5) {
      return Math.max(1, m - 1);
    }
    return m % 5 === 0 ? m - 5 : m - (m % 5);
  }

  function longer(m) {
    if (m < 5) {
      return m + 1;
    }
    return Math.min(120, m - (m % 5) + 5);
  }

  function currentMinutes() {
    const f = focus();
    return f ? Math.max(1, Math.round(Number(f.minutes) || f.duration / 60)) : 25;
  }

  toggleButton.addEventListener('click', () => send('focus.toggle'));
  resetButton.addEventListener('click', () => send('focus.reset'));
  lessButton.addEventListener('click', () => send('focus.setMinutes', { minutes: shorter(currentMinutes()) }));
  moreButton.addEventListener('click', () => send('focus.setMinutes', { minutes: longer(currentMinutes()) }));

  Tarn.onUpdate((next) => {
    state = next;
    receivedAt = performance.now();
    render();
    schedule();
  });
})();
