#!/usr/bin/env python3
"""Runs one console script through kv_host and compares its output with the expected lines.

usage: run_e2e.py [--emulator CMD] <kv_host> <script.jsonl>
       run_e2e.py --check <script.jsonl>...     only parse the scripts (expected lines as JSON)

A script holds, one per line:
  # text               a comment (kv_host ignores it too)
  #! --option ...      options for kv_host (e.g. --defer-init), before the first input line;
                       "#! --notes" keeps the console's {"note":..} lines, which are otherwise
                       turned off (--quiet) so that scripts compare the bridge's own lines
  {...}                an input line, fed to kv_host on standard input
  = {...}              the next output line kv_host must print
Output and expected lines are compared as JSON values: objects need exactly the same keys
unless the expected object has "$partial": true (then only its keys are compared), arrays the
same length, and the text "$any" matches any value. Every output line must be expected.
"""
import json
import subprocess
import sys

ANY = "$any"
PARTIAL = "$partial"


def matches(expected, actual, path="$"):
    """Returns None when `actual` matches `expected`, otherwise a description of the difference."""
    if expected == ANY:
        return None
    if isinstance(expected, dict):
        if not isinstance(actual, dict):
            return f"{path}: expected an object, got {json.dumps(actual)}"
        partial = expected.get(PARTIAL) is True
        keys = [k for k in expected if k != PARTIAL]
        for key in keys:
            if key not in actual:
                return f"{path}: missing member {key!r}"
            why = matches(expected[key], actual[key], f"{path}.{key}")
            if why:
                return why
        if not partial:
            extra = [k for k in actual if k not in keys]
            if extra:
                return f"{path}: unexpected members {extra}"
        return None
    if isinstance(expected, list):
        if not isinstance(actual, list) or len(actual) != len(expected):
            return f"{path}: expected {json.dumps(expected)}, got {json.dumps(actual)}"
        for i, (e, a) in enumerate(zip(expected, actual)):
            why = matches(e, a, f"{path}[{i}]")
            if why:
                return why
        return None
    if isinstance(expected, bool) or isinstance(actual, bool):
        same = expected is actual
    elif isinstance(expected, (int, float)) and isinstance(actual, (int, float)):
        same = expected == actual
    else:
        same = expected == actual
    return None if same else f"{path}: expected {json.dumps(expected)}, got {json.dumps(actual)}"


def parse_script(path):
    options, inputs, expected = [], [], []
    with open(path, encoding="utf-8") as script:
        for number, raw in enumerate(script, 1):
            line = raw.rstrip("\r\n")
            stripped = line.strip()
            if stripped.startswith("#!"):
                options += stripped[2:].split()
            elif not stripped or stripped.startswith("#"):
                continue
            elif stripped.startswith("="):
                expected.append((number, json.loads(stripped[1:])))
            else:
                inputs.append(line)
    return options, inputs, expected


def check(paths):
    bad = 0
    for path in paths:
        try:
            parse_script(path)
        except (ValueError, OSError) as error:
            print(f"{path}: {error}")
            bad += 1
    print(f"{len(paths) - bad} scripts parse, {bad} do not")
    return 1 if bad else 0


def main(argv):
    if len(argv) > 1 and argv[1] == "--check":
        return check(argv[2:])
    emulator = []
    if len(argv) > 2 and argv[1] == "--emulator":
        emulator = argv[2].split()
        argv = argv[:1] + argv[3:]
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    host, script = argv[1], argv[2]
    options, inputs, expected = parse_script(script)
    if "--notes" in options:
        options = [o for o in options if o != "--notes"]
    else:
        options.append("--quiet")
    run = subprocess.run(emulator + [host] + options, input="\n".join(inputs) + "\n",
                         capture_output=True, text=True, encoding="utf-8", timeout=120)
    lines = [line for line in run.stdout.split("\n") if line.strip()]
    failures = []
    if run.returncode != 0:
        failures.append(f"kv_host exited with {run.returncode}")
    for index, (number, want) in enumerate(expected):
        if index >= len(lines):
            failures.append(f"line {number}: no output for {json.dumps(want)}")
            break
        try:
            got = json.loads(lines[index])
        except json.JSONDecodeError:
            failures.append(f"line {number}: output is not JSON: {lines[index]}")
            continue
        why = matches(want, got)
        if why:
            failures.append(f"line {number}: {why}\n    output: {lines[index]}")
    for extra in lines[len(expected):]:
        failures.append(f"unexpected output: {extra}")
    if failures:
        print(f"FAILED {script}")
        for failure in failures:
            print("  " + failure)
        if run.stderr.strip():
            print("stderr:\n" + run.stderr[-4000:])
        return 1
    print(f"passed {script}: {len(inputs)} input lines, {len(expected)} output lines")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
