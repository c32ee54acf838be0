// The live class: entering and leaving a room, the roster, chat, the microphone queue, the
// question, the network report, errors, and the development panel that makes the simulated
// engine act for the other participants.
import {on, simulate} from './bridge.js';
import {$, el, command, report} from './ui.js';

/** @typedef {import('./bridge.js').User} User */
/** @typedef {import('./bridge.js').SimulatedEvents} SimulatedEvents */
/** @typedef {import('./bridge.js').QuestionText} QuestionText */
/** @typedef {import('./bridge.js').AnswerSummaryText} AnswerSummaryText */
/**
 * The question on show: the engine's question text, then what this page adds to it.
 * @typedef {QuestionText & {answered?: number, result?: string,
 *   summary?: AnswerSummaryText | string, ended?: boolean}} Question
 */

/** @type {Record<number, string>} */
const ROLES = {1: 'teacher', 2: 'student', 4: 'assistant'};
/**
 * @type {{me: number | null, name: string, roomId: number, people: Map<number, User>,
 *   speaking: Set<number>, queue: User[], queueOpen: boolean, question: Question | null,
 *   camera: boolean}}
 */
const state = {
  me: null, name: '', roomId: -1,
  people: new Map(),     // id -> user object
  speaking: new Set(),   // ids
  queue: [],             // user objects, in queue order
  queueOpen: false,
  question: null,        // {questionId, optionNum, text, options, answered, summary, ended}
  camera: false,
};

function renderRoom() {
  const inRoom = state.roomId >= 0;
  $('#room-state').textContent = inRoom ?
    `Room ${state.roomId} · you are ${state.name || 'user'} (${state.me})` : 'Not in a room';
  $('#leave').disabled = !inRoom;
  $('#enter').disabled = inRoom;
  const list = $('#roster');
  list.replaceChildren();
  const order = /** @param {User} u */ (u) => [1, 4, 2].indexOf(u.type) + (u.id === state.me ? -10 : 0);
  const people = [...state.people.values()].sort((a, b) => order(a) - order(b) || a.id - b.id);
  for (const user of people) {
    const role = ROLES[user.type] || 'guest';
    const mine = user.id === state.me;
    const marks = [];
    if (state.speaking.has(user.id)) marks.push('speaking');
    if (state.queue.some((q) => q.id === user.id)) marks.push('hand up');
    list.append(el('li', {className: `person ${role}${mine ? ' me' : ''}`, dataset: {id: String(user.id)}},
      el('span', {className: 'role'}, role[0].toUpperCase()),
      el('span', {className: 'name'}, mine && state.name ? `${state.name} (you)` : user.name),
      el('span', {className: 'marks'}, marks.join(' · '))));
  }
  $('#roster-count').textContent = people.length ? `(${people.length})` : '';
  list.dataset.count = String(people.length);
  renderQueue();
}

function renderQueue() {
  $('#mic-state').textContent = state.queueOpen ? 'queue open' : 'queue closed';
  const list = $('#mic-queue');
  list.replaceChildren(...state.queue.map((u) => el('li', {}, u.name || `user ${u.id}`)));
  const speakers = [...state.speaking].map((id) => state.people.get(id)?.name || `user ${id}`);
  $('#speaking').textContent = speakers.length ? `Speaking: ${speakers.join(', ')}` : '';
}

/** @param {import('./bridge.js').Room} room */
function roomInfo(room) {
  if (!room || typeof room !== 'object') return;
  state.people.clear();
  for (const list of [room.teacherList, room.studentList, room.assistantList]) {
    for (const user of list || []) state.people.set(user.id, user);
  }
  state.speaking = new Set((room.speakingUserList || []).map((s) => s.id));
  state.queue = room.microphoneList || [];
  state.queueOpen = !!room.isMicrophoneQueueOpen;
  if (room.question) {
    state.question = {questionId: room.question.questionId, optionNum: room.question.optionNum};
    renderQuestion();
  }
  renderRoom();
}

/** @param {Event} event */
async function enter(event) {
  event.preventDefault();
  state.me = Number($('#user-id').value);
  state.name = $('#user-name').value.trim();
  const room = Number($('#room-id').value);
  const config = {id: room, userId: state.me, userType: 2, appVersion: '3.1.0.0001',
    server: {roomServer: {host: 'room.example', tcpPort: 5003}}};
  const result = await command('live.enterRoom', JSON.stringify(config));
  if (!result || result[0] < 0) return;
  state.roomId = room;
  renderRoom();
  if (state.name) await command('live.setNickname', state.name);
}

async function leave() {
  const result = await command('live.quitRoom');
  if (!result) return;
  state.roomId = -1;
  state.people.clear();
  state.speaking.clear();
  state.queue = [];
  state.camera = false;
  $('#camera').textContent = 'Camera on';
  renderRoom();
}

/** @param {import('./bridge.js').Chat} chat */
function chatLine(chat) {
  if (!chat || typeof chat !== 'object') return;
  const sender = chat.user || /** @type {Partial<User>} */ ({});
  const mine = sender.id === state.me;
  const time = new Date(Number(chat.timestamp) || Date.now()).toLocaleTimeString();
  const list = $('#chat');
  list.append(el('li', {className: mine ? 'mine' : ''},
    el('span', {className: 'who'}, mine && state.name ? state.name : sender.name || `user ${sender.id}`),
    el('span', {className: 'when'}, time),
    el('span', {className: 'text'}, String(chat.chat_message ?? ''))));
  list.scrollTop = list.scrollHeight;
  list.dataset.count = String(list.children.length);
}

/** @param {Event} event */
async function sendChat(event) {
  event.preventDefault();
  const input = $('#chat-text');
  const text = input.value.trim();
  if (!text) return;
  const result = await command('live.sendChatMessage', state.me ?? 0, text, 0);
  if (result && result[0] >= 0) input.value = '';
}

function renderQuestion() {
  const box = $('#question');
  const q = state.question;
  if (!q) return box.replaceChildren(el('p', {className: 'quiet'}, 'No question'));
  const options = Array.from({length: q.optionNum || 0},
    (_, i) => q.options?.[i] ?? String.fromCharCode(65 + i));
  const buttons = options.map((label, i) => {
    const closed = !!q.ended || q.answered !== undefined;
    const button = el('button', {className: 'option', disabled: closed}, label);
    if (q.answered === i) button.classList.add('chosen');
    button.addEventListener('click', () => answer(i));
    return button;
  });
  const parts = [el('p', {className: 'ask'}, q.text || `Question ${q.questionId}`),
    el('div', {className: 'options'}, ...buttons)];
  if (q.result) parts.push(el('p', {className: 'quiet'}, q.result));
  if (q.summary) {
    // A summary that is not JSON has no figures.
    const summary = typeof q.summary === 'object' ? q.summary : {};
    const stats = (summary.optionStats || []).map((s) => `${options[s.option] ?? s.option}: ${s.num}`);
    const students = summary.attendStudents ?? '?';
    parts.push(el('p', {className: 'summary'}, `Answers (${students} students): ${stats.join(', ')}`));
  }
  if (q.ended) parts.push(el('p', {className: 'quiet'}, 'The question is closed.'));
  box.replaceChildren(...parts);
}

/** @param {number} option */
async function answer(option) {
  const q = state.question;
  if (!q) return;
  const result = await command('live.myAnswer',
    JSON.stringify({questionId: q.questionId, selectedOptions: [option]}));
  if (result && result[0] >= 0) q.answered = option;
  renderQuestion();
}

/**
 * @param {string} name
 * @param {string} values
 */
function network(name, values) {
  const box = $('#network');
  const row = box.querySelector(`[data-name="${name}"]`) || el('div', {dataset: {name}});
  row.replaceChildren(el('dt', {}, name), el('dd', {}, values));
  box.append(row);
}

function me() {
  return {id: state.me ?? 42, type: 2, right: 1, name: state.name || `user ${state.me}`};
}

// What the development panel makes the simulated engine do (another participant's actions).
const TEACHER = {id: 9001, type: 1, right: 7, name: 'Teacher'};
const NEWCOMER = {id: 9104, type: 2, right: 1, name: 'Student D'};
/**
 * One event of the simulated engine: its arguments are taken now, the event is raised later.
 * @template {keyof SimulatedEvents} E
 * @param {E} event
 * @param {SimulatedEvents[E]} args
 */
function raise(event, ...args) {
  return () => simulate(event, ...args);
}

/** @type {Record<string, () => Array<() => Promise<unknown>>>} */
const SIMULATIONS = {
  'teacher-chat': () => [raise('OnChatMessage', state.roomId, {messageId: 501,
    requestMessageId: 't-1', text: 'Welcome! Today: fractions.', timestamp: Date.now(),
    messageType: 0, sender: TEACHER})],
  'teacher-stroke': () => [raise('OnSyncStroke', {a: 1, b: 0xc62828, points: Array.from({length: 40},
    (_, i) => [80 + i * 20, 400 - 250 * Math.sin(i / 12.7), 0.6])})],
  'student-joins': () => [raise('OnUserEnterRoom', NEWCOMER, state.people.size + 1)],
  'student-leaves': () => [raise('OnUserQuitRoom', NEWCOMER.id, 0)],
  'queue-opens': () => [raise('OnMicrophoneQueueOpened', 1)],
  'you-queued': () => [raise('OnMicrophoneApplied', me(), state.queue.length + 1)],
  'you-speak': () => [raise('OnMicrophoneApproved', me(), 1, 2, 3)],
  'question': () => [raise('OnAddQuestion', JSON.stringify(/** @type {QuestionText} */ ({
    questionId: 31, type: 1, optionNum: 4, text: 'Which fraction equals 0.5?',
    options: ['1/3', '2/4', '3/5', '4/7']})))],
  'summary': () => [raise('OnAnswerSummary', JSON.stringify(/** @type {AnswerSummaryText} */ ({
    questionId: 31, attendStudents: 4, optionStats: [{option: 1, num: 3}, {option: 2, num: 1}]}))),
  raise('OnEndQuestion', 31)],
  'network': () => [raise('OnNetStatistics', 48, 2, 31, 5, 120), raise('OnNetQuality', 1532, 12.5)],
  'teacher-video': () => [raise('OnGetVideoData', 1, 480, 270, 0, 7, 0)],
  'error': () => [raise('OnError', 505)],
};

/** @param {Event} event */
async function simulateClicked(event) {
  const what = /** @type {HTMLElement} */ (event.target).dataset.sim;
  if (!what) return;
  for (const send of SIMULATIONS[what]()) {
    try {
      await send();
    } catch (error) {
      report(/** @type {Error} */ (error).message);
    }
  }
}

export function start() {
  $('#enter-form').addEventListener('submit', enter);
  $('#leave').addEventListener('click', leave);
  $('#chat-form').addEventListener('submit', sendChat);
  $('#mic-apply').addEventListener('click', () => command('live.applyMicrophone'));
  $('#mic-cancel').addEventListener('click', () => command('live.revokeMicrophone', state.me ?? 0));
  $('#camera').addEventListener('click', async () => {
    const result = await command(state.camera ? 'live.stopSendVideo' : 'live.beginSendVideo');
    if (result && result[0] >= 0) state.camera = !state.camera;
    $('#camera').textContent = state.camera ? 'Camera off' : 'Camera on';
  });
  $('#simulate').addEventListener('click', simulateClicked);

  on('onRoomInfo', roomInfo);
  on('userEnterRoom', (count, user) => {
    if (user && typeof user === 'object') state.people.set(user.id, user);
    renderRoom();
  });
  on('userQuitRoom', (id) => {
    state.people.delete(id);
    state.speaking.delete(id);
    state.queue = state.queue.filter((u) => u.id !== id);
    renderRoom();
  });
  on('onChatMessage', chatLine);
  on('onChatMessageFailed', (b, a, text) => report(`chat message failed (${a}, ${b}): ${text}`));
  on('onMicrophoneQueueOpened', () => { state.queueOpen = true; renderQueue(); });
  on('onMicrophoneQueueClosed', () => { state.queueOpen = false; renderQueue(); });
  on('onMicrophoneApplied', (position, user) => {
    if (user && !state.queue.some((u) => u.id === user.id)) state.queue.push(user);
    renderRoom();
  });
  on('onMicrophoneApproved', (p, q, user) => {
    if (!user) return;
    state.queue = state.queue.filter((u) => u.id !== user.id);
    state.speaking.add(user.id);
    renderRoom();
  });
  on('onMicrophoneCanceled', (id) => {
    state.queue = state.queue.filter((u) => u.id !== id);
    state.speaking.delete(id);
    renderRoom();
  });
  on('onMicrophoneCancelAll', () => { state.queue = []; renderRoom(); });
  on('OnAddQuestion', (q) => {
    if (!q || typeof q !== 'object') return report(`a question that is not JSON: ${q}`);
    state.question = {...q};
    renderQuestion();
  });
  on('OnMyAnswer', (a) => {
    if (!state.question) return;
    const verdict = a && typeof a === 'object' && a.correct !== undefined ? (a.correct ? 'right' : 'wrong') : null;
    state.question.result = verdict ? `Your answer is ${verdict}.` : 'Your answer was recorded.';
    renderQuestion();
  });
  on('OnAnswerSummary', (s) => { if (state.question) state.question.summary = s; renderQuestion(); });
  on('OnEndQuestion', () => { if (state.question) state.question.ended = true; renderQuestion(); });
  on('OnRemoveQuestion', () => { state.question = null; renderQuestion(); });
  on('OnNetStatistics', (...values) => network('statistics', values.join(' · ')));
  on('OnUploadClientLog', (code, log) => network('quality', log && typeof log === 'object' ?
    `${log.packageCount} packages, jitter ${log.jitter}` : String(log)));
  on('host.stats', ({received, sent, skipped}) => {
    network('frames', Object.keys(received).map((s) => `stream ${s}: ${received[s]} from the ` +
      `bridge, ${sent[s] || 0} sent, ${skipped[s] || 0} skipped`).join('; ') || 'none');
  });
  renderRoom();
  renderQuestion();
}
