// Tablora widget SDK. Injected into every widget page before its own scripts, and also served
// as /_tarn/tarn.js. Pages talk to the dashboard only through the global object `Tarn` (or the
// raw message handler `window.webkit.messageHandlers.tarn`, which it also provides).
(function () {
  'use strict';
  if (window.Tarn && window.Tarn.sdkVersion) {
    return; // already injected; a second <script> tag changes nothing
  }

  let snapshot = null;
  let send = null;            // set by the host once its channel is open
  const outbox = [];          // raw messages posted before that, in order
  const listeners = new Set();
  const pending = new Map();  // request id -> {resolve, reject}
  const actions = new Map();  // control id -> function
  let nextRequest = 1;

  // Marked controls: elements with a data-tarn-control attribute are reported automatically
  // until the page reports its own list with Tarn.controls().
  let markedControls = true;
  const marked = new Map();   // control id -> element
  const markedIds = new WeakMap();
  let nextMarkedId = 1;
  let lastReported = '';
  let reportScheduled = false;

  function post(message) {
    if (send) {
      send(message);
    } else {
      outbox.push(message);
    }
  }

  function scrollableAncestor(element) {
    for (let node = element; node && node !== document.body; node = node.parentElement) {
      const style = getComputedStyle(node);
      const scrolls = /(auto|scroll)/.test(style.overflowY + style.overflowX);
      if (scrolls && (node.scrollHeight > node.clientHeight || node.scrollWidth > node.clientWidth)) {
        return node;
      }
    }
    return document.scrollingElement || document.documentElement;
  }

  function isElement(node) {
    return node.nodeType === Node.ELEMENT_NODE;
  }

  function isEnabled(element) {
    return !element.disabled && element.getAttribute('aria-disabled') !== 'true';
  }

  // The part of an element that can be seen: a control scrolled out of its list, or cut by a
  // clipping box, must not catch taps meant for what is drawn there instead.
  function visibleBox(element) {
    const box = element.getBoundingClientRect();
    let left = Math.max(0, box.left);
    let top = Math.max(0, box.top);
    let right = Math.min(window.innerWidth, box.right);
    let bottom = Math.min(window.innerHeight, box.bottom);
    for (let node = element.parentElement; node && node !== document.body; node = node.parentElement) {
      const style = getComputedStyle(node);
      if (style.overflowX === 'visible' && style.overflowY === 'visible') {
        continue;
      }
      const clip = node.getBoundingClientRect();
      left = Math.max(left, clip.left);
      top = Math.max(top, clip.top);
      right = Math.min(right, clip.right);
      bottom = Math.min(bottom, clip.bottom);
    }
    return { x: left, y: top, width: right - left, height: bottom - top };
  }

  function reportMarkedControls() {
    reportScheduled = false;
    if (!markedControls || !document.body) {
      return;
    }
    marked.clear();
    const items = [];
    for (const element of document.querySelectorAll('[data-tarn-control]')) {
      const box = visibleBox(element);
      if (box.width <= 0 || box.height <= 0 || items.length === 100) {
        continue;
      }
      let id = markedIds.get(element);
      if (id === undefined) {
        id = nextMarkedId++;
        markedIds.set(element, id);
      }
      marked.set(id, element);
      items.push({ id, x: box.x, y: box.y, width: box.width, height: box.height,
                   enabled: isEnabled(element) });
    }
    const text = JSON.stringify(items);
    if (text !== lastReported) {
      lastReported = text;
      post({ type: 'controls', items });
    }
  }

  // A task rather than an animation frame: asking for a frame every second would redraw pages
  // where nothing changed. Pages without marked elements (and an empty report sent) skip it.
  function scheduleControlReport() {
    if (!markedControls || reportScheduled) {
      return;
    }
    if (lastReported === '[]' && !document.querySelector('[data-tarn-control]')) {
      return;
    }
    reportScheduled = true;
    setTimeout(reportMarkedControls, 0);
  }

  // Only real changes touch the document: restyling it every second would repaint everything.
  let appliedTheme = '';
  function applyTheme(state) {
    const root = document.documentElement;
    if (!root || !state) {
      return;
    }
    const theme = state.theme || {};
    const key = [theme.accent, theme.primary, state.touchMode === true].join(' ');
    if (key === appliedTheme) {
      return;
    }
    appliedTheme = key;
    if (theme.accent) {
      root.style.setProperty('--tarn-accent', theme.accent);
    }
    if (theme.primary) {
      root.style.setProperty('--tarn-primary', theme.primary);
    }
    root.classList.toggle('tarn-touch', state.touchMode === true);
  }

  // The state's sections, each sent only to widgets whose manifest declares its permission.
  const sectionPermissions = {
    metrics: 'metrics', focus: 'focus', note: 'notes', launcher: 'shortcuts',
    shortcuts: 'shortcuts', storage: 'storage', spotify: 'spotify', audio: 'audio',
    calendar: 'calendar', reminders: 'reminders', activity: 'activity',
    automations: 'automations', project: 'project', ai: 'ai',
  };
  const explained = new Set();
  // Taken now: a page may replace the global one.
  const report = typeof window.reportError === 'function'
    ? window.reportError.bind(window) : error => console.error(error);

  // Reading a section the widget has no permission for says so once, in the console, before the
  // page trips over the missing value.
  function withHints(state) {
    if (!state || typeof state !== 'object' || typeof Proxy !== 'function') {
      return state;
    }
    return new Proxy(state, {
      get(target, key, receiver) {
        const value = Reflect.get(target, key, receiver);
        if (value === undefined && typeof key === 'string' &&
            Object.prototype.hasOwnProperty.call(sectionPermissions, key) && !explained.has(key)) {
          explained.add(key);
          console.warn(`state.${key} is undefined: the dashboard sends it only to widgets whose ` +
                       `manifest.json declares the "${sectionPermissions[key]}" permission`);
        }
        return value;
      },
    });
  }

  const Tarn = {
    sdkVersion: 2,

    // The latest state the dashboard sent, or null before the first one.
    get state() {
      return snapshot;
    },

    // Calls `listener(state)` with every new state, and at once with the current one.
    // Returns a function that removes the listener.
    onUpdate(listener) {
      listeners.add(listener);
      if (snapshot !== null) {
        listener(snapshot);
      }
      return () => listeners.delete(listener);
    },

    // Runs a command such as "focus.toggle"; resolves when it succeeded, rejects with an Error
    // carrying the dashboard's message. The effect shows in the next state.
    command(method, args) {
      const id = nextRequest++;
      return new Promise((resolve, reject) => {
        pending.set(id, { resolve, reject });
        post({ type: 'command', id, method: String(method), arguments: args || {} });
      });
    },

    // Reports the touchable controls, in page coordinates: [{id, x, y, width, height, enabled}].
    // On the touchscreen a tap on one runs the function given to onActivate for its id. Once a
    // page reports its own list, marked elements are no longer reported for it.
    controls(items) {
      markedControls = false;
      post({ type: 'controls', items: Array.from(items).slice(0, 100) });
    },

    onActivate(id, action) {
      actions.set(Number(id), action);
    },

    // Asks for a full state again; sent automatically once the document is loaded.
    ready() {
      post({ type: 'ready' });
    },

    // The instance's own string values, kept by the dashboard (needs the "storage" permission).
    storage: {
      get(key) {
        const values = snapshot && snapshot.storage;
        return values && Object.prototype.hasOwnProperty.call(values, key) ? values[key] : null;
      },
      set(key, value) {
        return Tarn.command('storage.set', { key: String(key), value: String(value) });
      },
    },

    // ---- Called by the dashboard. A page may replace or wrap these.

    _update(next) {
      if (!snapshot) {
        // The first frame with a state in it, for measuring how soon a page shows live data.
        requestAnimationFrame(() => performance.mark('tarn-first-frame'));
      }
      snapshot = withHints(next);
      applyTheme(next);
      for (const listener of Array.from(listeners)) {
        try {
          listener(snapshot);
        } catch (error) {
          // Reported as the page's own uncaught error, where it was thrown; the other listeners
          // still get the state.
          report(error);
        }
      }
      // Text changes can move controls as well.
      scheduleControlReport();
    },

    _reply(reply) {
      const request = pending.get(reply && reply.id);
      if (!request) {
        return;
      }
      pending.delete(reply.id);
      if (reply.ok) {
        request.resolve();
      } else {
        request.reject(new Error(reply.error || 'Command failed'));
      }
    },

    _activate(id) {
      const action = actions.get(Number(id));
      if (action) {
        action();
        return;
      }
      const element = marked.get(Number(id));
      if (element && isEnabled(element)) {
        element.click();
      }
    },

    _scroll(x, y, delta) {
      const target = document.elementFromPoint(x, y) || document.body;
      scrollableAncestor(target).scrollBy({ top: delta, behavior: 'instant' });
      // Scrolling moves the controls inside the list without changing the document.
      scheduleControlReport();
    },

    // Connects the SDK to the host's message channel and delivers what waited meanwhile.
    _attach(sender) {
      send = sender;
      while (outbox.length > 0) {
        send(outbox.shift());
      }
    },
  };

  window.Tarn = Tarn;

  // The raw protocol: pages written against it post their messages here.
  if (!window.webkit || !window.webkit.messageHandlers || !window.webkit.messageHandlers.tarn) {
    window.webkit = window.webkit || {};
    window.webkit.messageHandlers = window.webkit.messageHandlers || {};
    window.webkit.messageHandlers.tarn = { postMessage: post };
  }

  function start() {
    Tarn.ready();
    scheduleControlReport();
    // Text changing inside elements moves no control; only elements coming, going or changing
    // their look are worth measuring again.
    new MutationObserver(records => {
      if (records.some(record => record.type === 'attributes' ||
                                 Array.from(record.addedNodes).some(isElement) ||
                                 Array.from(record.removedNodes).some(isElement))) {
        scheduleControlReport();
      }
    }).observe(document.documentElement, {
      subtree: true, childList: true, attributes: true,
      attributeFilter: ['data-tarn-control', 'disabled', 'aria-disabled', 'class', 'style', 'hidden'],
    });
    window.addEventListener('resize', scheduleControlReport);
    document.addEventListener('scroll', scheduleControlReport, { capture: true, passive: true });
    // The first frame after a page kept out of sight is shown again, for measuring how soon a
    // page change shows live data.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible' && snapshot) {
        requestAnimationFrame(() => {
          performance.clearMarks('tarn-shown');
          performance.mark('tarn-shown');
        });
      }
    });
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', start, { once: true });
  } else {
    start();
  }
})();
