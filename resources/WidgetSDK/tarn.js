// Tablora widget SDK. Injected into every widget page before its own scripts, and also served
// as /_tarn/tarn.js. Pages talk to the dashboard only through the global object `Tarn`.
(function () {
  'use strict';
  if (window.Tarn && window.Tarn.sdkVersion) {
    return; // already injected; a second <script> tag changes nothing
  }

  let snapshot = null;
  let send = null;            // set by the host once its channel is open
  const outbox = [];          // messages posted before that
  const listeners = new Set();
  const pending = new Map();  // request id -> {resolve, reject}
  const actions = new Map();  // control id -> function
  let nextRequest = 1;

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

  const Tarn = {
    sdkVersion: 1,

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
    // On the touchscreen a tap on one runs the function given to onActivate for its id.
    controls(items) {
      post({ type: 'controls', items: items.slice(0, 100) });
    },

    onActivate(id, action) {
      actions.set(Number(id), action);
    },

    // Asks for a full state again; sent automatically once the document is loaded.
    ready() {
      post({ type: 'ready' });
    },

    // ---- Called by the dashboard

    _update(next) {
      snapshot = next;
      for (const listener of Array.from(listeners)) {
        try {
          listener(next);
        } catch (error) {
          console.error(error);
        }
      }
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
      }
    },

    _scroll(x, y, delta) {
      const target = document.elementFromPoint(x, y) || document.body;
      scrollableAncestor(target).scrollBy({ top: delta, behavior: 'instant' });
    },

    // Connects the SDK to the host's message channel and delivers what waited meanwhile.
    _attach(sender) {
      send = sender;
      while (outbox.length > 0) {
        send(outbox.shift());
      }
    },
  };

  Object.defineProperty(window, 'Tarn', { value: Object.freeze(Tarn), enumerable: true });

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', () => Tarn.ready(), { once: true });
  } else {
    Tarn.ready();
  }
})();
