#!/usr/bin/env python3
"""Sums ctest JUnit reports into the closing line "N passed, M failed"; exit 1 on any failure."""
import argparse
import sys
import xml.etree.ElementTree as ET

parser = argparse.ArgumentParser()
parser.add_argument("--broken", type=int, default=0, help="failed steps outside ctest")
parser.add_argument("reports", nargs="*")
args = parser.parse_args()

passed = failed = skipped = 0
for path in args.reports:
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        print(f"unreadable report {path}: {error}", file=sys.stderr)
        failed += 1
        continue
    for case in root.iter("testcase"):
        status = case.get("status", "run")
        if status in ("disabled", "notrun") or case.find("skipped") is not None:
            skipped += 1
        elif case.find("failure") is not None or case.find("error") is not None or status == "fail":
            failed += 1
            print(f"FAILED: {case.get('classname', '')} {case.get('name', '')}")
        else:
            passed += 1

failed += args.broken
line = f"{passed} passed, {failed} failed"
if skipped:
    line += f", {skipped} skipped"
print(line)
sys.exit(1 if failed or passed == 0 else 0)
