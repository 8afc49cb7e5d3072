// Pulse: the machine at a glance. Processor and memory load, download and upload speed, each
// with the last 90 seconds as a sparkline.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const graphs = {};
  for (const id of ['cpu', 'memory', 'down', 'up']) {
    graphs[id] = Kit.spark($(id + '-graph'));
  }

  function show(id, parts, detail) {
    Kit.text($(id), parts.value);
    Kit.text($(id + '-unit'), parts.unit);
    Kit.text($(id + '-detail'), detail);
  }

  function percentParts(value) {
    const text = Kit.percent(value);
    return { value: text, unit: text === Kit.NONE ? '' : '%' };
  }

  function peak(history) {
    return history.length ? 'Peak ' + Kit.joined(Kit.rate(Math.max(...history))) : '';
  }

  function render(state) {
    const metrics = Kit.metrics(state);
    if (!metrics) {
      Kit.text($('machine'), '');
      view.message('No readings', 'The dashboard did not send this computer\u2019s measurements.');
      return;
    }
    view.content();
    Kit.text($('machine'), typeof metrics.name === 'string' ? metrics.name : '');

    show('cpu', percentParts(metrics.cpu), Kit.count(metrics.cores, 'core', 'cores'));
    graphs.cpu.draw('cpu', Kit.numbers(metrics.cpuHistory), 100);

    const used = Kit.amount(metrics.memoryUsed);
    const total = Kit.amount(metrics.memoryTotal);
    show('memory', percentParts(used !== null && total ? used / total * 100 : null),
         used !== null && total
           ? Kit.joined(Kit.memory(used)) + ' of ' + Kit.joined(Kit.memory(total, true))
           : '');
    const memoryHistory = Kit.numbers(metrics.memoryHistory);
    graphs.memory.draw('memory', memoryHistory, total || Kit.ceiling(memoryHistory));

    const downs = Kit.numbers(metrics.downloadHistory);
    const ups = Kit.numbers(metrics.uploadHistory);
    show('down', Kit.rate(metrics.download), peak(downs));
    show('up', Kit.rate(metrics.upload), peak(ups));
    graphs.down.draw('down', downs, Kit.ceiling(downs, 10000));
    graphs.up.draw('up', ups, Kit.ceiling(ups, 10000));
  }

  Kit.start(render);
})();
