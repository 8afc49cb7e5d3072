// Memory: what is in use out of the installed total, the kinds it is made of, and its last
// 90 seconds on a scale of the whole memory.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const graph = Kit.spark($('graph'));
  // On Linux the snapshot's wired memory is the kernel's unevictable (locked) memory and its
  // compressed memory what zswap holds: the labels say so.
  const kinds = {
    active: 'memoryActive',
    wired: 'memoryWired',
    compressed: 'memoryCompressed',
    swap: 'swapUsed',
  };

  function render(state) {
    const metrics = Kit.metrics(state);
    if (!metrics) {
      Kit.text($('share'), '');
      view.message('No readings', 'The dashboard did not send this computer\u2019s measurements.');
      return;
    }
    view.content();
    const used = Kit.amount(metrics.memoryUsed);
    const total = Kit.amount(metrics.memoryTotal);
    const share = used !== null && total ? used / total : null;

    const reading = Kit.memory(used);
    Kit.text($('used'), reading.value);
    Kit.text($('used-unit'), reading.unit);
    Kit.text($('total'), total ? 'of ' + Kit.joined(Kit.memory(total, true)) : 'Installed memory unknown');
    Kit.text($('share'), share === null ? '' : Kit.percent(share * 100) + '\u00a0% used');
    Kit.fill($('bar'), share);

    for (const [id, key] of Object.entries(kinds)) {
      Kit.text($(id), Kit.joined(Kit.memory(metrics[key])));
    }

    graph.draw('memory', Kit.numbers(metrics.memoryHistory), total || Kit.ceiling(metrics.memoryHistory));
  }

  Kit.start(render);
})();
