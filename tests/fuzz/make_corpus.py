#!/usr/bin/env python3
"""Writes the bridge fuzzer's seed corpus from the end-to-end console scripts.

usage: make_corpus.py --out DIR [script.jsonl ...]   (default: every tests/e2e/**/*.jsonl)

Each script's input lines become fuzzer operations in the encoding of tests/fuzz/fuzz_input.h
and bridge_fuzzer.cpp: "call" lines become commands with their arguments (byte blocks included),
"sim" lines are passed on as control texts, {"host":"wait"} runs the queued core-thread work.
Other host lines (sleep, echo, debug, init) have no fuzzer counterpart and are left out. A script
longer than one input's operation budget is cut into several seeds, each after the first opening
with the script's first operations (its set-up: engine replies, entering the room).
"""
import argparse
import base64
import hashlib
import json
import pathlib
import re
import struct
import sys

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
FUZZER = HERE / "bridge_fuzzer.cpp"

# Operation and value tags, in the order of the enums in bridge_fuzzer.cpp.
OP_COMMAND, OP_SIM_TEXT, OP_REPLY, OP_DEVICES, OP_EVENT, OP_EMIT, OP_RUN_CORE, OP_LOOPBACK = range(8)
(T_NULL, T_FALSE, T_TRUE, T_RAW_DOUBLE, T_SPECIAL, T_INT, T_STRING, T_LONG_TEXT, T_DEEP_TEXT,
 T_ARRAY, T_OBJECT, T_BYTE_BLOCK, T_JSON_TEXT, T_DEEP_ARRAY) = range(14)
NAME_LITERAL = 8          # CommandName mode: the name as bytes
MAX_STRUCTURE_DEPTH = 4   # deeper values become numbers in the fuzzer
OPS_PER_SEED = 20         # the fuzzer runs at most 24 operations per input
SETUP_OPS = 4             # a script's first operations (its set-up) open every later seed


def fuzzer_keys():
    """The member-name table kKeys of bridge_fuzzer.cpp, in order."""
    source = FUZZER.read_text(encoding="utf-8")
    body = re.search(r"kKeys\[\] = \{(.*?)\};", source, re.S).group(1)
    return [json.loads(s) for s in re.findall(r'"(?:[^"\\]|\\.)*"', body)]


class Writer:
    def __init__(self, keys):
        self.keys = keys
        self.out = bytearray()

    def u8(self, v):
        self.out += struct.pack("<B", v & 0xFF)

    def u16(self, v):
        self.out += struct.pack("<H", v & 0xFFFF)

    def text(self, data):  # two-byte length, then the bytes
        data = data[:0xFFFF]
        self.u16(len(data))
        self.out += data

    def short_text(self, data):
        data = data[:0xFF]
        self.u8(len(data))
        self.out += data

    def value(self, v, depth=0):
        if v is None:
            self.u8(T_NULL)
        elif v is False:
            self.u8(T_FALSE)
        elif v is True:
            self.u8(T_TRUE)
        elif isinstance(v, (int, float)):
            if isinstance(v, int) and -2**31 <= v < 2**31:
                self.u8(T_INT)
                self.out += struct.pack("<i", v)
            else:
                self.u8(T_RAW_DOUBLE)
                self.out += struct.pack("<d", float(v))
        elif isinstance(v, str):
            self.u8(T_STRING)
            self.text(v.encode("utf-8"))
        elif isinstance(v, dict) and "$bytes" in v:
            self.u8(T_BYTE_BLOCK)
            try:
                data = b"" if v["$bytes"] is None else base64.b64decode(v["$bytes"])
            except (ValueError, TypeError):
                data = str(v["$bytes"]).encode("utf-8")
            self.text(data)
            count = v.get("count")
            if v["$bytes"] is None:
                self.u8(4)  # no block
            elif isinstance(count, (int, float)) and count < 0:
                self.u8(1)  # a negative count
                self.out += struct.pack("<I", int(-count - 1) & 0xFFFFFFFF)
            elif isinstance(count, (int, float)):
                self.u8(3)  # a count up to the block's size
                self.out += struct.pack("<I", int(count) & 0xFFFFFFFF)
                self.u8(0)
            else:
                self.u8(0)  # the exact byte count
        elif depth >= MAX_STRUCTURE_DEPTH:
            self.u8(T_SPECIAL)
            self.u8(0)
        elif isinstance(v, list):
            self.u8(T_ARRAY)
            self.u8(1)  # an array
            items = v[:8]
            self.u8(len(items))
            for item in items:
                self.value(item, depth + 1)
        elif isinstance(v, dict):
            self.u8(T_OBJECT)
            self.u8(0)  # an object
            members = list(v.items())[:8]
            self.u8(len(members))
            for key, item in members:
                if key in self.keys:
                    self.u8(self.keys.index(key))
                else:
                    self.u8(240)
                    self.short_text(key.encode("utf-8"))
                self.value(item, depth + 1)
        else:
            raise ValueError(f"cannot encode {v!r}")

    def command(self, name, args):
        self.u8(OP_COMMAND)
        self.u8(NAME_LITERAL)
        self.short_text(name.encode("utf-8"))
        args = args[:4]
        self.u8(len(args))
        for arg in args:
            self.value(arg)

    def sim_text(self, line):
        self.u8(OP_SIM_TEXT)
        self.text(line.encode("utf-8"))

    def run_core(self):
        self.u8(OP_RUN_CORE)


def operations(path):
    """The fuzzer operations of one script, as (kind, payload) pairs."""
    ops = []
    for raw in path.read_text(encoding="utf-8").splitlines():
        line = raw.strip()
        if not line or line.startswith("#") or line.startswith("="):
            continue
        try:
            request = json.loads(line)
        except json.JSONDecodeError:
            continue
        if not isinstance(request, dict):
            continue
        if "call" in request and isinstance(request["call"], str):
            args = request.get("args", [])
            ops.append(("call", (request["call"], args if isinstance(args, list) else [])))
        elif "sim" in request:
            ops.append(("sim", line))
        elif request.get("host") == "wait":
            ops.append(("wait", None))
    return ops


def seeds(path, keys):
    ops = operations(path)
    for start in range(0, len(ops), OPS_PER_SEED):
        writer = Writer(keys)
        chunk = ops[start:start + OPS_PER_SEED]
        if start > 0:
            chunk = ops[:SETUP_OPS] + chunk  # the state the later lines expect
        for kind, payload in chunk:
            if kind == "call":
                writer.command(*payload)
            elif kind == "sim":
                writer.sim_text(payload)
            else:
                writer.run_core()
        if writer.out:
            yield bytes(writer.out)


def write_corpus(out, scripts):
    out.mkdir(parents=True, exist_ok=True)
    keys = fuzzer_keys()
    count = 0
    for script in scripts:
        for index, seed in enumerate(seeds(script, keys)):
            digest = hashlib.sha1(seed).hexdigest()[:12]
            (out / f"{script.stem}-{index}-{digest}").write_bytes(seed)
            count += 1
    return count


def default_scripts():
    return sorted((ROOT / "tests" / "e2e").rglob("*.jsonl"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, type=pathlib.Path)
    parser.add_argument("scripts", nargs="*", type=pathlib.Path)
    args = parser.parse_args()
    count = write_corpus(args.out, args.scripts or default_scripts())
    print(f"{count} seeds in {args.out}")
    return 0 if count else 1


if __name__ == "__main__":
    sys.exit(main())
