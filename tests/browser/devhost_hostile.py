#!/usr/bin/python3
"""The development host against hostile pages and hostile local requests.

usage: devhost_hostile.py [--rows NAME,...] -- KV_HOST_COMMAND...

One row per fault, each with its own attack over raw WebSocket and HTTP on loopback (headless
Chromium only for the service-worker row). Every row checks that the offending request got an
answer (or its connection a clear close), that the bridge was not driven (the host's --trace of
what reached kv_host holds no console-only form, no oversized line, no command a page may not
send), and that kv_host is still the same process, or was started again, and answers. Every loop
is bounded in count and time. Exit status 1 when a check failed.

Internal: `devhost_hostile.py --fake-kv-host` is a stand-in for kv_host that misbehaves on
request (an answer over the host's line limit, an event over it, no answer, an early end).
"""
import argparse
import asyncio
import base64
import http.client
import json
import os
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True
ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEVHOST = os.path.join(ROOT, "host", "web", "devhost.py")
sys.path.insert(0, os.path.dirname(DEVHOST))
import devhost  # noqa: E402  (its limits, so the rows follow them)

failures = []
print_lock = threading.Lock()


def check(row, what, passed):
    with print_lock:
        print(f"[{'ok' if passed else 'FAILED'}] {row}: {what}", flush=True)
    if not passed:
        failures.append(f"{row}: {what}")
    return passed


# ---------------------------------------------------------------------------------------------
# The host under test, its kv_host and what reached it.

def children(pid):
    """Processes whose parent is `pid` (from /proc)."""
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as stat:
                fields = stat.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if fields[0] != "Z" and int(fields[1]) == pid:
            found.append(int(entry))
    return found


def resident_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0.0


class Host:
    """devhost.py with a kv_host command, its printed address and its trace."""

    def __init__(self, command, extra=(), limit_files=None):
        self.folder = tempfile.mkdtemp(prefix="kv-hostile-")
        self.trace = os.path.join(self.folder, "trace.jsonl")
        self.log = open(os.path.join(self.folder, "devhost.err"), "w+")

        def limits():
            if limit_files:
                import resource
                resource.setrlimit(resource.RLIMIT_NOFILE, (limit_files, limit_files))
        self.process = subprocess.Popen(
            ["/usr/bin/python3", DEVHOST, "--trace", self.trace, *extra, "--", *command],
            stdout=subprocess.PIPE, stderr=self.log, text=True, preexec_fn=limits)
        line = self._first_line(120)
        match = re.search(r"open (http://(127\.\d+\.\d+\.\d+):(\d+)/\?token=(\S+))", line)
        if not match:
            self.stop()
            raise SystemExit(f"the host did not print its address: {line!r}")
        self.url, self.token = match.group(1), match.group(4)
        self.address = (match.group(2), int(match.group(3)))
        self.origin = "http://%s:%d" % self.address
        self.mark()

    def _first_line(self, seconds):
        box = []
        reader = threading.Thread(target=lambda: box.append(self.process.stdout.readline()),
                                  daemon=True)
        reader.start()
        reader.join(seconds)
        return box[0] if box else ""

    def kv_pid(self):
        found = children(self.process.pid)
        return found[0] if len(found) == 1 else None

    def mark(self):
        self.seen = len(self.lines())

    def lines(self):
        try:
            with open(self.trace, encoding="utf-8") as trace:
                return trace.read().splitlines()
        except OSError:
            return []

    def new_lines(self):
        return self.lines()[self.seen:]

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(10)
        self.log.seek(0)
        errors = self.log.read()
        self.log.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        return errors


# What a page must never get to kv_host: the console's test forms, commands outside the tables,
# over-long lines, the sizes the rows try.
FORBIDDEN = [re.compile(pattern) for pattern in (
    r'"\$nest"', r'"count"', r'"\$bytes": null', r'kRunProgram', r'openFolder', r'2147483647',
    r'"generate": 10000000', r'NaN', r'Infinity')]


def not_driven(row, host):
    """Nothing forbidden reached kv_host since the row began; returns the new lines."""
    lines = host.new_lines()
    bad = [line[:120] for line in lines
           if len(line) > devhost.MAX_REQUEST_BYTES * 2 or any(p.search(line) for p in FORBIDDEN)]
    check(row, f"the bridge was not driven ({len(lines)} lines reached kv_host, "
               f"none forbidden{': ' + repr(bad[:3]) if bad else ''})", not bad)
    return lines


# ---------------------------------------------------------------------------------------------
# A page as a raw WebSocket client (aiohttp).

class Client:
    def __init__(self, host):
        self.host = host
        self.next_id = 1000
        self.answers = {}      # id -> answer line
        self.waiters = {}      # id -> future
        self.anonymous = []    # answers without an id
        self.notes = []        # the console's notes
        self.host_lines = []   # {"host":..} lines
        self.events = 0
        self.chats = 0
        self.last_chat = None
        self.frames = 0
        self.close_code = None
        self.close_reason = ""
        self.reader = None

    async def open(self, read=True):
        import aiohttp
        self.session = aiohttp.ClientSession()
        self.ws = await self.session.ws_connect(
            f"{self.host.origin}/ws?token={self.host.token}", origin=self.host.origin,
            max_msg_size=0, timeout=5)
        if read:
            self.reader = asyncio.get_running_loop().create_task(self.read())
        return self

    async def read(self, seconds=None, pause=0.0):
        """Takes messages until the connection closes (or `seconds` pass), `pause` seconds
        apart (a page that reads slowly)."""
        import aiohttp
        deadline = time.monotonic() + (seconds or 3600)
        while time.monotonic() < deadline:
            try:
                message = await self.ws.receive(timeout=max(0.01, deadline - time.monotonic()))
            except asyncio.TimeoutError:
                break
            if message.type == aiohttp.WSMsgType.TEXT:
                self._line(json.loads(message.data))
            elif message.type == aiohttp.WSMsgType.BINARY:
                self._binary(message.data)
            else:
                if message.type == aiohttp.WSMsgType.CLOSE:  # the code and reason it sent
                    self.close_code, self.close_reason = message.data, message.extra or ""
                else:
                    self.close_code = self.ws.close_code
                break
            if pause:
                await asyncio.sleep(pause)

    def _binary(self, data):
        """A frame, or an event whose long texts follow its line in item order."""
        length = struct.unpack_from("<I", data)[0]
        line = json.loads(data[4:4 + length])
        texts = [item for item in line.get("items") or [] if isinstance(item, dict) and "$text" in item]
        if not texts:
            self.frames += 1
            return
        at = 4 + length
        for item in texts:
            size = item.pop("$text")
            item["value"] = data[at:at + size].decode()
            at += size
        self._line(line)

    def _line(self, line):
        if "host" in line:
            self.host_lines.append(line)
            if len(self.host_lines) > 2000:
                del self.host_lines[:1000]
        elif "note" in line:
            self.notes.append(line["note"])
        elif "id" in line:
            if line["id"] is None:
                self.anonymous.append(line)
            else:
                self.answers[line["id"]] = line
                waiter = self.waiters.pop(line["id"], None)
                if waiter is not None and not waiter.done():
                    waiter.set_result(line)
        else:
            self.events += 1
            if line.get("event") == "onChatMessage":
                self.chats += 1
                self.last_chat = line

    async def send(self, body):
        self.next_id += 1
        ident = self.next_id
        self.waiters[ident] = asyncio.get_running_loop().create_future()
        await self.ws.send_str(json.dumps({"id": ident, **body}))
        return ident

    async def send_text(self, text, ident):
        self.waiters[ident] = asyncio.get_running_loop().create_future()
        await self.ws.send_str(text)

    async def answer(self, ident, seconds=10):
        """The answer to request `ident`, or None if none came within `seconds`."""
        if ident in self.answers:
            return self.answers[ident]
        waiter = self.waiters.setdefault(ident, asyncio.get_running_loop().create_future())
        try:
            return await asyncio.wait_for(asyncio.shield(waiter), seconds)
        except asyncio.TimeoutError:
            return None

    async def request(self, body, seconds=10):
        return await self.answer(await self.send(body), seconds)

    async def wait_host(self, kind, seconds, text=None):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            for line in self.host_lines:
                if line.get("host") == kind and (text is None or text in line.get("text", "")):
                    return line
            await asyncio.sleep(0.1)
        return None

    async def close(self):
        try:
            await asyncio.wait_for(self.ws.close(), 5)
        except Exception:  # noqa: BLE001 - already gone
            pass
        if self.reader is not None:
            self.reader.cancel()
        await self.session.close()


async def answers_again(row, host, pid_before, restarted=False, seconds=20):
    """kv_host is the same process (or, `restarted`, another one) and a fresh page's call is
    answered."""
    page = await Client(host).open()
    try:
        deadline = time.monotonic() + seconds
        answer = None
        while time.monotonic() < deadline:
            answer = await page.request({"call": "live.getOutputLevel", "args": [0]},
                                        max(1, deadline - time.monotonic()))
            if answer is not None and "result" in answer:
                break
            await asyncio.sleep(0.5)
        check(row, f"kv_host answers again ({answer and str(answer)[:80]})",
              answer is not None and isinstance(answer.get("result"), list))
    finally:
        await page.close()
    pid = host.kv_pid()
    if restarted:
        check(row, f"kv_host was started again (pid {pid_before} -> {pid})",
              pid is not None and pid != pid_before)
    else:
        check(row, f"kv_host is still the same process (pid {pid_before} -> {pid})",
              pid == pid_before)


def is_error(answer, text=""):
    return answer is not None and text in str(answer.get("error", "")) and "error" in answer


ROOM = json.dumps({"id": 7, "userId": 42})


# ---------------------------------------------------------------------------------------------
# The rows. Each takes the shared host (or makes its own) and reports with check().

async def row_console_forms(host, row):
    page = await Client(host).open()
    cases = [
        ("a block whose count is not its length", "offlinePlay.setStorageData",
         ["segment-1", {"$bytes": "AA==", "count": 4096}, 0], "byte block"),
        ("a null block", "offlinePlay.setStorageData", ["segment-1", {"$bytes": None}, 0],
         "byte block"),
        ("a block that is not base64", "offlinePlay.setStorageData",
         ["segment-1", {"$bytes": "not base64!"}, 0], "not base64"),
        ("{\"$nest\":100000}", "live.sendChatMessage", [42, {"$nest": 100000}, 0], "$nest"),
        ("a block where no block belongs", "live.sendChatMessage", [42, {"$bytes": "aGk="}, 0],
         "cannot be a byte block"),
        ("a $ member deep inside", "live.syncStroke",
         [[{"x": 1, "y": 2, "pressure": 0.5, "$nest": 3}], 1, 1], "$nest"),
        ("a command outside the tables", "host.kRunProgram", [], "call takes"),
    ]
    for what, name, args, text in cases:
        answer = await page.request({"call": name, "args": args})
        check(row, f"{what} is answered with an error ({answer and answer.get('error', '')[:70]})",
              is_error(answer, text))
    answer = await page.request({"simulate": "SetStorageData",
                                 "args": ["k", {"$bytes": "AA==", "count": 9}, 4096, 0]})
    check(row, "a simulate with a counted block is answered with an error", is_error(answer))
    answer = await page.request({"call": "offlinePlay.setStorageData",
                                 "args": ["segment-1", {"$bytes": "AQID"}, 0]})
    check(row, f"a real block is taken ({answer})", answer is not None and "result" in answer)
    # Binary requests: header length, the request with {"$bytes":N}, the blocks' bytes.
    def framed(ident, name, args, blocks):
        header = json.dumps({"id": ident, "call": name, "args": args}).encode()
        return struct.pack("<I", len(header)) + header + blocks
    binary = [
        ("a binary block", 601, framed(601, "offlinePlay.setStorageData",
                                       ["segment-1", {"$bytes": 3}, 0], b"\x01\x02\x03"), None),
        ("bytes beyond the blocks", 602, framed(602, "offlinePlay.setStorageData",
                                                ["segment-1", {"$bytes": 2}, 0], b"abc"), "belong"),
        ("a block longer than the bytes", 603, framed(603, "offlinePlay.setStorageData",
                                                      ["segment-1", {"$bytes": 9}, 0], b"abc"), "remain"),
        ("a binary block where no block belongs", 604,
         framed(604, "live.sendChatMessage", [42, {"$bytes": 1}, 0], b"x"), "cannot be a byte block"),
        ("a text as bytes", 605,
         framed(605, "live.sendChatMessage", [42, {"$text": 4}, 0], "h\u00e9!".encode()), None),
        ("a text as bytes that are not UTF-8", 606,
         framed(606, "live.sendChatMessage", [42, {"$text": 2}, 0], b"\xc3("), "not UTF-8"),
        # A text counts towards the request limit by its characters, as inside the JSON.
        ("a text as bytes of 1.5 Mi characters in 4.5 MiB", 607,
         framed(607, "live.sendChatMessage", [42, {"$text": 9 << 19}, 0],
                ("\u4e2d" * (3 << 19)).encode()), None),
        ("a text as bytes that fills the limit beside its request", 608,
         framed(608, "live.sendChatMessage", [42, {"$text": 4 << 20}, 0], b"x" * (4 << 20)),
         "over the limit"),
        ("a configuration text as bytes", 609, framed(609, "live.myAnswer", [{"$text": 2}], b"{}"),
         None),
    ]
    for what, ident, data, expected in binary:
        page.waiters[ident] = asyncio.get_running_loop().create_future()
        await page.ws.send_bytes(data)
        answer = await page.answer(ident, 10)
        if expected is None:
            check(row, f"{what} is taken ({answer})", answer is not None and "result" in answer)
        else:
            check(row, f"{what} is answered with an error ({answer and answer.get('error', '')[:60]})",
                  is_error(answer, expected))
    await page.request({"call": "live.getOutputLevel", "args": [0]})  # the notes before it came
    wrong = [note for note in page.notes if "should be a text" in note or "not parse" in note]
    check(row, f"a text as bytes is the text to the console's notes ({wrong})", not wrong)
    await page.close()


async def row_simulate(host, row):
    page = await Client(host).open()
    cases = [
        ("OnGetVideoData", [3, 2147483647, 1, 0, 0, 0], "width"),
        ("OnGetVideoData", [3, devhost.SIM_MAX_SIDE + 1, 16, 0, 0, 0], "width"),
        ("OnGetVideoData", [3, 16, "2147483647", 0, 0, 0], "height"),
        ("OnGetVideoData", [3, 16, 16, 0, 0, 2147483647], "pad"),
        ("OnGetVideoData", [3, 1e300, 16, 0, 0, 0], "width"),
        ("OnVideoData", [3, 2147483647, 2, 2, 0, 0, 0], "byteCount"),
        ("OnVideoData", [3, None, 2147483647, 2147483647, 0, 0, 0], "width"),
        ("OnSyncStroke", [{"generate": 10000000}], "generate"),
        ("OnRecordAudio", [[], 10000000, 48000, False], "framesPerChannel"),
    ]
    for event, args, text in cases:
        answer = await page.request({"simulate": event, "args": args})
        check(row, f"{event} {json.dumps(args)[:50]} is refused ({answer and answer.get('error')})",
              is_error(answer, text))
    frames = page.frames
    answer = await page.request({"simulate": "OnGetVideoData", "args": [3, 64, 32, 0, 1, 0]})
    deadline = time.monotonic() + 10
    while page.frames == frames and time.monotonic() < deadline:
        await asyncio.sleep(0.05)
    check(row, f"a frame within the bounds is raised and arrives ({answer and answer.get('result')})",
          answer is not None and "result" in answer and page.frames > frames)
    await page.close()


async def row_big_message(host, row):
    other = await Client(host).open()
    page = await Client(host).open()
    check(row, "a page enters the room",
          (await page.request({"call": "live.enterRoom", "args": [ROOM]}) or {}).get("result") == [0])
    chat = "x" * (3 << 20)
    chats = other.chats
    answer = await page.request({"call": "live.sendChatMessage", "args": [42, chat, 0]}, 30)
    deadline = time.monotonic() + 20
    while other.chats == chats and time.monotonic() < deadline:
        await asyncio.sleep(0.05)
    check(row, f"a 3 MiB chat message is sent ({answer and answer.get('result')}) and its echo "
               "reaches the other page whole", answer is not None and answer.get("result") == [0]
          and other.chats > chats and any(chat in str(item.get("value"))
                                          for item in other.last_chat["items"]))
    answer = await page.request({"call": "live.sendChatMessage",
                                 "args": [42, "y" * (5 << 20), 0]}, 30)
    check(row, f"a 5 MiB request is answered with an error ({answer and answer.get('error')})",
          is_error(answer, "over the limit") and page.close_code is None)
    answer = await page.request({"call": "live.sendChatMessage",
                                 "args": [42, "y" * (20 << 20), 0]}, 30)
    check(row, f"a 20 MB request is answered with an error ({answer and answer.get('error')})",
          is_error(answer, "over the limit"))
    import aiohttp
    try:
        await page.send({"call": "live.sendChatMessage",
                         "args": [42, "z" * (devhost.MAX_MESSAGE_BYTES + 1024), 0]})
    except (OSError, aiohttp.ClientError):
        pass  # the host closed while it was still being sent
    await asyncio.wait_for(page.reader, 30)
    # 1009, unless the host's close of the connection, with the rest of the message unread,
    # reset it before the close frame was read (1006).
    check(row, f"a message over {devhost.MAX_MESSAGE_BYTES >> 20} MiB closes its own page "
               f"(code {page.close_code})", page.close_code in (1009, 1006))
    answer = await other.request({"call": "live.getOutputLevel", "args": [0]})
    check(row, "the other page is still connected, in its room, and answered", answer is not None
          and other.close_code is None)
    await page.close()
    await other.close()


async def row_nesting(host, row):
    page = await Client(host).open()

    def nested(levels):
        return '{"id":%d,"call":"live.syncStroke","args":[' + "[" * levels + "]" * levels + ",1,1]}"
    cases = [("995 nested arrays", 501, nested(995) % 501, "deeper"),
             ("100,000 nested arrays", 502, nested(100000) % 502, "deeper"),
             (f"{devhost.MAX_NESTING + 1} nested arrays", 503,
              nested(devhost.MAX_NESTING + 1) % 503, "deeper"),
             ("a request cut short", 504, '{"id":504,"call":"live.sendChatMessage","args":[1,',
              "not JSON"),
             ("NaN", 505, '{"id":505,"call":"live.sendChatMessage","args":[1,NaN,0]}', "NaN"),
             ("1e999", 506, '{"id":506,"call":"live.sendChatMessage","args":[1,1e999,0]}',
              "finite"),
             ("an id that is an object", 507, '{"id":507,"x":{"id":{}},"call":1}', "call takes"),
             # The rest of its array still runs: 508 is checked below.
             ("995 nested arrays beside a sound request", 509,
              '[{"id":508,"call":"live.pageTo","args":[1]},%s]' % (nested(995) % 509), "deeper")]
    for what, ident, text, expected in cases:
        started = time.monotonic()
        await page.send_text(text, ident)
        answer = await page.answer(ident, 10)
        check(row, f"{what}: answered with an error in {time.monotonic() - started:.2f} s "
                   f"({answer and answer.get('error', '')[:60]})", is_error(answer, expected))
    sound = await page.answer(508)
    check(row, f"the sound request beside it is answered ({sound})",
          sound is not None and "error" not in sound)
    await page.ws.send_str("not JSON at all")
    await page.ws.send_bytes(b"\x00\x01")
    # Requests sent together are an array of at most MAX_IN_FLIGHT; a longer one runs none.
    over = [{"id": 600 + i, "call": "live.pageTo", "args": [1]}
            for i in range(devhost.MAX_IN_FLIGHT + 1)]
    await page.ws.send_str(json.dumps(over))
    deadline = time.monotonic() + 10
    while len(page.anonymous) < 3 and time.monotonic() < deadline:
        await asyncio.sleep(0.05)
    check(row, f"text that is not JSON, a binary message and {len(over)} requests together are "
               f"answered with errors ({len(page.anonymous)})",
          len(page.anonymous) >= 3 and all("error" in a for a in page.anonymous))
    await page.close()


async def row_slow_page(host, row):
    before = resident_mib(host.process.pid)
    other = await Client(host).open()
    slow = await Client(host).open(read=False)
    await slow.send({"call": "live.enterRoom", "args": [ROOM]})
    chat = "s" * (1 << 20)
    peak = [before]

    async def watch():
        while True:
            peak[0] = max(peak[0], resident_mib(host.process.pid))
            await asyncio.sleep(0.1)
    watcher = asyncio.get_running_loop().create_task(watch())
    # Up to 200 MB of echoes for every page; the slow one takes 10 messages a second from the
    # start (so it answers the host's pings as it reads). The reading page shares this test's one
    # thread with the sender: each send waits for it to take the echoes (at most 8 behind), or it
    # would be the one falling behind. The echoes stop once the slow page is dropped (its
    # requests are forgotten).
    reading = asyncio.get_running_loop().create_task(slow.read(60, pause=0.1))
    chats = other.chats
    for sent in range(1, 201):
        if reading.done():
            break
        try:
            await slow.send({"call": "live.sendChatMessage", "args": [42, chat, 0]})
        except ConnectionError:  # closed by the host meanwhile (checked below)
            break
        deadline = time.monotonic() + 5
        while other.chats - chats < sent - 8 and time.monotonic() < deadline:
            await asyncio.sleep(0.01)
        if other.chats - chats < sent - 8:
            break
    await reading
    watcher.cancel()
    peak = peak[0]
    check(row, f"it is dropped with close code 1008 ({slow.close_code}, {slow.close_reason!r})",
          slow.close_code == 1008 and "too far behind" in slow.close_reason)
    bound = (devhost.MAX_PAGE_QUEUE_BYTES >> 20) * 2 + 100
    check(row, f"the host's memory stays bounded ({before:.0f} -> at most {peak:.0f} MiB; "
               f"bound {before:.0f} + {bound} MiB)", peak - before < bound)
    answer = await other.request({"call": "live.getOutputLevel", "args": [0]}, 30)
    check(row, "a page that reads is kept and answered", answer is not None
          and other.close_code is None)
    await slow.close()
    await other.close()


async def row_closed_page(host, row):
    other = await Client(host).open()
    flood = await Client(host).open(read=False)
    waited = None
    for i in range(20000):
        await flood.ws.send_str(json.dumps({"id": i, "call": "offlinePlay.getPlayProgress",
                                            "args": []}))
        if i == 10000:  # another page, in the middle of the flood
            started = time.monotonic()
            answer = await other.request({"call": "live.getOutputLevel", "args": [0]}, 30)
            waited = time.monotonic() - started
    check(row, f"another page is answered in {waited:.2f} s in the middle of 20,000 requests",
          answer is not None and waited < 5)
    await flood.ws.close()
    await flood.session.close()
    await asyncio.sleep(0.5)
    count = lambda: len([line for line in host.new_lines() if "getPlayProgress" in line])  # noqa: E731
    ran = count()
    await asyncio.sleep(2)
    check(row, f"once it closed, none of its queued requests reaches kv_host ({ran} ran, then "
               f"{count() - ran} more)", count() == ran and ran < 20000)
    started = time.monotonic()
    answer = await other.request({"call": "live.getOutputLevel", "args": [0]}, 30)
    check(row, f"and the other page is answered at once ({time.monotonic() - started:.2f} s)",
          answer is not None and time.monotonic() - started < 3)
    busy = await Client(host).open()
    idents = [await busy.send({"call": "live.getOutputLevel", "args": [0]}) for _ in range(300)]
    answers = [await busy.answer(ident, 30) for ident in idents]
    refused = [a for a in answers if is_error(a, "in flight")]
    check(row, f"300 requests at once: every one answered, {len(refused)} refused as over "
               f"{devhost.MAX_IN_FLIGHT} in flight", all(a is not None for a in answers)
          and refused)
    await busy.close()
    await other.close()


def closed_within(address, payload, seconds, handshake=False):
    """Seconds until the host closes a connection that sends `payload` and then nothing (None
    if it stays open longer than `seconds`)."""
    started = time.monotonic()
    connection = socket.create_connection(address, timeout=5)
    try:
        connection.sendall(payload)
        deadline = started + seconds
        while time.monotonic() < deadline:
            connection.settimeout(max(0.05, deadline - time.monotonic()))
            try:
                data = connection.recv(65536)
            except socket.timeout:
                break
            except ConnectionError:
                return time.monotonic() - started
            if not data:
                return time.monotonic() - started
        return None
    finally:
        connection.close()


async def row_idle(host, row):
    key = base64.b64encode(os.urandom(16)).decode()
    upgrade = (f"GET /ws?token={host.token} HTTP/1.1\r\nHost: {host.address[0]}:{host.address[1]}"
               f"\r\nOrigin: {host.origin}\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
               f"Sec-WebSocket-Key: {key}\r\nSec-WebSocket-Version: 13\r\n\r\n").encode()
    plain = f"GET / HTTP/1.1\r\nHost: {host.address[0]}:{host.address[1]}\r\n\r\n".encode()
    idle = devhost.HTTP_IDLE_SECONDS
    silent_ws = devhost.HEARTBEAT_SECONDS * 1.5 + devhost.CLOSE_SECONDS + 5
    cases = [("a connection that sends nothing", b"", idle + 5),
             ("a request's headers cut short", b"GET / HTTP/1.1\r\nHost: x", idle + 5),
             ("a kept-alive connection after its answer", plain, idle + 5),
             ("a WebSocket that never answers a ping", upgrade, silent_ws)]
    results = await asyncio.gather(*(asyncio.to_thread(closed_within, host.address, payload,
                                                       limit) for _, payload, limit in cases))
    for (what, _, limit), seconds in zip(cases, results):
        check(row, f"{what} is closed ({'after %.1f s' % seconds if seconds else 'not'}; "
                   f"bound {limit:.0f} s)", seconds is not None)


def http_get(address, path, headers=None, raw=None):
    connection = http.client.HTTPConnection(*address, timeout=10)
    try:
        if raw is not None:
            connection.connect()
            connection.sock.sendall(raw)
            response = http.client.HTTPResponse(connection.sock, method="GET")
            response.begin()
        else:
            connection.request("GET", path, headers=headers or {})
            response = connection.getresponse()
        return response.status, dict(response.getheaders()), response.read()
    finally:
        connection.close()


def secure_headers(headers):
    policy = headers.get("Content-Security-Policy", "")
    return (all(part in policy for part in ("form-action 'none'", "base-uri 'none'",
                                             "object-src 'none'", "frame-ancestors 'none'",
                                             "worker-src 'none'"))
            and headers.get("X-Content-Type-Options") == "nosniff"
            and headers.get("Referrer-Policy") == "no-referrer")


async def row_names(host, row):
    paths = ["/recording/%00", "/recording/a%00b", "/recording/segment-1%00", "/recording/%2e%2e",
             "/recording/..%2fdevhost.py", "/recording/" + "a" * 300, "/recording/.hidden",
             "/page/%00", "/page/js/%00.js", "/page/..%2f..%2fdevhost.py", "/page/../devhost.py",
             "/%00", "/page/js/bridge.js%00", "/recording/%ff%fe", "/nothing"]
    for path in paths:
        status, headers, _ = await asyncio.to_thread(http_get, host.address, path)
        check(row, f"GET {path[:40]} answers {status} with the security headers",
              status in (400, 403, 404) and secure_headers(headers))
    status, headers, body = await asyncio.to_thread(http_get, host.address, "/recording/segment-1")
    with open(os.path.join(ROOT, "host", "web", "recording", "segment-1"), "rb") as data:
        check(row, f"a plain name is served ({status}, {headers.get('Content-Type')})",
              status == 200 and body == data.read() and secure_headers(headers))
    status, headers, _ = await asyncio.to_thread(http_get, host.address, "/",
                                                 {"Host": "evil.example"})
    check(row, f"a foreign Host answers {status} with the headers", status == 403
          and secure_headers(headers))
    status, headers, _ = await asyncio.to_thread(http_get, host.address, None, None,
                                                 b"BREW / HTTP/9\r\n\r\n")
    check(row, f"a malformed request answers {status} with the headers", status == 400
          and secure_headers(headers))
    status, headers, _ = await asyncio.to_thread(http_get, host.address, "/")
    check(row, f"the page's first load clears what an earlier occupant left "
               f"({headers.get('Clear-Site-Data')})", status == 200 and secure_headers(headers)
          and "storage" in headers.get("Clear-Site-Data", ""))


async def row_own_page(command, row):
    """--page DIR: DIR's files are served, read at each request; nothing outside DIR is, however
    the name is written or wherever a link inside DIR leads; the origin and token rules hold."""
    base = tempfile.mkdtemp(prefix="kv-hostile-page-")
    folder, outside = os.path.join(base, "page"), os.path.join(base, "outside")
    os.makedirs(os.path.join(folder, "sub"))
    os.makedirs(outside)
    for path, text in ((os.path.join(folder, "index.html"), "<p>mine</p>"),
                       (os.path.join(folder, "sub", "a.js"), "export const a = 1;"),
                       (os.path.join(folder, ".hidden.js"), "hidden"),
                       (os.path.join(outside, "secret.js"), "secret")):
        with open(path, "w") as out:
            out.write(text)
    os.symlink(os.path.join(outside, "secret.js"), os.path.join(folder, "out.js"))
    os.symlink(outside, os.path.join(folder, "link"))
    host = Host(command, ["--page", folder])
    try:
        refused = ["/../outside/secret.js", "/%2e%2e/outside/secret.js", "/sub/..%2f..%2fsecret.js",
                   "/sub%2fa.js", "/sub\\a.js", "/out.js", "/link/secret.js", "/.hidden.js",
                   "/sub/a.js%00", "/%00", "//" + os.path.join(outside, "secret.js").lstrip("/"),
                   "/page/js/main.js", "/page/../page/index.html"]
        for path in refused:
            status, headers, body = await asyncio.to_thread(http_get, host.address, path)
            check(row, f"GET {path[:40]} answers {status} with the security headers",
                  status in (400, 403, 404) and b"secret" not in body and secure_headers(headers))
        with open(os.path.join(folder, "sub", "new.js"), "w") as out:
            out.write("export const b = 2;")  # written after the start: served at once
        for path, body in (("/", b"<p>mine</p>"), ("/sub/new.js", b"export const b = 2;")):
            status, headers, got = await asyncio.to_thread(http_get, host.address, path)
            check(row, f"GET {path} serves the folder's file ({status})",
                  status == 200 and got == body and secure_headers(headers))
        for path in ("/page/js/bridge.js", "/page/js/catalogue.d.ts"):
            status, headers, _ = await asyncio.to_thread(http_get, host.address, path)
            check(row, f"GET {path} serves the project's file ({status}, "
                       f"{headers.get('Content-Type')})", status == 200)
        status, _, _ = await asyncio.to_thread(http_get, host.address, "/",
                                               {"Host": "evil.example"})
        check(row, f"a foreign Host is refused ({status})", status == 403)
        for origin, token, wanted in ((host.origin, host.token, 101),
                                      ("http://evil.example", host.token, 403),
                                      (host.origin, "", 403)):
            status, _, _ = await asyncio.to_thread(http_get, host.address, f"/ws?token={token}", {
                "Host": "%s:%d" % host.address, "Origin": origin, "Upgrade": "websocket",
                "Connection": "Upgrade", "Sec-WebSocket-Key": "dGhlIHNhbXBsZSBub25jZQ==",
                "Sec-WebSocket-Version": "13"})
            check(row, f"the WebSocket from {origin} with {'the' if token else 'no'} token "
                       f"answers {status}", status == wanted)
    finally:
        host.stop()
        shutil.rmtree(base, ignore_errors=True)


async def row_restart(command, row):
    """kv_host ends; a start fails (the program is missing, then the file descriptors are
    exhausted): it is started again with a bounded back-off each time."""
    folder = tempfile.mkdtemp(prefix="kv-hostile-restart-")
    shell = os.path.join(folder, "sh")
    os.symlink("/bin/sh", shell)
    limit = 256
    own = Host([shell, "-c", 'exec "$@"', "sh", *command], limit_files=limit)
    try:
        page = await Client(own).open()
        pid = own.kv_pid()
        os.kill(pid, signal.SIGKILL)
        ended = await page.wait_host("bridgeEnded", 10)
        started = await page.wait_host("bridgeStarted", 10)
        check(row, "a killed kv_host is reported and started again", ended and started)
        await answers_again(row, own, pid, restarted=True)

        # A start that fails: the program is gone for a while. (Each case begins once kv_host
        # has run long enough for the back-off to start again from its first delay.)
        await asyncio.sleep(devhost.RESTART_RESET_SECONDS + 0.5)
        page.host_lines.clear()
        pid = own.kv_pid()
        os.unlink(shell)
        os.kill(pid, signal.SIGKILL)
        failed = await page.wait_host("error", 10, "could not be started")
        answer = await page.request({"call": "live.getOutputLevel", "args": [0]}, 10)
        check(row, f"a request meanwhile is answered ({answer and answer.get('error', '')[:60]})",
              is_error(answer, "not running"))
        await asyncio.sleep(2.5)
        attempts = [line["text"] for line in page.host_lines if "could not be started"
                    in line.get("text", "")]
        delays = [float(re.search(r"next attempt in ([\d.]+) s", text).group(1))
                  for text in attempts]
        check(row, f"failed starts are reported with a back-off ({delays})",
              failed and len(delays) >= 2 and delays == sorted(delays)
              and max(delays) <= devhost.RESTART_MAX_SECONDS)
        os.symlink("/bin/sh", shell)
        started = await page.wait_host("bridgeStarted", devhost.RESTART_MAX_SECONDS + 5)
        check(row, "once it can be, kv_host is started again", started is not None)
        await answers_again(row, own, pid, restarted=True)

        # No file descriptors left (idle connections fill them) when kv_host ends.
        await asyncio.sleep(devhost.RESTART_RESET_SECONDS + 0.5)
        page.host_lines.clear()
        pid = own.kv_pid()
        flood = []
        files = lambda: len(os.listdir(f"/proc/{own.process.pid}/fd"))  # noqa: E731

        async def fill(seconds):
            """Opens idle connections until the host has at most one descriptor left (the
            sweep cuts them after HTTP_IDLE_SECONDS, so this tops them up)."""
            deadline = time.monotonic() + seconds
            while files() < limit - 1 and len(flood) < 4 * limit and time.monotonic() < deadline:
                try:
                    flood.append(socket.create_connection(own.address, timeout=1))
                except OSError:
                    break
                await asyncio.sleep(0.005)
        await fill(5)
        used = files()
        os.kill(pid, signal.SIGKILL)
        failed = None
        deadline = time.monotonic() + devhost.RESTART_MAX_SECONDS + 10
        while failed is None and time.monotonic() < deadline:
            await fill(0.5)
            failed = await page.wait_host("error", 0.2, "could not be started")
        for connection in flood:
            connection.close()
        started = await page.wait_host("bridgeStarted", devhost.HTTP_IDLE_SECONDS
                                       + devhost.RESTART_MAX_SECONDS + 10)
        check(row, f"with the file descriptors used up ({used} of {limit}) a start fails "
                   f"({failed and failed['text'][:70]})", failed is not None)
        check(row, "and once they are free again, kv_host is started again", started is not None)
        await answers_again(row, own, pid, restarted=True, seconds=30)
        await page.close()
        not_driven(row, own)
    finally:
        own.stop()
        shutil.rmtree(folder, ignore_errors=True)


async def row_fake_kv_host(command, row):
    """A kv_host that writes what the host cannot read, or never answers."""
    own = Host(["/usr/bin/python3", os.path.abspath(__file__), "--fake-kv-host"])
    try:
        page = await Client(own).open()
        pid = own.kv_pid()
        answer = await page.request({"call": "live.bigAnswer", "args": []}, 30)
        check(row, f"an answer line over the limit ends its request with an error "
                   f"({answer and answer.get('error', '')[:70]})", is_error(answer, "over the limit"))
        answer = await page.request({"call": "live.bigEvent", "args": []}, 30)
        report = await page.wait_host("error", 5, "dropped")
        check(row, f"an event line over the limit is dropped and reported; the request is "
                   f"answered ({answer and answer.get('result')})",
              answer is not None and answer.get("result") == [0, pid] and report is not None)
        answer = await page.request({"call": "live.wideEvent", "args": []}, 30)
        texts = [item.get("value") for item in (page.last_chat or {}).get("items", [])][1:]
        check(row, f"a long event line with texts after it reaches the page whole ({texts})",
              answer is not None and answer.get("result") == [0, pid] and texts == ["after"])
        answer = await page.request({"call": "live.deepAnswer", "args": []}, 30)
        check(row, f"an answer nested too deeply ends its request with an error "
                   f"({answer and answer.get('error', '')[:60]})", is_error(answer, "nested"))
        check(row, "kv_host is still the same process", own.kv_pid() == pid)
        answer = await page.request({"call": "live.die", "args": []}, 30)
        check(row, f"a kv_host that ends answers the request in flight "
                   f"({answer and answer.get('error')})", is_error(answer, "ended"))
        await answers_again(row, own, pid, restarted=True)
        pid = own.kv_pid()
        started = time.monotonic()
        answer = await page.request({"call": "live.hang", "args": []},
                                    devhost.ANSWER_SECONDS + 10)
        took = time.monotonic() - started
        check(row, f"a request kv_host never answers is answered in {took:.1f} s "
                   f"({answer and answer.get('error')})", is_error(answer)
              and took <= devhost.ANSWER_SECONDS + 3)
        await answers_again(row, own, pid, restarted=True)
        await page.close()
    finally:
        own.stop()


async def row_service_worker(command, row):
    """An earlier occupant of 127.0.0.1:PORT registered a service worker that answers
    navigations and drives /ws with the token of the address; then scripts/serve --port PORT."""
    from aiohttp import web
    probe = socket.socket()
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    attack = """<!doctype html><title>attack</title><script>
      const token = new URLSearchParams(location.search).get('token');
      const ws = new WebSocket(`ws://${location.host}/ws?token=${token}`);
      ws.onopen = () => { ws.send(JSON.stringify({id: 1, call: 'offlinePlay.kRunProgram',
                                                   args: ['/usr/bin/touch', '/tmp/kv-owned']}));
                          document.title = 'attack: sent'; };
      ws.onerror = () => { document.title = 'attack: refused'; };
    </script>"""
    worker = ("self.addEventListener('install', () => self.skipWaiting());\n"
              "self.addEventListener('activate', (e) => e.waitUntil(self.clients.claim()));\n"
              "self.addEventListener('fetch', (e) => { if (e.request.mode === 'navigate') "
              f"e.respondWith(new Response({json.dumps(attack)}, "
              "{headers: {'Content-Type': 'text/html'}})); });\n")
    front = ("<!doctype html><title>occupant</title><script>"
             "navigator.serviceWorker.register('/sw.js', {scope: '/'})"
             ".then(() => navigator.serviceWorker.ready).then(() => "
             "{ document.title = 'occupant: ready'; });</script>")
    occupant = web.Application()
    occupant.router.add_get("/", lambda r: web.Response(text=front, content_type="text/html"))
    occupant.router.add_get("/sw.js", lambda r: web.Response(
        text=worker, content_type="text/javascript"))
    runner = web.AppRunner(occupant)
    await runner.setup()
    await web.TCPSite(runner, "127.0.0.1", port).start()
    profile = tempfile.mkdtemp(prefix="kv-hostile-chromium-")
    driver = None
    own = None
    try:
        driver = await asyncio.to_thread(browser, profile)

        def occupy():
            driver.get(f"http://127.0.0.1:{port}/")
            wait_until(lambda: driver.title == "occupant: ready", 20)
            driver.get(f"http://127.0.0.1:{port}/?token=probe")
            return wait_until(lambda: driver.title.startswith("attack"), 20)
        check(row, f"the occupant's service worker answers navigations to "
                   f"http://127.0.0.1:{port}", await asyncio.to_thread(occupy))
        await runner.cleanup()
        runner = None
        own = Host(command, ["--port", str(port)])
        check(row, f"scripts/serve --port {port} gets a fresh origin ({own.origin})",
              own.origin != f"http://127.0.0.1:{port}" and own.address[1] == port)

        def old_address():
            driver.get(f"http://127.0.0.1:{port}/?token={own.token}")
            wait_until(lambda: driver.title in ("attack: refused", "attack: sent"), 10)
            return driver.title
        title = await asyncio.to_thread(old_address)
        check(row, f"the worker, given the token, cannot reach the host ({title!r})",
              title != "attack: sent")

        def our_page():
            driver.get(own.url)
            connected = wait_until(lambda: driver.execute_script(
                "return document.body && document.body.dataset.connection") == "open", 20)
            controller = driver.execute_script("return !!navigator.serviceWorker.controller")
            driver.set_script_timeout(20)
            register = driver.execute_async_script(
                "const done = arguments[0]; navigator.serviceWorker.register('/page/js/main.js')"
                ".then(() => done('registered'), (e) => done('refused: ' + e.name));")
            return connected, controller, register
        connected, controller, register = await asyncio.to_thread(our_page)
        check(row, "our page loads uncontrolled and connects", connected and not controller)
        check(row, f"a service worker cannot be registered on the host ({register})",
              register.startswith("refused"))
        status, headers, _ = await asyncio.to_thread(
            http_get, own.address, "/page/js/main.js", {"Service-Worker": "script"})
        check(row, f"a service worker's script request is refused ({status})", status == 403
              and secure_headers(headers))
        not_driven(row, own)
        check(row, "no program was started", not os.path.exists("/tmp/kv-owned"))
        await answers_again(row, own, own.kv_pid())
    finally:
        if driver is not None:
            await asyncio.to_thread(driver.quit)
        if runner is not None:
            await runner.cleanup()
        if own is not None:
            own.stop()
        shutil.rmtree(profile, ignore_errors=True)


def browser(profile):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", f"--user-data-dir={profile}"):
        options.add_argument(flag)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def wait_until(condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if condition():
                return True
        except Exception:  # noqa: BLE001 - the page is changing under us
            pass
        time.sleep(0.1)
    return False


# One row per fault: the name (for --rows), what it attacks, the row, and whether it starts a
# host of its own (the others share one, checked around each row: nothing forbidden reached
# kv_host, which is the same process and answers).
ROWS = [
    ("service-worker", 'a service worker left by an earlier occupant', row_service_worker, True),
    ("console-forms", 'console-only argument forms', row_console_forms, False),
    ("simulate", 'hostile simulate sizes', row_simulate, False),
    ("big-message", 'a 20 MB chat message', row_big_message, False),
    ("nesting", 'nesting and unparsable requests', row_nesting, False),
    ("slow-page", 'a page that reads slowly', row_slow_page, False),
    ("closed-page", "a closed page's requests", row_closed_page, False),
    ("idle", 'idle and half-open connections', row_idle, False),
    ("restart", 'kv_host ended, a start failed', row_restart, True),
    ("names", 'names and headers', row_names, False),
    ("own-page", 'a page folder of its own (--page)', row_own_page, True),
    ("unreadable", 'output the host cannot read', row_fake_kv_host, True),
]
# The row that waits for the answer time runs beside the others.
BESIDE = "unreadable"


async def run_row(name, title, fn, own, shared, command):
    started = time.monotonic()
    try:
        if own:
            await asyncio.wait_for(fn(command, title), 240)
        else:
            pid = shared.kv_pid()
            shared.mark()
            await asyncio.wait_for(fn(shared, title), 240)
            not_driven(title, shared)
            await answers_again(title, shared, pid)
    except Exception as error:  # noqa: BLE001 - a row that breaks is a failure
        check(title, f"the row ran to its end ({error!r})", False)
    print(f"-- {name}: {time.monotonic() - started:.1f} s", flush=True)


async def run(names, command):
    shared = Host(command)
    try:
        chosen = [row for row in ROWS if row[0] in names]
        beside = [asyncio.get_running_loop().create_task(run_row(*row, shared, command))
                  for row in chosen if row[0] == BESIDE]
        for row in chosen:
            if row[0] != BESIDE:
                await run_row(*row, shared, command)
        await asyncio.gather(*beside)
    finally:
        errors = shared.stop()
        if "Traceback" in errors:
            check("host", f"the host's error output has no traceback: {errors[-600:]}", False)


def fake_kv_host():
    """A kv_host stand-in: answers calls with [0, pid]; misbehaves on the calls named below."""
    pid = os.getpid()
    out = sys.stdout.buffer
    big = devhost.MAX_LINE_BYTES + (1 << 20)
    source = sys.stdin.buffer
    while True:  # records of --framed: text length, byte count, the line, the bytes
        header = source.read(8)
        if len(header) < 8:
            break
        size, attached = struct.unpack("<II", header)
        line = json.loads(source.read(size))
        source.read(attached)
        name = line.get("call")
        if "sim" in line:
            if line.get("sim") == "emit":
                out.write(json.dumps({"emit": line.get("event"), "result": 0}).encode() + b"\n")
        elif name == "live.bigAnswer":
            out.write(b'{"call":"live.bigAnswer","result":[0],"pad":"' + b"p" * big + b'"}\n')
        elif name == "live.bigEvent":
            out.write(b'{"event":"onChatMessage","items":[{"type":13,"value":"' + b"e" * big
                      + b'"}]}\n')
            out.write(json.dumps({"call": name, "result": [0, pid]}).encode() + b"\n")
        elif name == "live.wideEvent":  # a line long enough to pass through, its text after it
            out.write(json.dumps({"event": "onChatMessage", "items": [
                {"type": 13, "value": "w" * devhost.PASS_THROUGH_BYTES},
                {"type": 13, "$text": 5}], "textsFollow": 5}, separators=(",", ":")).encode()
                      + b"\nafter")
            out.write(json.dumps({"call": name, "result": [0, pid]}).encode() + b"\n")
        elif name == "live.deepAnswer":
            out.write(b'{"call":"live.deepAnswer","result":' + b"[" * 100000 + b"]" * 100000
                      + b"}\n")
        elif name == "live.die":
            out.flush()
            os._exit(3)
        elif name == "live.hang":
            pass
        else:
            out.write(json.dumps({"call": name, "resultCount": 2, "result": [0, pid]}).encode()
                      + b"\n")
        out.flush()


def main(argv):
    if argv[:1] == ["--fake-kv-host"]:
        return fake_kv_host()
    parser = argparse.ArgumentParser()
    parser.add_argument("--rows", default=",".join(row[0] for row in ROWS))
    parser.add_argument("command", nargs="+")
    options = parser.parse_args(argv)
    names = options.rows.split(",")
    started = time.monotonic()
    asyncio.run(run(names, options.command))
    print(f"{len(failures)} failed, {time.monotonic() - started:.1f} s")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
