#!/usr/bin/env bash
# The development host's figures from a page in headless Chromium (run by `scripts/bench page`):
# builds kv_host natively (preset native-release) and for Windows (win32, or win64 where this
# kernel runs no 32-bit programs), makes a sealed throw-away Wine prefix whose only other drive D:
# holds copies of the Windows binaries, and runs bench/page_bench.py over both, the order swapped
# every round. Prints each figure's median, its range over the rounds and its target.
#
#   scripts/bench page [--rounds N] [--quick] [--only calls|frames]
#   KV_BENCH_SIDES="native wine" (default both)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/lib/wine-prefix.sh

kv_select_windows_build
arch=$KV_WIN_PRESET
sides=${KV_BENCH_SIDES:-"native wine"}
work=$(mktemp -d /tmp/kv-page-bench.XXXXXX)
cleanup() { kv_remove_prefix "$work/prefix"; rm -rf "$work"; }
trap cleanup EXIT
args=()
for side in $sides; do
  case "$side" in
    native)
      cmake --preset native-release >/dev/null
      cmake --build --preset native-release -j "${KV_JOBS:-2}" --target kv_host >/dev/null
      args+=(--side native -- "$root/build/native-release/bin/kv_host") ;;
    wine)
      cmake --preset "$arch" >/dev/null
      cmake --build --preset "$arch" -j "${KV_JOBS:-2}" --target kv_host >/dev/null
      mkdir -p "$work/bin"
      cp "build/$arch/bin/"*.exe "build/$arch/bin/"*.dll "$work/bin/"
      echo "page bench: making a sealed $arch prefix" >&2
      kv_make_safe_prefix "$work/prefix" d "$work/bin"
      export WINEPREFIX=$work/prefix WINEDEBUG=-all
      wineserver -p
      wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
      args+=(--side "wine ($arch)" -- wine 'D:\kv_host.exe') ;;
    *) echo "page bench: unknown side $side" >&2; exit 2 ;;
  esac
done
uptime >&2
/usr/bin/python3 bench/page_bench.py "$@" "${args[@]}"
