#!/usr/bin/python3
"""The development host's figures from a page in headless Chromium, against their targets.

usage: page_bench.py [--rounds N] [--quick] [--only calls|frames] --side NAME -- KV_HOST_COMMAND... [--side NAME -- ...]

Each side is one kv_host command (the native build, or kv_host.exe under Wine); the rounds run
the sides in turn, the order swapped every round, each round with a fresh development host. Every
round also measures the floor: the same browser against a bare aiohttp WebSocket that answers at
once (no checks, no kv_host), printed beside each call figure. The
call figures run in a bare document of the host's origin with only bridge.js loaded (so the
classroom page's own handlers cost nothing); the frame figures on the classroom page, whose
video tiles draw them. Prints each figure's median over the rounds, its range and its target.
Started by `scripts/bench page`, which builds kv_host and makes the sealed Wine prefix.
"""
import argparse
import asyncio
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True
ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
from selenium import webdriver  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from aiohttp import web, WSMsgType  # noqa: E402

CHROME_FLAGS = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--no-first-run",
                "--window-size=1440,1100"]

SIZES = ((640, 360), (1280, 720), (1920, 1080))

# name, unit, target, whether lower is better
FIGURES = [
    ("pageTo round trip, median", "ms", 0.25, True),
    ("pageTo round trip, p99", "ms", 1.0, True),
    ("10,000 pageTo at once, to the last answer", "ms", 1000, True),
    ("1 MiB chat text, answer and echo", "ms", 10, True),
    ("4 MiB setStorageData block, answer", "ms", 20, True),
    # target: 97 % of the display's rate, measured beside (about 60 in headless Chromium)
    ("640 x 360 frames drawn", "fps", None, False),
    ("1280 x 720 frames drawn", "fps", None, False),
    ("1920 x 1080 frames drawn", "fps", None, False),
]

# What the host's call figures and the floor's share, so that both measure the same shapes.
SHARED = r"""
const now = () => performance.now();
const median = (times) => times.sort((a, b) => a - b)[times.length >> 1];
// `count` calls one at a time, after 200 that warm up.
const roundTrips = async (count, once) => {
  const times = [];
  for (let i = 0; i < count + 200; ++i) {
    const start = now();
    await once(i);
    if (i >= 200) times.push(now() - start);
  }
  times.sort((a, b) => a - b);
  return {'pageTo round trip, median': times[times.length >> 1],
          'pageTo round trip, p99': times[Math.floor(times.length * 0.99)]};
};
const longText = () => {
  let text = '';
  const piece = 'The quick brown fox "jumps" over the lazy dog\\ 0123456789 é ü ☃\n';
  while (text.length < (1 << 20)) text += piece;
  return text.slice(0, 1 << 20);
};
"""

CALLS = SHARED + r"""
const [quick, done] = arguments;
const fail = (error) => done({error: String(error && error.stack || error)});
(async () => {
  const {call, on} = await import('/page/js/bridge.js');
  const out = {};
  const config = {id: 7, userId: 42, userType: 2, appVersion: '3.1.0.0001',
    server: {roomServer: {host: 'room.example', tcpPort: 5003}}};
  const [entered] = await call('live.enterRoom', JSON.stringify(config));
  if (entered < 0) throw new Error(`enterRoom answered ${entered}`);

  const errors = [];
  const section = async (what, body) => {
    try { await body(); } catch (error) { errors.push(`${what}: ${error && error.message || error}`); }
  };
  // One at a time.
  await section('one at a time', async () => {
  Object.assign(out, await roundTrips(quick ? 500 : 3000, async (i) => {
    const result = await call('live.pageTo', i);
    if (!Array.isArray(result) || typeof result[0] !== 'number') throw new Error('pageTo result');
  }));
  });
  await section('10,000 at once', async () => {

  // 10,000 at once: every answer is its own call's, and they come back in order.
  const burst = 10000;
  const order = [];
  const start = now();
  await Promise.all(Array.from({length: burst}, (_, i) =>
    call('live.pageTo', i).then((result) => {
      if (!Array.isArray(result) || typeof result[0] !== 'number') throw new Error('burst result');
      order.push(i);
    })));
  out['10,000 pageTo at once, to the last answer'] = now() - start;
  if (order.length !== burst || order.some((v, i) => v !== i)) throw new Error('burst out of order');
  });
  await section('1 MiB text', async () => {

  // A 1 MiB text: the answer and the echo event, which must carry the same text.
  const text = longText();
  const chats = [];
  for (let r = 0; r < 5; ++r) {
    let echoed;
    const echo = new Promise((resolve) => { echoed = resolve; });
    const off = on('onChatMessage', (chat) => { if (chat && chat.chat_message === text) echoed(); });
    const start = now();
    const [code] = await call('live.sendChatMessage', 42, text, 0);
    if (code < 0) throw new Error(`sendChatMessage answered ${code}`);
    await Promise.race([echo, new Promise((_, no) => setTimeout(() => no(new Error('no echo')), 20000))]);
    chats.push(now() - start);
    off();
  }
  out['1 MiB chat text, answer and echo'] = median(chats);
  });
  await section('4 MiB block', async () => {

  // A 4 MiB stored-data block (a recorded segment).
  const [opened] = await call('offlinePlay.openMedia', JSON.stringify({id: 3}));
  if (opened < 0) throw new Error(`openMedia answered ${opened}`);
  const block = new Uint8Array(4 << 20);
  for (let i = 0; i < block.length; i += 4096) crypto.getRandomValues(block.subarray(i, i + 4096));
  const blocks = [];
  for (let r = 0; r < 5; ++r) {
    const start = now();
    await call('offlinePlay.setStorageData', 'bench-segment', block, 0);
    blocks.push(now() - start);
  }
  out['4 MiB setStorageData block, answer'] = median(blocks);
  await call('offlinePlay.closeMedia');
  });
  await section('leaving', () => call('live.quitRoom'));
  if (errors.length) out.error = errors.join('; ');
  return out;
})().then(done, fail);
"""

# Frames raised through simulate with two requests outstanding, so that the path is never idle;
# the classroom page's tile of the stream counts what it drew.
FRAMES = r"""
const [width, height, seconds, done] = arguments;
import('/page/js/bridge.js').then(async ({simulate}) => {
  const tile = () => document.querySelector('.tile[data-stream="2"]');
  const drawn = () => Number(tile()?.dataset.drawn || 0);
  await simulate('OnGetVideoData', 2, width, height, 0, 0, 0);
  await new Promise((r) => setTimeout(r, 300));
  const drawn0 = drawn(), start = performance.now();
  let frames = 0, ticks = 0, ticking = true;
  const tick = () => { ticks++; if (ticking) requestAnimationFrame(tick); };
  requestAnimationFrame(tick);
  const worker = async () => {
    while (performance.now() - start < seconds * 1000) {
      await simulate('OnGetVideoData', 2, width, height, 0, frames % 256, 0);
      frames++;
    }
  };
  await Promise.all([worker(), worker()]);
  const elapsed = (performance.now() - start) / 1000;
  ticking = false;
  const drawnNow = drawn();
  done({raised: frames / elapsed, drawn: (drawnNow - drawn0) / elapsed, display: ticks / elapsed});
}, (error) => done({error: String(error)}));
"""


# The floor of the call figures: the same shapes of request against a WebSocket that answers
# at once (a JSON request with a small JSON answer, an array of them with an array of answers, a
# text with itself, bytes with a small answer).
FLOOR = SHARED + r"""
const [quick, done] = arguments;
const ws = new WebSocket(`ws://${location.host}/ws`);
ws.binaryType = 'arraybuffer';
let onmessage = null;
ws.onmessage = (m) => onmessage(m);
const next = () => new Promise((resolve) => { onmessage = resolve; });
ws.onopen = async () => {
  const out = await roundTrips(quick ? 500 : 3000, async (i) => {
    const answer = next();
    ws.send(JSON.stringify({id: i, call: 'live.pageTo', args: [i]}));
    JSON.parse((await answer).data);
  });
  // As bridge.js sends them: at most 64 in flight, those sent together as one array.
  let sent = 0, left = 10000;
  const send = (count) => {
    const batch = [];
    for (; count > 0 && sent < 10000; --count) batch.push({id: sent, call: 'live.pageTo', args: [sent++]});
    if (batch.length) ws.send(JSON.stringify(batch));
  };
  const start = now();
  await new Promise((resolve) => {
    onmessage = (m) => {
      const answered = JSON.parse(m.data).length;
      left -= answered;
      if (left === 0) resolve(); else send(answered);
    };
    send(64);
  });
  out['10,000 pageTo at once, to the last answer'] = now() - start;
  const text = longText();
  const block = new Uint8Array(4 << 20);
  for (const [label, data] of [['1 MiB chat text, answer and echo', text],
                               ['4 MiB setStorageData block, answer', block]]) {
    const times = [];
    for (let r = 0; r < 5; ++r) {
      const start = now();
      const answer = next();
      ws.send(data);
      const {data: back} = await answer;
      if (data === text && back !== text) return done({error: 'the floor echo differs'});
      times.push(now() - start);
    }
    out[label] = median(times);
  }
  ws.close();
  done(out);
};
ws.onerror = () => done({error: 'the floor WebSocket failed'});
"""


# The floor of the frame figures: frames of the size asked for, two asks outstanding, from a
# server that has them ready; the page plays them as the classroom page's tiles do (one
# VideoFrame at a time to a generated track, the newest waiting) and counts what the video
# presents.
FLOOR_FRAMES = r"""
const [width, height, seconds, done] = arguments;
if (typeof MediaStreamTrackGenerator !== 'function') return done({error: 'no MediaStreamTrackGenerator'});
const ws = new WebSocket(`ws://${location.host}/frames`);
ws.binaryType = 'arraybuffer';
const track = new MediaStreamTrackGenerator({kind: 'video'});
const writer = track.writable.getWriter();
const video = Object.assign(document.createElement('video'), {muted: true, autoplay: true});
video.style.width = '300px';
video.srcObject = new MediaStream([track]);
document.body.append(video);
video.play().catch(() => {});
let newest = null, writing = false, presented = 0, counting = false, start = 0;
const shown = () => { if (counting) presented++; video.requestVideoFrameCallback(shown); };
video.requestVideoFrameCallback(shown);
const write = () => {
  if (writing || !newest) return;
  const frame = new VideoFrame(newest, {format: 'I420', codedWidth: width, codedHeight: height,
    timestamp: Math.round(performance.now() * 1000)});
  newest = null;
  writing = true;
  writer.write(frame).then(() => { writing = false; write(); });
};
ws.onmessage = (message) => {
  newest = new Uint8Array(message.data);
  write();
  if (performance.now() - start < seconds * 1000 + 300) ws.send(`${width}x${height}`);
};
ws.onopen = () => {
  start = performance.now();
  ws.send(`${width}x${height}`);
  ws.send(`${width}x${height}`);
  setTimeout(() => { counting = true; start = performance.now(); }, 300);
  setTimeout(() => { ws.close(); done({drawn: presented / ((performance.now() - start) / 1000)}); },
             seconds * 1000 + 300);
};
"""


class Floor:
    """A bare aiohttp server on its own thread: a blank page and a WebSocket that answers at
    once."""

    def __init__(self):
        started = threading.Event()
        self.origin = None
        self.thread = threading.Thread(target=self._run, args=(started,), daemon=True)
        self.thread.start()
        started.wait(30)

    def _run(self, started):
        async def page(request):
            return web.Response(text="<!doctype html><title>floor</title>", content_type="text/html")

        frames = {}

        async def frame_socket(request):
            ws = web.WebSocketResponse(compress=False)
            await ws.prepare(request)
            async for message in ws:
                width, height = (int(side) for side in message.data.split("x"))
                if (width, height) not in frames:
                    frames[width, height] = bytes(range(256)) * (width * height * 3 // 2 // 256)
                await ws.send_bytes(frames[width, height])
            return ws

        async def socket(request):
            ws = web.WebSocketResponse(compress=False, max_msg_size=64 << 20)
            await ws.prepare(request)
            async for message in ws:
                if message.type == WSMsgType.BINARY:
                    await ws.send_str('{"id":0,"result":[0]}')
                elif message.data.startswith('[{"id"'):
                    await ws.send_str(json.dumps([{"id": one["id"], "result": [0]}
                                                  for one in json.loads(message.data)]))
                elif message.data.startswith('{"id"'):
                    await ws.send_str(json.dumps({"id": json.loads(message.data)["id"],
                                                  "result": [0]}))
                else:
                    await ws.send_str(message.data)
            return ws

        try:  # the loop the development host runs on, where installed
            import uvloop
            loop = uvloop.new_event_loop()
        except ImportError:
            loop = asyncio.new_event_loop()
        app = web.Application()
        app.router.add_get("/", page)
        app.router.add_get("/ws", socket)
        app.router.add_get("/frames", frame_socket)
        runner = web.AppRunner(app, access_log=None)
        loop.run_until_complete(runner.setup())
        site = web.TCPSite(runner, "127.0.0.1", 0)
        loop.run_until_complete(site.start())
        self.origin = "http://127.0.0.1:%d" % site._server.sockets[0].getsockname()[1]
        started.set()
        loop.run_forever()

    def measure(self, driver, quick, only):
        result = {}
        if only in (None, "calls"):
            driver.get(self.origin + "/")
            result.update(driver.execute_async_script(FLOOR, quick))
        for width, height in SIZES if only in (None, "frames") else ():
            driver.get(self.origin + "/")
            drawn = driver.execute_async_script(FLOOR_FRAMES, width, height, 2 if quick else 5)
            result[f"{width} x {height} frames drawn"] = drawn.get("drawn")
            if "error" in drawn:
                result["error"] = drawn["error"]
        if "error" in result:
            print(f"  floor failed: {result.pop('error')}", file=sys.stderr)
        return {label: value for label, value in result.items() if value is not None}


def start_host(command):
    # KV_DEVHOST_PROFILE=FILE: the host runs under Python's profiler (FILE.N, one per host).
    profile = os.environ.get("KV_DEVHOST_PROFILE")
    profiler = ["-m", "cProfile", "-o", f"{profile}.{len(PROFILES)}"] if profile else []
    PROFILES.append(profile)
    host = subprocess.Popen(["/usr/bin/python3", *profiler, os.path.join(ROOT, "host", "web", "devhost.py"),
                             "--label", "bench", "--", *command], stdout=subprocess.PIPE, text=True)
    line = host.stdout.readline()
    match = re.search(r"open (http://\S+)/\?token=(\S+)", line)
    if not match:
        host.kill()
        raise SystemExit(f"the host did not print its address: {line!r}")
    return host, match.group(1), match.group(2)


PROFILES = []


def stop_host(host):
    host.terminate()
    try:
        host.wait(30)
    except subprocess.TimeoutExpired:
        host.kill()


def wait_open(driver, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if driver.execute_script("return document.body && document.body.dataset.connection") == "open":
            return
        time.sleep(0.05)
    raise RuntimeError("the page did not connect")


def one_round(driver, command, quick, only):
    host, origin, token = start_host(command)
    figures = {}
    try:
        # A bare document of the host's origin: bridge.js alone, connected by hand.
        driver.get(f"{origin}/bench-blank?token={token}")
        driver.execute_script("document.body.dataset.connection = '';"
                              "import('/page/js/bridge.js').then(({on, connect}) => {"
                              " on('connection', (s) => { document.body.dataset.connection = s; });"
                              " connect(); });")
        wait_open(driver)
        if only in (None, "calls"):
            result = driver.execute_async_script(CALLS, quick)
            if "error" in result:
                print(f"  failed: {result.pop('error')}", file=sys.stderr)
            figures.update(result)
        driver.get(f"{origin}/?token={token}")
        wait_open(driver)
        for width, height in SIZES if only != "calls" else ():
            result = driver.execute_async_script(FRAMES, width, height, 2 if quick else 5)
            if "error" in result:
                print(f"  frames failed: {result['error']}", file=sys.stderr)
                continue
            figures[f"{width} x {height} frames drawn"] = result["drawn"]
            figures[f"{width} x {height} frames raised"] = result["raised"]
            figures[f"{width} x {height} display"] = result["display"]
    finally:
        stop_host(host)
    return figures


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--quick", action="store_true", help="fewer calls, shorter frame runs")
    parser.add_argument("--only", choices=("calls", "frames"), help="one half of the figures")
    cut = argv.index("--side") if "--side" in argv else len(argv)
    options = parser.parse_args(argv[:cut])
    sides = []  # (name, command)
    words = argv[cut:]
    while words:
        if words[0] != "--side" or len(words) < 3 or words[2] != "--":
            raise SystemExit("usage: page_bench.py [--rounds N] --side NAME -- COMMAND... ...")
        name, words = words[1], words[3:]
        end = words.index("--side") if "--side" in words else len(words)
        sides.append((name, words[:end]))
        words = words[end:]
    chrome = webdriver.ChromeOptions()
    chrome.binary_location = "/usr/bin/chromium"
    profile = tempfile.mkdtemp(prefix="kv-bench-chromium-")
    for flag in CHROME_FLAGS + [f"--user-data-dir={profile}"]:
        chrome.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=chrome)
    driver.set_script_timeout(300)
    results = {name: [] for name, _ in sides}
    floors = []
    floor = Floor()
    try:
        for r in range(options.rounds):
            floors.append(floor.measure(driver, options.quick, options.only))
            order = sides if r % 2 == 0 else sides[::-1]
            for name, command in order:
                load = os.getloadavg()[0]
                print(f"round {r + 1}: {name} (load {load:.1f})", file=sys.stderr, flush=True)
                figures = one_round(driver, command, options.quick, options.only)
                figures["load"] = load
                results[name].append(figures)
    finally:
        driver.quit()
        subprocess.run(["rm", "-rf", profile], check=False)
    missed = 0
    for name, _ in sides:
        rounds = results[name]
        loads = [f["load"] for f in rounds]
        print(f"\n{name}: {len(rounds)} rounds, load average {min(loads):.1f} to {max(loads):.1f}")
        print(f"{'figure':44} {'median':>10} {'range':>21} {'target':>10}  {'floor':>9}")
        for label, unit, target, lower in FIGURES:
            if options.only and (unit == "fps") != (options.only == "frames"):
                continue
            values = [f[label] for f in rounds if label in f]
            if not values:
                print(f"{label:44} {'failed':>10}")
                missed += 1
                continue
            median = statistics.median(values)
            if unit == "fps":  # the display's rate in the same runs (requestAnimationFrame)
                display = [f[label.replace("frames drawn", "display")] for f in rounds
                           if label in f]
                target = round(statistics.median(display) * 0.97, 1)
            ok = median <= target if lower else median >= target
            missed += not ok
            sign = "<=" if lower else ">="
            bare = [f[label] for f in floors if label in f]
            floor_text = f"{statistics.median(bare):7.2f}{unit}" if bare else ""
            print(f"{label:44} {median:8.2f}{unit:>3} {min(values):9.2f} to {max(values):<9.2f}"
                  f"{sign + ' ' + format(target, 'g') + ' ' + unit:>10}  {floor_text:>9}"
                  f"{'' if ok else '  MISSED'}")
        for width, height in SIZES:
            values = [f[f"{width} x {height} frames raised"] for f in rounds
                      if f"{width} x {height} frames raised" in f]
            if values:
                print(f"{f'  ({width} x {height} frames answered to the page)':44} "
                      f"{statistics.median(values):8.2f}fps")
    if floors:
        print("\nfloor: the same browser against a bare aiohttp WebSocket that answers at once "
              "(frames: ready-made, played as the classroom page plays them), "
              f"median of {len(floors)} rounds")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
