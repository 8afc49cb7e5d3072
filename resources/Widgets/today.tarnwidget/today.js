'use strict';

(function () {
  const $ = (id) => document.getElementById(id);
  const widget = $('widget');
  const clock = $('clock');
  const timeEl = $('time');
  const periodEl = $('period');
  const eventsEl = $('events');
  const moreEl = $('more');
  const notice = $('notice');
  const connectButton = $('connect');

  let state = null;
  let receivedAt = 0;
  let eventsKey = '';
  let tickTimer = 0;

  const weekdayFormat = Kit.dateFormat({ weekday: 'long', month: 'long', day: 'numeric' });
  const compactDateFormat = Kit.dateFormat({ weekday: 'short', month: 'short', day: 'numeric' });
  const shortDayFormat = Kit.dateFormat({ weekday: 'short' });
  const timeFormat = Kit.dateFormat({ hour: 'numeric', minute: '2-digit' });
  const secondsFormat = Kit.dateFormat({ hour: 'numeric', minute: '2-digit', second: '2-digit' });

  // The dashboard's clock is the reference; between two states we only add the time elapsed
  // since the last one, so a stalled host never shows a wrong minute for long.
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

  function renderClock(now) {
    const parts = (state.showSeconds ? secondsFormat : timeFormat).formatToParts(new Date(now));
    let main = '';
    let seconds = '';
    let period = '';
    let pendingLiteral = '';
    for (const piece of parts) {
      if (piece.type === 'dayPeriod') {
        period = piece.value;
      } else if (piece.type === 'second') {
        seconds = pendingLiteral + piece.value;
        pendingLiteral = '';
      } else if (piece.type === 'literal') {
        pendingLiteral = piece.value;
      } else {
        main += pendingLiteral + piece.value;
        pendingLiteral = '';
      }
    }
    timeEl.textContent = main;
    if (seconds) {
      const secondsEl = document.createElement('span');
      secondsEl.className = 'seconds';
      secondsEl.textContent = seconds;
      timeEl.appendChild(secondsEl);
    }
    periodEl.textContent = period;
    clock.classList.toggle('with-seconds', Boolean(seconds));
    clock.classList.toggle('without-period', !period);
    $('weekday').textContent = 'Today';
    const dateEl = $('date');
    dateEl.textContent = weekdayFormat.format(new Date(now));
    if (dateEl.scrollWidth > dateEl.clientWidth + 1) {
      dateEl.textContent = compactDateFormat.format(new Date(now));
    }
  }

  function describe(event, now) {
    const start = new Date(event.start);
    const end = new Date(event.end);
    const offset = dayOffset(event.start, now);
    const dayName = offset === 1 ? 'Tomorrow' : shortDayFormat.format(start);
    if (event.allDay) {
      return { text: offset <= 0 ? 'All day' : dayName + ' · All day', kind: '' };
    }
    if (event.start <= now) {
      return { text: 'Now · until ' + timeFormat.format(end), kind: 'live' };
    }
    if (offset === 0) {
      const range = timeFormat.formatRange ? timeFormat.formatRange(start, end)
                                           : timeFormat.format(start) + ' – ' + timeFormat.format(end);
      const minutes = Math.ceil((event.start - now) / 60000);
      if (minutes <= 60) {
        return { text: 'In ' + minutes + ' min · ' + range, kind: 'soon' };
      }
      return { text: range, kind: '' };
    }
    return { text: dayName + ', ' + timeFormat.format(start), kind: '' };
  }

  function upcoming(events, now) {
    const open = events.filter((e) => e && typeof e.start === 'number' && typeof e.end === 'number' && e.end > now);
    const timed = open.filter((e) => !e.allDay);
    const allDayToday = open.filter((e) => e.allDay && dayOffset(e.start, now) <= 0);
    return timed.concat(allDayToday);
  }

  function showNotice(title, detail, button) {
    eventsEl.replaceChildren();
    eventsEl.hidden = true;
    moreEl.hidden = true;
    notice.hidden = false;
    $('noticeTitle').textContent = title;
    $('noticeDetail').textContent = detail;
    connectButton.hidden = !button;
  }

  // Whole rows only: drop rows from the end until the list fits, and count what was left out.
  function fitEvents(total) {
    const rows = Array.from(eventsEl.children);
    rows.forEach((row) => { row.hidden = false; });
    const showMore = (shown) => {
      moreEl.hidden = shown === total;
      moreEl.textContent = '+' + (total - shown) + ' more';
    };
    let shown = rows.length;
    showMore(shown);
    for (let i = rows.length - 1; i > 0 && eventsEl.scrollHeight > eventsEl.clientHeight + 1; i--) {
      rows[i].hidden = true;
      shown -= 1;
      showMore(shown);
    }
  }

  function renderEvents(now) {
    const calendar = state.calendar;
    const key = JSON.stringify(calendar || null) + '|' + Math.floor(now / 60000) + '|' +
                window.innerWidth + 'x' + window.innerHeight;
    if (key === eventsKey) {
      return;
    }
    eventsKey = key;

    if (!calendar || typeof calendar !== 'object') {
      showNotice('Calendar unavailable', 'This dashboard has no calendar to show.', false);
      return;
    }
    if (calendar.authorized !== true) {
      showNotice('No calendar access',
                 calendar.message || 'Connect your calendar to see what’s next.', true);
      return;
    }
    const list = upcoming(Array.isArray(calendar.events) ? calendar.events : [], now);
    if (list.length === 0) {
      showNotice('Nothing scheduled', 'Your calendar is clear for the coming week.', false);
      return;
    }

    notice.hidden = true;
    eventsEl.hidden = false;
    const rows = list.slice(0, 4).map((event) => {
      const info = describe(event, now);
      const row = document.createElement('div');
      row.className = 'event' + (info.kind ? ' ' + info.kind : '');
      const body = document.createElement('div');
      body.className = 'event-body';
      const title = document.createElement('div');
      title.className = 'event-title';
      title.textContent = event.title || 'Untitled event';
      const when = document.createElement('div');
      when.className = 'event-when';
      when.textContent = info.text;
      body.append(title, when);
      row.append(body);
      return row;
    });
    eventsEl.replaceChildren(...rows);
    fitEvents(list.length);
  }

  function render() {
    if (!state) {
      return;
    }
    widget.classList.remove('waiting');
    const now = currentTime();
    renderClock(now);
    renderEvents(now);
  }

  function scheduleTick() {
    clearTimeout(tickTimer);
    if (!state) {
      return;
    }
    // Wake just after the next whole second, never more often than once a second.
    const delay = 1000 - (currentTime() % 1000) + 20;
    tickTimer = setTimeout(() => {
      render();
      scheduleTick();
    }, Math.max(delay, 250));
  }

  connectButton.addEventListener('click', () => {
    connectButton.disabled = true;
    connectButton.textContent = 'Connecting…';
    Tarn.command('calendar.connect')
      .catch((error) => toast(error.message))
      .finally(() => {
        connectButton.disabled = false;
        connectButton.textContent = 'Connect';
      });
  });

  window.addEventListener('resize', () => {
    eventsKey = '';
    render();
  });

  Tarn.onUpdate((next) => {
    state = next;
    receivedAt = performance.now();
    if (typeof state.now !== 'number') {
      state = Object.assign({}, state, { now: Date.now() });
    }
    render();
    scheduleTick();
  });
})();
