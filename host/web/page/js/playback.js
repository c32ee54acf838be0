// The playback panel: open a recorded class, play, pause, seek, speed, progress. The playback
// engine asks for stored data ("getStorageData"); the page answers with the bytes of the file of
// that name in the host's recording folder through "offlinePlay.setStorageData".
import {call, on} from './bridge.js';
import {$, el, command, report} from './ui.js';

const POLL_MS = 250;
/** @type {{open: boolean, playing: boolean, duration: number, progress: number, timer: number | null, seeking: boolean}} */
const state = {open: false, playing: false, duration: 0, progress: 0, timer: null, seeking: false};

/** @param {number} ms */
function clock(ms) {
  const seconds = Math.max(0, Math.floor(ms / 1000));
  return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

function render() {
  $('#play').disabled = !state.open || state.playing;
  $('#pause').disabled = !state.open || !state.playing;
  $('#close').disabled = !state.open;
  $('#seek').disabled = !state.open;
  $('#seek').max = String(state.duration || 600000);
  if (!state.seeking) $('#seek').value = String(state.progress);
  $('#progress-text').textContent = `${clock(state.progress)} / ${clock(state.duration)}`;
  $('#progress-text').dataset.progress = String(state.progress);
  $('#playback-state').textContent =
    !state.open ? 'No recording open' : state.playing ? 'Playing' : 'Paused';
}

async function poll() {
  const result = await call('offlinePlay.getPlayProgress').catch(() => null);
  // [0, progress] while there is one; [-1] otherwise.
  if (Array.isArray(result) && result[0] === 0 && result.length === 2) state.progress = result[1];
  render();
}

/** @param {boolean} on */
function polling(on) {
  clearInterval(state.timer ?? undefined);
  state.timer = on ? setInterval(poll, POLL_MS) : null;
}

/** @param {Event} event */
async function open(event) {
  event.preventDefault();
  const config = {id: Number($('#recording-id').value), userId: Number($('#user-id').value) || 0};
  const result = await command('offlinePlay.openMedia', JSON.stringify(config));
  if (!result || result[0] < 0) return;
  state.open = true;
  state.playing = false;
  state.progress = 0;
  $('#storage').replaceChildren();
  render();
}

async function play() {
  const result = await command('offlinePlay.playMedia');
  if (!result || result[0] < 0) return;
  state.playing = true;
  polling(true);
  render();
}

async function pause() {
  const result = await command('offlinePlay.pauseMedia');
  if (!result || result[0] < 0) return;
  state.playing = false;
  polling(false);
  await poll();
}

async function close() {
  polling(false);
  await command('offlinePlay.closeMedia');
  Object.assign(state, {open: false, playing: false, progress: 0});
  render();
}

async function seek() {
  state.seeking = false;
  await command('offlinePlay.seekMedia', Number($('#seek').value));
  await poll();
}

/** @param {string} key */
function storageRow(key) {
  const table = $('#storage');
  let row = [...table.children].find((r) => r.dataset.key === key);
  if (!row) {
    row = el('tr', {dataset: {key}}, el('td', {}, key), el('td', {}, ''), el('td', {}, ''));
    table.append(row);
  }
  return row;
}

// The engine polls until the answer is there; one answer per request.
/** @param {string} key */
async function storageRequested(key) {
  const row = storageRow(String(key));
  row.cells[2].textContent = 'requested';
  let bytes = new Uint8Array(0);
  let status = 0;
  try {
    const response = await fetch(`/recording/${encodeURIComponent(key)}`, {cache: 'no-store'});
    if (response.ok) bytes = new Uint8Array(await response.arrayBuffer());
    else status = response.status;  // any status above 0 fails the engine's fetch
  } catch (error) {
    status = 1;
  }
  row.cells[1].textContent = status ? '—' : `${bytes.length} bytes`;
  row.cells[2].textContent = status ? `not found (${status})` : 'answered';
  if (status) report(`stored data ${key}: not in the recording folder`);
  await command('offlinePlay.setStorageData', String(key), bytes, status);
}

export function start() {
  $('#open-form').addEventListener('submit', open);
  $('#play').addEventListener('click', play);
  $('#pause').addEventListener('click', pause);
  $('#close').addEventListener('click', close);
  $('#seek').addEventListener('input', () => { state.seeking = true; });
  $('#seek').addEventListener('change', seek);
  $('#speed').addEventListener('change',
    () => command('offlinePlay.setPlaySpeed', Number($('#speed').value)));
  on('onMediaInfo', (duration) => {
    state.duration = Number(duration) || 0;
    render();
  });
  on('getStorageData', storageRequested);
  on('OnMediaDataReady', (size) => {
    const rows = [...$('#storage').children].filter((r) => r.cells[2].textContent === 'answered');
    if (rows.length) rows[0].cells[2].textContent = size < 0 ? 'failed' : `delivered (${size} bytes)`;
  });
  render();
}
