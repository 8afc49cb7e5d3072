// Automations: the executable files of the automations folder, each run with a tap, with what
// runs now and how the last run ended.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const toast = $('toast');
  const refresh = $('refresh');

  let asked = false;       // the list was asked for once this page is up
  let loaded = false;      // and the answer came
  let lastRun = null;      // {name, failed} of the run started here
  let automations = null;

  // "backup-photos.sh" reads as "Backup photos"; the file name stays below it.
  function label(name) {
    const base = name.replace(/\.[A-Za-z0-9]{1,5}$/, '').replace(/[-_]+/g, ' ').trim() || name;
    return base.charAt(0).toUpperCase() + base.slice(1);
  }

  function runningName(status) {
    const match = /^Running (.*)\u2026$/.exec(status);
    return match ? match[1] : null;
  }

  function run(name, button) {
    lastRun = { name, failed: false };
    Kit.act(button, toast, 'automations.run', { name }).then(ok => {
      if (lastRun && lastRun.name === name) {
        lastRun.failed = !ok;
      }
      render(window.Tarn.state);
    });
  }

  function automationRow(entry) {
    const item = Kit.element('li');
    const button = Kit.element('button', 'automation ' + entry.mark);
    button.type = 'button';
    button.setAttribute('data-tarn-control', '');
    button.disabled = entry.busy;
    const icon = Kit.element('span', 'icon');
    icon.innerHTML = entry.mark === 'running'
      ? '<svg viewBox="0 0 24 24"><circle cx="12" cy="12" r="3.5"/></svg>'
      : '<svg viewBox="0 0 24 24"><path d="M9 6.5v11l8.5-5.5z"/></svg>';
    const text = Kit.element('span', 'text');
    text.append(Kit.element('span', 'name', label(entry.name)),
                Kit.element('span', 'file', entry.note || entry.name));
    button.append(icon, text);
    button.addEventListener('click', () => run(entry.name, button));
    item.append(button);
    return item;
  }

  function render(state) {
    if (!state) {
      return;
    }
    automations = state.automations && typeof state.automations === 'object' ? state.automations : null;
    if (!automations) {
      view.message('Automations unavailable', 'This widget was not given the automations.');
      Kit.show(refresh, false);
      return;
    }
    const names = (Array.isArray(automations.shortcuts) ? automations.shortcuts : [])
      .filter(name => typeof name === 'string' && name);
    const status = typeof automations.status === 'string' ? automations.status : '';
    const running = runningName(status);
    Kit.show(refresh, true);
    Kit.text($('count'), names.length ? Kit.count(names.length, 'automation', 'automations') : '');
    Kit.text($('status'), status);
    Kit.flag($('status-line'), 'running', running !== null);
    Kit.flag($('status-line'), 'failed', Boolean(lastRun && lastRun.failed && !running));

    Kit.show($('status-line'), names.length > 0);
    if (names.length === 0) {
      // Until the first listing answers, the status still asks for a refresh.
      view.message(loaded ? 'No automations yet' : 'Looking for automations…', loaded ? status : '');
      return;
    }
    view.content();
    Kit.rows($('list'), names.map(name => {
      let mark = '';
      let note = '';
      if (name === running) {
        mark = 'running';
        note = 'Running…';
      } else if (lastRun && lastRun.name === name && !running) {
        mark = lastRun.failed ? 'failed' : 'done';
        note = lastRun.failed ? 'Failed' : 'Finished';
      }
      return { name, mark, note, busy: running !== null };
    }), automationRow);
  }

  refresh.addEventListener('click', () => Kit.act(refresh, toast, 'automations.refresh'));

  Kit.start(state => {
    if (!asked && state.automations) {
      asked = true;
      // The folder is read when asked; a page that just opened asks once.
      Kit.act(refresh, toast, 'automations.refresh').finally(() => {
        loaded = true;
        render(window.Tarn.state);
      });
    }
    render(state);
  });
})();
