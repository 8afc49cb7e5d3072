'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const art = $('art');
  const covers = [$('coverA'), $('coverB')];
  const connectButton = $('connect');

  // The dashboard reads the player's cover itself and serves it here; nothing else would load.
  const ARTWORK_PATH = '/_tarn/artwork/';

  const PLAY_ICON = '<svg viewBox="0 0 14 14" fill="currentColor"><path d="M3 1.8v10.4L12 7z"/></svg>';
  const PAUSE_ICON = '<svg viewBox="0 0 14 14" fill="currentColor"><rect x="2.5" y="2" width="3.2" height="10" rx="0.8"/><rect x="8.3" y="2" width="3.2" height="10" rx="0.8"/></svg>';

  let wantedUrl = '';
  let shown = -1;        // index of the cover on screen, or -1 for the placeholder
  let connecting = false;

  function toast(message) {
    Kit.flash($('toast'), message);
  }

  function showPlaceholder() {
    shown = -1;
    covers.forEach((img) => { img.hidden = true; });
  }

  // Load into the hidden image and swap when it is ready, so a track change never flashes.
  function setArtwork(url) {
    if (url === wantedUrl) {
      return;
    }
    wantedUrl = url;
    if (!url) {
      showPlaceholder();
      return;
    }
    const next = covers[shown === 0 ? 1 : 0];
    next.onload = () => {
      if (wantedUrl !== url) {
        return;
      }
      next.hidden = false;
      covers.forEach((img) => { if (img !== next) { img.hidden = true; } });
      shown = covers.indexOf(next);
    };
    next.onerror = () => {
      if (wantedUrl === url) {
        showPlaceholder();
      }
    };
    next.src = url;
  }

  // The player a message speaks of, for the title above it and the button under it.
  function playerIn(message) {
    const found = /^Open (.+) to resume/.exec(message) ||
      /^Tablora may not control (.+?):/.exec(message) ||
      /^(.+?) didn’t respond/.exec(message) || /^([^:]+): /.exec(message);
    return found ? found[1] : 'Spotify';
  }

  function showMessage(title, text, buttonLabel) {
    art.classList.add('empty');
    $('messageTitle').textContent = title;
    $('messageText').textContent = text;
    connectButton.hidden = !buttonLabel;
    if (buttonLabel && !connecting) {
      connectButton.textContent = buttonLabel;
    }
    setArtwork('');
  }

  function render(state) {
    const spotify = state && state.spotify;
    if (!spotify || typeof spotify !== 'object') {
      showMessage('Spotify unavailable', 'This dashboard cannot reach a music player.', null);
      return;
    }
    if (spotify.connected !== true) {
      const message = typeof spotify.message === 'string' && spotify.message
        ? spotify.message : 'Connect Spotify to see what’s playing.';
      const name = playerIn(message);
      // While the service is retrying on its own a button would only get in the way.
      const retrying = /retrying/i.test(message);
      const notRunning = /^open /i.test(message);
      showMessage(name + (notRunning ? ' isn’t open' : ' isn’t connected'), message,
                  retrying ? null : (notRunning ? 'Open ' + name : 'Connect'));
      return;
    }
    const name = typeof spotify.player === 'string' && spotify.player ? spotify.player : 'Spotify';
    const title = typeof spotify.title === 'string' ? spotify.title : '';
    if (!title) {
      showMessage('Nothing playing', 'Play a track in ' + name + ' to see its artwork.', null);
      return;
    }
    art.classList.remove('empty');
    connectButton.hidden = true;
    const url = typeof spotify.artwork === 'string' && spotify.artwork.startsWith(ARTWORK_PATH)
      ? spotify.artwork : '';
    setArtwork(url);

    const status = $('status');
    const playing = spotify.playing === true;
    status.classList.toggle('paused', !playing);
    status.innerHTML = playing ? PLAY_ICON : PAUSE_ICON;
    status.append(document.createTextNode(playing ? 'Playing' : 'Paused'));
    const source = document.createElement('span');
    source.className = 'source';
    source.textContent = '· ' + name;
    status.append(source);
    $('title').textContent = title;
    $('artist').textContent = [spotify.artist, spotify.album].filter((s) => typeof s === 'string' && s).join(' — ');
  }

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
