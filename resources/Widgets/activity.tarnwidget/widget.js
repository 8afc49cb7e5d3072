// Processes and disks: the busiest processes by CPU share, each whole disk's read and write
// rates with their last 90 seconds, and the internet latency probe.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const toast = $('toast');
  const probe = $('probe');
  const ROW_HEIGHT = 40;
  const MAX_PROCESSES = 30;
  const disks = new Map(); // disk id -> its row's elements and graph

  function rowsThatFit() {
    // Measured from the list's room, so a short tile shows fewer rows rather than half a row.
    const room = $('processes').clientHeight;
    return Math.max(1, Math.min(MAX_PROCESSES, Math.floor(room / ROW_HEIGHT) || 1));
  }

  function processRow(process) {
    const item = Kit.element('li', 'process');
    const bar = Kit.element('span', 'share');
    bar.style.width = process.share + '%';
    item.append(bar, Kit.element('span', 'name', process.name),
                Kit.element('span', 'memory', process.memory),
                Kit.element('span', 'cpu', process.cpu));
    return item;
  }

  function renderProcesses(activity) {
    const list = Array.isArray(activity.processes) ? activity.processes : [];
    const busiest = list.filter(entry => entry && Kit.number(entry.cpu) !== null).slice(0, rowsThatFit());
    const top = Math.max(100, ...busiest.map(entry => entry.cpu));
    Kit.rows($('processes'), busiest.map(entry => ({
      name: typeof entry.name === 'string' && entry.name ? entry.name : 'Process ' + entry.pid,
      cpu: (entry.cpu < 10 ? entry.cpu.toFixed(1) : String(Math.round(entry.cpu))) + '\u00a0%',
      memory: Kit.joined(Kit.memory(entry.memory)),
      share: Math.round(Math.min(1, Math.max(0, entry.cpu / top)) * 100),
    })), processRow);
    const error = typeof activity.processError === 'string' ? activity.processError : '';
    Kit.text($('processes-note'), error || (list.length === 0 ? 'Listing processes…' : ''));
    Kit.flag($('processes-note'), 'error', Boolean(error));
  }

  function diskRow(id) {
    const item = Kit.element('li', 'disk');
    const head = Kit.element('div', 'disk-head');
    const name = Kit.element('span', 'disk-name');
    const read = Kit.element('span', 'rate read');
    const write = Kit.element('span', 'rate write');
    head.append(name, read, write);
    const graph = Kit.element('div', 'graph');
    graph.innerHTML = '<svg aria-hidden="true">' +
      '<path class="second area" data-series="write"></path><path class="area" data-series="read"></path>' +
      '<path class="second line" data-series="write"></path><path class="line" data-series="read"></path>' +
      '</svg><span class="scale"></span>';
    item.append(head, graph);
    return { id, item, name, read, write, scale: graph.querySelector('.scale'),
             spark: Kit.spark(graph.querySelector('svg')) };
  }

  function renderDisks(activity) {
    const list = (Array.isArray(activity.disks) ? activity.disks : [])
      .filter(disk => disk && typeof disk.id === 'string');
    const ids = list.map(disk => disk.id);
    if (ids.join('\n') !== Array.from(disks.keys()).join('\n')) {
      // Disks come and go rarely: the rows are built again only then.
      for (const id of Array.from(disks.keys())) {
        if (!ids.includes(id)) {
          disks.delete(id);
        }
      }
      for (const id of ids) {
        if (!disks.has(id)) {
          disks.set(id, diskRow(id));
        }
      }
      $('disks').replaceChildren(...ids.map(id => disks.get(id).item));
    }
    for (const disk of list) {
      const row = disks.get(disk.id);
      Kit.text(row.name, typeof disk.name === 'string' ? disk.name : 'Disk ' + disk.id);
      Kit.text(row.read, Kit.joined(Kit.rate(disk.read)));
      Kit.text(row.write, Kit.joined(Kit.rate(disk.write)));
      const reads = Kit.numbers(disk.readHistory);
      const writes = Kit.numbers(disk.writeHistory);
      const top = Kit.ceiling(reads.concat(writes), 100000);
      Kit.text(row.scale, Kit.joined(Kit.rate(top, true)));
      row.spark.draw('read', reads, top);
      row.spark.draw('write', writes, top);
    }
    Kit.text($('disks-note'), list.length === 0 ? 'No disks found' : '');
    Kit.text($('summary'), list.length ? Kit.count(list.length, 'disk', 'disks') : '');
  }

  function renderLatency(activity) {
    const on = activity.latencyEnabled === true;
    const value = Kit.amount(activity.latency);
    Kit.text($('latency'), !on ? 'Off'
      : value === null ? Kit.NONE
      : (value < 10 ? value.toFixed(1) : String(Math.round(value))) + ' ms');
    Kit.flag($('latency'), 'accent', on && value !== null);
    Kit.text($('latency-message'), typeof activity.latencyMessage === 'string' ? activity.latencyMessage : '');
    Kit.text(probe, on ? 'Turn off' : 'Turn on');
    if (probe.getAttribute('aria-pressed') !== String(on)) {
      probe.setAttribute('aria-pressed', String(on));
    }
  }

  function render(state) {
    const activity = state.activity && typeof state.activity === 'object' ? state.activity : null;
    if (!activity) {
      Kit.text($('summary'), '');
      view.message('Activity unavailable', 'This widget was not given the activity readings.');
      return;
    }
    view.content();
    // The processes last: their rows are those that fit in what the disks and the probe leave.
    renderDisks(activity);
    renderLatency(activity);
    renderProcesses(activity);
  }

  probe.addEventListener('click', () => Kit.act(probe, toast, 'activity.latency'));

  Kit.start(render);
})();
