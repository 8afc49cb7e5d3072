// Sound: the default output's volume and mute, switching the output by a tap, and a live
// microphone level while the meter is on.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const toast = $('toast');
  const STEPS = 10;
  const NUDGE = 0.05;

  let audio = null;
  let pendingVolume = null;  // shown from the tap until the dashboard answers
  let pendingOutput = null;

  // The track is made of tap targets, one per tenth, so a tap anywhere on it sets that level
  // even on the touchscreen, where taps arrive as clicks without a position.
  const steps = $('steps');
  for (let index = 1; index <= STEPS; index += 1) {
    const step = Kit.element('button', 'step');
    step.type = 'button';
    step.setAttribute('data-tarn-control', '');
    step.setAttribute('aria-label', 'Volume ' + index * 10 + ' %');
    step.addEventListener('click', () => setVolume(index / STEPS));
    steps.append(step);
  }

  function volumeShown() {
    return pendingVolume !== null ? pendingVolume : Kit.number(audio && audio.volume);
  }

  function setVolume(value) {
    if (Kit.number(audio && audio.volume) === null) {
      return;
    }
    const target = Math.round(Math.min(1, Math.max(0, value)) * 100) / 100;
    pendingVolume = target;
    renderVolume();
    Kit.act(null, toast, 'audio.volume', { value: target }).finally(() => {
      if (pendingVolume === target) {
        pendingVolume = null;
      }
      renderVolume();
    });
  }

  function renderVolume() {
    if (!audio) {
      return;
    }
    const volume = volumeShown();
    const fixed = volume === null;
    const muted = audio.muted === true;
    Kit.text($('percent'), fixed ? 'Fixed' : String(Math.round(volume * 100)));
    Kit.text($('percent-unit'), fixed ? '' : '%');
    Kit.flag($('volume'), 'muted', muted);
    Kit.fill($('fill'), fixed ? 0 : volume);
    Kit.text($('volume-note'), fixed ? 'This output has fixed volume' : muted ? 'Muted' : '');
    for (const button of [$('down'), $('up'), ...steps.children]) {
      if (button.disabled !== fixed) {
        button.disabled = fixed;
      }
    }
    const mute = $('mute');
    const canMute = audio.canMute === true;
    if (mute.disabled === canMute) {
      mute.disabled = !canMute;
    }
    if (mute.getAttribute('aria-pressed') !== String(muted)) {
      mute.setAttribute('aria-pressed', String(muted));
      mute.setAttribute('aria-label', muted ? 'Unmute' : 'Mute');
    }
  }

  function outputRow(output) {
    const item = Kit.element('li');
    const button = Kit.element('button', 'output' + (output.current ? ' current' : ''));
    button.type = 'button';
    button.setAttribute('data-tarn-control', '');
    button.setAttribute('aria-pressed', String(output.current));
    button.append(Kit.element('i', 'check'), Kit.element('span', 'name', output.name));
    button.addEventListener('click', () => {
      if (output.current) {
        return;
      }
      pendingOutput = output.id;
      renderOutputs();
      Kit.act(button, toast, 'audio.output', { id: output.id }).finally(() => {
        pendingOutput = null;
        renderOutputs();
      });
    });
    item.append(button);
    return item;
  }

  function renderOutputs() {
    const list = Array.isArray(audio.outputs) ? audio.outputs : [];
    const current = pendingOutput !== null ? pendingOutput : audio.output;
    const items = list
      .filter(output => output && typeof output.id === 'string')
      .map(output => ({
        id: output.id,
        name: typeof output.name === 'string' && output.name ? output.name : 'Audio device',
        current: output.id === current,
      }));
    Kit.rows($('outputs'), items, outputRow);
    const chosen = items.find(output => output.current);
    Kit.text($('device'), chosen ? chosen.name : 'No default output');
  }

  function renderMicrophone() {
    const live = audio.microphone === true;
    const level = live ? Math.min(1, Math.max(0, Kit.number(audio.level) || 0)) : 0;
    const meter = $('meter');
    const scale = 'scaleX(' + level.toFixed(3) + ')';
    if (meter.__scale !== scale) {
      meter.__scale = scale;
      meter.style.transform = scale;
    }
    // The bar glides between the once-a-second readings only while the meter is live.
    Kit.flag($('microphone'), 'live', live);
    Kit.text($('mic-message'), typeof audio.microphoneMessage === 'string' ? audio.microphoneMessage : '');
    Kit.text($('mic'), live ? 'Turn off' : 'Turn on');
    if ($('mic').getAttribute('aria-pressed') !== String(live)) {
      $('mic').setAttribute('aria-pressed', String(live));
    }
  }

  function render(state) {
    audio = state.audio && typeof state.audio === 'object' ? state.audio : null;
    if (!audio) {
      Kit.text($('device'), '');
      view.message('Sound unavailable', 'This widget was not given the sound state.');
      return;
    }
    const outputs = Array.isArray(audio.outputs) ? audio.outputs : [];
    if (outputs.length === 0 && Kit.number(audio.volume) === null) {
      Kit.text($('device'), '');
      view.message('No sound server',
                   'Outputs appear here while PulseAudio or PipeWire is running.');
      return;
    }
    view.content();
    renderOutputs();
    renderVolume();
    renderMicrophone();
  }

  $('mute').addEventListener('click', () => Kit.act($('mute'), toast, 'audio.mute'));
  $('down').addEventListener('click', () => {
    const volume = volumeShown();
    if (volume !== null) {
      setVolume(Math.ceil(volume / NUDGE - 0.01) * NUDGE - NUDGE);
    }
  });
  $('up').addEventListener('click', () => {
    const volume = volumeShown();
    if (volume !== null) {
      setVolume(Math.floor(volume / NUDGE + 0.01) * NUDGE + NUDGE);
    }
  });
  $('mic').addEventListener('click', () => Kit.act($('mic'), toast, 'audio.microphone'));

  Kit.start(render);
})();
