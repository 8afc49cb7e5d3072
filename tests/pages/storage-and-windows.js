window.hoard = () => {
  const kept = [];
  try {
    for (let i = 0; i < 10; ++i) kept.push(new Blob([new Uint8Array(16 << 20)]));
  } catch (e) {
    return e.name + ' after ' + kept.length;
  }
  return 'all of them';
};
window.remember = size => {
  try { history.pushState({text: 'z'.repeat(size)}, ''); return 'kept'; } catch (e) { return e.name; }
};
const names = ['indexedDB', 'caches', 'openDatabase', 'webkitRequestFileSystem'];
const look = w => names.map(name => typeof w[name]).concat(typeof w.navigator.storage).join(',');
const frame = document.createElement('iframe');
document.body.appendChild(frame);
window.seen = look(window) + '|' + look(frame.contentWindow);
new Worker('worker.js').onmessage = event => window.seen += '|' + event.data;
document.addEventListener('click', () => {
  window.opened = [window.open(''), document.open('', 'x', ''), frame.contentWindow.open('')]
      .map(String).join(',');
  console.log('C'.repeat(10 * 1024 * 1024));
});
