#!/usr/bin/env bash
# The uninstaller's folder deletion against "cmd /c rd /s /q" under Wine (run by `scripts/bench
# delete`). Builds kv_delete_bench.exe (win32 or win64 preset), makes a sealed throw-away prefix whose only
# drives are its own C: and D: (a copy of the program), and for each tree size deletes two
# identical trees per round, one each way, alternating which goes first. Prints per size the
# median times, the median ratio with its range over the rounds, and the command processor's bare
# start-up cost, which is part of every rd time.
#
#   KV_WIN_PRESET=win32|win64 (default win32 where this machine runs 32-bit programs; otherwise
#     the same sources built 64-bit and run in a 64-bit prefix, see wine-prefix.sh)
#   KV_DELETE_ROUNDS=5 (rounds per size)
#   KV_DELETE_SIZES="5000:250 50000:2500" (files:leaf folders; 20 files per leaf folder, the leaves
#     spread over 10 top folders)
#
# Exits non-zero when a median ratio exceeds 3.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
source scripts/lib/wine-prefix.sh

rounds=${KV_DELETE_ROUNDS:-5}
sizes=${KV_DELETE_SIZES:-"5000:250 50000:2500"}

kv_select_windows_build   # win32, or win64 where this kernel runs no 32-bit programs
arch=$KV_WIN_PRESET

work=$(mktemp -d /tmp/kv-delete-bench.XXXXXX)
prefix=$work/prefix
cleanup() {
  kv_remove_prefix "$prefix"
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/bin"
cmake --preset "$arch" >/dev/null
cmake --build --preset "$arch" -j "${KV_JOBS:-2}" --target kv_delete_bench >/dev/null
cp "build/$arch/bin/kv_delete_bench.exe" "$work/bin/"
echo "delete bench: $arch prefix" >&2
kv_make_safe_prefix "$prefix" d "$work/bin"
export WINEPREFIX=$prefix WINEDEBUG=-all
# Nothing deletes unless the prefix is sealed: no z: drive, user folders not linked out.
if [ -e "$prefix/dosdevices/z:" ] || find "$prefix/drive_c/users" -maxdepth 2 -type l | grep -q .; then
  echo "delete bench: the prefix is not sealed" >&2
  exit 1
fi
wineserver -p
cd "$prefix/drive_c"  # Wine starts programs in the folder it is started from: C:\
wine cmd /c rem >/dev/null 2>&1 || true  # the first start sets up the prefix's services

# make_tree DIR FILES LEAVES: FILES files of 64 bytes, 20 to a leaf folder, leaves under 10 tops.
make_tree() {
  /usr/bin/python3 - "$@" <<'PY'
import os, sys
root, files, leaves = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def leaf_folder(leaf):
    return os.path.join(root, f"module{leaf % 10:02d}", f"part{leaf // 10:04d}")
for leaf in range(leaves):
    os.makedirs(leaf_folder(leaf))
for n in range(files):
    with open(os.path.join(leaf_folder(n % leaves), f"file{n:06d}.dat"), "wb") as f:
        f.write(b"kv" * 32)
PY
}

bench=$prefix/drive_c/kvbench
mkdir -p "$bench"
results=$work/results.txt
for size in $sizes; do
  files=${size%%:*}
  leaves=${size##*:}
  template=$work/template-$files
  make_tree "$template" "$files" "$leaves"
  for round in $(seq "$rounds"); do
    rm -rf "$bench/ours" "$bench/rd"
    cp -r "$template" "$bench/ours"
    cp -r "$template" "$bench/rd"
    sync -f "$bench"
    order=""
    [ $((round % 2)) -eq 0 ] && order=rd-first
    line=$(wine 'D:\kv_delete_bench.exe' 'C:\kvbench\ours' 'C:\kvbench\rd' $order | tr -d '\r')
    echo "$files files, round $round${order:+ (rd first)}: $line" >&2
    echo "$files $line" >>"$results"
  done
  rm -rf "$template"
done
wineserver -k
wineserver -w

# Wine's server requests per deleted file do not depend on the machine's load: one traced round
# on a small tree (200 files in 21 folders) counts them for each side.
make_tree "$bench/ours" 200 10
make_tree "$bench/rd" 200 10
WINEDEBUG=+server wine 'D:\kv_delete_bench.exe' 'C:\kvbench\ours' 'C:\kvbench\rd' \
  >/dev/null 2>"$work/trace.txt"
wineserver -k

/usr/bin/python3 - "$results" "$work/trace.txt" <<'PY'
import collections, re, statistics, sys
rows = {}
for line in open(sys.argv[1]):
    files, *fields = line.split()
    values = dict(field.split("=") for field in fields)
    rows.setdefault(int(files), []).append({k: float(v) for k, v in values.items()})
failed = 0
print(f"{'files':>7} {'DeleteFolderTree':>17} {'rd /s /q':>9} {'ratio':>6} {'range':>11} "
      f"{'cmd start':>10}")
for files, runs in sorted(rows.items()):
    ratios = [r["tree_ms"] / r["rd_ms"] for r in runs]
    ratio = statistics.median(ratios)
    failed += ratio > 3
    print(f"{files:7d} {statistics.median(r['tree_ms'] for r in runs):14.0f} ms "
          f"{statistics.median(r['rd_ms'] for r in runs):6.0f} ms {ratio:6.2f} "
          f"{min(ratios):5.2f}-{max(ratios):<5.2f} "
          f"{statistics.median(r['cmd_start_ms'] for r in runs):7.0f} ms"
          f"{'  MISSED (target 3)' if ratio > 3 else ''}")

# The requests of the thread that deletes each tree, from its first request naming the tree; the
# benchmark's own thread stops counting where it starts the command processor.
requests = collections.defaultdict(list)
for line in open(sys.argv[2], errors="replace"):
    m = re.match(r"([0-9a-f]{4}): (\w+)\(", line)
    if m and ") = " not in line:
        requests[m.group(1)].append((m.group(2), line))
def count(tree, stop):
    for thread, calls in requests.items():
        start = next((i for i, (_, l) in enumerate(calls) if f"kvbench\\\\{tree}\\\\" in l), None)
        if start is None:
            continue
        n = 0
        for name, _ in calls[start:]:
            if name == stop:
                break
            n += 1
        return n
    return 0
ours, rd = count("ours", "new_process"), count("rd", None)
print(f"server requests for 200 files in 21 folders: DeleteFolderTree {ours}, rd /s /q {rd} "
      f"({rd / max(ours, 1):.1f}x as many)")
sys.exit(1 if failed else 0)
PY
