// Project: a Git repository's branch, last commit and changed files, and the outcome of its
// build log. Each placed copy follows a project of its own.
(function () {
  'use strict';

  const $ = id => document.getElementById(id);
  const view = Kit.panel($('notice'), $('content'));
  const toast = $('toast');
  let asked = false;
  let answered = false;

  function choose(button, method) {
    // The chooser opens on the desktop, not on this tile: say so while it is open.
    Kit.show($('hint'), true);
    Kit.act(button, toast, method).finally(() => Kit.show($('hint'), false));
  }

  function buildKind(build) {
    if (build === 'Succeeded') {
      return 'passed';
    }
    if (build === 'Failed') {
      return 'failed';
    }
    return 'unknown';
  }

  function renderBuild(project, now) {
    const build = typeof project.build === 'string' ? project.build : 'No build log selected';
    const chosen = typeof project.log === 'string';
    const kind = chosen ? buildKind(build) : 'none';
    Kit.text($('build'), chosen ? build : 'No build log');
    for (const name of ['passed', 'failed', 'unknown', 'none']) {
      Kit.flag($('build-box'), name, kind === name);
    }
    const updated = Kit.number(project.buildUpdated);
    const when = updated !== null && now !== null ? Kit.ago((now - updated) / 1000) : '';
    Kit.text($('build-detail'), chosen ? [project.log, when].filter(Boolean).join(' · ') : 'Choose a log to follow');
    Kit.flag($('log'), 'primary', !chosen);
  }

  function render(state) {
    const project = state.project && typeof state.project === 'object' ? state.project : null;
    const name = project && typeof project.name === 'string' ? project.name : '';
    Kit.text($('name'), name);
    const first = $('choose-first');
    if (!project) {
      Kit.show(first, false);
      view.message('Project unavailable', 'This widget was not given the project state.');
      return;
    }
    if (project.configured !== true) {
      Kit.show(first, answered);
      view.message(answered ? 'No project chosen' : 'Reading the project…',
                   answered ? 'Choose a Git repository to follow its branch, changes and build.' : '');
      return;
    }
    if (typeof project.error === 'string') {
      Kit.show(first, true);
      view.message(name || 'Project unavailable', project.error);
      return;
    }
    Kit.show(first, false);
    view.content();
    Kit.text($('branch'), typeof project.branch === 'string' && project.branch ? project.branch : Kit.NONE);
    const commit = typeof project.commit === 'string' ? project.commit : '';
    const space = commit.indexOf(' ');
    Kit.text($('hash'), space > 0 ? commit.slice(0, space) : commit);
    Kit.text($('subject'), space > 0 ? commit.slice(space + 1) : commit ? '' : 'No commits yet');
    const changes = Kit.amount(project.changes);
    Kit.text($('changes'), changes === null ? Kit.NONE : changes === 0 ? 'Clean' : Kit.count(changes, 'file', 'files'));
    Kit.flag($('changes'), 'accent', changes === 0);
    renderBuild(project, Kit.number(state.now));
  }

  $('choose').addEventListener('click', () => choose($('choose'), 'project.choose'));
  $('choose-first').addEventListener('click', () => choose($('choose-first'), 'project.choose'));
  $('log').addEventListener('click', () => choose($('log'), 'project.buildLog'));

  Kit.start(state => {
    if (!asked && state.project) {
      // The repository is read on the dashboard's quarter-minute rhythm; a page that just
      // opened asks at once.
      asked = true;
      Kit.act(null, toast, 'project.refresh').finally(() => {
        answered = true;
        render(window.Tarn.state);
      });
    }
    render(state);
  });
})();
