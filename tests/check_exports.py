#!/usr/bin/env python3
"""Checks that a built kv_client exports its entry points, cJSON's functions and JsonCpp's classes.

usage: check_exports.py <dump-tool> <demangler> <library>
The dump tool is objdump (Windows DLL: reads the export table) or nm (native shared library).
"""
import re
import subprocess
import sys

ENTRY_POINTS = [
    "corvel::Init(corvel_client_win::JavaScriptAsyncRunBase*, corvel::ICoreDispatcher*)",
    "corvel::OnMessage(std::shared_ptr<corvel_client_win::MessageFromCpp>)",
    "corvel::CreateMessage(char const*)",
    "corvel::JSON_InitHooks()",
    "corvel::LargeMemoryMalloc(int)",
    "corvel::LargeMemoryRelease(char*)",
    "corvel::ReleaseGenericArray(corvel::GenericArray*)",
    "corvel_client_win::cJSON_GetBoolFromJsonArray(cJSON*, int)",
    "corvel_client_win::cJSON_GetNumberFromJsonArray(cJSON*, int)",
    "corvel_client_win::cJSON_GetStringFromJsonArray(cJSON*, int)",
]
CJSON = ["cJSON_Parse", "cJSON_Delete", "cJSON_CreateString", "cJSON_CreateArray",
         "cJSON_AddItemToArray", "cJSON_GetArrayItem", "cJSON_PrintUnformatted", "cJSON_InitHooks",
         "cJSON_free", "cJSON_malloc", "cJSON_IsString", "cJSON_CreateNumber"]
JSONCPP = ["Json::Reader::parse(", "Json::Value::Value(", "Json::Value::operator[](",
           "Json::FastWriter::write", "Json::Value::asString",
           "Json::StreamWriterBuilder::newStreamWriter() const"]

dump, demangler, library = sys.argv[1:4]
if "objdump" in dump:
    text = subprocess.run([dump, "-p", library], capture_output=True, text=True, check=True).stdout
    names = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)$", text, re.M)
    imports = re.findall(r"DLL Name: (\S+)", text)
else:
    text = subprocess.run([dump, "-D", "--defined-only", library], capture_output=True, text=True,
                          check=True).stdout
    names = [line.split()[-1] for line in text.splitlines() if line.strip()]
    imports = []
plain = {name.split("@")[0] for name in names}  # stdcall exports carry @<bytes>
demangled = subprocess.run([demangler], input="\n".join(names), capture_output=True, text=True,
                           check=True).stdout.splitlines()

missing = [e for e in ENTRY_POINTS if e not in demangled]
if "objdump" in dump:
    # Natively the system's shared cJSON and JsonCpp serve both sides; the DLL carries its own.
    missing += [c for c in CJSON if c not in plain]
    missing += [j for j in JSONCPP if not any(d.startswith(j) for d in demangled)]
else:
    CJSON = JSONCPP = []
for name in missing:
    print(f"missing export: {name}")

# Windows: only the system's DLLs and the engine.
system = re.compile(r"^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|winmm|"
                    r"shlwapi|comctl32|ws2_32|ucrtbase|api-ms-win-.*)\.dll$", re.I)
foreign = [d for d in imports if not system.match(d) and d.lower() != "engine.dll"]
for name in foreign:
    print(f"unexpected DLL dependency: {name}")

print(f"{len(ENTRY_POINTS) + len(CJSON) + len(JSONCPP) - len(missing)} exports found, "
      f"{len(missing)} missing, {len(foreign)} foreign DLLs")
sys.exit(1 if missing or foreign else 0)
