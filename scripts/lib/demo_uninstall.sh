#!/usr/bin/env bash
# The uninstaller part of scripts/demo: a real uninstall of a simulated installation in a sealed,
# throw-away Wine prefix on a private Xvfb display, run as an unprivileged user (see
# uninstall/tests/sandbox.sh). Saves screenshots of the progress and finished pages and reports
# what was removed and what was kept.
#
#   demo_uninstall.sh <win32-bin-dir> <out-dir>
#
# Writes uninstall.txt, uninstall-progress.png and uninstall-finished.png to <out-dir>; exit
# status 0 only when the uninstall removed its traces and nothing else.
set -uo pipefail
src=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$src/uninstall/tests/sandbox.sh"

kv_sandbox_bin=$1
kv_sandbox_keep=out
kv_sandbox_keep_to=$2
kv_sandbox_enter KV_DEMO_SANDBOX "$src/scripts/lib/demo_uninstall.sh" "$@"

# From here on: the unprivileged child, in its own work folder.
out=$work/out
mkdir -p "$out"
report=$out/uninstall.txt
failures=0
say() { echo "$*" | tee -a "$report"; }
check() {
  local what=$1; shift
  if "$@"; then say "   [ok] $what"; else say "   [FAILED] $what"; failures=$((failures + 1)); fi
}
trap kv_sandbox_cleanup EXIT

say "== Uninstalling a simulated installation (sealed Wine prefix, private Xvfb display, uid $(id -u))"
kv_sandbox_start_display || { say "   [FAILED] no Xvfb display"; exit 1; }
kv_sandbox_make_prefix || { say "   [FAILED] sealed prefix"; exit 1; }
say "   prefix: no z: drive, user folders are empty real folders, D: holds only the programs"
# The dialog's texts are Chinese: on a Chinese system its faces (宋体, and "MS Shell Dlg" for the
# template) resolve to a CJK font; here they go to one installed by scripts/setup, or the text
# would draw as boxes. No window manager runs on Xvfb: unmanaged windows spare Wine its wait for
# one.
w reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "宋体" /t REG_SZ \
  /d "WenQuanYi Micro Hei" /f >/dev/null
for face in "MS Shell Dlg" "MS Shell Dlg 2"; do
  w reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$face" \
    /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null
done
for exe in uninstall.exe Uninstall_NEW.exe uninstall_new.exe; do
  w reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\X11 Driver" /v Managed /t REG_SZ /d N \
    /f >/dev/null
done

# --- The installation -------------------------------------------------------------------------
inst='C:\Program Files\Kovra\KovraPravik'
idir=$(unix_of "$inst")
make_install "$inst"
w reg add 'HKCR\qpx\shell\open\command' /ve /d "\"$inst\\KovraPravik.exe\" \"%1\"" /f >/dev/null
w reg add 'HKCR\qpxt\shell\open\command' /ve /d '"C:\Other\Other.exe" "%1"' /f >/dev/null
echo lnk > "$desktop/KovraPravik.lnk"
echo lnk > "$desktop/Other.lnk"
mkdir -p "$programs/Kovra/KovraPravik" "$programs/Kovra/OtherProduct"
echo lnk > "$programs/Kovra/KovraPravik/KovraPravik.lnk"
echo lnk > "$programs/Kovra/KovraPravik/卸载KovraPravik.lnk"
echo lnk > "$programs/Kovra/OtherProduct/Other.lnk"
mkdir -p "$appdata/Kovra/logs" "$appdata/Kovra/cache"
echo log > "$appdata/Kovra/logs/client.log"
echo cache > "$appdata/Kovra/cache/page.bin"
mkdir -p "$C/Other" && cp "$work/bin/kv_dummy_client.exe" "$C/Other/KovraPravik.exe"
task=0
if w "$tool" task-create KovraUpdateTaskMachine && w "$tool" task-exists KovraUpdateTaskMachine
then task=1; fi
start_client "$inst\\KovraPravik.exe"
start_client 'C:\Other\KovraPravik.exe'
for _ in $(seq 40); do
  w "$tool" running "$inst\\KovraPravik.exe" && w "$tool" running 'C:\Other\KovraPravik.exe' &&
    break
  sleep 0.25
done
keys=("$uninstall_key" 'HKCR\qpx\shell\open\command' 'HKCR\qpx\shell\open'
      'HKCR\qpxt\shell\open\command')
say "   installation: $inst (uninstall.exe, KovraPravik.exe running, crash_server.exe,"
say "      plugins\\, locale\\, config.ini); desktop and start-menu shortcuts; data folder"
say "      %APPDATA%\\Kovra; uninstall key; URL protocol qpx$([ "$task" = 1 ] && echo "; update task")"
say "   must survive: desktop Other.lnk, start-menu Kovra\\OtherProduct, URL protocol qpxt,"
say "      C:\\Other\\KovraPravik.exe (running, same name as the client)"
check "the installed client is running" w "$tool" running "$inst\\KovraPravik.exe"

before=$(snapshot)
keys_before=()
for k in "${keys[@]}"; do key_exists "$k" && keys_before+=("$k"); done

# --- The uninstall, with screenshots ----------------------------------------------------------
shot() {  # shot <name> <uitool output holding "window X Y W H">: the screen, cut to the dialog
  local name=$1 geometry crop=()
  xwd -root -silent > "$work/$name.xwd" || return 1
  geometry=$(echo "$2" | sed -n 's/^window \([-0-9]*\) \([-0-9]*\) \([0-9]*\) \([0-9]*\).*/\3x\4+\1+\2/p')
  [ -n "$geometry" ] && crop=(-crop "$geometry" +repage)
  /usr/bin/convert "xwd:$work/$name.xwd" "${crop[@]}" "$out/$name.png" && rm -f "$work/$name.xwd"
}

say "-- starting $inst\\uninstall.exe"
(cd "$C" && wine "$inst\\uninstall.exe" </dev/null >/dev/null 2>&1) &
first=$!
answer=$(w "$tool" confirm-ok)
check "confirmation box answered OK ($answer)" [ "$(echo "$answer" | tr -d '\r')" = answered ]
progress=$(w "$tool" wait-progress 40 | tr -d '\r')
check "progress page part-way ($(echo "$progress" | head -1))" \
  bash -c "echo '$progress' | grep -q '^percent'"
check "screenshot of the progress page" shot uninstall-progress "$progress"
finished=$(w "$tool" wait-finished | tr -d '\r')
check "finished page ($(echo "$finished" | head -1))" bash -c "echo '$finished' | grep -q '^finished'"
check "screenshot of the finished page" shot uninstall-finished "$finished"
result=$(w "$tool" press done | tr -d '\r')
check "\"完成\" pressed, dialog $result" [ "$result" = "exit code 0" ]
wait "$first"
check "the first process exited 0" [ $? = 0 ]
check "the self-deleting script ran and removed itself" wait_for_script

# --- What was removed -------------------------------------------------------------------------
after=$(snapshot)
say "-- removed files and folders (C: drive; a removed folder is shown once with its file count):"
comm -23 <(echo "$before") <(echo "$after") | python3 -c '
import sys
gone = [l.rstrip("\n") for l in sys.stdin if l.strip()]
known = set(gone)
top = [f for f in gone if f.rsplit("/", 1)[0] not in known]
for f in top:
    inside = sum(1 for g in gone if g.startswith(f + "/"))
    print("   C:" + f[1:].replace("/", "\\") + (f"  (folder, {inside} entries)" if inside else ""))
' | tee -a "$report"
say "-- registry:"
for k in "${keys_before[@]}"; do
  if key_exists "$k"; then say "   kept    $k"; else say "   removed $k"; fi
done
if [ "$task" = 1 ]; then
  if w "$tool" task-exists KovraUpdateTaskMachine; then say "   kept    task KovraUpdateTaskMachine"
  else say "   removed task KovraUpdateTaskMachine"; fi
fi
say "-- processes:"
if w "$tool" running "$inst\\KovraPravik.exe"; then say "   still running $inst\\KovraPravik.exe"
else say "   ended $inst\\KovraPravik.exe"; fi
if w "$tool" running 'C:\Other\KovraPravik.exe'; then say "   still running C:\\Other\\KovraPravik.exe"
else say "   ended C:\\Other\\KovraPravik.exe"; fi

say "-- checks:"
check "installation folder removed" [ ! -e "$idir" ]
check "data folder removed" [ ! -e "$appdata/Kovra" ]
check "desktop shortcut removed, the other one kept" \
  test ! -e "$desktop/KovraPravik.lnk" -a -e "$desktop/Other.lnk"
check "start-menu folder removed, the other product's kept" \
  test ! -e "$programs/Kovra/KovraPravik" -a -e "$programs/Kovra/OtherProduct/Other.lnk"
check "uninstall key removed" bash -c "! wine reg query '$uninstall_key' >/dev/null 2>&1"
check "URL protocol command key removed, its parent kept" \
  bash -c "! wine reg query 'HKCR\\qpx\\shell\\open\\command' >/dev/null 2>&1 &&
           wine reg query 'HKCR\\qpx\\shell\\open' >/dev/null 2>&1"
check "the other URL protocol kept" key_exists 'HKCR\qpxt\shell\open\command'
[ "$task" = 1 ] && check "update task removed" \
  bash -c "! wine '$tool' task-exists KovraUpdateTaskMachine 2>/dev/null"
check "installed client ended" bash -c "! wine '$tool' running '$inst\\KovraPravik.exe' 2>/dev/null"
check "same-named client elsewhere still running" w "$tool" running 'C:\Other\KovraPravik.exe'
lost=$(lost_outside "$before" "./Program Files/Kovra/KovraPravik" \
  "./users/$user/AppData/Roaming/Kovra" "./users/$user/Desktop/KovraPravik.lnk" \
  "./users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kovra/KovraPravik" \
  "./windows/system32/tasks/KovraUpdateTaskMachine")
check "nothing else on C: lost${lost:+: $lost}" [ -z "$lost" ]
say "uninstall: $failures check(s) failed"
[ "$failures" = 0 ]
