#!/usr/bin/env python3
"""Bad-input battery: every command of every table through kv_host with hostile arguments.

usage: battery.py [--emulator CMD] [--passes N] [--report FILE] --reference <kv_reference> <kv_host>

The command names come from the bridge's catalogue (client/catalogue.def), as kv_reference --json
prints it, in the order of the method-name table. Every
command runs with its arguments missing (none, one, two), with each argument position given every
JSON type (null, bools, numbers at the integer edges, texts, arrays, objects, byte blocks with good
and bad counts), as a 1 MiB text, as a text nested 100,000 levels deep, and as a structure nested
100,000 levels deep (the console's {"$nest":N} form). Arguments that a position does not take are
filled from four profiles (numbers, JSON texts, a stored-data answer, a stroke). Each case runs with
a room entered and a recorded class open, so the "engine." device table is reached through both.

Passes: the whole battery runs N times (default 3) in one kv_host process; after each pass the
console reports the heap ({"host":"memory"}). The battery passes when every command answered with
a well-formed result (resultCount never above the values written), the process ended normally
with nothing on its error stream, and the heap after the last pass is within a small allowance of
the heap after the first (the first pass makes what the bridge keeps for good: frame buffers,
stored data, the room configuration).
"""
import argparse
import json
import pathlib
import shlex
import subprocess
import sys
import tempfile
import threading
import time

# Bytes the heap may differ by between the first and the last pass: allocator rounding and
# containers that keep their largest capacity. A command leaking even one small block per call
# leaks it about 7000 times a pass.
HEAP_ALLOWANCE = 64 * 1024

MIB_TEXT = "x" * (1 << 20)
DEPTH = 100000
DEEP_ARRAY_TEXT = "[" * DEPTH + "]" * DEPTH
DEEP_OBJECT_TEXT = '{"id":' * DEPTH + "1" + "}" * DEPTH
DEEP_CONFIG_TEXT = '{"server":' * DEPTH + "{}" + "}" * DEPTH

PROFILES = [
    [1, 1, 1],
    ["{}", "{}", "{}"],
    ["segment-1", {"$bytes": "AQID"}, 0],
    [[{"x": 1, "y": 2, "pressure": 0.5}], 1, 2],
]
HOSTILE = [
    None, True, False, 0, -1, 2.9, -2.9, 1e300, -1e300, 4294967296, -2147483649,
    "", "text", "-12.7", "{\"id\":", [], {}, [[1]], {"x": {"y": 1}},
    [{"x": "a", "y": None, "pressure": []}, 7, None],
    {"$bytes": "AQID"}, {"$bytes": None}, {"$bytes": "AQID", "count": -5},
    {"$bytes": "AQID", "count": 0}, {"$bytes": ""},
]
HEAVY = [
    MIB_TEXT, DEEP_ARRAY_TEXT, DEEP_OBJECT_TEXT, DEEP_CONFIG_TEXT,
    {"$nest": DEPTH}, {"$nest": DEPTH, "object": True},
]
# Commands that enter or leave the room or the recorded class: the set-up runs again after them.
STATE_CHANGING = {"live.enterRoom", "live.quitRoom", "offlinePlay.openMedia",
                  "offlinePlay.closeMedia"}
SETUP = [
    json.dumps({"call": "live.enterRoom", "args": ["{\"id\":7,\"userId\":42}"]}),
    json.dumps({"call": "offlinePlay.openMedia", "args": ["{\"id\":9}"]}),
]
ENGINE_SCRIPT = [
    json.dumps({"sim": "reset"}),
    json.dumps({"sim": "devices", "recording": ["Mic A", {"fill": "ab", "size": 1100}],
                "video": ["Cam"]}),
]


def method_table(emulator, reference):
    """Every command name in table order, from the catalogue (kv_reference --json)."""
    command = (shlex.split(emulator) if emulator else []) + [reference, "--json"]
    # Into a file, not a pipe: services Wine starts with the program may keep a pipe open.
    with tempfile.TemporaryFile() as out:
        subprocess.run(command, check=True, stdout=out, stdin=subprocess.DEVNULL)
        out.seek(0)
        catalogue = json.loads(out.read())
    return [entry["name"] for entry in catalogue["commands"]]


def cases(command):
    """Argument lists for one command."""
    for profile in PROFILES:
        for count in range(4):
            yield profile[:count]
    for profile in PROFILES:
        for position in range(3):
            for value in HOSTILE:
                args = list(profile)
                args[position] = value
                yield args
    for position in range(3):
        for value in HEAVY:
            args = list(PROFILES[0])
            args[position] = value
            yield args


def one_pass(commands):
    """Input lines of one pass and the command of every "call" line among them, in order."""
    lines, calls = list(ENGINE_SCRIPT), []

    def setup():
        for line in SETUP:
            lines.append(line)
            calls.append(json.loads(line)["call"])

    setup()
    for command in commands:
        for args in cases(command):
            heavy = any(isinstance(a, dict) and "$nest" in a or isinstance(a, str) and
                        len(a) > 4096 for a in args)
            lines.append(json.dumps({"call": command, "args": args}, separators=(",", ":")))
            calls.append(command)
            if heavy:
                lines.extend(ENGINE_SCRIPT)  # the journal holds the texts the engine was given
            if command in STATE_CHANGING:
                setup()
    lines += [json.dumps({"call": "live.quitRoom"}), json.dumps({"call": "offlinePlay.closeMedia"})]
    calls += ["live.quitRoom", "offlinePlay.closeMedia"]
    lines += [json.dumps({"sim": "wait"})] + ENGINE_SCRIPT + [json.dumps({"host": "memory"})]
    return lines, calls


def check_call(line, expected):
    if line.get("call") != expected:
        return f"expected the answer of {expected}, got {line.get('call')!r}"
    count, result = line.get("resultCount"), line.get("result")
    if not isinstance(count, int) or not isinstance(result, list):
        return f"{expected}: malformed answer {line}"
    if count < 0 or count > len(result) or (count == 0) != (len(result) == 0):
        return f"{expected}: resultCount {count} with {len(result)} values"
    if result and not isinstance(result[0], (int, float)):
        return f"{expected}: result code {result[0]!r} is not a number"
    return None


def run(args):
    commands = method_table(args.emulator, args.reference)
    lines, calls = one_pass(commands)
    command = (shlex.split(args.emulator) if args.emulator else []) + [args.kv_host]
    started = time.monotonic()
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    errors_text = []
    threading.Thread(target=lambda: errors_text.append(process.stderr.read()),
                     daemon=True).start()

    def feed():
        try:
            process.stdin.write(json.dumps({"host": "memory"}).encode() + b"\n")
            for _ in range(args.passes):
                for line in lines:
                    process.stdin.write(line.encode() + b"\n")
            process.stdin.close()
        except BrokenPipeError:
            pass

    threading.Thread(target=feed, daemon=True).start()

    problems, memory, answered, extra = [], [], 0, 0
    expected_calls = calls * args.passes
    for raw in process.stdout:
        try:
            line = json.loads(raw)
        except json.JSONDecodeError:
            problems.append(f"not JSON: {raw[:200]!r}")
            continue
        if "call" in line:
            if answered >= len(expected_calls):
                problems.append(f"an answer too many: {str(line)[:200]}")
                continue
            why = check_call(line, expected_calls[answered])
            answered += 1
            if why and len(problems) < 50:
                problems.append(why)
        elif "memory" in line:
            memory.append(line["memory"])
        elif "error" in line:
            problems.append(f"console error: {line['error'][:200]}")
        else:
            extra += 1  # events and debug texts the bad input caused
    status = process.wait()
    elapsed = time.monotonic() - started
    time.sleep(0.1)
    stderr = (errors_text[0] if errors_text else b"").decode("utf-8", "replace")

    if status != 0:
        problems.append(f"kv_host exited with {status}")
    if stderr.strip():
        problems.append("error output:\n" + stderr[-4000:])
    if answered != len(expected_calls):
        problems.append(f"{answered} of {len(expected_calls)} commands answered")
    if len(memory) != args.passes + 1:
        problems.append(f"{len(memory)} memory reports for {args.passes} passes")
    start = memory[0] if memory else {}
    heap = [m.get("heapBytes", -1) for m in memory[1:]]
    resident = [m.get("residentBytes", -1) for m in memory[1:]]
    grown = heap[-1] - heap[0] if len(heap) >= 2 and min(heap) >= 0 else None
    if grown is None and len(heap) >= 2:
        problems.append("the heap cannot be measured on this platform")
    elif grown is not None and grown > HEAP_ALLOWANCE:
        problems.append(f"the heap grew by {grown} bytes between the first and the last pass")

    report = {
        "commands": len(commands),
        "casesPerPass": sum(1 for c in commands for _ in cases(c)),
        "callsPerPass": len(calls),
        "passes": args.passes,
        "answered": answered,
        "otherLines": extra,
        "seconds": round(elapsed, 1),
        "heapSource": start.get("heapSource"),
        "heapBytesAtStart": start.get("heapBytes"),
        "heapBytesAfterPass": heap,
        "residentBytesAtStart": start.get("residentBytes"),
        "residentBytesAfterPass": resident,
        "heapGrowthFirstToLast": grown,
        "problems": problems,
    }
    print(json.dumps(report, indent=1))
    if args.report:
        pathlib.Path(args.report).write_text(json.dumps(report, indent=1) + "\n")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--emulator", help="runs kv_host and kv_reference, e.g. wine")
    parser.add_argument("--reference", required=True,
                        help="kv_reference, which prints the catalogue's command names")
    parser.add_argument("--passes", type=int, default=3)
    parser.add_argument("--report", help="also write the figures here (JSON)")
    parser.add_argument("kv_host")
    return run(parser.parse_args())


if __name__ == "__main__":
    sys.exit(main())
