// CPU: the current load, its last 90 seconds and the number of active cores.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const graph = Kit.spark($('graph'));

  function summary(history) {
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
      Kit.text($('cores'), '');
      view.message('No readings', 'The dashboard did not send this computer\u2019s measurements.');
      return;
    }
    view.content();
    const load = Kit.number(metrics.cpu);
    const history = Kit.numbers(metrics.cpuHistory);
    Kit.text($('cores'), Kit.count(metrics.cores, 'core', 'cores'));
    Kit.text($('value'), Kit.percent(load));
    Kit.show($('unit'), load !== null);
    Kit.text($('stats'), summary(history));
    graph.draw('cpu', history, 100);
  }

  Kit.start(render);
})();
