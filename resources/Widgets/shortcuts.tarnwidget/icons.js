'use strict';

// Line drawings for the launcher's symbol names, on a 24-unit grid, stroked in the
// current colour. Names ending in ".fill" or ".circle" use the plain drawing.
window.LauncherIcons = (function () {
  const open = '<svg viewBox="0 0 24 24" fill="none" stroke="currentColor" stroke-width="1.7" ' +
               'stroke-linecap="round" stroke-linejoin="round" aria-hidden="true">';
  const shapes = {
    folder: '<path d="M3 7.2A1.7 1.7 0 0 1 4.7 5.5h4.1l2 2.2h8.5A1.7 1.7 0 0 1 21 9.4v8.4a1.7 1.7 0 0 1-1.7 1.7H4.7A1.7 1.7 0 0 1 3 17.8z"/>' +
            '<path d="M3 10.2h18"/>',
    'note.text': '<rect x="4.5" y="3" width="15" height="18" rx="2.4"/>' +
                 '<path d="M8 8h8M8 12h8M8 16h5"/>',
    'slider.horizontal.3': '<path d="M3.5 6h17M3.5 12h17M3.5 18h17"/>' +
                           '<circle cx="9" cy="6" r="2.2" fill="currentColor"/>' +
                           '<circle cx="15.5" cy="12" r="2.2" fill="currentColor"/>' +
                           '<circle cx="7" cy="18" r="2.2" fill="currentColor"/>',
    terminal: '<rect x="2.8" y="4" width="18.4" height="16" rx="2.6"/>' +
              '<path d="M7 9.5l3 2.5-3 2.5M12.5 15h4.5"/>',
    safari: '<circle cx="12" cy="12" r="9"/>' +
            '<path d="M15.8 8.2l-2.3 5.3-5.3 2.3 2.3-5.3z"/>' +
            '<path d="M12 3v1.6M12 19.4V21M3 12h1.6M19.4 12H21"/>',
    'music.note': '<circle cx="8" cy="17.5" r="3"/>' +
                  '<path d="M11 17.5V3.8l6.5 2.4"/>',
    app: '<rect x="3.5" y="3.5" width="17" height="17" rx="4.5"/>' +
         '<rect x="7.5" y="7.5" width="3.4" height="3.4" rx="0.8"/>' +
         '<rect x="13.1" y="7.5" width="3.4" height="3.4" rx="0.8"/>' +
         '<rect x="7.5" y="13.1" width="3.4" height="3.4" rx="0.8"/>' +
         '<rect x="13.1" y="13.1" width="3.4" height="3.4" rx="0.8"/>',
  };
  const aliases = {
    'folder.badge.plus': 'folder',
    note: 'note.text',
    'square.and.pencil': 'note.text',
    gearshape: 'slider.horizontal.3',
    gear: 'slider.horizontal.3',
    compass: 'safari',
    globe: 'safari',
    'music.note.list': 'music.note',
    music: 'music.note',
    'square.grid.2x2': 'app',
  };

  function svg(symbol) {
    let name = String(symbol || 'app').toLowerCase().replace(/\.(fill|circle)$/, '');
    name = shapes[name] ? name : (aliases[name] || 'app');
    return open + shapes[name] + '</svg>';
  }

  return { svg };
})();
