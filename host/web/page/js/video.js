// Video tiles: one per stream. Where the browser can, each frame goes to a <video> element as a
// VideoFrame (see `generator`); otherwise a canvas, sized by the size notices, is drawn in
// requestAnimationFrame from the newest frame of each stream. Either way only the newest frame
// waits: older frames that were never drawn are dropped.
import {on} from './bridge.js';
import {el} from './ui.js';

/**
 * @typedef {{canvas: HTMLCanvasElement, label: HTMLElement, figure: HTMLElement, width: number,
 *   height: number, frame: {bytes: Uint8Array, width: number, height: number} | null,
 *   drawn: number, received: number, image: ImageData | null, since: number, fps: number,
 *   video: Video | null}} Tile
 * @typedef {{element: HTMLVideoElement, writer: WritableStreamDefaultWriter<VideoFrame>,
 *   writing: boolean}} Video
 */
/** @type {Map<number, Tile>} */
const tiles = new Map();  // by stream

// I420 to RGBA (BT.601, studio range), integer arithmetic.
/**
 * @param {ImageData} image
 * @param {Uint8Array} bytes
 * @param {number} width
 * @param {number} height
 */
export function drawI420(image, bytes, width, height) {
  const out = image.data;
  const n = width >> 1;
  const r = height >> 1;
  const uStart = width * height;
  const vStart = uStart + ((n * height) >> 1);
  for (let y = 0; y < height; ++y) {
    // An odd height's last row has no chroma row of its own: it takes the one above.
    const chromaRow = Math.min(y >> 1, r - 1) * n;
    for (let x = 0; x < width; ++x) {
      const c = 298 * (bytes[y * width + x] - 16);
      const chroma = chromaRow + Math.min(x >> 1, n - 1);
      const d = bytes[uStart + chroma] - 128;
      const e = bytes[vStart + chroma] - 128;
      const o = (y * width + x) * 4;
      out[o] = (c + 409 * e + 128) >> 8;
      out[o + 1] = (c - 100 * d - 208 * e + 128) >> 8;
      out[o + 2] = (c + 516 * d + 128) >> 8;
      out[o + 3] = 255;
    }
  }
}

/**
 * @param {number} stream
 * @returns {Tile}
 */
function tile(stream) {
  const known = tiles.get(stream);
  if (known) return known;
  const canvas = el('canvas', {className: 'tile-canvas', width: 16, height: 9});
  const label = el('figcaption', {}, `stream ${stream}`);
  const figure = el('figure', {className: 'tile', dataset: {stream: String(stream)}}, canvas, label);
  /** @type {Tile} */
  const t = {canvas, label, figure, width: 0, height: 0, frame: null, drawn: 0, received: 0,
    image: null, since: performance.now(), fps: 0, video: null};
  t.video = generatedVideo(t);
  tiles.set(stream, t);
  const home = /** @type {Element} */ (
    document.querySelector(stream === 1000 ? '#playback-video' : '#video-tiles'));
  home.append(figure);
  return t;
}

/**
 * @param {Tile} t
 * @param {number} width
 * @param {number} height
 */
function resize(t, width, height) {
  if (t.width === width && t.height === height) return;
  t.width = t.canvas.width = width;
  t.height = t.canvas.height = height;
  t.image = null;
}

/** @type {(...values: import('./bridge.js').Messages['onGetVideoData']) => void} */
function frameArrived(stream, total, width, height, extra, ten, tick, bytes) {
  if (!(bytes instanceof Uint8Array) || bytes.length < total) return;
  const t = tile(stream);
  if (!t.width) resize(t, width, height);  // a frame before any notice
  t.frame = {bytes, width, height};
  t.received++;
  if (t.video) writeFrame(t, t.video);
}

// Bytes an I420 frame of the bridge fills: full-size luma, then two chroma planes of half width
// and half height rounded down, the second starting at luma + (half width x height) / 2.
/**
 * @param {number} width
 * @param {number} height
 */
export function i420Bytes(width, height) {
  const n = width >> 1;
  return width * height + ((n * height) >> 1) + n * (height >> 1);
}

// The browser's own conversion where it has one (VideoFrame from the I420 bytes, drawn to the
// canvas): several times faster than the loop above at 1920 x 1080. The loop stays for browsers
// without it and for odd sizes, whose chroma planes VideoFrame lays out differently.
let nativeFrames = typeof VideoFrame === 'function';
// BT.601 studio range, the conversion of drawI420.
const BT601 = {matrix: 'smpte170m', primaries: 'smpte170m', transfer: 'smpte170m', fullRange: false};

/**
 * @param {Uint8Array} bytes
 * @param {number} width
 * @param {number} height
 * @param {number} timestamp in microseconds
 */
function i420Frame(bytes, width, height, timestamp) {
  return new VideoFrame(bytes, {format: 'I420', codedWidth: width, codedHeight: height, timestamp,
    colorSpace: /** @type {VideoColorSpaceInit} */ (BT601)});
}

// Chromium's MediaStreamTrackGenerator: VideoFrames written to it play in a <video> element,
// whose frames the compositor converts and scales off the page's main thread. Drawing a
// 1920 x 1080 frame to a canvas takes that thread about as long as receiving it, and together
// they fell well short of the display's rate (docs/page-scripts.md, the page bench).
/** @type {any} */
const Generator = /** @type {any} */ (globalThis).MediaStreamTrackGenerator;
const generator = nativeFrames && typeof Generator === 'function' &&
  typeof HTMLVideoElement.prototype.requestVideoFrameCallback === 'function';

/**
 * @param {Tile} t
 * @returns {Video | null}
 */
function generatedVideo(t) {
  if (!generator) return null;
  try {
    const track = new Generator({kind: 'video'});
    const element = el('video', {className: 'tile-canvas', muted: true, autoplay: true,
      playsInline: true});
    element.srcObject = new MediaStream([track]);
    element.hidden = true;  // until its first frame: the canvas shows the size notice's shape
    t.canvas.after(element);
    /** @type {VideoFrameRequestCallback} */
    const presented = () => {
      shown(t, element);
      element.requestVideoFrameCallback(presented);
    };
    element.requestVideoFrameCallback(presented);
    element.play().catch(() => {});  // muted: plays without a gesture
    return {element, writer: track.writable.getWriter(), writing: false};
  } catch (error) {
    console.warn('MediaStreamTrackGenerator unavailable; drawing frames to a canvas', error);
    return null;
  }
}

// One frame at a time goes to the video; the newest that arrived meanwhile waits in t.frame.
/**
 * @param {Tile} t
 * @param {Video} video
 */
function writeFrame(t, video) {
  if (video.writing || !t.frame) return;
  const {bytes, width, height} = t.frame;
  if ((width & 1) || (height & 1) || bytes.length < i420Bytes(width, height)) return;  // canvas
  let frame;
  try {
    frame = i420Frame(bytes, width, height, Math.round(performance.now() * 1000));
  } catch (error) {
    return toCanvas(t, video, 'no VideoFrame', error);  // this frame too
  }
  t.frame = null;
  video.writing = true;
  video.writer.write(frame).then(() => {
    video.writing = false;
    writeFrame(t, video);
  }, (error) => {
    frame.close();
    toCanvas(t, video, 'video ended', error);
  });
}

// The canvas from now on: a failure would otherwise repeat at every frame, none shown.
/**
 * @param {Tile} t
 * @param {Video} video
 * @param {string} why
 * @param {unknown} error
 */
function toCanvas(t, video, why, error) {
  t.video = null;
  video.element.remove();
  t.canvas.hidden = false;
  console.warn(`stream ${t.figure.dataset.stream}: ${why}; drawing to a canvas`, error);
}

/**
 * @param {Tile} t
 * @param {HTMLElement} visible the tile's element that shows the frame
 */
function shown(t, visible) {
  t.drawn++;
  t.figure.dataset.drawn = String(t.drawn);
  if (!visible.hidden) return;
  for (const element of [t.canvas, t.video && t.video.element]) {
    if (element) element.hidden = element !== visible;
  }
}

/**
 * @param {CanvasRenderingContext2D} context
 * @param {Uint8Array} bytes
 * @param {number} width
 * @param {number} height
 */
function drawNative(context, bytes, width, height) {
  if (!nativeFrames || (width & 1) || (height & 1)) return false;
  let frame;
  try {
    frame = i420Frame(bytes, width, height, 0);
  } catch (error) {
    nativeFrames = false;  // not supported after all: the loop from now on
    console.warn('VideoFrame unavailable; converting frames in JavaScript', error);
    return false;
  }
  try {
    context.drawImage(frame, 0, 0);
  } finally {
    frame.close();
  }
  return true;
}

/** @param {Tile} t */
function drawTile(t) {
  if (!t.frame) return;
  const {bytes, width, height} = t.frame;
  if (t.video && !(width & 1) && !(height & 1)) return;  // the video's, written as it arrived
  t.frame = null;
  if (width !== t.width || height !== t.height || !(width > 0 && height > 0)) return;
  if (bytes.length < i420Bytes(width, height)) return;
  const context = /** @type {CanvasRenderingContext2D} */ (t.canvas.getContext('2d'));
  if (!drawNative(context, bytes, width, height)) {
    if (!t.image) t.image = context.createImageData(width, height);
    drawI420(t.image, bytes, width, height);
    context.putImageData(t.image, 0, 0);
  }
  shown(t, t.canvas);
}

function draw() {
  const now = performance.now();
  for (const [stream, t] of tiles) {
    // One bad frame must not end the drawing loop for every tile.
    try {
      drawTile(t);
    } catch (error) {
      console.warn(`stream ${stream}: frame not drawn`, error);
    }
    if (now - t.since >= 1000) {
      t.fps = (t.received * 1000) / (now - t.since);
      t.received = 0;
      t.since = now;
      t.label.textContent = `stream ${stream} · ${t.width} × ${t.height} · ${t.fps.toFixed(1)} fps`;
      t.figure.dataset.fps = t.fps.toFixed(1);
    }
  }
  requestAnimationFrame(draw);
}

export function start() {
  on('OnVideoSizeChange', (stream, width, height) => {
    const t = tile(stream);
    resize(t, width, height);
    t.label.textContent = `stream ${stream} · ${width} × ${height}`;
  });
  on('onGetVideoData', frameArrived);
  on('onVideoData', frameArrived);
  requestAnimationFrame(draw);
}
