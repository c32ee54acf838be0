#!/usr/bin/env python3
"""Drives kv_host through a whole live class or the playback of a recorded class (scripts/demo).

usage: demo_console.py live|playback --out DIR [--quick] [--] HOST_COMMAND...
       demo_console.py --self-test

The console is driven interactively: the script reads every line kv_host prints while it writes
the next command, and answers the playback engine's stored-data requests as they arrive, the way
the page scripts would. Nothing waits inside kv_host, so its input stays free for those answers.

Files written to DIR (NAME is the scenario):
  NAME.txt           readable transcript: what was sent, what came back, which events arrived
                     (video frames summarised per stream)
  NAME.in.jsonl      every line sent, replayable with kv_host
  NAME.out.jsonl     every line kv_host printed, as printed (the JSON-lines log)
  NAME.stderr.txt    kv_host's standard error (removed when empty)
Ends with "NAME: N checks passed, M failed"; exit status 1 when a check failed.
"""
import base64
import json
import os
import queue
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # leave no cache files in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tests", "e2e"))
import frame_hash  # noqa: E402  (the documented frame pattern, recomputed independently)

FRAME_EVENTS = ("onGetVideoData", "onVideoData")
ME = 42          # our user id in the live class
ROOM = 7
TEACHER = {"id": 9001, "type": 1, "right": 7, "name": "Teacher"}
NEWCOMER = {"id": 9104, "type": 2, "right": 1, "name": "Student D"}
ME_USER = {"id": ME, "type": 2, "right": 1, "name": f"Me ({ME})"}


class DemoError(Exception):
    """The console went away or stopped answering: the scenario cannot go on."""


def compact(value):
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"))


def clip(text, limit=150):
    return text if len(text) <= limit else text[:limit - 3] + "..."


def item_value(item):
    """An event item as plain data: texts holding JSON become JSON, byte blocks a short note."""
    if item is None:
        return None
    kind = item.get("type")
    if kind == 14:
        return f"<{item.get('size')} bytes, fnv1a {item.get('fnv1a')}>"
    if kind == 25:
        return f"<stroke of {len(item.get('value') or [])} points>"
    value = item.get("value")
    if kind == 13 and isinstance(value, str):
        stripped = value.strip()
        if stripped[:1] in ("{", "["):
            try:
                return json.loads(stripped)
            except ValueError:
                pass
        return stripped
    return value


def show_argument(value):
    """A command argument as the transcript shows it: JSON texts unescaped, in single quotes."""
    if isinstance(value, str) and value[:1] in ("{", "["):
        return "'" + clip(value, 160) + "'"
    return clip(compact(value), 90)


def names(users):
    return ", ".join(f"{u.get('name')} ({u.get('id')})" for u in users or [] if isinstance(u, dict))


def describe_event(name, items):
    """One readable line for an event the bridge posted."""
    values = [item_value(i) for i in items or []]
    if name == "onRoomInfo" and values and isinstance(values[0], dict):
        room = values[0]
        return (f"room: teachers [{names(room.get('teacherList'))}], students "
                f"[{names(room.get('studentList'))}], {room.get('userCount')} users, microphone "
                f"queue [{names(room.get('microphoneList'))}], speaking "
                f"[{names(room.get('speakingUserList'))}]")
    chat = next((v for v in values if isinstance(v, dict) and "chat_message" in v), None)
    if chat is not None:
        sender = chat.get("user") or {}
        return (f"{sender.get('name')} ({sender.get('id')}) says {chat['chat_message']!r} "
                f"(message {chat.get('message_id')})")
    return clip(", ".join(v if isinstance(v, str) else compact(v) for v in values))


class Transcript:
    """The readable transcript; consecutive video frames are folded into one line per stream."""

    LEGEND = ("-> a command the page scripts send   <- what comes back   => the demo makes the "
              "simulated engine act (for the other participants)   ** what the scripts receive"
              "   .. the library's debug output")

    def __init__(self, path, echo):
        self.file = open(path, "w", encoding="utf-8")
        self.echo = echo
        self.start = time.monotonic()
        self.frames = {}  # stream -> [count, width, height, bytes, first fnv1a, since]
        self.file.write(self.LEGEND + "\n")

    def write(self, text, fold=False):
        """Writes a line; unless `fold`, frames counted so far are written first."""
        if not fold:
            self.flush_frames()
        self._emit(text)

    def _emit(self, text):
        line = f"[{time.monotonic() - self.start:6.2f}s] {text}"
        self.file.write(line + "\n")
        if self.echo:
            print(line, flush=True)

    def frame(self, stream, width, height, size, fnv):
        now = time.monotonic() - self.start
        entry = self.frames.setdefault(stream, [0, width, height, size, fnv, now])
        entry[0] += 1
        entry[1:4] = [width, height, size]

    def flush_frames(self):
        for stream, (count, width, height, size, fnv, since) in sorted(self.frames.items()):
            self._emit(f"   ** {count} video frame(s) on stream {stream} since {since:.2f}s: "
                       f"{width} x {height}, {size} bytes each, lent to the scripts "
                       f"(first fnv1a {fnv})")
        self.frames = {}

    def close(self):
        self.flush_frames()
        self.file.close()


class Console:
    """kv_host as a child process: lines in, lines out, every line logged."""

    def __init__(self, command, out_dir, name, echo=True):
        self.log_in = open(os.path.join(out_dir, f"{name}.in.jsonl"), "w", encoding="utf-8")
        self.log_out = open(os.path.join(out_dir, f"{name}.out.jsonl"), "w", encoding="utf-8")
        self.stderr = open(os.path.join(out_dir, f"{name}.stderr.txt"), "w", encoding="utf-8")
        self.transcript = Transcript(os.path.join(out_dir, f"{name}.txt"), echo)
        self.lines = queue.Queue()
        self.seen = []          # every parsed output line, in order
        self.reactions = []     # callables run on every output line (answers to requests)
        self.checks = []        # (description, passed)
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=self.stderr, text=True, encoding="utf-8",
                                        bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.rstrip("\r\n"))
        self.lines.put(None)

    # --- writing ---------------------------------------------------------------------------
    def send(self, line, note=None):
        text = compact(line)
        self.log_in.write(text + "\n")
        self.log_in.flush()
        if note is not None:
            self.transcript.write(note)
        try:
            self.process.stdin.write(text + "\n")
            self.process.stdin.flush()
        except (BrokenPipeError, OSError) as error:
            raise DemoError(f"kv_host stopped reading: {error}")

    # --- reading ---------------------------------------------------------------------------
    def _next(self, deadline):
        try:
            raw = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
        except queue.Empty:
            return None
        if raw is None:
            raise DemoError(f"kv_host ended (exit status {self.process.wait()})")
        self.log_out.write(raw + "\n")
        try:
            line = json.loads(raw)
        except ValueError:
            self.transcript.write(f"   !! not JSON: {clip(raw)}")
            self.check(f"output line is JSON: {clip(raw, 60)}", False)
            return {}
        self.seen.append(line)
        self._show(line)
        for react in list(self.reactions):
            react(line)
        return line

    def _show(self, line):
        t = self.transcript
        if "event" in line:
            items = line.get("items") or []
            if line["event"] in FRAME_EVENTS and len(items) >= 8 and items[7]:
                t.frame(items[0].get("value"), items[2].get("value"), items[3].get("value"),
                        items[7].get("size"), items[7].get("fnv1a"))
            else:
                t.write(f"   ** event {line['event']}: {describe_event(line['event'], items)}",
                        fold=True)
        elif "script" in line:
            t.write(f"   ** script {line['script']}", fold=True)
        elif "formatted" in line:
            t.write(f"   ** formatted {line['formatted']}({line.get('text')})", fold=True)
        elif "debug" in line:
            t.write(f"   .. debug: {line['debug'].rstrip()}", fold=True)
        elif "call" in line:
            t.write(f"   <- {line['call']} answered {compact(line.get('result'))}")
        elif "emit" in line:
            extra = {k: v for k, v in line.items() if k != "emit"}
            t.write(f"   <- engine event {line['emit']} returned" +
                    (f" {clip(compact(extra))}" if extra else ""))
        elif "journal" in line:
            ops = [entry.get("op") for entry in line["journal"]]
            t.write(f"   <- the engine was called: {clip(', '.join(ops) or 'nothing', 400)}")
        elif "error" in line:
            t.write(f"   !! error: {line['error']}")
        else:
            t.write(f"   <- {clip(compact(line))}")

    def pump(self, seconds):
        """Handles output for `seconds` (events, answers to requests)."""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self._next(deadline)

    def wait_for(self, predicate, timeout):
        """The first output line (from now) that satisfies `predicate`, or None after `timeout`."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            line = self._next(deadline)
            if line and predicate(line):
                return line
        return None

    def count(self, predicate, since=0):
        return sum(1 for line in self.seen[since:] if predicate(line))

    # --- commands --------------------------------------------------------------------------
    def call(self, name, *args, why="", timeout=30):
        """Sends a command as the page scripts would and returns its result array."""
        shown = ", ".join(show_argument(a) for a in args)
        self.send({"call": name, "args": list(args)},
                  f"-> {name}({shown})" + (f"    # {why}" if why else ""))
        line = self.wait_for(lambda l: l.get("call") == name, timeout)
        if line is None:
            raise DemoError(f"no answer to {name} within {timeout} s")
        return line.get("result")

    def emit(self, event, args=(), why="", timeout=30):
        """Raises an engine event (another participant's action) and waits until it returned."""
        self.send({"sim": "emit", "event": event, "args": list(args)},
                  f"=> engine raises {event}" + (f"    # {why}" if why else ""))
        line = self.wait_for(lambda l: l.get("emit") == event, timeout)
        if line is None:
            raise DemoError(f"event {event} did not return within {timeout} s")
        return line

    def journal(self, why="what reached the engine"):
        self.send({"sim": "journal"}, f"=> journal    # {why}")
        line = self.wait_for(lambda l: "journal" in l, 30)
        if line is None:
            raise DemoError("no journal")
        return line["journal"]

    def control(self, line, why):
        self.send(line, f"=> {compact(line)}    # {why}")

    def section(self, title):
        self.transcript.write(f"-- {title}")

    def check(self, description, passed):
        self.checks.append((description, bool(passed)))
        self.transcript.write(f"   [{'ok' if passed else 'FAILED'}] {description}")
        return passed

    def expect_event(self, name, timeout=10, since=None, where=None):
        """Waits for event `name` (also counting those already seen after index `since`)."""
        def wanted(line):
            return line.get("event") == name and (where is None or where(line))
        if since is not None and any(wanted(l) for l in self.seen[since:]):
            return True
        return self.wait_for(wanted, timeout) is not None

    def finish(self):
        self.transcript.write("=> end of input; the console stops the engine and exits")
        try:
            self.process.stdin.close()
        except OSError:
            pass
        deadline = time.monotonic() + 30
        try:
            while True:
                self._next(deadline)
                if time.monotonic() >= deadline:
                    break
        except DemoError:
            pass
        try:
            status = self.process.wait(timeout=max(1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = self.process.wait()
        self.check(f"kv_host exited with status 0 (got {status})", status == 0)

    def close(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.transcript.close()
        for f in (self.log_in, self.log_out, self.stderr):
            f.close()
        if os.path.getsize(self.stderr.name) == 0:
            os.remove(self.stderr.name)


def items_of(line):
    return [item_value(i) for i in line.get("items") or []]


def event_named(name):
    return lambda line: line.get("event") == name


# --- the live class --------------------------------------------------------------------------
def enter_room(c):
    c.section("entering the room")
    mark = len(c.seen)
    config = {"id": ROOM, "type": 0, "userId": ME, "userType": 2, "sess": "demo-session",
              "appVersion": "3.1.0.0001",
              "server": {"roomServer": {"host": "room.example", "tcpPort": 5003}}}
    result = c.call("live.enterRoom", compact(config), why="enter the room")
    c.check("enterRoom answers 0", result == [0])
    c.check("room information arrives", c.expect_event("onRoomInfo", since=mark))
    room = next((items_of(l)[0] for l in c.seen[mark:] if l.get("event") == "onRoomInfo"), None)
    c.check("the room lists the teacher and three students",
            isinstance(room, dict) and len(room.get("teacherList") or []) == 1
            and len(room.get("studentList") or []) >= 3)
    c.check("we join the room (userEnterRoom)", c.expect_event(
        "userEnterRoom", since=mark,
        where=lambda l: any(isinstance(v, dict) and v.get("id") == ME for v in items_of(l))))



def class_starts(c):
    c.section("a latecomer, the class starts")
    mark = len(c.seen)
    c.emit("OnUserEnterRoom", [NEWCOMER, 6], why="a latecomer joins")
    c.check("the latecomer's arrival reaches the scripts", c.expect_event(
        "userEnterRoom", since=mark, where=lambda l: "Student D" in compact(l)))
    c.call("live.startClass", why="the class starts")
    mark = len(c.seen)
    c.emit("OnStartClass", [str(int(time.time() * 1000))], why="the engine confirms the start")
    c.check("onStartClass arrives", c.expect_event("onStartClass", since=mark))



def chat(c):
    c.section("chat both ways")
    mark = len(c.seen)
    result = c.call("live.sendChatMessage", ME, "Good morning, everyone!", 0,
                    why="our chat message")
    c.check("sendChatMessage answers 0", result == [0])
    c.check("our message comes back as onChatMessage", c.expect_event(
        "onChatMessage", since=mark, where=lambda l: "Good morning" in compact(l)))
    mark = len(c.seen)
    c.emit("OnChatMessage", [ROOM, {"messageId": 501, "requestMessageId": "t-1",
                                    "text": "Welcome! Today: fractions.", "timestamp": 0,
                                    "messageType": 0, "sender": TEACHER}],
           why="the teacher writes")
    c.check("the teacher's message reaches the scripts", c.expect_event(
        "onChatMessage", since=mark, where=lambda l: "fractions" in compact(l)))



def strokes(c):
    # Ours reach the engine from the host's core thread; the teacher's come in as events.
    c.section("strokes on the shared board")
    mark = len(c.seen)
    points = [{"x": 0.1 * i, "y": 0.05 * i * i, "pressure": 0.5} for i in range(8)]
    result = c.call("live.syncStroke", points, 1, 2, why="we draw a curve")
    c.check("syncStroke answers 0", result == [0])
    c.check("our stroke comes back with its 8 points", c.expect_event(
        "onSyncStroke", since=mark,
        where=lambda l: any(i and i.get("type") == 25 and len(i.get("value") or []) == 8
                            for i in l.get("items") or [])))
    mark = len(c.seen)
    c.emit("OnSyncStroke", [{"generate": 120, "a": 3, "b": 4}], why="the teacher draws")
    c.check("the teacher's stroke arrives", c.expect_event("onSyncStroke", since=mark))



def microphone_queue(c):
    c.section("the microphone queue")
    mark = len(c.seen)
    c.emit("OnMicrophoneQueueOpened", [1], why="the teacher opens the microphone queue")
    c.check("onMicrophoneQueueOpened arrives", c.expect_event("onMicrophoneQueueOpened",
                                                              since=mark))
    c.check("applyMicrophone answers 0", c.call("live.applyMicrophone", why="we raise a hand")
            == [0])
    mark = len(c.seen)
    c.emit("OnMicrophoneApplied", [ME_USER, 2], why="we are queued second")
    c.check("onMicrophoneApplied arrives", c.expect_event("onMicrophoneApplied", since=mark))
    mark = len(c.seen)
    c.emit("OnMicrophoneApproved", [ME_USER, 1, 2, 3], why="the teacher gives us the floor")
    c.check("onMicrophoneApproved arrives", c.expect_event("onMicrophoneApproved", since=mark))
    mark = len(c.seen)
    c.emit("OnMicrophoneCanceled", [ME, 0, [0, 0]], why="our turn ends")
    c.check("onMicrophoneCanceled arrives", c.expect_event("onMicrophoneCanceled", since=mark))



def question_and_answers(c):
    c.section("a question with answers")
    question = {"questionId": 31, "type": 1, "optionNum": 4,
                "text": "Which fraction equals 0.5?", "options": ["1/3", "2/4", "3/5", "4/7"]}
    mark = len(c.seen)
    c.emit("OnAddQuestion", [compact(question)], why="the teacher asks a question")
    c.check("the question reaches the scripts", c.expect_event(
        "OnAddQuestion", since=mark, where=lambda l: "0.5" in compact(l)))
    result = c.call("live.myAnswer", compact({"questionId": 31, "selectedOptions": [1]}),
                    why="we answer 2/4")
    c.check("myAnswer answers 0", result == [0])
    mark = len(c.seen)
    c.emit("OnMyAnswer", [compact({"questionId": 31, "selectedOptions": [1], "correct": True})],
           why="our answer is recorded")
    c.emit("OnAnswerSummary", [compact({"questionId": 31, "attendStudents": 4,
                                        "optionStats": [{"option": 1, "num": 3},
                                                        {"option": 2, "num": 1}]})],
           why="the class's answers")
    c.emit("OnEndQuestion", [31], why="the question closes")
    for name in ("OnMyAnswer", "OnAnswerSummary", "OnEndQuestion"):
        c.check(f"{name} arrives", c.expect_event(name, since=mark))
    journal = c.journal()
    ops = [entry.get("op") for entry in journal]
    expected_ops = ["Live.EnterRoom", "Live.StartClass", "Live.SendChatMessage",
                    "Live.SyncStroke", "Live.ApplyMicrophone", "Live.MyAnswer"]
    c.check("the engine saw " + ", ".join(expected_ops),
            all(op in ops for op in expected_ops))
    answer = next((e for e in journal if e.get("op") == "Live.MyAnswer"), {})
    c.check("the answer reached the engine as question 31, option 1",
            answer.get("args", [None])[0] == 31 and answer.get("args", [0, []])[1][:1] == [1])



def video(c, seconds):
    c.section("video: our camera at 15 frames per second, the teacher's picture changing size")
    mark = len(c.seen)
    c.check("beginSendVideo answers 0", c.call("live.beginSendVideo", why="our camera on")
            == [0])
    c.pump(seconds)
    c.check("stopSendVideo answers 0", c.call("live.stopSendVideo", why="camera off") == [0])
    c.pump(0.3)
    frames = [l for l in c.seen[mark:] if l.get("event") == "onGetVideoData"
              and items_of(l)[0] == 0]
    c.check(f"camera frames arrive on stream 0 ({len(frames)} in {seconds:g} s)",
            len(frames) >= 5 * seconds)
    notices = [l["script"] for l in c.seen[mark:] if "script" in l]
    c.check("one size notice for the camera: OnVideoSizeChange(0,640,360);",
            notices.count("OnVideoSizeChange(0,640,360);") == 1)
    if frames:
        first = frames[0]["items"][7]
        data = frame_hash.planar(640, 360, 0)
        c.check("the first camera frame holds the documented test pattern",
                first.get("size") == len(data) and
                first.get("fnv1a") == f"{frame_hash.fnv1a(data):08x}")
    mark = len(c.seen)
    for width, height in ((320, 180), (320, 180), (480, 270)):
        c.emit("OnGetVideoData", [1, width, height, 0, 1, 0],
               why=f"the teacher's picture, {width} x {height}")
    notices = [l["script"] for l in c.seen[mark:] if "script" in l]
    c.check("size notices only when the size changes: " + " ".join(notices),
            notices == ["OnVideoSizeChange(1,320,180);", "OnVideoSizeChange(1,480,270);"])



def leaving(c):
    c.section("the end of the class")
    mark = len(c.seen)
    c.emit("OnUserQuitRoom", [NEWCOMER["id"], 0], why="the latecomer leaves")
    c.check("userQuitRoom arrives", c.expect_event("userQuitRoom", since=mark))
    c.call("live.endClass", why="the class ends")
    c.emit("OnEndClass", why="the engine confirms the end")
    result = c.call("live.quitRoom", why="we leave")
    c.check("quitRoom answers 0", result == [0])
    c.check("after leaving, commands need a room again (startSend answers -1)",
            c.call("live.startSend", why="no room any more") == [-1])
    ops = [entry.get("op") for entry in c.journal("the end of the class on the engine's side")]
    c.check("the engine saw Live.QuitRoom", "Live.QuitRoom" in ops)


def live_class(c, quick):
    c.transcript.write("== A live class: room 7, we are student 42; the simulated engine plays "
                       "the teacher and the other students")
    c.control({"sim": "classroom", "on": True}, "the simulated engine behaves like a small class")
    enter_room(c)
    class_starts(c)
    chat(c)
    strokes(c)
    microphone_queue(c)
    question_and_answers(c)
    video(c, 1.0 if quick else 3.0)
    leaving(c)


# --- the recorded class ----------------------------------------------------------------------
def segment_bytes(key):
    """The stored data our page scripts hold for a segment of the recording."""
    return compact({"segment": key, "strokes": [[1, 2, 0.5], [3, 4, 0.5]],
                    "chat": [f"saved message of {key}"]}).encode("utf-8")


def playback(c, quick):
    play_seconds = 1.5 if quick else 3.0
    c.transcript.write("== Playing back a recorded class: the engine asks the scripts for "
                       "stored data, which they answer with setStorageData")
    c.control({"sim": "classroom", "on": True}, "the simulated engine plays a recorded class")
    answered = []

    def answer_requests(line):
        # Stored data is requested from an engine thread; the page scripts answer at once.
        if line.get("event") != "getStorageData":
            return
        key = items_of(line)[0]
        data = segment_bytes(key)
        answered.append((key, len(data)))
        c.send({"call": "offlinePlay.setStorageData",
                "args": [key, {"$bytes": base64.b64encode(data).decode()}, 0]},
               f"-> offlinePlay.setStorageData({key!r}, <{len(data)} bytes>, 0)"
               "    # the scripts answer the request")

    c.reactions.append(answer_requests)

    c.section("open and play; the scripts answer the stored-data requests as they come")
    mark = len(c.seen)
    result = c.call("offlinePlay.openMedia", compact({"id": 3, "userId": 9}),
                    why="open the recording")
    c.check("openMedia answers 0", result == [0])
    c.check("media information arrives", c.expect_event("onMediaInfo", since=mark))
    c.check("playMedia answers 0", c.call("offlinePlay.playMedia", why="play") == [0])
    ready = lambda l: l.get("event") == "OnMediaDataReady"  # noqa: E731
    deadline = time.monotonic() + 20
    while c.count(ready, mark) < 3 and time.monotonic() < deadline:
        c.pump(0.2)
    sizes = [items_of(l)[0] for l in c.seen[mark:] if ready(l)]
    c.check("three stored-data requests, each answered",
            [k for k, _ in answered] == ["segment-1", "segment-2", "segment-3"])
    c.check(f"each fetch ends with the answered byte count (onMediaDataReady {sizes})",
            sizes == [n for _, n in answered])
    answers = [l for l in c.seen[mark:] if l.get("call") == "offlinePlay.setStorageData"]
    c.check("no answer block was left to the console", all(
        "blocksNotTaken" not in l for l in answers) and len(answers) == len(answered))
    c.section("progress while playing")
    c.pump(play_seconds)
    first = c.call("offlinePlay.getPlayProgress", why="where are we?")
    c.pump(0.5)
    second = c.call("offlinePlay.getPlayProgress", why="and half a second later?")
    c.check(f"the progress advances while playing ({first} then {second})",
            len(first or []) == 2 and len(second or []) == 2 and first[0] == 0
            and second[1] > first[1])
    frames = c.count(lambda l: l.get("event") == "onGetVideoData"
                     and items_of(l)[0] == 1000, mark)
    c.check(f"playback frames arrive on stream 1000 ({frames})", frames >= 10)
    c.check("one size notice for the playback picture", sum(
        1 for l in c.seen[mark:] if l.get("script") == "OnVideoSizeChange(1000,640,360);") == 1)

    c.section("seek, pause, close")
    c.check("seekMedia answers 0",
            c.call("offlinePlay.seekMedia", 300000, why="jump to minute 5") == [0])
    c.pump(0.3)
    after = c.call("offlinePlay.getPlayProgress", why="after the jump")
    c.check(f"the progress is past minute 5 after the seek ({after})",
            len(after or []) == 2 and after[1] >= 300000)
    c.check("pauseMedia answers 0", c.call("offlinePlay.pauseMedia", why="pause") == [0])
    c.pump(0.3)
    mark = len(c.seen)
    c.pump(0.4)
    c.check("no frames while paused", c.count(event_named("onGetVideoData"), mark) == 0)
    c.check("closeMedia answers 0", c.call("offlinePlay.closeMedia", why="close") == [0])
    ops = [entry.get("op") for entry in c.journal()]
    wanted = ["OfflinePlay.OpenMedia", "OfflinePlay.Play", "OfflinePlay.Seek",
              "OfflinePlay.Pause", "OfflinePlay.CloseMedia"]
    c.check("the engine saw " + ", ".join(wanted), all(op in ops for op in wanted))


SCENARIOS = {"live-class": live_class, "playback": playback}
ALIASES = {"live": "live-class", "playback": "playback"}


def run(scenario, command, out_dir, quick, echo=True):
    os.makedirs(out_dir, exist_ok=True)
    name = ALIASES[scenario]
    console = Console(command, out_dir, name, echo)
    try:
        SCENARIOS[name](console, quick)
        console.finish()
    except DemoError as error:
        console.check(f"the scenario ran to its end ({error})", False)
    finally:
        console.close()
    failed = [d for d, ok in console.checks if not ok]
    summary = f"{name}: {len(console.checks) - len(failed)} checks passed, {len(failed)} failed"
    with open(os.path.join(out_dir, f"{name}.txt"), "a", encoding="utf-8") as f:
        f.write(summary + "\n")
    print(summary)
    for d in failed:
        print(f"  FAILED: {d}")
    return 1 if failed else 0


def self_test():
    """Cheap checks of the parts that need no console: the summaries and the stored data."""
    room = {"teacherList": [TEACHER], "studentList": [NEWCOMER], "userCount": 2,
            "microphoneList": [], "speakingUserList": [TEACHER]}
    line = describe_event("onRoomInfo", [{"type": 13, "value": compact(room) + "\n"}])
    assert "Teacher (9001)" in line and "Student D (9104)" in line, line
    assert item_value({"type": 14, "size": 3, "fnv1a": "00"}) == "<3 bytes, fnv1a 00>"
    assert item_value({"type": 13, "value": "{oops"}) == "{oops"
    assert clip("x" * 200).endswith("...") and len(clip("x" * 200)) == 150
    assert show_argument('{"id":7}') == """'{"id":7}'""" and show_argument("hi") == '"hi"'
    assert json.loads(segment_bytes("segment-1"))["segment"] == "segment-1"
    data = frame_hash.planar(4, 2, 0)
    assert len(data) == 4 * 2 * 3 // 2
    print("demo_console self-test passed")
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    args = argv[1:]
    if not args or args[0] not in ALIASES:
        print(__doc__, file=sys.stderr)
        return 2
    scenario, args = args[0], args[1:]
    out_dir, quick = None, False
    while args and args[0].startswith("--"):
        flag = args.pop(0)
        if flag == "--out" and args:
            out_dir = args.pop(0)
        elif flag == "--quick":
            quick = True
        elif flag == "--":
            break
        else:
            print(f"unknown option {flag}", file=sys.stderr)
            return 2
    if not out_dir or not args:
        print(__doc__, file=sys.stderr)
        return 2
    return run(scenario, args, out_dir, quick)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
