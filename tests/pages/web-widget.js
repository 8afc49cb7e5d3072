window.updates = [];
window.replies = [];
Tarn.onUpdate(state => window.updates.push(state));
// Pages may wrap the functions the dashboard calls.
const reply = Tarn._reply;
Tarn._reply = answer => { window.replies.push(answer); reply(answer); };
document.getElementById('go').addEventListener('click', () => {
    window.clicked = (window.clicked || 0) + 1;
});
