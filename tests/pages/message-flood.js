const big = 'x'.repeat(990000);
let started = false;
Tarn.onUpdate(() => {
  if (started) return;
  started = true;
  setInterval(() => {
    for (let i = 0; i < 19; ++i) Tarn.command('notes.set', {text: big}).catch(() => {});
  }, 100);
});
