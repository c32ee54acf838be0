#!/usr/bin/python3
"""The development host: serves the classroom page and connects it to kv_host over a WebSocket.

usage: devhost.py [--port N] [--data DIR] [--label TEXT] -- KV_HOST_COMMAND...

kv_host runs as a child process (with --frame-bytes) and speaks JSON lines; the page speaks JSON
text messages and receives video frames as binary messages. Started by scripts/serve, which builds
kv_host and makes the sealed Wine prefix; see docs/page-scripts.md.

Safety: the host listens on 127.0.0.1 only and accepts a WebSocket only from its own page's origin
and with the per-run token of the printed address, because the bridge can start programs and open
folders.
"""
import argparse
import asyncio
import ctypes
import fcntl
import json
import os
import re
import secrets
import signal
import struct
import sys
from collections import deque

from aiohttp import WSMsgType, web

HERE = os.path.dirname(os.path.abspath(__file__))
PAGE = os.path.join(HERE, "page")
# Matched with fullmatch: "$" would also accept a trailing newline.
CALL_NAME = re.compile(r"(engine|live|offlinePlay)\.[A-Za-z][A-Za-z0-9_]{0,63}")
EVENT_NAME = re.compile(r"[A-Za-z][A-Za-z0-9_]{0,63}")
DATA_KEY = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]{0,127}")
ANSWER_SECONDS = 60
MAX_FRAME_BYTES = 64 << 20  # also the read buffer's limit for one line
MAX_QUEUED_TEXTS = 10_000   # a page this far behind is dropped; it reconnects
ERROR_TEXT_SECONDS = 1      # at most one "kv_host printed" text per second
PIPE_BYTES = (8 << 20, 1 << 20)  # kv_host's output pipe: the first size the system grants
F_SETPIPE_SZ = 1031  # Linux fcntl (not named in Python's fcntl module before 3.10)
STATS_SECONDS = 2


def keep_frame_memory():
    """Frames of megabytes are otherwise mapped and unmapped for every copy (glibc serves large
    blocks with mmap); the page faults of fresh mappings cost more than the copies themselves and
    cut the frame rate several times on a busy machine. Keep such blocks on the heap instead."""
    try:
        libc = ctypes.CDLL("libc.so.6")
        libc.mallopt(-3, 64 << 20)   # M_MMAP_THRESHOLD
        libc.mallopt(-1, 256 << 20)  # M_TRIM_THRESHOLD
        libc.mallopt(-2, 64 << 20)   # M_TOP_PAD
    except (OSError, AttributeError):
        pass  # not glibc: only slower


class Page:
    """One connected page. Texts go out in order; of the frames only the newest per stream waits,
    so a page that falls behind skips frames instead of queueing them."""

    def __init__(self, ws):
        self.ws = ws
        self.texts = deque()
        self.dropped = False
        self.frames = {}  # stream -> binary message
        self.wake = asyncio.Event()
        self.sent = {}     # stream -> frames sent
        self.skipped = {}  # stream -> frames replaced by a newer one before they went out

    def text(self, message):
        if self.dropped or self.ws.closed:
            return
        if len(self.texts) >= MAX_QUEUED_TEXTS:
            # The page does not read: rather than grow without bound, close it (policy violation).
            self.dropped = True
            self.texts.clear()
            self.frames.clear()
            asyncio.get_running_loop().create_task(
                self.ws.close(code=1008, message=b"too far behind"))
            return
        self.texts.append(message if isinstance(message, str) else json.dumps(message))
        self.wake.set()

    def frame(self, stream, blob):
        if stream in self.frames:
            self.skipped[stream] = self.skipped.get(stream, 0) + 1
            del self.frames[stream]  # re-inserted last, so streams take turns
        self.frames[stream] = blob
        self.wake.set()

    async def pump(self):
        try:
            await self._pump()
        except (ConnectionError, RuntimeError):
            pass  # the page went away; its handler cleans up

    async def _pump(self):
        while not self.ws.closed:
            await self.wake.wait()
            self.wake.clear()
            while (self.texts or self.frames) and not self.ws.closed:
                if self.texts:
                    await self.ws.send_str(self.texts.popleft())
                    continue
                stream = next(iter(self.frames))
                blob = self.frames.pop(stream)
                await self.ws.send_bytes(blob)
                self.sent[stream] = self.sent.get(stream, 0) + 1


class LostSync(Exception):
    """kv_host's output no longer splits into lines and the blocks they announce."""


class Bridge:
    """kv_host as a child process: one request at a time (it answers in order), every other line
    to every page. Restarted when it ends."""

    def __init__(self, command, pages):
        self.command = command
        self.pages = pages
        self.process = None
        self.lock = asyncio.Lock()
        self.waiting = None  # (answer member, future) of the request in flight
        self.received = {}   # stream -> frames read from kv_host
        self.ended = asyncio.Event()
        self.last_error_text = 0.0

    async def start(self):
        # A frame crosses the pipe in one go instead of 64 KiB at a time: on a busy machine each
        # hand-over between the two processes costs a scheduling slice.
        read_end, write_end = os.pipe()
        for size in PIPE_BYTES:
            try:
                fcntl.fcntl(read_end, F_SETPIPE_SZ, size)
                break
            except OSError:
                continue
        try:
            self.process = await asyncio.create_subprocess_exec(
                *self.command, "--frame-bytes", stdin=asyncio.subprocess.PIPE, stdout=write_end)
        finally:
            os.close(write_end)
        loop = asyncio.get_running_loop()
        stdout = asyncio.StreamReader(limit=MAX_FRAME_BYTES)
        self.pipe, _ = await loop.connect_read_pipe(lambda: asyncio.StreamReaderProtocol(stdout),
                                                    os.fdopen(read_end, "rb", buffering=0))
        # The simulated engine plays a small class: room, echoes, camera, a recorded class.
        self._write({"sim": "classroom", "on": True})
        self.reader = loop.create_task(self._read(self.process, stdout))  # held: tasks are weak

    def _write(self, line):
        self.process.stdin.write((json.dumps(line) + "\n").encode())

    async def _read(self, process, stdout):
        # Whatever goes wrong here, kv_host is ended and keep_running starts it again: a reader
        # that stopped silently would leave the bridge hung with kv_host still running.
        try:
            while True:
                raw = await stdout.readline()
                if not raw:
                    break
                try:
                    line = json.loads(raw)
                except ValueError:
                    # With binary blocks in the stream, text that is not JSON means the reader
                    # lost its place; the bytes after it cannot be trusted.
                    self._error_text("kv_host printed: " + raw[:200].decode("utf-8", "replace"))
                    raise LostSync("a line that is not JSON") from None
                size = line.pop("bytesFollow", None) if isinstance(line, dict) else None
                data = None
                if size is not None:
                    if (not isinstance(size, int) or isinstance(size, bool)
                            or not 0 <= size < MAX_FRAME_BYTES):
                        raise LostSync(f"bytesFollow {size!r}")
                    data = await stdout.readexactly(size)
                self._dispatch(line, data)
        except asyncio.CancelledError:
            raise
        except Exception as error:  # noqa: BLE001 - any fault ends this kv_host, see above
            self.broadcast({"host": "error", "text": f"kv_host output unreadable: {error!r}"})
            try:
                process.kill()
            except ProcessLookupError:
                pass  # it ended meanwhile
        finally:
            self.pipe.close()
        status = await process.wait()
        self._answer("error", f"kv_host ended (status {status})")
        self.broadcast({"host": "bridgeEnded", "status": status})
        self.ended.set()

    def _error_text(self, text):
        now = asyncio.get_running_loop().time()
        if now - self.last_error_text >= ERROR_TEXT_SECONDS:
            self.last_error_text = now
            self.broadcast({"host": "error", "text": text})

    def _dispatch(self, line, data):
        if not isinstance(line, dict):
            return
        if self.waiting is not None:
            member = self.waiting[0]
            if member in line:
                return self._answer(member, line)
            if "error" in line:
                return self._answer("error", line["error"])
        if data is not None:
            return self._frame(line, data)
        # Events, size notices, error numbers, debug output and console notes go to every page.
        self.broadcast(line)

    def _frame(self, line, data):
        items = line.get("items") or []
        stream = items[0].get("value") if items and isinstance(items[0], dict) else None
        self.received[stream] = self.received.get(stream, 0) + 1
        header = json.dumps(line).encode()
        blob = struct.pack("<I", len(header)) + header + data
        for page in list(self.pages):
            page.frame(stream, blob)

    def _answer(self, member, value):
        if self.waiting is not None and not self.waiting[1].done():
            if member == "error":
                self.waiting[1].set_exception(RuntimeError(str(value)))
            else:
                self.waiting[1].set_result(value)

    def broadcast(self, message):
        text = json.dumps(message)
        for page in list(self.pages):
            page.text(text)

    async def request(self, line, member):
        """Sends one line and returns kv_host's answer line (the one holding `member`)."""
        async with self.lock:
            if self.process is None or self.process.returncode is not None:
                raise RuntimeError("kv_host is not running")
            future = asyncio.get_running_loop().create_future()
            self.waiting = (member, future)
            try:
                self._write(line)
                await self.process.stdin.drain()
                return await asyncio.wait_for(future, ANSWER_SECONDS)
            except asyncio.TimeoutError:
                # A late answer would be taken for the next request's: start afresh.
                try:
                    self.process.kill()
                except ProcessLookupError:
                    pass  # it ended meanwhile
                raise RuntimeError(f"kv_host did not answer within {ANSWER_SECONDS} s")
            except ConnectionError:
                raise RuntimeError("kv_host stopped reading")
            finally:
                self.waiting = None

    async def keep_running(self):
        while True:
            await self.ended.wait()
            self.ended.clear()
            await asyncio.sleep(1)
            await self.start()
            self.broadcast({"host": "bridgeStarted"})

    async def stop(self):
        if self.process is None or self.process.returncode is not None:
            return
        self.process.stdin.close()  # kv_host stops the engine and exits at the end of its input
        try:
            await asyncio.wait_for(self.process.wait(), 15)
        except asyncio.TimeoutError:
            self.process.kill()


def page_request(message):
    """The kv_host line and answer member for a page's request, or an error text."""
    if "call" in message:
        name, args = message["call"], message.get("args", [])
        if not isinstance(name, str) or not CALL_NAME.fullmatch(name):
            return None, "call takes a command name starting with engine., live. or offlinePlay."
        if not isinstance(args, list):
            return None, "args must be an array"
        return ({"call": name, "args": args}, "call"), None
    if "simulate" in message:
        # Development only: the simulated engine raises an event as another participant would.
        event, args = message["simulate"], message.get("args", [])
        if not isinstance(event, str) or not EVENT_NAME.fullmatch(event) or not isinstance(args, list):
            return None, "simulate takes an event name and an args array"
        return ({"sim": "emit", "event": event, "args": args}, "emit"), None
    return None, "a request has \"call\" or \"simulate\""


async def handle_request(bridge, page, text):
    try:
        message = json.loads(text)
        ident = message.get("id") if isinstance(message, dict) else None
    except ValueError:
        return page.text({"host": "error", "text": "request is not JSON"})
    if not isinstance(message, dict):
        return page.text({"host": "error", "text": "request is not a JSON object"})
    request, error = page_request(message)
    if error is None:
        try:
            answer = await bridge.request(*request)
            reply = ({"id": ident, "result": answer.get("result")} if request[1] == "call"
                     else {"id": ident, "result": answer})
        except RuntimeError as failure:
            reply = {"id": ident, "error": str(failure)}
        except Exception as failure:  # noqa: BLE001 - the page's promise must always settle
            reply = {"id": ident, "error": f"bridge failure: {failure!r}"}
    else:
        reply = {"id": ident, "error": error}
    page.text(reply)


def local_port(request):
    sockname = request.transport.get_extra_info("sockname") if request.transport else None
    return sockname[1] if sockname else 0


def own_host(request):
    """The Host header names us: a page from another site that rebinds its name to 127.0.0.1
    sends its own name here."""
    port = local_port(request)
    return request.host in (f"127.0.0.1:{port}", f"localhost:{port}")


def allowed(request):
    """Only our own page, on the loopback address, with this run's token, may connect."""
    if request.headers.get("Origin") != f"http://{request.host}":
        return False
    # Compared as bytes: compare_digest refuses non-ASCII text.
    return secrets.compare_digest(request.query.get("token", "").encode(),
                                  request.app["token"].encode())


async def websocket(request):
    if not allowed(request):
        raise web.HTTPForbidden(text="refused: wrong origin or token\n")
    ws = web.WebSocketResponse(heartbeat=20, max_msg_size=64 << 20)
    await ws.prepare(request)
    app = request.app
    page = Page(ws)
    app["pages"].add(page)
    pump = asyncio.get_running_loop().create_task(page.pump())
    page.text({"host": "hello", "label": app["label"]})
    tasks = set()
    try:
        async for message in ws:
            if message.type == WSMsgType.TEXT:
                task = asyncio.get_running_loop().create_task(
                    handle_request(app["bridge"], page, message.data))
                tasks.add(task)
                task.add_done_callback(tasks.discard)
    finally:
        app["pages"].discard(page)
        pump.cancel()
    return ws


async def recording(request):
    """A stored-data block of the recorded class, by key (plain file names only)."""
    key = request.match_info["key"]
    folder = request.app["data"]
    path = os.path.realpath(os.path.join(folder, key))
    if (not DATA_KEY.fullmatch(key) or os.path.dirname(path) != folder
            or not os.path.isfile(path)):
        raise web.HTTPNotFound()
    return web.FileResponse(path, headers={"Cache-Control": "no-store"})


async def index(request):
    return web.FileResponse(os.path.join(PAGE, "index.html"))


@web.middleware
async def headers(request, handler):
    if not own_host(request):
        raise web.HTTPForbidden(text="refused: wrong host\n")
    response = await handler(request)
    port = local_port(request)
    response.headers["Content-Security-Policy"] = (
        "default-src 'self'; connect-src 'self' "
        f"ws://127.0.0.1:{port} ws://localhost:{port}; img-src 'self' data:; "
        "frame-ancestors 'none'")
    response.headers["Referrer-Policy"] = "no-referrer"
    response.headers.setdefault("Cache-Control", "no-cache")
    return response


async def stats(app):
    """Every few seconds: frames per stream read from kv_host, sent to a page, skipped for it."""
    while True:
        await asyncio.sleep(STATS_SECONDS)
        for page in list(app["pages"]):
            page.text({"host": "stats", "seconds": STATS_SECONDS,
                       "received": app["bridge"].received, "sent": page.sent,
                       "skipped": page.skipped})


async def main(options):
    app = web.Application(middlewares=[headers])
    app["token"] = secrets.token_urlsafe(24)
    app["data"] = os.path.realpath(options.data)
    app["label"] = options.label
    app["pages"] = set()
    app["bridge"] = Bridge(options.command, app["pages"])
    app.router.add_get("/", index)
    app.router.add_get("/ws", websocket)
    app.router.add_get("/recording/{key}", recording)
    app.router.add_static("/page/", PAGE)
    await app["bridge"].start()
    runner = web.AppRunner(app, access_log=None)
    await runner.setup()
    site = web.TCPSite(runner, "127.0.0.1", options.port)
    await site.start()
    port = runner.addresses[0][1]
    print(f"open http://127.0.0.1:{port}/?token={app['token']}", flush=True)
    loop = asyncio.get_running_loop()
    stop = asyncio.Event()
    for sig in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(sig, stop.set)
    background = [loop.create_task(stats(app)), loop.create_task(app["bridge"].keep_running())]
    await stop.wait()
    for task in background:
        task.cancel()
    for page in list(app["pages"]):
        await page.ws.close()
    await app["bridge"].stop()
    await runner.cleanup()


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free)")
    parser.add_argument("--data", default=os.path.join(HERE, "recording"),
                        help="folder of the recorded class's stored data")
    parser.add_argument("--label", default="kv_host", help="what the page shows as the bridge")
    parser.add_argument("command", nargs="+", help="the kv_host command (after --)")
    return parser.parse_args(argv)


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    keep_frame_memory()
    asyncio.run(main(parse(sys.argv[1:])))
