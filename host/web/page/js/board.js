// The whiteboard: the mouse draws a stroke, which goes out with "live.syncStroke" when the button
// is released; strokes arriving as "onSyncStroke" (ours echoed, others' as they come) are drawn
// in requestAnimationFrame. Board coordinates are the canvas's pixels (960 x 540).
import {call, on} from './bridge.js';
import {$, report} from './ui.js';

const PAGE = 1;            // first number of a stroke: our board page
const OURS = 0x1565c0;     // second number: the colour we draw with
/** @typedef {import('./bridge.js').Point} Point */
/** @type {Array<{points: Point[], colour: string}>} */
const strokes = [];        // {points, colour}, as the bridge delivered them
/** @type {Point[] | null} */
let drawing = null;        // points of the stroke under the mouse
/** @type {Point[][]} */
let sent = [];             // our strokes sent and not yet echoed (drawn faint)
let dirty = true;

/** @param {number} value */
function colourOf(value) {
  return `#${(Number(value) & 0xffffff).toString(16).padStart(6, '0')}`;
}

/**
 * @param {CanvasRenderingContext2D} context
 * @param {Point[]} points
 * @param {string} colour
 * @param {number} width
 * @param {number} [alpha]
 */
function path(context, points, colour, width, alpha = 1) {
  if (!points.length) return;
  context.globalAlpha = alpha;
  context.strokeStyle = colour;
  context.lineWidth = width;
  context.lineCap = context.lineJoin = 'round';
  context.beginPath();
  context.moveTo(points[0].x, points[0].y);
  for (const p of points.slice(1)) context.lineTo(p.x, p.y);
  if (points.length === 1) context.lineTo(points[0].x + 0.1, points[0].y);
  context.stroke();
  context.globalAlpha = 1;
}

function draw() {
  if (dirty) {
    dirty = false;
    const canvas = $('#board');
    const context = canvas.getContext('2d');
    context.fillStyle = '#fffdf5';
    context.fillRect(0, 0, canvas.width, canvas.height);
    for (const s of strokes) path(context, s.points, s.colour, 2 + 4 * (s.points[0]?.pressure ?? 0.5));
    for (const s of sent) path(context, s, colourOf(OURS), 3, 0.35);
    if (drawing) path(context, drawing, colourOf(OURS), 3, 0.6);
    canvas.dataset.strokes = String(strokes.length);
  }
  requestAnimationFrame(draw);
}

/**
 * @param {PointerEvent} event
 * @returns {Point}
 */
function boardPoint(event) {
  const canvas = $('#board');
  const box = canvas.getBoundingClientRect();
  return {
    x: Math.round(((event.clientX - box.left) * canvas.width) / box.width * 10) / 10,
    y: Math.round(((event.clientY - box.top) * canvas.height) / box.height * 10) / 10,
    pressure: event.pressure > 0 && event.pointerType === 'pen' ? event.pressure : 0.5,
  };
}

async function finish() {
  const points = drawing;
  drawing = null;
  if (!points || !points.length) return;
  sent.push(points);
  dirty = true;
  try {
    await call('live.syncStroke', points, PAGE, OURS);
  } catch (error) {
    sent = sent.filter((s) => s !== points);
    report(/** @type {Error} */ (error).message);
  }
}

export function start() {
  const canvas = /** @type {HTMLCanvasElement} */ ($('#board'));
  canvas.addEventListener('pointerdown', (event) => {
    canvas.setPointerCapture(event.pointerId);
    drawing = [boardPoint(event)];
    dirty = true;
  });
  canvas.addEventListener('pointermove', (event) => {
    if (!drawing) return;
    drawing.push(boardPoint(event));
    dirty = true;
  });
  canvas.addEventListener('pointerup', finish);
  canvas.addEventListener('pointercancel', finish);
  on('onSyncStroke', (count, points, page, colour) => {
    strokes.push({points: points || [], colour: colourOf(colour)});
    // Our own stroke echoed: it is no longer drawn as waiting (points came back as 32-bit floats).
    const same = /** @param {Point} a @param {Point} b */ (a, b) => Math.abs(a.x - b.x) < 0.01 && Math.abs(a.y - b.y) < 0.01;
    const mine = sent.findIndex((s) => s.length === (points || []).length && same(s[0], points[0]));
    if (mine >= 0) sent.splice(mine, 1);
    dirty = true;
  });
  on('onEraseStroke', () => {
    strokes.length = 0;
    dirty = true;
  });
  $('#erase').addEventListener('click', () => call('live.eraseStroke').catch((e) => report(e.message)));
  requestAnimationFrame(draw);
}
