'use strict';

(function () {
  const area = document.getElementById('text');
  const status = document.getElementById('status');
  const fade = document.getElementById('fade');

  const SAVE_DELAY = 600;
  const EMPTY_PLACEHOLDER = 'Nothing noted yet. Tap here and type…';

  let saveTimer = 0;
  let statusTimer = 0;
  let dirty = false;       // typed text the dashboard has not stored yet

  function setStatus(text, kind, ms) {
    clearTimeout(statusTimer);
    status.textContent = text;
    status.className = 'status' + (kind ? ' ' + kind : '');
    if (ms) {
      statusTimer = setTimeout(() => setStatus('', ''), ms);
    }
  }

  function save() {
    clearTimeout(saveTimer);
    saveTimer = 0;
    if (!dirty) {
      return;
    }
    const text = area.value;
    setStatus('Saving…', 'saving');
    Tarn.command('notes.set', { text })
      .then(() => {
        // Typing may have gone on while this was in flight; only then is there more to send.
        if (area.value === text) {
          dirty = false;
          setStatus('Saved', '', 1500);
        }
      })
      .catch((error) => {
        setStatus('Not saved: ' + error.message, 'error', 6000);
      });
  }

  function updateFade() {
    fade.hidden = area.scrollTop + area.clientHeight >= area.scrollHeight - 4;
  }

  area.addEventListener('scroll', updateFade);
  window.addEventListener('resize', updateFade);

  area.addEventListener('input', () => {
    updateFade();
    dirty = true;
    setStatus('Edited', '');
    clearTimeout(saveTimer);
    saveTimer = setTimeout(save, SAVE_DELAY);
  });

  area.addEventListener('blur', save);

  // A touchscreen tap arrives as a click without focus; give the field the caret.
  area.addEventListener('click', () => {
    if (!area.disabled && document.activeElement !== area) {
      area.focus();
      area.setSelectionRange(area.value.length, area.value.length);
    }
  });

  Tarn.onUpdate((state) => {
    if (typeof state.note !== 'string') {
      area.disabled = true;
      area.value = '';
      area.placeholder = 'Notes are unavailable here.';
      return;
    }
    area.disabled = false;
    area.placeholder = EMPTY_PLACEHOLDER;
    // Never replace what is being typed; the dashboard's copy catches up after the save.
    if (document.activeElement === area || dirty) {
      return;
    }
    if (area.value !== state.note) {
      area.value = state.note;
      updateFade();
    }
  });
})();
