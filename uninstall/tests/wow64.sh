#!/usr/bin/env bash
# Runs the registry tests of uninstall_win_test in a 64-bit Wine prefix, where the 32-bit program
# runs under WOW64 and must use the Wow6432Node uninstall key and the reversed URL-protocol key.
#
#   wow64.sh <bin-dir> <source-dir>
set -uo pipefail
bin=$1 src=$2
source "$src/scripts/lib/wine-prefix.sh"
work=$(mktemp -d /tmp/kv-uninst-wow64.XXXXXX)
trap 'kv_remove_prefix "$work/prefix"; rm -rf "$work"' EXIT
mkdir -p "$work/bin"
cp "$bin/uninstall_win_test.exe" "$work/bin/"
WINEARCH=win64 kv_make_safe_prefix "$work/prefix" d "$work/bin" || { echo "FAIL: prefix"; exit 1; }
export WINEPREFIX=$work/prefix WINEDEBUG=-all KV_EXPECT_WOW64=1
out=$(wine 'D:\uninstall_win_test.exe' --gtest_filter='UninstallContextRegistry.*:Wow64.*' \
  </dev/null 2>&1)
status=$?
echo "$out"
# A skipped WOW64 check would mean the prefix is not 64-bit and the other view went untested.
if echo "$out" | grep -q SKIPPED; then echo "FAIL: not running under WOW64"; exit 1; fi
exit $status
