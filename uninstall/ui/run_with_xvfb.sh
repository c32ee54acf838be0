#!/usr/bin/env bash
# run_with_xvfb.sh wine <program.exe> [args...]: runs a Windows test program under Wine on a
# private Xvfb server that is started for it and stopped afterwards. Xvfb picks a free display
# itself (-displayfd), so parallel runs do not collide.
#
# Needs WINEPREFIX (a throw-away prefix, never the default one). There is no window manager on
# Xvfb, so the program's windows are marked unmanaged (for this program only); otherwise Wine
# waits up to two seconds for a window manager whenever a window is hidden.
set -u
if [ -z "${WINEPREFIX:-}" ]; then
  echo "run_with_xvfb: set WINEPREFIX to a throw-away prefix" >&2
  exit 1
fi
if [ "$#" -ge 2 ]; then
  program=$(basename "$2")
  "$1" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program\\X11 Driver" /v Managed /t REG_SZ \
    /d N /f >/dev/null 2>&1 </dev/null || true
fi
display_file=$(mktemp /tmp/kv-xvfb.XXXXXX)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.05
done
display=$(head -n 1 "$display_file")
rm -f "$display_file"
if [ -z "$display" ]; then
  echo "run_with_xvfb: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null
  exit 1
fi
DISPLAY=":$display" "$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status
