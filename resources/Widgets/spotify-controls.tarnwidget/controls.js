'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const player = $('player');
  const toggleButton = $('toggle');
  const connectButton = $('connect');
  const VOLUME_STEP = 10;

  let spotify = null;
  let receivedAt = 0;
  let pendingVolume = null;   // shown until the player reports the new level
  let progressTimer = 0;
  let connecting = false;

  function toast(message) {
    Kit.flash($('toast'), message);
  }

  function clock(seconds) {
    const total = Math.max(0, Math.floor(seconds));
    const h = Math.floor(total / 3600);
    const m = Math.floor((total % 3600) / 60);
    const s = String(total % 60).padStart(2, '0');
    return h > 0 ? h + ':' + String(m).padStart(2, '0') + ':' + s : m + ':' + s;
  }

  function number(value) {
    return typeof value === 'number' && isFinite(value) ? value : null;
  }

  function text(value) {
    return typeof value === 'string' ? value : '';
  }

  // Whether the player can do something; a state without the key comes from a player that can.
  function can(key) {
    return !spotify || spotify[key] !== false;
  }

  // The player a message speaks of, for the title above it and the button under it.
  function playerIn(message) {
    const found = /^Open (.+) to resume/.exec(message) ||
      /^Tablora may not control (.+?):/.exec(message) ||
      /^(.+?) didn’t respond/.exec(message) || /^([^:]+): /.exec(message);
    return found ? found[1] : 'Spotify';
  }

  function showMessage(title, message, buttonLabel) {
    player.classList.add('empty');
    $('source').textContent = '';
    $('messageTitle').textContent = title;
    $('messageText').textContent = message;
    connectButton.hidden = !buttonLabel;
    if (buttonLabel && !connecting) {
      connectButton.textContent = buttonLabel;
    }
  }

  // The player reports its position once a second at best; between reports a playing
  // track is assumed to advance in real time.
  function renderProgress() {
    if (!spotify || spotify.connected !== true) {
      return;
    }
    const duration = number(spotify.duration) || 0;
    let position = number(spotify.position) || 0;
    if (spotify.playing === true) {
      position += (performance.now() - receivedAt) / 1000;
    }
    const progress = $('progress');
    if (duration <= 0) {
      progress.classList.add('unknown');
      $('elapsed').textContent = clock(position);
      $('remaining').textContent = '--:--';
      return;
    }
    position = Math.min(position, duration);
    progress.classList.remove('unknown');
    $('bar').style.width = (100 * position / duration).toFixed(2) + '%';
    $('elapsed').textContent = clock(position);
    $('remaining').textContent = '-' + clock(duration - position);
  }

  function renderVolume() {
    const reported = number(spotify.volume);
    const volume = pendingVolume !== null ? pendingVolume : reported;
    const box = $('volume');
    box.classList.toggle('unknown', volume === null);
    $('volumeBar').style.width = (volume === null ? 0 : Math.max(0, Math.min(100, volume))) + '%';
    $('volumeValue').textContent = volume === null ? '–' : String(Math.round(volume));
    $('volumeDown').disabled = !can('canSetVolume') || volume === null || volume <= 0;
    $('volumeUp').disabled = !can('canSetVolume') || volume === null || volume >= 100;
  }

  // What the player cannot do is greyed out: a tap on it would only bring an error.
  function renderAbilities(playing) {
    toggleButton.disabled = !can(playing ? 'canPause' : 'canPlay');
    $('previous').disabled = !can('canGoPrevious');
    $('next').disabled = !can('canGoNext');
    $('shuffle').disabled = !can('canShuffle');
    $('repeat').disabled = !can('canRepeat');
  }

  function render(state) {
    clearTimeout(progressTimer);
    spotify = state && state.spotify;
    receivedAt = performance.now();
    if (!spotify || typeof spotify !== 'object') {
      showMessage('Music unavailable', 'This dashboard cannot reach a music player.', null);
      return;
    }
    if (spotify.connected !== true) {
      const message = text(spotify.message) || 'Connect Spotify to control the desktop app.';
      const name = playerIn(message);
      const retrying = /retrying/i.test(message);
      const notRunning = /^open /i.test(message);
      showMessage(name + (notRunning ? ' isn’t open' : ' isn’t connected'), message,
                  retrying ? null : (notRunning ? 'Open ' : 'Connect ') + name);
      return;
    }

    player.classList.remove('empty');
    connectButton.hidden = true;
    const name = text(spotify.player) || 'Spotify';
    $('source').textContent = '· ' + name;
    const title = text(spotify.title);
    $('title').textContent = title || 'Nothing playing';
    $('artist').textContent = text(spotify.artist) || (title ? 'Unknown artist' : 'Play a track in ' + name);
    $('album').textContent = text(spotify.album);

    const playing = spotify.playing === true;
    const status = $('status');
    status.classList.toggle('playing', playing);
    status.textContent = playing ? 'Playing' : 'Paused';
    toggleButton.classList.toggle('playing', playing);
    toggleButton.setAttribute('aria-label', playing ? 'Pause' : 'Play');

    $('shuffle').classList.toggle('on', spotify.shuffle === true);
    $('repeat').classList.toggle('on', spotify.repeat === true);

    renderAbilities(playing);
    renderVolume();
    renderProgress();
    if (playing) {
      progressTimer = setTimeout(function step() {
        renderProgress();
        progressTimer = setTimeout(step, 1000);
      }, 1000);
    }
  }

  function control(action, value) {
    const args = { action };
    if (value !== undefined) {
      args.value = value;
    }
    return Tarn.command('spotify.control', args).catch((error) => {
      toast(error.message);
      throw error;
    });
  }

  function wire(id, action) {
    $(id).addEventListener('click', () => { control(action).catch(() => {}); });
  }

  toggleButton.addEventListener('click', () => {
    // Flip at once so the tap feels answered; the next state confirms or corrects it.
    toggleButton.classList.toggle('playing');
    control('toggle').catch(() => render(Tarn.state));
  });
  wire('previous', 'previous');
  wire('next', 'next');
  wire('shuffle', 'shuffle');
  wire('repeat', 'repeat');

  function nudgeVolume(direction) {
    if (!spotify) {
      return;
    }
    const current = pendingVolume !== null ? pendingVolume : number(spotify.volume);
    if (current === null) {
      return;
    }
    // Step to the next multiple of ten so repeated taps land on round levels.
    const target = direction > 0
      ? Math.min(100, Math.floor(current / VOLUME_STEP) * VOLUME_STEP + VOLUME_STEP)
      : Math.max(0, Math.ceil(current / VOLUME_STEP) * VOLUME_STEP - VOLUME_STEP);
    pendingVolume = target;
    renderVolume();
    control('volume', target)
      .catch(() => {})
      .finally(() => {
        if (pendingVolume === target) {
          pendingVolume = null;
        }
        if (spotify) {
          renderVolume();
        }
      });
  }

  $('volumeDown').addEventListener('click', () => nudgeVolume(-1));
  $('volumeUp').addEventListener('click', () => nudgeVolume(1));

  connectButton.addEventListener('click', () => {
    if (connecting) {
      return;
    }
    connecting = true;
    const label = connectButton.textContent;
    connectButton.disabled = true;
    connectButton.textContent = 'Connecting…';
    Tarn.command('spotify.connect')
      .catch((error) => toast(error.message))
      .finally(() => {
        connecting = false;
        connectButton.disabled = false;
        connectButton.textContent = label;
      });
  });

  Tarn.onUpdate(render);
})();
