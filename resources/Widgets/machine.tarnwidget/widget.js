// Machine: which computer this is and what it has. Everything here changes rarely except the
// uptime, which is shown to the minute so the text changes once a minute at most.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const clock = Kit.dateFormat({ weekday: 'short', hour: '2-digit', minute: '2-digit' });
  const calendar = Kit.dateFormat({ day: 'numeric', month: 'short' });
  const WEEK = 6 * 24 * 3600;

  function label(value, fallback) {
    return typeof value === 'string' && value.trim() ? value.trim() : fallback;
  }

  function since(now, uptime) {
    if (now === null || uptime === null) {
      return '';
    }
    // Rounded to the minute: now and uptime come from slightly different clocks.
    const boot = new Date(Math.round((now - uptime * 1000) / 60000) * 60000);
    return 'since ' + (uptime > WEEK ? calendar.format(boot) : clock.format(boot));
  }

  function render(state) {
    const metrics = Kit.metrics(state);
    if (!metrics) {
      view.message('No readings', 'The dashboard did not send this computer\u2019s details.');
      return;
    }
    view.content();
    Kit.text($('name'), label(metrics.name, Kit.NONE));
    Kit.text($('os'), label(metrics.os, 'Operating system unknown'));

    const uptime = Kit.amount(metrics.uptime);
    Kit.text($('uptime'), Kit.duration(uptime));
    Kit.text($('uptime-detail'), since(Kit.number(state.now), uptime));

    const cores = Kit.amount(metrics.cores);
    Kit.text($('cores'), cores === null ? Kit.NONE : String(Math.round(cores)));
    const load = Kit.number(metrics.cpu);
    Kit.text($('cores-detail'), load === null ? 'active cores' : Kit.percent(load) + '\u00a0% busy');

    const total = Kit.amount(metrics.memoryTotal);
    const used = Kit.amount(metrics.memoryUsed);
    Kit.text($('memory'), total ? Kit.joined(Kit.memory(total, true)) : Kit.NONE);
    Kit.text($('memory-detail'), used === null ? '' : Kit.joined(Kit.memory(used)) + ' in use');

    const disks = Array.isArray(metrics.disks) ? metrics.disks : [];
    const startup = disks.find(disk => disk && disk.startup) || null;
    const size = Kit.amount(metrics.diskTotal);
    const free = Kit.amount(metrics.diskFree);
    Kit.text($('disk'), label(metrics.diskName, label(startup && startup.name, Kit.NONE)));
    Kit.text($('disk-detail'), free !== null && size
      ? Kit.joined(Kit.storage(free)) + ' free of ' + Kit.joined(Kit.storage(size, true))
      : '');
  }

  Kit.start(render);
})();
