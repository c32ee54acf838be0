#!/usr/bin/env bash
# scripts/console [--wine] on a script stored outside any Wine prefix, in a folder whose names hold
# spaces: the console (the Windows one under Wine with --wine) must read it and answer with the
# bridge's line and the console's note, and a throw-away prefix must be gone afterwards.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
tmp=$(mktemp -d /tmp/kv-console-test.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/my scripts"
cat >"$tmp/my scripts/first session.jsonl" <<'LINES'
{"host":"echo","from":"outside the prefix"}
{"call":"live.enterroom","args":["{}"]}
LINES

"$root/scripts/console" "$@" "$tmp/my scripts/first session.jsonl" >"$tmp/out" 2>"$tmp/err"
status=$?
failed=0
fail() { echo "FAILED: $*"; failed=1; }
[ "$status" -eq 0 ] || fail "scripts/console exited with $status"
mapfile -t lines <"$tmp/out"
[ "${lines[0]:-}" = '{"host":"echo","from":"outside the prefix"}' ] || fail "echo line: ${lines[0]:-none}"
[ "${lines[1]:-}" = '{"call":"live.enterroom","resultCount":0,"result":[]}' ] ||
  fail "answer line: ${lines[1]:-none}"
case "${lines[2]:-}" in
  '{"note":"no table handles \"live.enterroom\" '*'did you mean \"live.enterRoom\"?"}') ;;
  *) fail "note line: ${lines[2]:-none}" ;;
esac
[ "${#lines[@]}" -eq 3 ] || fail "${#lines[@]} output lines, expected 3"
prefix=$(sed -n 's/^console: making a sealed Wine prefix in //p' "$tmp/err")
if [ -n "$prefix" ] && [ -e "$prefix" ]; then fail "the throw-away prefix $prefix is still there"; fi
if [ "$failed" -ne 0 ]; then
  echo "--- output"; cat "$tmp/out"; echo "--- errors"; tail -20 "$tmp/err"
  exit 1
fi
echo "passed: scripts/console $* read a script outside the prefix"
