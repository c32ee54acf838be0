#!/usr/bin/env python3
"""Type-checks page scripts against the declarations of host/web/page/js (catalogue.d.ts, generated
from the bridge's catalogue, and bridge.d.ts).

usage: check_page.py [--tsc PATH] page        the classroom page (host/web/page) must check clean
       check_page.py [--tsc PATH] mistakes    the fixture tests/typecheck/mistakes.js must fail with
                                              exactly the errors its lines mark ("// error TSnnnn")

TypeScript comes from the project's node_modules (scripts/setup installs it from package-lock.json).
"""
import argparse
import pathlib
import re
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
FIXTURE = ROOT / "tests" / "typecheck" / "mistakes.js"
ERROR = re.compile(r"^(?P<file>[^(]+)\((?P<line>\d+),\d+\): error (?P<code>TS\d+): ")
MARK = re.compile(r"// error (TS\d+)")


def run_tsc(tsc, project):
    if not pathlib.Path(tsc).exists():
        sys.exit(f"{tsc} is missing: run scripts/setup (npm ci from package-lock.json)")
    done = subprocess.run([tsc, "-p", str(project), "--pretty", "false"], cwd=ROOT,
                          capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def check_page(tsc):
    status, output = run_tsc(tsc, ROOT / "host" / "web" / "page")
    print(output, end="")
    print("page: type-checks" if status == 0 else "page: FAILED the type check")
    return status == 0


def check_mistakes(tsc):
    expected = set()
    for number, line in enumerate(FIXTURE.read_text(encoding="utf-8").splitlines(), 1):
        expected.update((number, code) for code in MARK.findall(line))
    status, output = run_tsc(tsc, FIXTURE.parent)
    reported = set()
    for line in output.splitlines():
        match = ERROR.match(line)
        if match and pathlib.Path(match["file"]).name == FIXTURE.name:
            reported.add((int(match["line"]), match["code"]))
        elif line.strip() and not line.startswith(" "):
            print(f"unexpected output: {line}")
            return False
    ok = status != 0 and reported == expected
    for line, code in sorted(expected - reported):
        print(f"mistakes.js:{line}: {code} expected but not reported")
    for line, code in sorted(reported - expected):
        print(f"mistakes.js:{line}: {code} reported but not marked")
    print(f"mistakes: {len(reported & expected)} of {len(expected)} marked errors reported" +
          ("" if ok else "; FAILED"))
    return ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tsc", default=str(ROOT / "node_modules" / ".bin" / "tsc"))
    parser.add_argument("what", choices=["page", "mistakes"])
    args = parser.parse_args()
    ok = check_page(args.tsc) if args.what == "page" else check_mistakes(args.tsc)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
