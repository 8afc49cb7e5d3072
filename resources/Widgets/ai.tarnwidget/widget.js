// AI sessions: the live session of Codex or Claude Code in detail (what it does now, its
// context window, rate limits and recent actions) and the other recent sessions, any of
// which a tap brings into view.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const PROVIDERS = { codex: 'Codex', claude: 'Claude Code' };
  const timeFormat = Kit.dateFormat({ hour: 'numeric', minute: '2-digit' });
  const dayFormat = Kit.dateFormat({ weekday: 'short', hour: 'numeric', minute: '2-digit' });

  let chosen = null; // the session id tapped in the list, while it is listed

  function text(value) {
    return typeof value === 'string' ? value : '';
  }

  function activityOf(session) {
    return session.activity && typeof session.activity === 'object' ? session.activity : {};
  }

  function isLive(session) {
    return activityOf(session).active === true || session.status === 'Working';
  }

  // The session shown in detail: the one tapped, else the newest live one, else the newest.
  function focused(sessions) {
    return sessions.find(session => session.id === chosen) ||
           sessions.find(isLive) || sessions[0];
  }

  function statusKind(session) {
    if (isLive(session)) {
      return 'working';
    }
    return { Completed: 'completed', Interrupted: 'interrupted' }[session.status] || 'quiet';
  }

  function windowName(minutes) {
    const value = Kit.amount(minutes);
    if (!value) {
      return 'Limit';
    }
    if (value >= 10080 && value % 10080 === 0) {
      return value === 10080 ? 'Weekly limit' : value / 10080 + '-week limit';
    }
    if (value >= 60) {
      return Math.round(value / 60) + ' h limit';
    }
    return Math.round(value) + ' min limit';
  }

  function resetText(resets, nowSeconds) {
    const value = Kit.amount(resets);
    if (!value) {
      return '';
    }
    const date = new Date(value * 1000);
    return 'resets ' + (value - nowSeconds < 86400 ? timeFormat : dayFormat).format(date);
  }

  function seconds(value) {
    const amount = Kit.amount(value);
    if (amount === null) {
      return '';
    }
    return amount < 60 ? Math.round(amount) + ' s' : Kit.duration(amount);
  }

  function renderUsage(session) {
    const context = Kit.amount(session.context);
    const contextWindow = Kit.amount(session.window);
    const reply = Kit.amount(session.responseTokens);
    let label = 'Tokens';
    let figure = '';
    let fraction = null;
    if (context !== null && contextWindow) {
      label = 'Context';
      fraction = Math.min(1, context / contextWindow);
      figure = Kit.compact(context) + ' of ' + Kit.compact(contextWindow);
    } else if (reply !== null) {
      label = 'Last reply';
      figure = Kit.compact(reply) + ' tokens';
    }
    const totals = [];
    if (Kit.amount(session.total) !== null) {
      totals.push(Kit.compact(session.total) + ' total');
    }
    if (Kit.amount(session.input) !== null) {
      totals.push(Kit.compact(session.input) + ' in');
    }
    if (Kit.amount(session.output) !== null) {
      totals.push(Kit.compact(session.output) + ' out');
    }
    if (Kit.amount(session.cached) !== null) {
      totals.push(Kit.compact(session.cached) + ' cached');
    }
    Kit.show($('usage'), Boolean(figure || totals.length));
    Kit.text($('usage-label'), label);
    Kit.text($('usage-figure'), figure);
    Kit.show($('usage-bar-box'), fraction !== null);
    Kit.fill($('usage-bar'), fraction);
    Kit.flag($('usage-bar-box'), 'high', fraction !== null && fraction >= 0.85);
    Kit.text($('tokens'), totals.join(' · '));
  }

  function limitRow(limit) {
    const row = Kit.element('div', 'limit' + (limit.used >= 90 ? ' high' : ''));
    const head = Kit.element('div', 'usage-head');
    head.append(Kit.element('span', 'label', limit.name), Kit.element('span', 'figure', limit.figure));
    const bar = Kit.element('div', 'tarn-bar');
    const fill = Kit.element('span');
    Kit.fill(fill, limit.used / 100);
    bar.append(fill);
    row.append(head, bar);
    return row;
  }

  function recentRow(entry) {
    const item = Kit.element('li', entry.failed ? 'failed' : '');
    item.append(Kit.element('i', 'mark'), Kit.element('span', 'what', entry.label),
                Kit.element('span', 'how', entry.detail));
    return item;
  }

  function sessionRow(entry) {
    const item = Kit.element('li');
    const button = Kit.element('button', 'session ' + entry.kind + (entry.focused ? ' focused' : ''));
    button.type = 'button';
    button.setAttribute('data-tarn-control', '');
    button.setAttribute('aria-pressed', String(entry.focused));
    const line = Kit.element('span', 'line');
    line.append(Kit.element('i', 'dot'), Kit.element('span', 'name', entry.project),
                Kit.element('span', 'age', entry.age));
    button.append(line, Kit.element('span', 'detail', entry.detail));
    button.addEventListener('click', () => {
      chosen = entry.id;
      render(window.Tarn.state);
    });
    item.append(button);
    return item;
  }

  function renderFocus(session, now) {
    const activity = activityOf(session);
    const kind = statusKind(session);
    Kit.text($('provider'), PROVIDERS[session.provider] || text(session.provider));
    Kit.text($('status-text'), text(session.status) || 'Unknown');
    for (const name of ['working', 'completed', 'interrupted', 'quiet']) {
      Kit.flag($('status'), name, kind === name);
    }
    Kit.text($('project'), text(session.project));
    const updated = Kit.number(session.updated);
    Kit.text($('model'), [text(session.model), updated ? Kit.ago(now - updated) : ''].filter(Boolean).join(' · '));
    const operation = text(activity.operation);
    const since = Kit.number(activity.since);
    Kit.show($('doing'), Boolean(operation));
    Kit.text($('operation'), operation);
    Kit.text($('since'), activity.active === true && since ? 'for ' + Kit.duration(now - since) : '');
    Kit.flag($('doing'), 'live', activity.active === true);
    renderUsage(session);

    const limits = (Array.isArray(session.limits) ? session.limits : [])
      .filter(limit => limit && Kit.number(limit.used) !== null)
      .map(limit => ({
        name: windowName(limit.minutes),
        used: Math.min(100, Math.max(0, limit.used)),
        figure: [Kit.percent(limit.used) + '\u00a0%', resetText(limit.resets, now)].filter(Boolean).join(' · '),
      }));
    Kit.rows($('limits'), limits, limitRow);
    Kit.show($('limits'), limits.length > 0);

    const recent = (Array.isArray(activity.recent) ? activity.recent : [])
      .filter(entry => entry && typeof entry.label === 'string')
      .map(entry => ({
        label: entry.label,
        failed: entry.failed === true,
        detail: [entry.failed === true ? 'failed' : '', seconds(entry.duration),
                 Kit.number(entry.at) ? Kit.ago(now - entry.at) : ''].filter(Boolean).join(' · '),
      }));
    Kit.rows($('recent'), recent, recentRow);
    Kit.show($('recent-box'), recent.length > 0);
  }

  function render(state) {
    if (!state) {
      return;
    }
    const ai = state.ai && typeof state.ai === 'object' ? state.ai : null;
    if (!ai) {
      Kit.text($('summary'), '');
      view.message('AI sessions unavailable', 'This widget was not given the session state.');
      return;
    }
    const sessions = (Array.isArray(ai.sessions) ? ai.sessions : [])
      .filter(session => session && typeof session.id === 'string');
    const now = (Kit.number(state.now) || Date.now()) / 1000;
    if (sessions.length === 0) {
      Kit.text($('summary'), '');
      const message = text(ai.message);
      const looking = message === '' || /^Looking/.test(message);
      view.message(looking ? 'Looking for sessions…' : 'No sessions found', looking ? '' : message);
      return;
    }
    view.content();
    if (chosen && !sessions.some(session => session.id === chosen)) {
      chosen = null;
    }
    const focus = focused(sessions);
    const live = sessions.filter(isLive).length;
    Kit.text($('summary'), live ? live + ' working' : Kit.count(sessions.length, 'session', 'sessions'));
    renderFocus(focus, now);

    Kit.rows($('list'), sessions.map(session => ({
      id: session.id,
      project: text(session.project),
      kind: statusKind(session),
      focused: session === focus,
      age: Kit.number(session.updated) ? Kit.ago(now - session.updated) : '',
      detail: [PROVIDERS[session.provider] || text(session.provider), text(session.status)]
        .filter(Boolean).join(' · '),
    })), sessionRow);
    const counts = Object.keys(PROVIDERS)
      .map(key => [PROVIDERS[key], sessions.filter(session => session.provider === key).length])
      .filter(([, count]) => count > 0)
      .map(([name, count]) => name + ' ' + count);
    Kit.text($('found'), 'Newest transcripts: ' + counts.join(' · '));
  }

  Kit.start(render);
})();
