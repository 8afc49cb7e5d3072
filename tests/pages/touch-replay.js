window.activations = 0; window.clicks = []; window.scrolls = [];
Tarn.controls([{id: 5, x: 20, y: 20, width: 120, height: 80}]);
Tarn.onActivate(5, () => window.activations++);
Tarn._scroll = (x, y, d) => window.scrolls.push([x, y, d]);
document.addEventListener('click', e => window.clicks.push([e.clientX, e.clientY]));
