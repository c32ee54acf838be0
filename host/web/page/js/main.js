// Wires the page: views, the connection banner, the errors panel and every module.
import {connect, on} from './bridge.js';
import {$, report} from './ui.js';
import * as board from './board.js';
import * as classroom from './classroom.js';
import * as playback from './playback.js';
import * as video from './video.js';

/** @param {string} name */
function showView(name) {
  for (const view of ['classroom', 'playback']) {
    $(`#${view}-view`).hidden = view !== name;
    $(`#tab-${view}`).classList.toggle('active', view === name);
  }
}

/**
 * @param {'connecting' | 'open' | 'closed'} state
 * @param {string} detail
 */
function connection(state, detail) {
  const pill = $('#connection');
  pill.textContent = state === 'open' ? 'connected' : state;
  pill.className = `pill ${state}`;
  const banner = $('#banner');
  banner.hidden = state === 'open';
  banner.textContent = state === 'closed' ? `Connection to the host lost (${detail}).` :
    state === 'connecting' ? 'Connecting to the host…' : '';
  document.body.dataset.connection = state;
  if (state === 'closed') document.body.dataset.drops = String(Number(document.body.dataset.drops || 0) + 1);
}

on('connection', connection);
on('host.hello', ({label}) => { $('#bridge-label').textContent = label; });
on('corvel.onError', (code) => report(`engine error ${code}`));
on('hostError', (text) => report(`kv_host: ${text}`));
on('host.error', ({text}) => report(`host: ${text}`));
on('host.bridgeEnded', ({status}) => report(`the bridge ended (status ${status}); restarting`));
on('host.bridgeStarted', () => report('the bridge was restarted; enter the room again', 'note'));
on('note', (note) => report(typeof note === 'string' ? note : JSON.stringify(note), 'note'));
on('debug', (text) => report(`debug: ${String(text).trim()}`, 'debug'));
window.addEventListener('unhandledrejection',
  (event) => report(String(event.reason?.message || event.reason)));

$('#tab-classroom').addEventListener('click', () => showView('classroom'));
$('#tab-playback').addEventListener('click', () => showView('playback'));
video.start();
board.start();
classroom.start();
playback.start();
connect();
