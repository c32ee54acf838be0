// The page's one connection to the development host (docs/page-scripts.md). Every other module
// talks to kv_client through call() and on() only.
//
//   call(name, ...args)  -> promise of the command's result array
//   on(message, handler) -> handler(...values) for every event of that name; returns an "off"
//   simulate(event, ...args) -> the simulated engine raises an event (development host only)
//   warnings(false)      -> notes and host errors no longer go to the browser's console

const handlers = new Map();  // message name -> Set of handlers
const pending = new Map();   // request id -> {resolve, reject, name, timer}
/** @type {WebSocket | null} */
let socket = null;
let nextId = 1;
let retryMs = 500;
// The host's limits (docs/page-scripts.md, "Safety"); its hello message brings the current ones.
let limits = {answerSeconds: 60, requestBytes: 4 << 20, blockBytes: 16 << 20, inFlight: 64};
// A misspelt command answers [] and says why only in a note: shown in the browser's console
// unless the page turns it off.
let warnInConsole = true;

/** @param {boolean} on */
export function warnings(on) {
  warnInConsole = !!on;
}

/** @param {string} text */
function warn(text) {
  if (warnInConsole) console.warn(`kv: ${text}`);
}

/**
 * @param {string} message
 * @param {(...values: any[]) => void} handler
 */
export function on(message, handler) {
  if (!handlers.has(message)) handlers.set(message, new Set());
  handlers.get(message).add(handler);
  return () => handlers.get(message).delete(handler);
}

/**
 * @param {string} message
 * @param {unknown[]} values
 */
function emit(message, values) {
  for (const handler of handlers.get(message) || []) {
    try {
      handler(...values);
    } catch (error) {
      console.error(`handler of ${message} failed`, error);
    }
  }
  if (message !== '*') emit('*', [message, values]);
}

// Every promise settles: with the host's answer, when the connection drops, or at the latest a
// few seconds after the host's own answer time (the host answers every request within it).
// Beyond the host's in-flight limit requests wait here, in order, and go out as answers come
// back, so a page may send thousands at once; at most MAX_WAITING wait.
const MAX_WAITING = 1 << 20;
/**
 * @typedef {{data: string | Uint8Array, id: number, name: string, resolve: (v: any) => void,
 *   reject: (e: Error) => void}} Outgoing
 */
/** @type {Outgoing[]} */
let waiting = [];
let waitingHead = 0;

/**
 * @param {object} body
 * @param {string} name
 * @param {Uint8Array[]} blocks
 * @param {number} [textChars] the characters of the long texts among the blocks, which count
 *   towards the request's limit as they would inside its JSON
 * @returns {Promise<any>}
 */
function request(body, name, blocks, textChars = 0) {
  if (!socket || socket.readyState !== WebSocket.OPEN) {
    return Promise.reject(new Error(`${name}: not connected`));
  }
  if (waiting.length - waitingHead >= MAX_WAITING) {
    return Promise.reject(new Error(`${name}: ${MAX_WAITING} requests are already waiting`));
  }
  const id = nextId++;
  const text = JSON.stringify({id, ...body});
  const size = text.length + textChars;
  if (size > limits.requestBytes) {
    return Promise.reject(new Error(`${name}: a request of ${size} characters is over the ` +
                                    `host's limit of ${limits.requestBytes}`));
  }
  const blockBytes = blocks.reduce((sum, block) => sum + block.length, 0);
  if (blockBytes > limits.blockBytes) {
    return Promise.reject(new Error(`${name}: byte blocks of ${blockBytes} bytes are over the ` +
                                    `host's limit of ${limits.blockBytes}`));
  }
  /** @type {string | Uint8Array} */
  const data = blocks.length ? framed(text, blocks) : text;
  return new Promise((resolve, reject) => {
    if (pending.size < limits.inFlight && waitingHead === waiting.length) {
      send({data, id, name, resolve, reject});
    } else {
      waiting.push({data, id, name, resolve, reject});
    }
  });
}

// Texts sent in one task go as one message, a JSON array of the requests (within the host's
// request limit): each WebSocket message costs the browser and the host far more than its bytes.
/** @type {string[]} */
let outbox = [];
let outboxChars = 0;

function flush() {
  if (outbox.length && socket && socket.readyState === WebSocket.OPEN) {
    socket.send(outbox.length === 1 ? outbox[0] : `[${outbox.join(',')}]`);
  }
  outbox = [];
  outboxChars = 0;
}

/** @param {Outgoing} outgoing */
function send({data, id, name, resolve, reject}) {
  if (typeof data !== 'string') {
    flush();  // the texts before it go first
    /** @type {WebSocket} */ (socket).send(data);
  } else {
    if (outboxChars + data.length + 2 > limits.requestBytes) flush();
    if (!outbox.length) queueMicrotask(flush);
    outbox.push(data);
    outboxChars += data.length + 1;
  }
  const timer = setTimeout(() => {
    pending.delete(id);
    reject(new Error(`${name}: no answer within ${limits.answerSeconds} s`));
    sendWaiting();
  }, (limits.answerSeconds + 5) * 1000);
  pending.set(id, {resolve, reject, name, timer});
}

function sendWaiting() {
  while (waitingHead < waiting.length && pending.size < limits.inFlight &&
         socket && socket.readyState === WebSocket.OPEN) {
    send(waiting[waitingHead++]);
  }
  if (waitingHead === waiting.length) {
    waiting = [];
    waitingHead = 0;
  }
}

// Long texts travel as UTF-8 bytes too, {"$text": N} in their place: neither escaped into the JSON
// nor parsed out of it again (a text with a lone surrogate, which UTF-8 cannot carry, stays in
// the JSON).
const LONG_TEXT = 4096;
const LONE_SURROGATE = /\p{Cs}/u;
const utf8Encoder = new TextEncoder();

// Byte blocks (Uint8Array, ArrayBuffer) travel as bytes: the request becomes one binary message,
// framed as the frames that come back (4 bytes of header length, little-endian, the request as
// JSON with {"$bytes": N} in place of each block, then the blocks in order). The host takes them
// only where a command takes a block (the stored data of "offlinePlay.setStorageData"), and a
// block's count is always its length.
/**
 * @param {string} kind
 * @param {string} name
 * @param {unknown[]} args
 */
function requestWithArgs(kind, name, args) {
  /** @type {Uint8Array[]} */
  const blocks = [];
  let textChars = 0;
  const plain = args.map((value) => {
    if (typeof value === 'string' && value.length >= LONG_TEXT && !LONE_SURROGATE.test(value)) {
      const bytes = utf8Encoder.encode(value);
      blocks.push(bytes);
      textChars += value.length;
      return {$text: bytes.length};
    }
    if (value instanceof ArrayBuffer) value = new Uint8Array(value);
    if (!(value instanceof Uint8Array)) return value;
    blocks.push(value);
    return {$bytes: value.length};
  });
  return request({[kind]: name, args: plain}, name, blocks, textChars);
}

/**
 * @param {string} text
 * @param {Uint8Array[]} blocks
 */
function framed(text, blocks) {
  const header = utf8Encoder.encode(text);
  const size = blocks.reduce((sum, block) => sum + block.length, 4 + header.length);
  const message = new Uint8Array(size);
  new DataView(message.buffer).setUint32(0, header.length, true);
  message.set(header, 4);
  let at = 4 + header.length;
  for (const block of blocks) {
    message.set(block, at);
    at += block.length;
  }
  return message;
}

/**
 * @param {string} name
 * @param {...unknown} args
 */
export function call(name, ...args) {
  return requestWithArgs('call', name, args);
}

/**
 * @param {string} event
 * @param {...unknown} args
 */
export function simulate(event, ...args) {
  return requestWithArgs('simulate', event, args);
}

// Texts that hold JSON (objects, arrays, and the bridge's writer's texts, which end in a
// newline) arrive parsed; other texts as they are.
/** @param {unknown} text */
function textValue(text) {
  if (typeof text !== 'string') return text;
  const trimmed = text.trim();
  if (trimmed && (/^[[{]/.test(trimmed) || text.endsWith('\n'))) {
    try {
      return JSON.parse(trimmed);
    } catch (error) { /* a plain text after all */ }
  }
  return text;
}

/** @param {{type: number, value?: any} | null | undefined} item */
function itemValue(item) {
  if (item === null || item === undefined) return null;
  switch (item.type) {
    case 13: return textValue(item.value);
    case 25: return (item.value || []).map(([x, y, pressure]) => ({x, y, pressure}));
    default: return item.value;  // bool, int32, int64, double, array of doubles
  }
}

// "OnVideoSizeChange(0,640,360);" becomes on("OnVideoSizeChange", 0, 640, 360); the text is
// never run.
/** @param {string} text */
function scriptText(text) {
  const match = /^\s*([A-Za-z_]\w*)\(([-\d,\s]*)\);?\s*$/.exec(text || '');
  if (!match) return emit('script', [text]);
  const values = match[2].trim() ? match[2].split(',').map(Number) : [];
  emit(match[1], values);
}

/** @param {any} line */
function received(line) {
  if ('id' in line && pending.has(line.id)) {
    const {resolve, reject, name, timer} = pending.get(line.id);
    clearTimeout(timer);
    pending.delete(line.id);
    sendWaiting();
    return 'error' in line ? reject(new Error(`${name}: ${line.error}`)) : resolve(line.result);
  }
  if ('event' in line) return emit(line.event, (line.items || []).map(itemValue));
  if ('script' in line) return scriptText(line.script);
  if ('formatted' in line) {
    const number = Number(line.text);
    return emit(line.formatted, [Number.isNaN(number) ? line.text : number]);
  }
  if ('debug' in line) return emit('debug', [line.debug]);
  if ('note' in line) {
    warn(`note: ${line.note}`);
    return emit('note', [line.note]);
  }
  if ('error' in line) {
    warn(`host error: ${line.error}`);
    return emit('hostError', [line.error]);
  }
  if ('host' in line) {
    if (line.host === 'hello' && line.limits) limits = {...limits, ...line.limits};
    if (line.host === 'error') warn(`host error: ${line.text}`);
    return emit(`host.${line.host}`, [line]);
  }
}

const utf8 = new TextDecoder();

// A frame or an event with long texts: 4 bytes (little-endian) of header length, the event line
// as JSON, then the bytes. A text item {"$text":N} takes the next N bytes (UTF-8), in item order;
// the borrowed-bytes item of a frame takes the rest.
/** @param {ArrayBuffer} buffer */
function receivedFrame(buffer) {
  const length = new DataView(buffer).getUint32(0, true);
  const line = JSON.parse(utf8.decode(new Uint8Array(buffer, 4, length)));
  let at = 4 + length;
  emit(line.event, (line.items || []).map((item) => {
    if (item && typeof item.$text === 'number') {
      const text = utf8.decode(new Uint8Array(buffer, at, item.$text));
      at += item.$text;
      return textValue(text);
    }
    return item && item.type === 14 ? new Uint8Array(buffer, at) : itemValue(item);
  }));
}

/** @param {string} why */
function failPending(why) {
  for (const {reject, name, timer} of pending.values()) {
    clearTimeout(timer);
    reject(new Error(`${name}: ${why}`));
  }
  pending.clear();
  for (let i = waitingHead; i < waiting.length; ++i) {
    waiting[i].reject(new Error(`${waiting[i].name}: ${why}`));
  }
  waiting = [];
  waitingHead = 0;
}

// Connects with the token of the page's address and reconnects after a drop (0.5 s, doubling to
// 8 s). on("connection", state, detail): "connecting", "open", "closed".
export function connect() {
  const token = new URLSearchParams(location.search).get('token') || '';
  const url = `ws://${location.host}/ws?token=${encodeURIComponent(token)}&batch=1`;
  emit('connection', ['connecting', url.replace(/token=.*/, 'token=…')]);
  socket = new WebSocket(url);
  socket.binaryType = 'arraybuffer';
  socket.onopen = () => {
    retryMs = 500;
    emit('connection', ['open', '']);
  };
  socket.onmessage = (message) => {
    if (message.data instanceof ArrayBuffer) return receivedFrame(message.data);
    const value = JSON.parse(message.data);  // with batch=1, texts that waited together come
    if (Array.isArray(value)) value.forEach(received);  // as one array
    else received(value);
  };
  socket.onclose = (event) => {
    // 1008 with a reason: the host dropped this page (too far behind, not reading); 1009: a
    // message over the host's limit.
    const why = `code ${event.code}${event.reason ? ` (${event.reason})` : ''}`;
    failPending(`connection lost, ${why}`);
    const wait = retryMs;
    retryMs = Math.min(retryMs * 2, 8000);
    emit('connection', ['closed', `${why}; reconnecting in ${wait / 1000} s`]);
    setTimeout(connect, wait);
  };
}
