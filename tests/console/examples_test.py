#!/usr/bin/env python3
"""The sample sessions of examples/ run through kv_host without an error or a note: a session that
teaches script developers must not hold the mistakes the console warns about.

usage: examples_test.py <kv_host>
"""
import pathlib
import subprocess
import sys


def main(argv):
    host = argv[1]
    examples = sorted((pathlib.Path(__file__).resolve().parents[2] / "examples").glob("*.jsonl"))
    failed = 0
    for script in examples:
        run = subprocess.run([host, str(script)], capture_output=True, text=True,
                             encoding="utf-8", timeout=120)
        lines = run.stdout.splitlines()
        bad = [line for line in lines if line.startswith(('{"error"', '{"note"'))]
        answers = sum(1 for line in lines if line.startswith('{"call"'))
        if run.returncode != 0 or bad or answers == 0:
            failed += 1
            print(f"FAILED {script.name}: exit {run.returncode}, {answers} answers")
            for line in bad:
                print("  " + line[:300])
        else:
            print(f"passed {script.name}: {answers} answers, {len(lines)} lines")
    return 1 if failed or not examples else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
