#!/usr/bin/env bash
# run_with_xvfb.sh wine <program.exe> [args...]: runs a Windows GUI test program under Wine on a
# private Xvfb server that is started for it and stopped afterwards. Xvfb picks a free display
# itself (-displayfd), so parallel runs do not collide.
#
# Needs WINEPREFIX (a throw-away prefix, never the default one). The program runs in a second
# safe prefix beside it, "$WINEPREFIX-gui", made on first use: a prefix whose desktop process was
# started without a display (as the console tests start it) cannot show windows until that
# process ends. Its server stays up 30 seconds after the last program, then ends by itself.
# There is no window manager on Xvfb, so the program's windows are marked unmanaged; otherwise
# Wine waits up to two seconds for a window manager whenever a window is hidden.
set -u
# Listing the test cases shows no window: it needs neither the display nor the GUI prefix.
for arg in "$@"; do
  [ "$arg" = --gtest_list_tests ] && exec "$@"
done
if [ -z "${WINEPREFIX:-}" ] || [ "$#" -lt 2 ]; then
  echo "usage: WINEPREFIX=<throw-away prefix> run_with_xvfb.sh wine <program.exe> [args...]" >&2
  exit 1
fi
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/lib/wine-prefix.sh"
wine_cmd=$1
gui_prefix="$WINEPREFIX-gui"
program=$(basename "$2")
(
  flock 9
  if [ ! -f "$gui_prefix/.kv-gui-ready" ]; then
    drives=()
    for link in "$WINEPREFIX"/dosdevices/[d-y]:; do  # the same mapped folders as the main prefix
      [ -L "$link" ] && drives+=("$(basename "$link" :)" "$(readlink "$link")")
    done
    unset DISPLAY
    kv_make_safe_prefix "$gui_prefix" "${drives[@]}" || exit 1
    touch "$gui_prefix/.kv-gui-ready"
  fi
  if [ ! -f "$gui_prefix/.kv-gui-$program" ]; then
    WINEPREFIX="$gui_prefix" WINEDEBUG=-all "$wine_cmd" reg add \
      "HKCU\\Software\\Wine\\AppDefaults\\$program\\X11 Driver" /v Managed /t REG_SZ /d N /f \
      >/dev/null 2>&1 </dev/null
    WINEPREFIX="$gui_prefix" wineserver -w  # no display-less process may outlive the set-up
    touch "$gui_prefix/.kv-gui-$program"
  fi
) 9>"$WINEPREFIX.gui-lock" || { echo "run_with_xvfb: no GUI prefix" >&2; exit 1; }
export WINEPREFIX="$gui_prefix"

if ! kv_start_xvfb 1280x1024x24 /tmp; then
  echo "run_with_xvfb: Xvfb did not start" >&2
  exit 1
fi
xvfb_pid=$kv_xvfb_pid
display=$kv_xvfb_display
# Server and services start detached from this program's output, or they would hold it open
# (and keep a test runner waiting) until the server ends.
wineserver -p30 </dev/null >/dev/null 2>&1
DISPLAY=":$display" WINEDEBUG=-all "$wine_cmd" cmd.exe /c exit </dev/null >/dev/null 2>&1
DISPLAY=":$display" "$@"
status=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $status
