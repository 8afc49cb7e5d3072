'use strict';

(function () {
  const button = document.getElementById('launch');
  const icon = document.getElementById('icon');
  const nameEl = document.getElementById('name');
  const hint = document.getElementById('hint');

  const IDLE_HINT = 'Tap to open';
  let shownSymbol = null;
  let hintTimer = 0;
  let launching = false;

  function setHint(text, isError) {
    hint.textContent = text;
    hint.classList.toggle('error', Boolean(isError));
  }

  function render(state) {
    const launcher = state && state.launcher;
    button.classList.remove('waiting');
    if (!launcher || typeof launcher !== 'object') {
      button.classList.add('unset');
      button.disabled = true;
      nameEl.textContent = 'No app';
      if (!launching) {
        setHint('Shortcuts are unavailable');
      }
      drawIcon('app');
      return;
    }
    const name = typeof launcher.name === 'string' && launcher.name ? launcher.name : 'Choose an app';
    // The configuration's own placeholder name means nothing has been picked yet.
    const unset = name === 'Choose an app';
    button.classList.toggle('unset', unset);
    button.disabled = false;
    nameEl.textContent = name;
    button.setAttribute('aria-label', 'Open ' + name);
    drawIcon(launcher.symbol || 'app');
    if (!launching && !hintTimer) {
      setHint(unset ? 'Configure in Layouts' : IDLE_HINT);
    }
  }

  function drawIcon(symbol) {
    if (symbol !== shownSymbol) {
      shownSymbol = symbol;
      icon.innerHTML = window.LauncherIcons.svg(symbol);
    }
  }

  function settleHint(text, isError, ms) {
    setHint(text, isError);
    clearTimeout(hintTimer);
    hintTimer = setTimeout(() => {
      hintTimer = 0;
      render(Tarn.state);
    }, ms);
  }

  button.addEventListener('click', () => {
    if (launching || button.disabled) {
      return;
    }
    launching = true;
    clearTimeout(hintTimer);
    hintTimer = 0;
    setHint('Opening…');
    // A touchscreen tap has no :active phase, so show the press for a moment ourselves.
    button.classList.add('pressed');
    setTimeout(() => button.classList.remove('pressed'), 180);
    Tarn.command('launcher.launch')
      .then(() => settleHint('Opened', false, 1500))
      .catch((error) => settleHint(error.message || 'Could not open the app', true, 5000))
      .finally(() => { launching = false; });
  });

  Tarn.onUpdate(render);
})();
