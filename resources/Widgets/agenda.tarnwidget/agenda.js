'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const columns = $('columns');

  // More rows than this never fit a tile; the rest only feeds the "+N more" count.
  const MAX_ROWS = 12;
  const CHECK_ICON = '<svg viewBox="0 0 18 18" fill="none" stroke="#0c0e0f" stroke-width="2.4" ' +
                     'stroke-linecap="round" stroke-linejoin="round"><path d="M4 9.5l3.2 3.2L14 5.8"/></svg>';

  const dayFormat = Kit.dateFormat({ weekday: 'long', month: 'long', day: 'numeric' });
  const shortDateFormat = Kit.dateFormat({ weekday: 'short', month: 'short', day: 'numeric' });
  const shortDayFormat = Kit.dateFormat({ weekday: 'short' });
  const timeFormat = Kit.dateFormat({ hour: 'numeric', minute: '2-digit' });

  const panels = {
    events: { panel: $('eventsPanel'), list: $('events'), more: $('eventsMore'), extra: 0 },
    reminders: { panel: $('remindersPanel'), list: $('reminders'), more: $('remindersMore'), extra: 0 },
  };

  let state = null;
  let receivedAt = 0;
  let renderedKey = '';
  const completing = new Set();   // reminder ids ticked off but not yet gone from the state
  const joining = new Set();

  function currentTime() {
    return state.now + (performance.now() - receivedAt);
  }

  function toast(message) {
    Kit.flash($('toast'), message);
  }

  function startOfDay(ms) {
    const d = new Date(ms);
    d.setHours(0, 0, 0, 0);
    return d.getTime();
  }

  function dayOffset(ms, now) {
    return Math.round((startOfDay(ms) - startOfDay(now)) / 86400000);
  }

  function element(tag, className, text) {
    const el = document.createElement(tag);
    if (className) {
      el.className = className;
    }
    if (text !== undefined) {
      el.textContent = text;
    }
    return el;
  }

  function setState(name, title, detail, button) {
    const box = $(name + 'State');
    box.hidden = !title;
    if (title) {
      $(name + 'StateTitle').textContent = title;
      $(name + 'StateDetail').textContent = detail;
      $(name === 'events' ? 'connectCalendar' : 'connectReminders').hidden = !button;
    }
  }

  // ---- Events

  function eventRow(event, now) {
    const live = event.start <= now && !event.allDay;
    const minutes = Math.ceil((event.start - now) / 60000);
    const soon = !live && !event.allDay && minutes <= 15;
    const row = element('div', 'row event' + (live ? ' live' : '') + (soon ? ' soon' : ''));

    const time = element('div', 'time');
    if (event.allDay) {
      time.append(element('span', 'start', 'All day'));
    } else if (live) {
      time.append(element('span', 'start', 'Now'), element('span', 'end', 'until ' + timeFormat.format(new Date(event.end))));
    } else {
      time.append(element('span', 'start', timeFormat.format(new Date(event.start))),
                  element('span', 'end', timeFormat.format(new Date(event.end))));
    }

    const body = element('div', 'body');
    body.append(element('div', 'title', event.title || 'Untitled event'));
    const details = [];
    if (soon) {
      details.push(minutes <= 0 ? 'Starting now' : 'In ' + minutes + ' min');
    }
    if (event.calendar) {
      details.push(event.calendar);
    }
    // Narrow tiles drop the time column; the time then leads the detail line instead.
    const inline = event.allDay ? 'All day'
      : live ? 'Now · until ' + timeFormat.format(new Date(event.end))
      : timeFormat.format(new Date(event.start));
    const meta = element('div', 'meta');
    meta.append(element('span', 'inline-time', inline + (details.length ? ' · ' : '')),
                document.createTextNode(details.join(' · ')));
    body.append(meta);

    row.append(time, element('div', 'bar'), body);

    if (event.joinable === true && event.id) {
      const join = element('button', 'tarn-button primary join', joining.has(event.id) ? 'Joining…' : 'Join');
      join.setAttribute('data-tarn-control', '');
      join.disabled = joining.has(event.id);
      join.addEventListener('click', () => {
        joining.add(event.id);
        join.disabled = true;
        join.textContent = 'Joining…';
        Tarn.command('calendar.join', { id: event.id })
          .catch((error) => toast(error.message))
          .finally(() => {
            joining.delete(event.id);
            join.disabled = false;
            join.textContent = 'Join';
          });
      });
      row.append(join);
    }
    return row;
  }

  function renderEvents(now) {
    const p = panels.events;
    p.list.replaceChildren();
    p.extra = 0;
    const calendar = state.calendar;
    if (!calendar || typeof calendar !== 'object') {
      setState('events', 'Calendar unavailable', 'This dashboard has no calendar to show.', false);
      return;
    }
    if (calendar.authorized !== true) {
      setState('events', 'No calendar access', calendar.message || 'Connect your calendar to see today’s events.', true);
      return;
    }
    const all = (Array.isArray(calendar.events) ? calendar.events : [])
      .filter((e) => e && typeof e.start === 'number' && typeof e.end === 'number' && e.end > now);
    // Timed events first: on a small tile the next meeting matters more than an all-day banner.
    const todays = all.filter((e) => dayOffset(e.start, now) <= 0);
    const today = todays.filter((e) => !e.allDay).concat(todays.filter((e) => e.allDay));
    if (today.length === 0) {
      const next = all.find((e) => !e.allDay) || all[0];
      let detail = 'Your calendar is clear for the coming week.';
      if (next) {
        const offset = dayOffset(next.start, now);
        const day = offset === 1 ? 'Tomorrow' : shortDayFormat.format(new Date(next.start));
        detail = 'Next: ' + day + (next.allDay ? '' : ', ' + timeFormat.format(new Date(next.start))) +
                 ' · ' + (next.title || 'Untitled event');
      }
      setState('events', 'Nothing scheduled today', detail, false);
      return;
    }
    setState('events', null);
    p.list.append(...today.slice(0, MAX_ROWS).map((e) => eventRow(e, now)));
    p.extra = Math.max(0, today.length - MAX_ROWS);
  }

  // ---- Reminders

  function dueText(due, now) {
    const date = new Date(due);
    const timed = date.getHours() !== 0 || date.getMinutes() !== 0;
    const offset = dayOffset(due, now);
    let text;
    if (offset === 0) {
      text = timed ? 'Today, ' + timeFormat.format(date) : 'Today';
    } else if (offset === 1) {
      text = timed ? 'Tomorrow, ' + timeFormat.format(date) : 'Tomorrow';
    } else if (offset === -1) {
      text = 'Yesterday';
    } else {
      text = shortDateFormat.format(date);
    }
    const overdue = timed ? due < now : offset < 0;
    return { text: overdue && offset !== -1 && offset !== 0 ? 'Overdue · ' + text : text, overdue };
  }

  function reminderRow(item, now) {
    const done = completing.has(item.id);
    const row = element('div', 'row reminder' + (done ? ' done' : ''));
    const check = element('button', 'check');
    check.setAttribute('data-tarn-control', '');
    check.setAttribute('aria-label', 'Complete ' + (item.title || 'reminder'));
    check.innerHTML = CHECK_ICON;
    check.disabled = done;
    check.addEventListener('click', () => {
      if (!item.id || completing.has(item.id)) {
        return;
      }
      completing.add(item.id);
      row.classList.add('done');
      check.disabled = true;
      Tarn.command('reminders.complete', { id: item.id })
        .catch((error) => {
          completing.delete(item.id);
          row.classList.remove('done');
          check.disabled = false;
          toast(error.message);
        })
        .then(() => {
          // Forget it once the state no longer lists it, or shortly after in case it lingers.
          setTimeout(() => { completing.delete(item.id); }, 20000);
        });
    });

    const body = element('div', 'body');
    body.append(element('div', 'title', item.title || 'Untitled reminder'));
    const meta = element('div', 'meta');
    if (typeof item.due === 'number') {
      const due = dueText(item.due, now);
      meta.append(element('span', due.overdue ? 'overdue' : '', due.text));
      if (item.list) {
        meta.append(document.createTextNode(' · ' + item.list));
      }
    } else if (item.list) {
      meta.textContent = item.list;
    }
    if (meta.childNodes.length) {
      body.append(meta);
    }
    row.append(check, body);
    return row;
  }

  function renderReminders(now) {
    const p = panels.reminders;
    p.list.replaceChildren();
    p.extra = 0;
    const reminders = state.reminders;
    if (!reminders || typeof reminders !== 'object') {
      setState('reminders', 'Reminders unavailable', 'This dashboard has no reminders to show.', false);
      return;
    }
    if (reminders.authorized !== true) {
      setState('reminders', 'No reminders access', reminders.message || 'Connect to see your open reminders.', true);
      return;
    }
    const items = (Array.isArray(reminders.items) ? reminders.items : []).filter((item) => item && item.id);
    if (items.length === 0) {
      setState('reminders', 'All done', 'No open reminders.', false);
      return;
    }
    setState('reminders', null);
    p.list.append(...items.slice(0, MAX_ROWS).map((item) => reminderRow(item, now)));
    p.extra = Math.max(0, items.length - MAX_ROWS);
  }

  // ---- Fitting: show whole rows only, and say how many did not fit.

  function overflows(el) {
    return el.scrollHeight > el.clientHeight + 1;
  }

  function visibleRows(p) {
    return Array.from(p.list.children).filter((row) => !row.hidden);
  }

  function updateMore(p) {
    const hidden = p.list.children.length - visibleRows(p).length + p.extra;
    p.more.hidden = hidden === 0;
    p.more.textContent = '+' + hidden + ' more';
  }

  function hideLast(p) {
    const rows = visibleRows(p);
    rows[rows.length - 1].hidden = true;
    updateMore(p);
  }

  function fit() {
    const all = [panels.events, panels.reminders];
    for (const p of all) {
      p.panel.hidden = false;
      Array.from(p.list.children).forEach((row) => { row.hidden = false; });
      updateMore(p);
    }
    const sideBySide = getComputedStyle(columns).flexDirection === 'row';
    for (let guard = 0; guard < 2 * MAX_ROWS; guard++) {
      let target = null;
      if (sideBySide) {
        target = all.find((p) => overflows(p.panel) && visibleRows(p).length > 1);
      } else if (overflows(columns)) {
        // Trim the longer list first so both keep a share of the tile.
        const candidates = all.filter((p) => visibleRows(p).length > 1);
        candidates.sort((a, b) => visibleRows(b).length - visibleRows(a).length || (a === panels.events ? 1 : -1));
        target = candidates[0] || null;
      }
      if (!target) {
        break;
      }
      hideLast(target);
    }
    // On the smallest tiles even one row each may not fit. Rather than show a row cut in half,
    // the reminders keep only their "+N more", then give their room to the next event; last,
    // the events too keep only their count.
    const tooFull = (p) => (sideBySide ? overflows(p.panel) : overflows(columns));
    while (visibleRows(panels.reminders).length > 0 && tooFull(panels.reminders)) {
      hideLast(panels.reminders);
    }
    if (!sideBySide && tooFull(panels.events)) {
      panels.reminders.panel.hidden = true;
    }
    while (visibleRows(panels.events).length > 0 && tooFull(panels.events)) {
      hideLast(panels.events);
    }
  }

  function render(force) {
    if (!state) {
      return;
    }
    const now = currentTime();
    const key = JSON.stringify([state.calendar || null, state.reminders || null]) + '|' +
                Math.floor(now / 60000) + '|' + window.innerWidth + 'x' + window.innerHeight + '|' +
                Array.from(completing).join(',');
    if (!force && key === renderedKey) {
      return;
    }
    renderedKey = key;
    $('day').textContent = (window.innerWidth < 420 ? shortDateFormat : dayFormat).format(new Date(now));
    renderEvents(now);
    renderReminders(now);
    fit();
  }

  function connect(button, method) {
    button.addEventListener('click', () => {
      const label = button.textContent;
      button.disabled = true;
      button.textContent = 'Connecting…';
      Tarn.command(method)
        .catch((error) => toast(error.message))
        .finally(() => {
          button.disabled = false;
          button.textContent = label;
        });
    });
  }

  connect($('connectCalendar'), 'calendar.connect');
  connect($('connectReminders'), 'reminders.connect');

  window.addEventListener('resize', () => render(true));

  // Once a minute is enough to move "in 5 min" along and drop finished events.
  setInterval(() => render(false), 15000);

  Tarn.onUpdate((next) => {
    state = next;
    receivedAt = performance.now();
    if (typeof state.now !== 'number') {
      state = Object.assign({}, state, { now: Date.now() });
    }
    render(false);
  });
})();
