everyRoute('worker');
try { importScripts(H + '/leak/import-scripts'); } catch (e) {}
try {
  const blob = new Blob(["fetch('" + H + "/leak/nested-blob-worker')"]);
  new Worker(URL.createObjectURL(blob));
} catch (e) {}
