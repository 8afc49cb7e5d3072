// Every route out of a page, each to a path naming itself. HOST is the undeclared HTTP listener,
// DECLARED the raw TCP port, UDP the UDP port.
const H = 'http://127.0.0.1:HOST', HS = 'https://127.0.0.1:HOST';
const attempt = f => { try { const p = f(); if (p && p.catch) p.catch(() => {}); } catch (e) {} };
function peers(Peer) {
  const peer = new Peer({ iceServers: [{ urls: 'stun:127.0.0.1:UDP' },
      { urls: 'turn:127.0.0.1:HOST?transport=tcp', username: 'u', credential: 'p' },
      { urls: 'turn:127.0.0.1:UDP?transport=udp', username: 'u', credential: 'p' }] });
  peer.createDataChannel('leak');
  return peer.createOffer().then(offer => peer.setLocalDescription(offer));
}
function everyRoute(where) {
  attempt(() => fetch(H + '/leak/fetch-' + where));
  attempt(() => fetch(HS + '/leak/https-' + where));
  attempt(() => fetch('http://127.0.0.1:DECLARED/leak/plain-to-declared-port-' + where));
  attempt(() => { const x = new XMLHttpRequest(); x.open('GET', H + '/leak/xhr-' + where); x.send(); });
  attempt(() => new WebSocket('ws://127.0.0.1:HOST/leak/websocket-' + where));
  attempt(() => new WebSocket('wss://127.0.0.1:DECLARED/leak/websocket-' + where));
  attempt(() => new EventSource(H + '/leak/eventsource-' + where));
  attempt(() => new WebTransport('https://127.0.0.1:UDP/leak/' + where));
}
everyRoute('page');
attempt(() => navigator.sendBeacon(H + '/leak/beacon', 'x'));
attempt(() => { new Image().src = H + '/leak/image'; });
attempt(() => peers(RTCPeerConnection));
attempt(() => peers(webkitRTCPeerConnection));
attempt(() => {
  const frame = document.createElement('iframe');
  document.body.appendChild(frame);
  return peers(frame.contentWindow.RTCPeerConnection);
});
attempt(() => new Worker('worker.js'));
attempt(() => new Worker('module.js', { type: 'module' }));
attempt(() => new SharedWorker('worker.js'));
attempt(() => {
  const link = document.createElement('a');
  link.href = 'page.htm';
  link.ping = H + '/leak/ping';
  document.body.appendChild(link);
  link.click();
});
window.attacked = true;
