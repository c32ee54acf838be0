#!/usr/bin/python3
"""The development host: serves the classroom page and connects it to kv_host over a WebSocket.

usage: devhost.py [--port N] [--data DIR] [--label TEXT] [--trace FILE] -- KV_HOST_COMMAND...

kv_host runs as a child process (with --frame-bytes --plain-args --framed): it reads records (a
console line, then the bytes of its blocks and long texts) and writes JSON lines, each frame's
bytes after its line. The page speaks JSON text messages, binary messages for requests with byte
blocks, and receives video frames as binary messages. Started by scripts/serve,
which builds kv_host and makes the sealed Wine prefix; see docs/page-scripts.md.

Safety (docs/page-scripts.md, "Safety"): the bridge can start programs and open folders, so the
host listens on a fresh loopback address per run and accepts a WebSocket only from its own page's
origin with the per-run token; a page's requests are checked (plain JSON, bounded sizes and
nesting, no console-only forms) before anything reaches kv_host; every queue is bounded in bytes
per page, every request is answered within ANSWER_SECONDS, idle connections are cut and kv_host
is started again whenever it ends.
"""
import argparse
import asyncio
import base64
import binascii
import ctypes
import errno
import fcntl
import json
import math
import os
import re
import secrets
import signal
import struct
import sys
from collections import OrderedDict, deque

from aiohttp import WSMsgType, web

HERE = os.path.dirname(os.path.abspath(__file__))
PAGE = os.path.join(HERE, "page")
# Matched with fullmatch: "$" would also accept a trailing newline.
CALL_NAME = re.compile(r"(engine|live|offlinePlay)\.[A-Za-z][A-Za-z0-9_]{0,63}")
EVENT_NAME = re.compile(r"[A-Za-z][A-Za-z0-9_]{0,63}")
DATA_KEY = re.compile(r"[A-Za-z0-9_-][A-Za-z0-9._-]{0,127}")
# The id bridge.js puts first in every request: read before parsing, so that a request that does
# not parse (or is too large to) still gets its answer.
LEADING_ID = re.compile(r'\s*\{\s*"id"\s*:\s*(-?[0-9]{1,15})\s*[,}]')

# Limits (docs/page-scripts.md, "Safety").
ANSWER_SECONDS = 60               # every request is answered within this time of its arrival
MAX_REQUEST_BYTES = 4 << 20       # one request; larger ones are answered with an error
MAX_BLOCK_BYTES = 16 << 20        # the byte blocks of one binary request, together
MAX_MESSAGE_BYTES = 32 << 20      # aiohttp's own limit: beyond it the connection closes (1009)
MAX_NESTING = 32                  # levels of arrays and objects in a request's arguments
MAX_IN_FLIGHT = 64                # requests of one page not yet answered
ATTACH_TEXT_CHARS = 4096          # texts this long go to kv_host as bytes, not JSON
PIPELINE_DEPTH = 32               # requests written to kv_host ahead of their answers
BATCH_TEXTS = 256                 # texts to a page in one message (pages that ask for batches)
BATCH_BYTES = 256 << 10
MAX_PAGE_QUEUE_BYTES = 32 << 20   # texts and frames waiting to go to one page
MAX_PAGES = 16                    # connected pages at once
MAX_LINE_BYTES = 16 << 20         # one line of kv_host's output (frames' bytes are not lines)
MAX_FRAME_BYTES = 64 << 20        # the bytes after one frame line
PASS_THROUGH_BYTES = 64 << 10     # event lines this long go to the pages unparsed
SEND_STALL_SECONDS = 20           # a page that takes nothing for this long is dropped
CLOSE_SECONDS = 15                # a closing handshake (or a dropped page's last data) taking longer is cut
HTTP_IDLE_SECONDS = 10            # a plain HTTP connection without a request in progress
HEARTBEAT_SECONDS = 10            # WebSocket ping; no pong within half of it closes
RESTART_FIRST_SECONDS = 0.5       # kv_host's restart back-off: doubling up to
RESTART_MAX_SECONDS = 8
RESTART_RESET_SECONDS = 10        # a kv_host that ran this long restarts after the first delay
# What the simulated engine generates for a page's simulate (it refuses more by itself, and its
# output must stay below the limits above).
SIM_MAX_SIDE = 4096               # frame width and height: 4096 x 4096 I420 is 24 MiB
SIM_MAX_PAD = 256
SIM_MAX_PACKED_BYTES = 16 << 20
SIM_MAX_STROKE_POINTS = 100_000
SIM_MAX_AUDIO_FRAMES = 96_000

CLOSE_TOO_FAR_BEHIND = 1008       # policy violation, with the reason as the close message
ERROR_TEXT_SECONDS = 1            # at most one "kv_host printed" text per second
PIPE_BYTES = (8 << 20, 1 << 20)   # kv_host's output pipe: the first size the system grants
F_SETPIPE_SZ = 1031  # Linux fcntl (not named in Python's fcntl module before 3.10)
STATS_SECONDS = 2
SWEEP_SECONDS = 1

# Served from the page folder: only these types, each with its type named (with nosniff, a
# module script must come as JavaScript).
PAGE_TYPES = {".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
              ".css": "text/css; charset=utf-8", ".png": "image/png", ".svg": "image/svg+xml",
              ".json": "application/json", ".jpg": "image/jpeg", ".ico": "image/x-icon",
              ".ts": "text/plain; charset=utf-8", ".txt": "text/plain; charset=utf-8"}
# A file of a page: plain names, folders included; no name starts with "." (no "..", no hidden
# files), and no backslash, "%", NUL or ":" can be in one.
PAGE_PATH = re.compile(r"([A-Za-z0-9_-][A-Za-z0-9._-]*/)*[A-Za-z0-9_-][A-Za-z0-9._-]*")
# What a developer's page (--page) gets of the project's own page, at the same paths as the
# project's page uses: the bridge module and its declarations.
BRIDGE_FILES = ("js/bridge.js", "js/bridge.d.ts", "js/catalogue.d.ts")


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


def limits():
    """The limits a page can act on, sent in its hello message."""
    return {"answerSeconds": ANSWER_SECONDS, "requestBytes": MAX_REQUEST_BYTES,
            "blockBytes": MAX_BLOCK_BYTES,
            "nesting": MAX_NESTING, "inFlight": MAX_IN_FLIGHT, "queueBytes": MAX_PAGE_QUEUE_BYTES}


class Page:
    """One connected page. Texts go out in order; of the frames only the newest per stream waits,
    so a page that falls behind skips frames instead of queueing them. What waits is bounded in
    bytes: a page whose texts pass the bound, or that takes nothing for SEND_STALL_SECONDS, is
    dropped with close code 1008 and the reason."""

    def __init__(self, ws, transport, batches=False):
        self.ws = ws
        self.transport = transport
        # Asked for by bridge.js (?batch=1): texts waiting together go as one message, a JSON
        # array of them; each message costs the browser more than its bytes do.
        self.batches = batches
        self.texts = deque()
        self.text_bytes = 0
        self.frames = {}  # stream -> binary message
        self.frame_bytes = 0
        self.dropped = None      # the reason, once dropped
        self.closing_since = None
        self.sending_since = None
        self.in_flight = 0
        self.wake = asyncio.Event()
        self.sent = {}     # stream -> frames sent
        self.skipped = {}  # stream -> frames replaced by a newer one, or over the bound
        self.pump_task = None
        self.closer = None  # the close of a dropped page

    def queued(self):
        return self.text_bytes + self.frame_bytes

    def text(self, message):
        if self.dropped or self.ws.closed:
            return
        text = message if isinstance(message, (str, bytes)) else json.dumps(message)
        if self.queued() + len(text) > MAX_PAGE_QUEUE_BYTES:
            return self.drop(f"too far behind: more than {MAX_PAGE_QUEUE_BYTES >> 20} MiB waiting")
        self.texts.append(text)
        self.text_bytes += len(text)
        self.wake.set()

    def frame(self, stream, blob):
        if self.dropped or self.ws.closed:
            return
        old = self.frames.pop(stream, None)  # re-inserted last, so streams take turns
        if old is not None:
            self.frame_bytes -= len(old)
            self.skipped[stream] = self.skipped.get(stream, 0) + 1
        if self.queued() + len(blob) > MAX_PAGE_QUEUE_BYTES:
            self.skipped[stream] = self.skipped.get(stream, 0) + 1
            return
        self.frames[stream] = blob
        self.frame_bytes += len(blob)
        self.wake.set()

    def drop(self, reason):
        """Stops sending to the page and closes it with 1008 and `reason`; cut if it does not
        take the close within CLOSE_SECONDS."""
        if self.dropped:
            return
        self.dropped = reason
        print(f"devhost: a page was dropped: {reason}", file=sys.stderr, flush=True)
        self.texts.clear()
        self.frames.clear()
        self.text_bytes = self.frame_bytes = 0
        if self.pump_task is not None:
            self.pump_task.cancel()
        self.close(CLOSE_TOO_FAR_BEHIND, reason)

    def close(self, code, reason):
        """Closes with `code` and `reason` (the page's handler waits for this close)."""
        if self.closer is None:
            self.closer = asyncio.get_running_loop().create_task(self._close(code, reason))
        return self.closer

    async def _close(self, code, reason):
        # What was already written goes out first, then the close frame: a page that reads at
        # all sees the code. One that does not is cut (here, or by the sweep).
        try:
            await asyncio.wait_for(self.ws.close(code=code, message=reason.encode()[:120]),
                                   CLOSE_SECONDS)
        except Exception:  # noqa: BLE001 - whatever failed, the connection goes
            self.abort()

    async def linger(self):
        """After the close frame of a drop: takes and throws away what the page still sends until
        it closes its side (or CLOSE_SECONDS pass). Closing the socket with the page's requests
        unread would reset the connection, and the reset discards the close frame still waiting
        in the socket's buffer behind what the page has not read yet (the page saw 1006)."""
        transport = self.transport
        if transport is None or transport.is_closing():
            return
        original = transport.get_protocol()
        discard = Discard(original)
        transport.set_protocol(discard)
        transport.resume_reading()
        transport.write_eof()  # once the close frame is out, nothing more is written
        try:
            await asyncio.wait_for(asyncio.shield(discard.ended), CLOSE_SECONDS)
        except asyncio.TimeoutError:
            self.abort()
        transport.set_protocol(original)

    def abort(self):
        """Cuts the connection, also one that is closing but waits for a peer that reads
        nothing."""
        if self.transport is not None:
            self.transport.abort()

    def _batch(self, first):
        """`first` and the texts waiting behind it (up to a binary message, BATCH_TEXTS of them
        or BATCH_BYTES) as one JSON array."""
        batch, size = [first], len(first)
        texts = self.texts
        while (texts and isinstance(texts[0], str) and len(batch) < BATCH_TEXTS
               and size + len(texts[0]) <= BATCH_BYTES):
            text = texts.popleft()
            self.text_bytes -= len(text)
            size += len(text)
            batch.append(text)
        return "[" + ",".join(batch) + "]" if len(batch) > 1 else first

    async def pump(self):
        try:
            await self._pump()
        except (ConnectionError, RuntimeError):
            pass  # the page went away; its handler cleans up

    async def _pump(self):
        loop = asyncio.get_running_loop()
        while not self.ws.closed:
            await self.wake.wait()
            self.wake.clear()
            while (self.texts or self.frames) and not self.ws.closed:
                self.sending_since = loop.time()
                if self.texts:
                    text = self.texts.popleft()
                    self.text_bytes -= len(text)
                    if self.batches and self.texts and isinstance(text, str):
                        text = self._batch(text)
                    if isinstance(text, bytes):  # an event with its long texts
                        await self.ws.send_bytes(text)
                    else:
                        await self.ws.send_str(text)
                else:
                    stream = next(iter(self.frames))
                    blob = self.frames.pop(stream)
                    self.frame_bytes -= len(blob)
                    await self.ws.send_bytes(blob)
                    self.sent[stream] = self.sent.get(stream, 0) + 1
                self.sending_since = None


class Discard(asyncio.Protocol):
    """A dropped page's connection while it ends: what arrives is thrown away."""

    def __init__(self, original):
        self.original = original
        self.ended = asyncio.get_running_loop().create_future()

    def _end(self):
        if not self.ended.done():
            self.ended.set_result(None)

    def data_received(self, data):
        pass

    def eof_received(self):
        self._end()
        return True  # the handler's return closes it

    def connection_lost(self, exc):
        self._end()
        self.original.connection_lost(exc)


def binary_message(line, data):
    """A binary message to the pages: 4 bytes (little-endian) of header length, the line as JSON,
    the bytes that followed it."""
    header = json.dumps(line).encode()
    return struct.pack("<I", len(header)) + header + data


class LostSync(Exception):
    """kv_host's output no longer splits into lines and the blocks they announce."""


class LineTooLong(Exception):
    """A line of kv_host's output over MAX_LINE_BYTES, skipped up to its end."""

    def __init__(self, size, start):
        super().__init__(f"a line of {size} bytes")
        self.size = size
        self.start = start  # its first bytes: whose answer it was


class Request:
    """One page request on its way: answered exactly once, by kv_host's answer, an error, or the
    deadline ANSWER_SECONDS after its arrival."""

    def __init__(self, page, ident, line, member):
        self.page = page
        self.ident = ident
        self.line = line
        self.member = member
        self.settled = False
        self.written = None        # when it went to kv_host
        self.waiting_since = None  # when it began waiting for kv_host to be started again
        page.in_flight += 1
        self.timer = asyncio.get_running_loop().call_later(ANSWER_SECONDS, self._late)

    def _late(self):
        self.fail(f"no answer within {ANSWER_SECONDS} s")

    def answer(self, line):
        if self.member == "call":
            self._settle({"id": self.ident, "result": line.get("result")})
        else:
            self._settle({"id": self.ident, "result": line})

    def fail(self, why):
        self._settle({"id": self.ident, "error": why})

    def drop(self):
        """The page has gone: nothing to send, nothing to run."""
        self._settle(None)

    def _settle(self, reply):
        if self.settled:
            return
        self.settled = True
        self.timer.cancel()
        self.page.in_flight -= 1
        if reply is not None:
            self.page.text(reply)


async def read_line(stdout):
    """The next line of kv_host's output (b"" at its end). A line over the reader's limit is read
    to its end and dropped (LineTooLong), so the lines after it stay in step."""
    try:
        return await stdout.readuntil(b"\n")
    except asyncio.IncompleteReadError as end:
        return end.partial
    except asyncio.LimitOverrunError as overrun:
        consumed = overrun.consumed
    start = b""
    size = 0
    while True:
        chunk = await stdout.readexactly(consumed)
        start = start or chunk[:200]
        size += len(chunk)
        try:
            size += len(await stdout.readuntil(b"\n"))
            raise LineTooLong(size, start)
        except asyncio.IncompleteReadError as end:
            raise LineTooLong(size + len(end.partial), start) from None
        except asyncio.LimitOverrunError as overrun:
            consumed = overrun.consumed


class Bridge:
    """kv_host as a child process: one request at a time (it answers in order), taken from the
    pages' queues in turn; every other line to every page. Started again whenever it ends."""

    def __init__(self, command, pages, trace=None):
        self.command = command
        self.pages = pages
        self.trace = trace
        self.process = None
        self.pipe = None
        self.queues = OrderedDict()  # page -> deque of Request, served round-robin
        self.work = asyncio.Event()
        # Requests written to kv_host and not yet answered, oldest first: kv_host answers in
        # order, so the next answer line is the oldest one's. At most PIPELINE_DEPTH.
        self.in_flight = deque()
        self.received = {}   # stream -> frames read from kv_host
        self.running = asyncio.Event()
        self.ended = asyncio.Event()
        self.started_at = 0.0
        self.start_error = None
        self.end_text = ""
        self.last_error_text = 0.0

    async def start(self):
        """Starts kv_host; on any failure nothing is left open and the error is raised."""
        loop = asyncio.get_running_loop()
        read_end, write_end = os.pipe()
        process = None
        try:
            # A frame crosses the pipe in one go instead of 64 KiB at a time: on a busy machine
            # each hand-over between the two processes costs a scheduling slice.
            for size in PIPE_BYTES:
                try:
                    fcntl.fcntl(read_end, F_SETPIPE_SZ, size)
                    break
                except OSError:
                    continue
            try:
                process = await asyncio.create_subprocess_exec(
                    *self.command, "--frame-bytes", "--plain-args", "--framed",
                    stdin=asyncio.subprocess.PIPE, stdout=write_end)
            finally:
                os.close(write_end)
            stdout = asyncio.StreamReader(limit=MAX_LINE_BYTES)
            reader = os.fdopen(read_end, "rb", buffering=0)
            read_end = None  # the file owns it now
            try:
                pipe, _ = await loop.connect_read_pipe(
                    lambda: asyncio.StreamReaderProtocol(stdout), reader)
            except BaseException:
                reader.close()
                raise
        except BaseException:
            if read_end is not None:
                os.close(read_end)
            if process is not None:
                try:
                    process.kill()
                except ProcessLookupError:
                    pass
                await process.wait()
            raise
        self.process, self.pipe = process, pipe
        self.started_at = loop.time()
        self.start_error = None
        # The simulated engine plays a small class: room, echoes, camera, a recorded class. It
        # keeps no journal: no page can take it, and every long chat text would be kept.
        self._write({"sim": "classroom", "on": True})
        self._write({"sim": "journal", "on": False})
        self.running.set()
        self.work.set()
        self.reader = loop.create_task(self._read(process, stdout))  # held: tasks are weak

    def _write(self, line):
        """One record to kv_host (--framed): the console line, then the bytes of its blocks and
        long texts, which the line names as {"$bytes":N} and {"$text":N} in their places."""
        attached = []
        if "call" in line:
            args = []
            for arg in line["args"]:
                if isinstance(arg, Block):
                    attached.append(arg)
                    arg = {"$bytes": len(arg)}
                elif isinstance(arg, Text):
                    attached.append(arg.utf8)
                    arg = {"$text": len(arg.utf8)}
                elif isinstance(arg, str) and len(arg) >= ATTACH_TEXT_CHARS:
                    try:
                        encoded = arg.encode("utf-8")
                    except UnicodeEncodeError:  # a lone surrogate: JSON carries it
                        encoded = None
                    if encoded is not None:
                        attached.append(encoded)
                        arg = {"$text": len(encoded)}
                args.append(arg)
            line = {**line, "args": args}
        elif "args" in line:  # the simulated engine reads its blocks as base64
            line = {**line, "args": [{"$bytes": base64.b64encode(arg).decode()}
                                     if isinstance(arg, Block) else arg for arg in line["args"]]}
        text = json.dumps(line).encode()
        if self.trace is not None:
            self.trace.write(text.decode() + "\n")
            self.trace.flush()
        size = sum(len(part) for part in attached)
        stdin = self.process.stdin
        stdin.write(struct.pack("<II", len(text), size) + text)
        for part in attached:
            stdin.write(part)

    async def _read(self, process, stdout):
        # Whatever goes wrong here, kv_host is ended and supervise starts it again: a reader
        # that stopped silently would leave the bridge hung with kv_host still running.
        try:
            while True:
                try:
                    raw = await read_line(stdout)
                except LineTooLong as long:
                    self._too_long(long)
                    continue
                if not raw:
                    break
                if len(raw) >= PASS_THROUGH_BYTES and raw.startswith(b'{"event":"') \
                        and b'"bytesFollow"' not in raw[-48:] \
                        and b'"textsFollow"' not in raw[-48:]:
                    # A large event (a long chat text, a big room): kv_host's own JSON goes to
                    # the pages as it is; parsing and writing it again cost more than the rest
                    # of its way. An event is never an answer, so nothing here needs its members.
                    try:
                        self.broadcast_text(raw.decode("utf-8").rstrip("\r\n"))
                        continue
                    except UnicodeDecodeError:
                        pass  # read below, and reported as what it is
                try:
                    line = json.loads(raw)
                except RecursionError:
                    self._too_long(LineTooLong(len(raw), raw[:200]), "nested too deeply")
                    continue
                except ValueError:
                    # With binary blocks in the stream, text that is not JSON means the reader
                    # lost its place; the bytes after it cannot be trusted.
                    self._error_text("kv_host printed: " + raw[:200].decode("utf-8", "replace"))
                    raise LostSync("a line that is not JSON") from None
                # A frame's bytes, or an event's long texts (which keep their place among the
                # texts), follow the line raw.
                follows = [key for key in ("bytesFollow", "textsFollow")
                           if isinstance(line, dict) and key in line]
                data = None
                if follows:
                    size = line.pop(follows[0])
                    if (len(follows) > 1 or not isinstance(size, int) or isinstance(size, bool)
                            or not 0 <= size < MAX_FRAME_BYTES):
                        raise LostSync(f"{follows} {size!r}")
                    data = await stdout.readexactly(size)
                    if follows[0] == "textsFollow":
                        self.broadcast_text(binary_message(line, data))
                        continue
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
        # Its input pipe's end, broken or not, is looked at (Python would otherwise report a
        # BrokenPipeError nobody retrieved).
        process.stdin.close()
        try:
            await asyncio.wait_for(process.stdin.wait_closed(), CLOSE_SECONDS)
        except Exception:  # noqa: BLE001 - a broken pipe: kv_host had ended
            pass
        self.end_text = f"it ended with status {status}"
        self.running.clear()
        self._fail_in_flight(f"kv_host ended (status {status})")
        self.broadcast({"host": "bridgeEnded", "status": status})
        self.ended.set()

    def _too_long(self, long, what=None):
        """A line the host cannot read: the answer it was ends its request with an error; any
        other line is reported and skipped. kv_host goes on for every page."""
        why = what or f"over the limit of {MAX_LINE_BYTES >> 20} MiB"
        if self.in_flight:
            member = self.in_flight[0].member
            if re.match(rb'\{"(%s|error)":' % member.encode(), long.start):
                return self._answer("error", f"kv_host's answer of {long.size} bytes is {why}; "
                                             "it was dropped")
        self._error_text(f"a line of {long.size} bytes from kv_host is {why}; it was dropped")

    def _error_text(self, text):
        now = asyncio.get_running_loop().time()
        if now - self.last_error_text >= ERROR_TEXT_SECONDS:
            self.last_error_text = now
            self.broadcast({"host": "error", "text": text})

    def _dispatch(self, line, data):
        if not isinstance(line, dict) or "journal" in line:
            return  # the answer to the host's own switch (start); no page can ask for one
        if self.in_flight:
            member = self.in_flight[0].member
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
        if not isinstance(stream, int) or isinstance(stream, bool):
            stream = None
        self.received[stream] = self.received.get(stream, 0) + 1
        blob = binary_message(line, data)
        for page in list(self.pages):
            page.frame(stream, blob)

    def _answer(self, member, value):
        """The oldest request at kv_host gets its answer (or an error); settled already (its
        page closed, its own deadline passed), the answer is only taken off."""
        if not self.in_flight:
            return
        request = self.in_flight.popleft()
        if member == "error":
            request.fail(str(value))
        else:
            request.answer(value)
        self.work.set()

    def _fail_in_flight(self, why):
        while self.in_flight:
            self.in_flight.popleft().fail(why)

    def broadcast(self, message):
        self.broadcast_text(json.dumps(message))

    def broadcast_text(self, text):
        for page in list(self.pages):
            page.text(text)

    def submit(self, request):
        self.queues.setdefault(request.page, deque()).append(request)
        self.work.set()

    def forget(self, page):
        """A closed page's queued requests are dropped, never run."""
        for request in self.queues.pop(page, ()):
            request.drop()

    def _next(self):
        for page in list(self.queues):
            queue = self.queues[page]
            while queue and queue[0].settled:
                queue.popleft()
            if not queue:
                del self.queues[page]
                continue
            self.queues.move_to_end(page)  # the pages take turns
            return queue.popleft()
        return None

    async def serve(self):
        """The requests, in turn between the pages, up to PIPELINE_DEPTH written ahead to
        kv_host (each hand-over between the processes costs a scheduling slice; one at a time,
        10,000 requests took seconds)."""
        loop = asyncio.get_running_loop()
        while True:
            self.work.clear()
            try:
                await self._feed()
            except asyncio.CancelledError:
                raise
            except Exception as failure:  # noqa: BLE001 - the pages' requests must settle
                self._fail_in_flight(f"bridge failure: {failure!r}")
            # The oldest request's kv_host answer time: past it, kv_host is ended (a late answer
            # would be taken for the next request's) and started again.
            timeout = None
            if self.in_flight:
                timeout = max(0.0, self.in_flight[0].written + ANSWER_SECONDS - loop.time())
                if timeout == 0.0:
                    self._kill()
                    self._fail_in_flight(f"kv_host did not answer within {ANSWER_SECONDS} s")
                    continue
            elif not self.running.is_set() and self._has_work():
                timeout = 0.5  # waiting for a start; see _feed
            try:
                await asyncio.wait_for(self.work.wait(), timeout)
            except asyncio.TimeoutError:
                pass

    def _has_work(self):
        return any(self.queues.values())

    def _kill(self):
        self.running.clear()  # nothing more is written to it; the reader reports its end
        try:
            self.process.kill()
        except ProcessLookupError:
            pass  # it ended meanwhile

    async def _feed(self):
        loop = asyncio.get_running_loop()
        if not self.running.is_set():
            # kv_host is being started again: requests wait for it, boundedly (a failed start or
            # a kv_host that keeps ending answers at once or after the longest back-off).
            for queue in self.queues.values():
                for request in queue:
                    if request.waiting_since is None:
                        request.waiting_since = loop.time()
                    if self.start_error or \
                            loop.time() - request.waiting_since > RESTART_MAX_SECONDS + 2:
                        request.fail(f"kv_host is not running ({self.start_error or self.end_text});"
                                     " it is being started again")
            return
        written = False
        while len(self.in_flight) < PIPELINE_DEPTH:
            request = self._next()
            if request is None:
                break
            if request.settled:
                continue
            request.written = loop.time()
            self.in_flight.append(request)
            self._write(request.line)
            written = True
        if written:
            try:
                await asyncio.wait_for(self.process.stdin.drain(), ANSWER_SECONDS)
            except asyncio.TimeoutError:
                self._kill()
                self._fail_in_flight(f"kv_host did not read within {ANSWER_SECONDS} s")
            except ConnectionError:
                self._fail_in_flight("kv_host stopped reading")

    async def supervise(self):
        """Starts kv_host again whenever it has ended, also after a failed start, with a back-off
        of RESTART_FIRST_SECONDS doubling up to RESTART_MAX_SECONDS."""
        loop = asyncio.get_running_loop()
        delay = RESTART_FIRST_SECONDS
        while True:
            await self.ended.wait()
            self.ended.clear()
            if loop.time() - self.started_at >= RESTART_RESET_SECONDS:
                delay = RESTART_FIRST_SECONDS
            while True:
                await asyncio.sleep(delay)
                delay = min(delay * 2, RESTART_MAX_SECONDS)
                try:
                    await self.start()
                    break
                except Exception as error:  # noqa: BLE001 - e.g. no file descriptors left
                    self.start_error = f"start failed: {error!r}"
                    self.broadcast({"host": "error", "text": f"kv_host could not be started: "
                                    f"{error!r}; next attempt in {delay:g} s"})
            self.broadcast({"host": "bridgeStarted"})

    async def stop(self):
        if self.process is None or self.process.returncode is not None:
            return
        self.process.stdin.close()  # kv_host stops the engine and exits at the end of its input
        try:
            await asyncio.wait_for(self.process.wait(), 15)
        except asyncio.TimeoutError:
            self.process.kill()


class Refused(Exception):
    """A page request that does not reach kv_host; the text is its answer."""


def reject_constant(name):
    raise Refused(f"{name} is not a JSON number")


def check_plain(value, what):
    """Plain JSON within the nesting limit: finite numbers, no member name starting with "$"
    (the console gives those meanings). Iterative: any depth is looked at safely."""
    stack = [(value, 0)]
    while stack:
        item, depth = stack.pop()
        if isinstance(item, (list, dict)):
            if depth >= MAX_NESTING:
                raise Refused(f"{what} nest deeper than {MAX_NESTING} levels")
            if isinstance(item, dict):
                for name, member in item.items():
                    if name.startswith("$"):
                        raise Refused(f"{what}: the member name {name[:40]!r} is refused "
                                      "(names starting with $ are the console's)")
                    stack.append((member, depth + 1))
            else:
                stack.extend((member, depth + 1) for member in item)
        elif isinstance(item, float) and not math.isfinite(item):
            raise Refused(f"{what}: numbers must be finite")


def byte_block(value, what):
    """A page's byte block {"$bytes":"<base64>"} (or the bytes of a binary request), encoded
    again: its count is its length."""
    if isinstance(value, Block):
        return value
    if not (isinstance(value, dict) and list(value) == ["$bytes"]
            and isinstance(value["$bytes"], str)):
        raise Refused(f"{what} must be a byte block {{\"$bytes\":\"<base64>\"}} and nothing else")
    try:
        return Block(base64.b64decode(value["$bytes"], validate=True))
    except (binascii.Error, ValueError):
        raise Refused(f"{what}: the byte block is not base64") from None


# Byte blocks a page may pass: the command and the argument's position.
BLOCK_ARGUMENTS = {("offlinePlay.setStorageData", 1)}


def call_args(name, args):
    checked = []
    for index, arg in enumerate(args):
        if isinstance(arg, Block) or (isinstance(arg, dict) and "$bytes" in arg):
            if (name, index) not in BLOCK_ARGUMENTS:
                raise Refused(f"argument {index} of {name} cannot be a byte block (only the "
                              "stored data of offlinePlay.setStorageData is)")
            checked.append(byte_block(arg, f"argument {index}"))
        else:
            check_plain(arg, f"argument {index}")
            checked.append(arg)
    return checked


def bounded(args, index, low, high, what):
    """Argument `index`, when present, is an integer from low to high (a text would be read as
    a number by the simulated engine, so it is refused too)."""
    if index >= len(args) or args[index] is None:
        return
    value = args[index]
    if isinstance(value, bool) or not isinstance(value, (int, float)) or value != int(value) \
            or not low <= value <= high:
        raise Refused(f"simulate: {what} must be a whole number from {low} to {high}")


def sim_limits(event, args):
    """What the simulated engine can take and the host can carry (see the SIM_ limits)."""
    if event == "OnGetVideoData":    # [stream, width, height, extra, frame, pad]
        bounded(args, 1, 0, SIM_MAX_SIDE, "width")
        bounded(args, 2, 0, SIM_MAX_SIDE, "height")
        bounded(args, 5, 0, SIM_MAX_PAD, "pad")
    elif event == "OnVideoData":     # [stream, byteCount, width, height, unused, extra, frame]
        bounded(args, 1, 0, SIM_MAX_PACKED_BYTES, "byteCount")
        bounded(args, 2, 0, SIM_MAX_SIDE, "width")
        bounded(args, 3, 0, SIM_MAX_SIDE, "height")
    elif event == "OnSyncStroke":    # [{"points":..,"generate":n,..}]
        record = args[0] if args else None
        if isinstance(record, dict) and "generate" in record:
            bounded([record["generate"]], 0, 0, SIM_MAX_STROKE_POINTS, "generate")
    elif event == "OnRecordAudio":   # [samples, framesPerChannel, sampleRate, stereo]
        bounded(args, 1, 0, SIM_MAX_AUDIO_FRAMES, "framesPerChannel")


def simulate_args(event, args):
    checked = []
    for index, arg in enumerate(args):
        if isinstance(arg, Block) or (isinstance(arg, dict) and "$bytes" in arg):
            checked.append(byte_block(arg, f"argument {index}"))
        else:
            check_plain(arg, f"argument {index}")
            checked.append(arg)
    sim_limits(event, checked)
    return checked


def page_request(message):
    """The kv_host line and answer member for a page's request; Refused with the answer text."""
    if "call" in message:
        name, args = message["call"], message.get("args", [])
        if not isinstance(name, str) or not CALL_NAME.fullmatch(name):
            raise Refused("call takes a command name starting with engine., live. or offlinePlay.")
        if not isinstance(args, list):
            raise Refused("args must be an array")
        return {"call": name, "args": call_args(name, args)}, "call"
    if "simulate" in message:
        # Development only: the simulated engine raises an event as another participant would.
        event, args = message["simulate"], message.get("args", [])
        if not isinstance(event, str) or not EVENT_NAME.fullmatch(event) or not isinstance(args, list):
            raise Refused("simulate takes an event name and an args array")
        return {"sim": "emit", "event": event, "args": simulate_args(event, args)}, "emit"
    raise Refused("a request has \"call\" or \"simulate\"")


def good_id(ident):
    if isinstance(ident, bool):
        return False
    return (ident is None or isinstance(ident, int)
            or (isinstance(ident, float) and math.isfinite(ident))
            or (isinstance(ident, str) and len(ident) <= 64))


def leading_id(text):
    match = LEADING_ID.match(text[:64])
    return int(match.group(1)) if match else None


def check_request_size(size):
    if size > MAX_REQUEST_BYTES:
        raise Refused(f"a request of {size} bytes is over the limit of "
                      f"{MAX_REQUEST_BYTES >> 20} MiB")


class Unparsed(str):
    """The text of one request of an array that did not parse as a whole."""


def parsed(text):
    try:
        return json.loads(text, parse_constant=reject_constant)
    except RecursionError:
        raise Refused(f"the request nests deeper than {MAX_NESTING} levels") from None
    except ValueError:
        raise Refused("request is not JSON") from None


# What the scan of an array's items steps on: a string (escapes and all), or a bracket or comma.
ARRAY_TOKEN = re.compile(r'"[^"\\]*(?:\\.[^"\\]*)*"|[\[\]{},]')


def array_items(text):
    """The texts of the items of a JSON array, found by brackets and strings alone, without
    parsing the items; None when the text is not an array of nested items."""
    stripped = text.strip()
    if not stripped.startswith("[") or not stripped.endswith("]"):
        return None
    items, depth, start = [], 0, 1
    for token in ARRAY_TOKEN.finditer(stripped):
        mark = token.group()
        if mark in "[{":
            depth += 1
        elif mark in "]}":
            depth -= 1
            if depth == 0:
                if token.end() != len(stripped):
                    return None
                last = stripped[start:token.start()]
                if last.strip() or items:
                    items.append(last)
                return items
        elif mark == "," and depth == 1:
            items.append(stripped[start:token.start()])
            start = token.end()
    return None


def page_message(bridge, page, text, blocks=None):
    """A page's text message: one request, or (from bridge.js) an array of at most MAX_IN_FLIGHT
    requests sent together, each answered on its own. `blocks` are the bytes of a binary
    request's {"$bytes":N} arguments, in order."""
    ident = leading_id(text)
    try:
        check_request_size(len(text))
        try:
            message = parsed(text)
        except Refused:
            # One request of the array too deep for the parser, or with too long a number: each
            # is parsed on its own, so the others still run and it is answered with its own id.
            items = array_items(text) if blocks is None else None
            if items is None or len(items) > MAX_IN_FLIGHT:
                raise
            message = [Unparsed(item) for item in items]
        if isinstance(message, list) and blocks is None:
            if len(message) > MAX_IN_FLIGHT:
                raise Refused(f"an array of {len(message)} requests; at most {MAX_IN_FLIGHT}")
            for one in message:
                page_request_of(bridge, page, one, None)
            return None
    except Refused as refusal:
        return page.text({"id": ident, "error": str(refusal)})
    return page_request_of(bridge, page, message, blocks, len(text))


def page_request_of(bridge, page, message, blocks, size=0):
    """One parsed request (`size` characters of JSON): answered at once when refused, else
    queued for kv_host."""
    ident = None
    try:
        if isinstance(message, Unparsed):
            ident = leading_id(message)
            message = parsed(message)
        if not isinstance(message, dict):
            raise Refused("request is not a JSON object")
        ident = message.get("id")
        if not good_id(ident):
            ident = None
            raise Refused("id must be a number or a text of at most 64 characters")
        if blocks is not None:
            attach_blocks(message, blocks, size)
        line, member = page_request(message)
        if page.in_flight >= MAX_IN_FLIGHT:
            raise Refused(f"too many requests in flight (at most {MAX_IN_FLIGHT} per page)")
    except Refused as refusal:
        return page.text({"id": ident, "error": str(refusal)})
    bridge.submit(Request(page, ident, line, member))


def page_binary_message(bridge, page, data):
    """A request with byte blocks, framed as the frames sent to pages: 4 bytes (little-endian)
    of header length, the request as UTF-8 JSON with {"$bytes":N} for each block, then the
    blocks' bytes in argument order. The blocks never pass through base64 or JSON here."""
    if len(data) < 4:
        return page.text({"id": None, "error": "a binary request starts with its header length"})
    size = struct.unpack_from("<I", data)[0]
    if size > len(data) - 4:
        return page.text({"id": None, "error": "a binary request is shorter than its header"})
    try:
        text = data[4:4 + size].decode("utf-8")
    except UnicodeDecodeError:
        return page.text({"id": None, "error": "a binary request's header is not UTF-8"})
    blocks = memoryview(data)[4 + size:]
    if len(blocks) > MAX_BLOCK_BYTES:
        return page.text({"id": leading_id(text), "error": f"byte blocks of {len(blocks)} bytes "
                          f"are over the limit of {MAX_BLOCK_BYTES >> 20} MiB"})
    page_message(bridge, page, text, blocks)


class Block(bytes):
    """A byte block a binary request carried, in place of its {"$bytes":N} argument."""


class Text(str):
    """A text a binary request carried as UTF-8, in place of its {"$text":N} argument: a text
    like any other, whose bytes go on to kv_host as they came."""

    def __new__(cls, utf8):
        text = super().__new__(cls, utf8, "utf-8")  # strict: UnicodeDecodeError
        text.utf8 = utf8
        return text


def attach_blocks(message, blocks, size):
    """Puts each {"$bytes":N} argument's N bytes, and each {"$text":N} argument's N bytes of
    UTF-8, in its place; the counts must add up to the blocks' length exactly. Texts count
    towards the limit of the request (`size` characters without them) as they would inside it:
    by characters, not bytes, so a text is refused or taken alike either way."""
    args = message.get("args")
    taken = 0
    for index, arg in enumerate(args if isinstance(args, list) else []):
        kind = list(arg)[0] if isinstance(arg, dict) and len(arg) == 1 else None
        if kind in ("$bytes", "$text") and isinstance(arg[kind], int) \
                and not isinstance(arg[kind], bool):
            count = arg[kind]
            if not 0 <= count <= len(blocks) - taken:
                raise Refused(f"argument {index}: a block of {count} bytes where "
                              f"{len(blocks) - taken} remain")
            if kind == "$bytes":
                args[index] = Block(blocks[taken:taken + count])
            else:
                try:
                    args[index] = Text(bytes(blocks[taken:taken + count]))
                except UnicodeDecodeError:
                    raise Refused(f"argument {index}: the text is not UTF-8") from None
                size += len(args[index])
            taken += count
    check_request_size(size)
    if taken != len(blocks):
        raise Refused(f"{len(blocks) - taken} bytes of the binary request belong to no block")


def local_address(request):
    sockname = request.transport.get_extra_info("sockname") if request.transport else None
    return f"{sockname[0]}:{sockname[1]}" if sockname else ""


def own_host(request):
    """The Host header names us: a page from another site that rebinds its name to our address
    sends its own name here."""
    return request.host == request.app["site"]["host"]


def allowed(request):
    """Only our own page, on this run's address, with this run's token, may connect."""
    if request.headers.get("Origin") != f"http://{request.app['site']['host']}":
        return False
    # Compared as bytes: compare_digest refuses non-ASCII text.
    return secrets.compare_digest(request.query.get("token", "").encode(),
                                  request.app["token"].encode())


async def websocket(request):
    app = request.app
    if not allowed(request):
        raise web.HTTPForbidden(text="refused: wrong origin or token\n")
    if len(app["pages"]) >= MAX_PAGES:
        raise web.HTTPServiceUnavailable(text=f"refused: {MAX_PAGES} pages are connected\n")
    # No per-message compression: deflating every frame and text on the host's one thread (and
    # inflating it again in the page) cost more than the loopback saves.
    ws = web.WebSocketResponse(heartbeat=HEARTBEAT_SECONDS, max_msg_size=MAX_MESSAGE_BYTES,
                               timeout=CLOSE_SECONDS, compress=False)
    ws.headers.update(app["site"]["headers"])  # the handshake's answer carries them too
    await ws.prepare(request)
    page = Page(ws, request.transport, request.query.get("batch") == "1")
    app["pages"].add(page)
    page.pump_task = asyncio.get_running_loop().create_task(page.pump())
    page.text({"host": "hello", "label": app["label"], "limits": limits()})
    try:
        async for message in ws:
            if message.type == WSMsgType.TEXT:
                page_message(app["bridge"], page, message.data, None)
            elif message.type == WSMsgType.BINARY:
                page_binary_message(app["bridge"], page, message.data)
    finally:
        app["pages"].discard(page)
        app["bridge"].forget(page)
        page.pump_task.cancel()
        if page.closing_since is None:
            page.closing_since = asyncio.get_running_loop().time()
    if page.closer is not None:
        # Dropped: the handler waits for that close, or aiohttp would close with 1000 first.
        await asyncio.wait({page.closer}, timeout=CLOSE_SECONDS + 1)
        await page.linger()
    return ws


async def recording(request):
    """A stored-data block of the recorded class, by key (plain file names only, checked before
    any file system call)."""
    key = request.match_info["key"]
    if not DATA_KEY.fullmatch(key):
        raise web.HTTPNotFound()
    folder = request.app["data"]
    path = os.path.realpath(os.path.join(folder, key))
    if os.path.dirname(path) != folder or not os.path.isfile(path):
        raise web.HTTPNotFound()
    return web.FileResponse(path, headers={"Content-Type": "application/octet-stream"})


def page_files(only=None):
    """The project page's files, found once at start-up: a request names one of them or gets
    404, so no name from a request reaches the file system. `only`: just these names."""
    files = {}
    for folder, _, names in os.walk(PAGE):
        for name in names:
            path = os.path.join(folder, name)
            kind = PAGE_TYPES.get(os.path.splitext(name)[1])
            relative = os.path.relpath(path, PAGE).replace(os.sep, "/")
            if kind and PAGE_PATH.fullmatch(relative) and (only is None or relative in only):
                files[relative] = (path, kind)
    return files


async def page_file(request):
    found = request.app["page_files"].get(request.match_info["path"])
    if found is None:
        raise web.HTTPNotFound()
    return web.FileResponse(found[0], headers={"Content-Type": found[1]})


def own_file(folder, relative, raw_path):
    """A file of the developer's folder (--page), looked up at each request so that an edited or
    new file shows at the next reload: the name is checked before any file system call, then the
    file, links resolved, must still lie inside the folder. None when it does not qualify."""
    kind = PAGE_TYPES.get(os.path.splitext(relative)[1])
    # The raw path too: an encoded name ("%2e%2e", "%2f", "%5c", "%00") is refused, not decoded.
    if kind is None or any(bad in raw_path for bad in ("%", "\\", "/.")) \
            or not PAGE_PATH.fullmatch(relative):
        return None
    path = os.path.realpath(os.path.join(folder, *relative.split("/")))
    if os.path.commonpath([path, folder]) != folder or not os.path.isfile(path):
        return None
    return path, kind


async def developer_file(request):
    found = own_file(request.app["own_page"], request.match_info["path"],
                     request.raw_path.split("?", 1)[0])
    if found is None:
        raise web.HTTPNotFound()
    return web.FileResponse(found[0], headers={"Content-Type": found[1]})


async def index(request):
    # Whatever an earlier occupant of this origin left (storage, caches, service workers; the
    # origin is fresh per run, but the same browser may come back to a reused port) is cleared
    # before the page runs.
    folder = request.app["own_page"]
    found = own_file(folder, "index.html", "/index.html") if folder else \
        (os.path.join(PAGE, "index.html"), PAGE_TYPES[".html"])
    if found is None:
        raise web.HTTPNotFound(text="the page folder has no index.html\n")
    return web.FileResponse(found[0], headers={
        "Content-Type": found[1], "Clear-Site-Data": '"cache", "cookies", "storage"'})


def security_headers(origin_host):
    return {
        "Content-Security-Policy": (
            "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
            f"connect-src 'self' ws://{origin_host}; object-src 'none'; base-uri 'none'; "
            "form-action 'none'; frame-ancestors 'none'; worker-src 'none'; manifest-src 'none'"),
        "X-Content-Type-Options": "nosniff",
        "Referrer-Policy": "no-referrer",
        "X-Frame-Options": "DENY",
        "Cross-Origin-Opener-Policy": "same-origin",
        "Cross-Origin-Resource-Policy": "same-origin",
        "Cache-Control": "no-store",
    }


@web.middleware
async def guard(request, handler):
    """Every response, errors included, carries the security headers; a foreign Host and a
    service worker's script request are refused before any route."""
    headers = request.app["site"]["headers"]
    connection = request.protocol
    connection.kv_busy = getattr(connection, "kv_busy", 0) + 1
    try:
        if not own_host(request):
            raise web.HTTPForbidden(text="refused: wrong host\n", headers=headers)
        if request.headers.get("Service-Worker") is not None:
            raise web.HTTPForbidden(text="refused: no service workers here\n", headers=headers)
        response = await handler(request)
    except web.HTTPException as error:
        error.headers.update(headers)
        raise
    except (asyncio.CancelledError, ConnectionError):
        raise
    except Exception as error:  # noqa: BLE001 - a 500 carries the headers too
        print(f"devhost: {request.method} {request.path!r}: {error!r}", file=sys.stderr)
        raise web.HTTPInternalServerError(text="internal error\n", headers=headers) from None
    finally:
        connection.kv_busy -= 1
        connection.kv_idle_since = asyncio.get_running_loop().time()
    if not response.prepared:  # a WebSocket has sent its headers already
        response.headers.update(headers)
    return response


class Connection(web.RequestHandler):
    """aiohttp's request handler with the parser's own error answers (a malformed request) given
    the security headers too, and the time since its last request kept for the idle sweep."""

    def connection_made(self, transport):
        self.kv_busy = 0
        self.kv_idle_since = asyncio.get_running_loop().time()
        super().connection_made(transport)

    def log_exception(self, *args, **kw):
        # One line instead of aiohttp's traceback: malformed requests are expected here.
        error = kw.get("exc_info")
        print(f"devhost: {args[0] if args else 'error'}: {error!r}", file=sys.stderr)

    def handle_error(self, request, status=500, exc=None, message=None):
        response = super().handle_error(request, status, exc, message)
        response.headers.update(HEADERS_FOR_ERRORS)
        return response


HEADERS_FOR_ERRORS = {}  # filled once the address is known


async def sweep(app, server):
    """Every second: cuts plain HTTP connections idle for HTTP_IDLE_SECONDS (no request yet, a
    partial request, or nothing after the last answer) and pages that do not take what is sent
    to them or do not finish closing."""
    loop = asyncio.get_running_loop()
    while True:
        await asyncio.sleep(SWEEP_SECONDS)
        now = loop.time()
        for connection in server.connections:
            if getattr(connection, "kv_busy", 0) > 0 or connection.transport is None:
                continue
            if now - getattr(connection, "kv_idle_since", now) > HTTP_IDLE_SECONDS:
                connection.transport.abort()
        for page in list(app["pages"]) + list(app["closing"]):
            if page.dropped is None and page.sending_since is not None \
                    and now - page.sending_since > SEND_STALL_SECONDS:
                page.drop(f"not reading: nothing taken for {SEND_STALL_SECONDS} s")
            if page.dropped or page.ws.closed or page.closing_since is not None:
                page.closing_since = page.closing_since or now
                app["closing"].add(page)
                if now - page.closing_since > CLOSE_SECONDS:
                    page.abort()
                    app["closing"].discard(page)


async def stats(app):
    """Every few seconds: frames per stream read from kv_host, sent to a page, skipped for it."""
    while True:
        await asyncio.sleep(STATS_SECONDS)
        for page in list(app["pages"]):
            page.text({"host": "stats", "seconds": STATS_SECONDS,
                       "received": app["bridge"].received, "sent": page.sent,
                       "skipped": page.skipped})


def fresh_address():
    """A loopback address of its own for this run (127.0.0.0/8 is all loopback on Linux): the
    origin http://ADDRESS:PORT has never been used, so nothing an earlier occupant left in the
    browser (a service worker, storage) belongs to it, whatever the port."""
    return f"127.{secrets.randbelow(256)}.{secrets.randbelow(256)}.{2 + secrets.randbelow(253)}"


async def listen(loop, factory, port):
    for _ in range(8):
        address = fresh_address()
        try:
            return await loop.create_server(factory, address, port, reuse_address=True)
        except OSError as error:
            if error.errno != errno.EADDRINUSE:
                break
    print("devhost: no fresh loopback address could be bound; using 127.0.0.1 (with --port the "
          "origin is then the same as in earlier runs)", file=sys.stderr)
    return await loop.create_server(factory, "127.0.0.1", port, reuse_address=True)


async def main(options):
    loop = asyncio.get_running_loop()
    app = web.Application(middlewares=[guard], client_max_size=1 << 20)
    app["token"] = secrets.token_urlsafe(24)
    app["data"] = os.path.realpath(options.data)
    app["label"] = options.label
    app["pages"] = set()
    app["closing"] = set()
    # --page: the developer's folder at /, and of the project's page only the bridge.
    app["own_page"] = os.path.realpath(options.page) if options.page else None
    app["page_files"] = page_files(BRIDGE_FILES if options.page else None)
    app["site"] = {}  # host (address:port) and headers, once listening
    trace = open(options.trace, "a", encoding="utf-8") if options.trace else None
    app["bridge"] = Bridge(options.command, app["pages"], trace)
    app.router.add_get("/", index)
    app.router.add_get("/ws", websocket)
    app.router.add_get("/recording/{key}", recording)
    app.router.add_get("/page/{path:.+}", page_file)
    if app["own_page"]:
        app.router.add_get("/{path:.+}", developer_file)
    try:
        await app["bridge"].start()
    except Exception as error:  # noqa: BLE001 - the command itself is wrong: say so and stop
        raise SystemExit(f"devhost: kv_host could not be started: {error!r}") from None
    runner = web.AppRunner(app, access_log=None)
    await runner.setup()
    server = runner.server
    handler_args = {"keepalive_timeout": HTTP_IDLE_SECONDS, "access_log": None,
                    "max_line_size": 8190, "max_field_size": 8190}
    listener = await listen(loop, lambda: Connection(server, loop=loop, **handler_args),
                            options.port)
    host, port = listener.sockets[0].getsockname()[:2]
    app["site"]["host"] = f"{host}:{port}"
    app["site"]["headers"] = security_headers(app["site"]["host"])
    HEADERS_FOR_ERRORS.update(app["site"]["headers"])
    print(f"open http://{host}:{port}/?token={app['token']}", flush=True)
    stop = asyncio.Event()
    for sig in (signal.SIGINT, signal.SIGTERM):
        loop.add_signal_handler(sig, stop.set)
    background = [loop.create_task(stats(app)), loop.create_task(app["bridge"].supervise()),
                  loop.create_task(app["bridge"].serve()), loop.create_task(sweep(app, server))]
    await stop.wait()
    for task in background:
        task.cancel()
    listener.close()
    closing = [page.close(1001, "the host is stopping") for page in list(app["pages"])]
    if closing:
        await asyncio.wait(closing, timeout=CLOSE_SECONDS + 1)
    await app["bridge"].stop()
    await runner.cleanup()
    if trace is not None:
        trace.close()


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--port", type=int, default=0, help="port (0: any free); the address "
                        "is a fresh one in 127.0.0.0/8 every run")
    parser.add_argument("--data", default=os.path.join(HERE, "recording"),
                        help="folder of the recorded class's stored data")
    parser.add_argument("--page", help="serve this folder at / instead of the classroom page "
                        "(the bridge stays at /page/js/bridge.js)")
    parser.add_argument("--label", default="kv_host", help="what the page shows as the bridge")
    parser.add_argument("--trace", help="append every line sent to kv_host to this file")
    parser.add_argument("command", nargs="+", help="the kv_host command (after --)")
    options = parser.parse_args(argv)
    if options.page and not os.path.isdir(options.page):
        parser.error(f"--page {options.page}: not a folder")
    return options


if __name__ == "__main__":
    sys.dont_write_bytecode = True
    keep_frame_memory()
    try:
        # libuv's event loop: each request crosses the loop four times (page, kv_host and back),
        # and asyncio's own loop costs more per crossing (docs/page-scripts.md, the page bench).
        # Without the package, asyncio's.
        import uvloop
        uvloop.install()
    except ImportError:
        pass
    asyncio.run(main(parse(sys.argv[1:])))
