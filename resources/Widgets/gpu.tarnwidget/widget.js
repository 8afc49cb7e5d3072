// GPU: the graphics card's load and its last 90 seconds. Many cards (and most virtual machines)
// never report a load; that is a permanent state here, not a wait.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const graph = Kit.spark($('graph'));

  function summary(load, history) {
    if (load === null) {
      return 'No reading this second';
    }
    if (history.length === 0) {
      return 'Measuring…';
    }
    const total = history.reduce((sum, value) => sum + value, 0);
    const average = Kit.percent(total / history.length);
    const peak = Kit.percent(Math.max(...history));
    return 'Avg ' + average + '\u00a0% · Peak ' + peak + '\u00a0%';
  }

  function render(state) {
    const metrics = Kit.metrics(state);
    if (!metrics) {
      Kit.text($('model'), '');
      Kit.show($('absent'), false);
      view.message('No readings', 'The dashboard did not send this computer\u2019s measurements.');
      return;
    }
    const load = Kit.number(metrics.gpu);
    const history = Kit.numbers(metrics.gpuHistory);
    // The driver's details in brackets after the model ("…7800 XT (navi32, LLVM 15.0.6, …)")
    // would crowd the model out of the title.
    const name = typeof metrics.gpuName === 'string'
      ? metrics.gpuName.replace(/\s*\(.*\)\s*$/, '').trim() : '';
    Kit.text($('model'), name);

    // A reading that drops out for a moment keeps the graph; one that never came shows why.
    if (load === null && history.length === 0) {
      Kit.show($('notice'), false);
      Kit.show($('content'), false);
      Kit.show($('absent'), true);
      return;
    }
    Kit.show($('absent'), false);
    view.content();
    Kit.text($('value'), Kit.percent(load));
    Kit.show($('unit'), load !== null);
    Kit.text($('stats'), summary(load, history));
    graph.draw('gpu', history, 100);
  }

  Kit.start(render);
})();
