window.trips = [];
async function trip() {
  const start = performance.now();
  await Tarn.command('storage.set', {key: 'k', value: String(start)});
  window.trips.push(performance.now() - start);
}
setInterval(trip, 50);
