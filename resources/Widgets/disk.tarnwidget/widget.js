// Disk: room left on the startup volume, the other volumes, and how fast the disks read and
// write. Capacities are per volume (metrics); throughput is per physical disk (activity), so
// the rates are the sum over all disks.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const graph = Kit.spark($('graph'));
  const MAX_VOLUMES = 2;
  let volumesKey = '';

  function pair(id, parts) {
    Kit.text($(id), parts.value);
    Kit.text($(id + '-unit'), parts.unit);
  }

  function total(disks, key) {
    let result = null;
    for (const disk of disks) {
      const value = Kit.amount(disk && disk[key]);
      if (value !== null) {
        result = (result || 0) + value;
      }
    }
    return result;
  }

  function capacityText(free, size) {
    if (free === null || !size) {
      return 'Capacity unknown';
    }
    return Kit.joined(Kit.storage(free)) + ' free of ' + Kit.joined(Kit.storage(size, true));
  }

  // Rebuilt only when a name or a rounded figure changes, which is rare: capacities are read
  // every ten seconds.
  function renderVolumes(disks) {
    const others = disks.filter(disk => disk && !disk.startup);
    const rows = others.slice(0, MAX_VOLUMES).map(disk => {
      const size = Kit.amount(disk.total);
      const free = Kit.amount(disk.free);
      return {
        name: typeof disk.name === 'string' && disk.name ? disk.name : 'Volume',
        detail: free !== null && size ? Kit.joined(Kit.storage(free)) + ' free' : 'Capacity unknown',
        used: free !== null && size ? (size - free) / size : null,
      };
    });
    const more = others.length - rows.length;
    const key = JSON.stringify([rows.map(row => [row.name, row.detail, Math.round((row.used || 0) * 100)]), more]);
    if (key === volumesKey) {
      return;
    }
    volumesKey = key;
    const list = $('volumes');
    list.replaceChildren(...rows.map(row => {
      const item = document.createElement('li');
      const name = document.createElement('span');
      const detail = document.createElement('span');
      const bar = document.createElement('div');
      const fill = document.createElement('span');
      name.textContent = row.name;
      detail.textContent = row.detail;
      bar.className = 'tarn-bar';
      bar.append(fill);
      Kit.fill(fill, row.used);
      item.append(name, detail, bar);
      return item;
    }));
    if (more > 0) {
      const item = document.createElement('li');
      const note = document.createElement('span');
      note.textContent = '+ ' + more + ' more';
      item.append(note);
      list.append(item);
    }
    Kit.show(list, rows.length > 0);
  }

  function render(state) {
    const metrics = Kit.metrics(state);
    if (!metrics) {
      Kit.text($('name'), '');
      view.message('No readings', 'The dashboard did not send this computer\u2019s measurements.');
      return;
    }
    view.content();
    const volumes = Array.isArray(metrics.disks) ? metrics.disks : [];
    const startup = volumes.find(disk => disk && disk.startup) || null;
    const name = metrics.diskName || (startup && startup.name) || 'Startup disk';
    const size = Kit.amount(metrics.diskTotal);
    const free = Kit.amount(metrics.diskFree);
    const used = free !== null && size ? (size - free) / size : null;

    Kit.text($('name'), name);
    pair('free', Kit.storage(free));
    Kit.text($('capacity'), free !== null && size
      ? 'free of ' + Kit.joined(Kit.storage(size, true)) + ' · ' + Kit.percent(used * 100) + '\u00a0% used'
      : capacityText(free, size));
    Kit.fill($('bar'), used);
    renderVolumes(volumes);

    const activity = state.activity && typeof state.activity === 'object' ? state.activity : null;
    const disks = activity && Array.isArray(activity.disks) ? activity.disks : [];
    pair('read', Kit.rate(total(disks, 'read')));
    pair('write', Kit.rate(total(disks, 'write')));

    const reads = Kit.sum(disks.map(disk => disk && disk.readHistory));
    const writes = Kit.sum(disks.map(disk => disk && disk.writeHistory));
    const top = Kit.ceiling(reads.concat(writes), 10000);
    Kit.text($('scale'), Kit.joined(Kit.rate(top, true)));
    graph.draw('read', reads, top);
    graph.draw('write', writes, top);
  }

  Kit.start(render);
})();
