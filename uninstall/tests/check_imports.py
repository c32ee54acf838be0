#!/usr/bin/env python3
"""Checks that uninstall.exe is a PE32 i386 program importing only Windows system DLLs.

usage: check_imports.py <objdump> <exe>
"""
import re
import subprocess
import sys

dump, exe = sys.argv[1:3]
headers = subprocess.run([dump, "-f", exe], capture_output=True, text=True, check=True).stdout
private = subprocess.run([dump, "-p", exe], capture_output=True, text=True, check=True).stdout
imports = re.findall(r"DLL Name: (\S+)", private)
system = re.compile(r"^(kernel32|user32|gdi32|advapi32|shell32|shlwapi|ole32|oleaut32|comctl32|"
                    r"psapi|msvcrt|gdiplus|msimg32|uxtheme|dwmapi|version)\.dll$", re.I)
problems = []
if "file format pei-i386" not in headers:
    problems.append("not a PE32 i386 image")
if not re.search(r"^Magic\s+010b", private, re.M):
    problems.append("optional header is not PE32")
if not re.search(r"^Subsystem\s+00000002", private, re.M):
    problems.append("not a GUI (windows) subsystem program")
if not imports:
    problems.append("no import table found")
problems += [f"unexpected DLL dependency: {d}" for d in imports if not system.match(d)]
for p in problems:
    print(p)
print(f"{len(imports)} imported DLLs: {', '.join(imports)}")
sys.exit(1 if problems else 0)
