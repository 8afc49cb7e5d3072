// Formatting and drawing helpers of the included monitoring widgets, served as /_tarn/kit.js.
// Any widget may use them: window.Kit after the script ran.
(function () {
  'use strict';

  const NONE = '\u2014';

  // Values from the dashboard are numbers or null; anything else (NaN, a string, a missing key)
  // is treated as "no value" so it can never reach the screen as text.
  function number(value) {
    return typeof value === 'number' && Number.isFinite(value) ? value : null;
  }

  function amount(value) {
    const result = number(value);
    return result !== null && result >= 0 ? result : null;
  }

  function numbers(list) {
    return Array.isArray(list) ? list.filter(value => number(value) !== null) : [];
  }

  // At most three digits before the point, one after it below 100, so numbers keep a steady
  // width as they change.
  function scaled(value, base, units, trim) {
    let result = amount(value);
    if (result === null) {
      return { value: NONE, unit: '' };
    }
    let index = 0;
    while (result >= 999.5 && index < units.length - 1) {
      result /= base;
      index += 1;
    }
    let text;
    if (index === 0 || result >= 99.95) {
      text = String(Math.round(result));
    } else {
      text = result.toFixed(1);
      if (trim && text.endsWith('.0')) {
        text = text.slice(0, -2);
      }
    }
    return { value: text, unit: units[index] };
  }

  const BYTE_UNITS = ['B', 'KB', 'MB', 'GB', 'TB', 'PB', 'EB'];
  const RATE_UNITS = ['B/s', 'KB/s', 'MB/s', 'GB/s', 'TB/s', 'PB/s'];

  // Memory is counted in powers of two, storage and traffic in powers of ten, as the system's
  // own tools show them.
  function memory(value, trim) {
    return scaled(value, 1024, BYTE_UNITS, trim);
  }

  function storage(value, trim) {
    return scaled(value, 1000, BYTE_UNITS, trim);
  }

  function rate(value, trim) {
    return scaled(value, 1000, RATE_UNITS, trim);
  }

  function joined(parts) {
    return parts.unit ? parts.value + '\u202f' + parts.unit : parts.value;
  }

  function percent(value) {
    const result = number(value);
    return result === null ? NONE : String(Math.round(Math.min(100, Math.max(0, result))));
  }

  function count(value, one, many) {
    const result = amount(value);
    if (result === null) {
      return '';
    }
    const whole = Math.round(result);
    return whole + ' ' + (whole === 1 ? one : many);
  }

  function duration(seconds) {
    const value = amount(seconds);
    if (value === null) {
      return NONE;
    }
    const minutes = Math.floor(value / 60);
    const days = Math.floor(minutes / 1440);
    const hours = Math.floor((minutes % 1440) / 60);
    if (days > 0) {
      return days + ' d ' + hours + ' h';
    }
    if (hours > 0) {
      return hours + ' h ' + (minutes % 60) + ' min';
    }
    return minutes > 0 ? minutes + ' min' : '< 1 min';
  }

  // DOM writes only when something changed: most readings repeat from one second to the next.
  // A changed reading rewrites the text node in place; setting textContent would replace it with
  // a new node every second, garbage that the page's process holds until a collection.
  function text(element, value) {
    const next = value === null || value === undefined ? '' : String(value);
    if (!element || element.__text === next) {
      return;
    }
    element.__text = next;
    const node = element.firstChild;
    if (next && node && node === element.lastChild && node.nodeType === Node.TEXT_NODE) {
      node.data = next;
    } else {
      element.textContent = next;
    }
  }

  function show(element, visible) {
    if (element && element.hidden === Boolean(visible)) {
      element.hidden = !visible;
    }
  }

  function flag(element, name, on) {
    if (element && element.classList.contains(name) !== Boolean(on)) {
      element.classList.toggle(name, Boolean(on));
    }
  }

  function fill(element, fraction) {
    const value = number(fraction);
    const width = value === null ? '0%' : (Math.min(1, Math.max(0, value)) * 100).toFixed(1) + '%';
    if (element && element.__width !== width) {
      element.__width = width;
      element.style.width = width;
    }
  }

  // Graph scales move in 1-2-5 steps so the curve does not re-scale with every small change.
  function ceiling(values, floor) {
    let top = Math.max(floor || 1, ...numbers(values));
    const power = Math.pow(10, Math.floor(Math.log10(top)));
    for (const step of [1, 2, 5, 10]) {
      if (top <= step * power) {
        top = step * power;
        break;
      }
    }
    return top;
  }

  // Adds histories of different lengths sample by sample, aligned at their newest values.
  function sum(lists) {
    const length = Math.max(0, ...lists.map(list => (Array.isArray(list) ? list.length : 0)));
    const result = new Array(length).fill(0);
    for (const list of lists) {
      if (!Array.isArray(list)) {
        continue;
      }
      const offset = length - list.length;
      list.forEach((value, index) => {
        result[offset + index] += number(value) || 0;
      });
    }
    return result;
  }

  // An area graph in an SVG whose view box is stretched to the element, so drawing never needs
  // the element's size; the line keeps its width through vector-effect in the stylesheet.
  function spark(svg, slots) {
    const count = slots || 90;
    const width = count - 1;
    svg.setAttribute('viewBox', '0 0 ' + width + ' 100');
    svg.setAttribute('preserveAspectRatio', 'none');
    const series = new Map();
    for (const path of svg.querySelectorAll('path[data-series]')) {
      const name = path.getAttribute('data-series');
      const entry = series.get(name) || {};
      entry[path.classList.contains('area') ? 'area' : 'line'] = path;
      series.set(name, entry);
    }
    return {
      draw(name, values, top) {
        const entry = series.get(name);
        if (!entry) {
          return;
        }
        const list = (Array.isArray(values) ? values : []).slice(-count);
        const scale = number(top) && top > 0 ? top : 1;
        let line = '';
        let first = null;
        let last = null;
        list.forEach((value, index) => {
          const reading = number(value);
          if (reading === null) {
            return;
          }
          const x = width - (list.length - 1 - index);
          const y = 98 - Math.min(1, Math.max(0, reading / scale)) * 94;
          line += (line ? 'L' : 'M') + x + ' ' + y.toFixed(2);
          if (first === null) {
            first = x;
          }
          last = x;
        });
        if (first === last) {
          line = '';
        }
        const area = line ? line + 'L' + last + ' 101L' + first + ' 101Z' : '';
        if (entry.line && entry.line.__d !== line) {
          entry.line.__d = line;
          entry.line.setAttribute('d', line);
        }
        if (entry.area && entry.area.__d !== area) {
          entry.area.__d = area;
          entry.area.setAttribute('d', area);
        }
      },
    };
  }

  // Switches a widget between its content and a centred message (waiting, absent data).
  function panel(notice, content) {
    const title = notice.querySelector('strong');
    const detail = notice.querySelector('span');
    return {
      message(heading, explanation) {
        text(title, heading);
        text(detail, explanation);
        show(notice, true);
        show(content, false);
      },
      content() {
        show(notice, false);
        show(content, true);
      },
    };
  }

  function metrics(state) {
    const value = state && state.metrics;
    return value && typeof value === 'object' ? value : null;
  }

  // A short-lived line of text, for a command's failure.
  function flash(element, message, milliseconds) {
    clearTimeout(element.__flash);
    text(element, message);
    show(element, true);
    element.__flash = setTimeout(() => show(element, false), milliseconds || 4000);
  }

  // How long ago a moment was, from seconds: "just now", "4 min ago", "3 h ago", "2 d ago".
  function ago(seconds) {
    const value = number(seconds);
    if (value === null) {
      return '';
    }
    const minutes = Math.floor(Math.max(0, value) / 60);
    if (minutes < 1) {
      return 'just now';
    }
    if (minutes < 60) {
      return minutes + ' min ago';
    }
    if (minutes < 1440) {
      return Math.floor(minutes / 60) + ' h ago';
    }
    return Math.floor(minutes / 1440) + ' d ago';
  }

  // Large counts in few characters: 950, 12.3K, 1.2M.
  function compact(value) {
    const parts = scaled(value, 1000, ['', 'K', 'M', 'B'], true);
    return parts.value + parts.unit;
  }

  // Rebuilds a list's elements only when the data it shows changed; says whether it did.
  function rows(list, items, build) {
    const key = JSON.stringify(items);
    if (!list || list.__rows === key) {
      return false;
    }
    list.__rows = key;
    list.replaceChildren(...items.map(build));
    return true;
  }

  // Runs a command for a button: the button waits while it runs, a failure's message is shown
  // in `notice` for a few seconds. Resolves to whether the command succeeded.
  function act(button, notice, method, args) {
    if (!window.Tarn || (button && button.__busy)) {
      return Promise.resolve(false);
    }
    if (button) {
      button.__busy = true;
      button.setAttribute('aria-busy', 'true');
    }
    return window.Tarn.command(method, args)
      .then(() => true, error => {
        if (notice) {
          flash(notice, (error && error.message) || 'That did not work');
        }
        return false;
      })
      .finally(() => {
        if (button) {
          button.__busy = false;
          button.removeAttribute('aria-busy');
        }
      });
  }

  function element(tag, className, content) {
    const node = document.createElement(tag);
    if (className) {
      node.className = className;
    }
    if (content !== undefined && content !== null) {
      node.textContent = content;
    }
    return node;
  }

  // A formatter keeps the time zone it was made in; the computer's may change while the page
  // lives (a journey, a new setting). dateFormat(options) formats like
  // new Intl.DateTimeFormat(undefined, options), in the zone in force when it is asked: the
  // zone is looked up at most once a second and the formatter made again when it changed.
  let zone = null;
  let zoneCheckedAt = -Infinity;

  function currentZone() {
    const now = performance.now();
    if (now - zoneCheckedAt >= 1000) {
      zone = new Intl.DateTimeFormat().resolvedOptions().timeZone;
      zoneCheckedAt = now;
    }
    return zone;
  }

  function dateFormat(options) {
    let madeIn = null;
    let format = null;
    const current = () => {
      const inForce = currentZone();
      if (format === null || madeIn !== inForce) {
        format = new Intl.DateTimeFormat(undefined, Object.assign({}, options, { timeZone: inForce }));
        madeIn = inForce;
      }
      return format;
    };
    return {
      format: (date) => current().format(date),
      formatToParts: (date) => current().formatToParts(date),
      formatRange: (start, end) => current().formatRange(start, end),
    };
  }

  // Without the dashboard (a page opened on its own) the widget simply keeps waiting.
  // Renders every new state, and the last one again when the tile changes size: what fits (rows
  // of a list, for one) is measured at rendering.
  function start(render) {
    let last = null;
    if (window.Tarn && typeof window.Tarn.onUpdate === 'function') {
      window.Tarn.onUpdate(state => {
        if (state && typeof state === 'object') {
          last = state;
          render(state);
        }
      });
    }
    window.addEventListener('resize', () => {
      if (last) {
        render(last);
      }
    });
  }

  window.Kit = {
    NONE, number, amount, numbers, memory, storage, rate, joined, percent, count, duration,
    text, show, flag, fill, ceiling, sum, spark, panel, metrics, flash, start, ago, compact,
    rows, act, element, dateFormat,
  };
})();
