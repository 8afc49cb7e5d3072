let n = 0, started = false;
Tarn.onUpdate(() => {
  if (started) return;
  started = true;
  setInterval(() => { for (let i = 0; i < 40; ++i) new Image().src = 'missing-' + n++ + '.png'; }, 10);
});
