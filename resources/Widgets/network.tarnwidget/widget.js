// Network: download and upload speed with their last 90 seconds, the active link, and an
// optional latency probe that the dashboard runs every few seconds while it is on.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const graph = Kit.spark($('graph'));
  const probe = $('probe');
  let switching = false;

  function pair(id, parts) {
    Kit.text($(id), parts.value);
    Kit.text($(id + '-unit'), parts.unit);
  }

  // Wired and wireless links first; tunnels carry the same traffic again and say less.
  function mainLink(interfaces) {
    const rank = entry => (/^(en|eth|wl)/.test(entry.id) ? 0 : 1);
    const usable = interfaces
      .filter(entry => entry && entry.up && typeof entry.id === 'string' &&
              typeof entry.address === 'string' && /^\d/.test(entry.address))
      .sort((a, b) => rank(a) - rank(b));
    return usable[0] || null;
  }

  function latencyText(activity) {
    if (activity.latencyEnabled !== true) {
      return 'Off';
    }
    const value = Kit.amount(activity.latency);
    if (value === null) {
      return Kit.NONE;
    }
    return (value < 10 ? value.toFixed(1) : String(Math.round(value))) + ' ms';
  }

  function renderLatency(activity) {
    const row = $('latency-row');
    Kit.show(row, activity !== null);
    if (!activity) {
      return;
    }
    const on = activity.latencyEnabled === true;
    Kit.text($('latency'), latencyText(activity));
    Kit.flag($('latency'), 'accent', on && Kit.amount(activity.latency) !== null);
    Kit.text($('latency-message'), typeof activity.latencyMessage === 'string' ? activity.latencyMessage : '');
    Kit.text(probe, on ? 'Turn off' : 'Turn on');
    if (probe.getAttribute('aria-pressed') !== String(on)) {
      probe.setAttribute('aria-pressed', String(on));
    }
  }

  probe.addEventListener('click', () => {
    if (switching) {
      return;
    }
    if (!window.Tarn) {
      Kit.flash($('error'), 'Not connected to the dashboard');
      return;
    }
    switching = true;
    probe.disabled = true;
    window.Tarn.command('activity.latency')
      .catch(error => Kit.flash($('error'), (error && error.message) || 'The latency probe did not switch'))
      .finally(() => {
        switching = false;
        probe.disabled = false;
      });
  });

  function render(state) {
    const metrics = Kit.metrics(state);
    if (!metrics) {
      Kit.text($('link'), '');
      view.message('No readings', 'The dashboard did not send this computer\u2019s measurements.');
      return;
    }
    view.content();
    const activity = state.activity && typeof state.activity === 'object' ? state.activity : null;
    const interfaces = activity && Array.isArray(activity.interfaces) ? activity.interfaces : null;
    if (interfaces) {
      const link = mainLink(interfaces);
      Kit.text($('link'), link ? link.id + ' · ' + link.address : 'Not connected');
    } else {
      Kit.text($('link'), '');
    }

    pair('down', Kit.rate(metrics.download));
    pair('up', Kit.rate(metrics.upload));
    const downs = Kit.numbers(metrics.downloadHistory);
    const ups = Kit.numbers(metrics.uploadHistory);
    const top = Kit.ceiling(downs.concat(ups), 10000);
    Kit.text($('scale'), Kit.joined(Kit.rate(top, true)));
    graph.draw('down', downs, top);
    graph.draw('up', ups, top);

    renderLatency(activity);
  }

  Kit.start(render);
})();
