#!/usr/bin/env python3
"""Runs the bridge fuzzer: a bounded libFuzzer campaign, or a replay of saved inputs.

  run_fuzz.py fuzz --fuzzer BIN --seconds N [--jobs J] [--seed S] [--corpus DIR] [--log FILE]
      Seeds from the end-to-end scripts plus tests/fuzz/regressions, then libFuzzer for N seconds
      (J independent worker processes sharing one corpus; executions are their sum). Passes when libFuzzer ends normally: no crash, leak, timeout or
      sanitizer report. Prints the executions and coverage it reached.
  run_fuzz.py replay --replay BIN
      The same seeds and regressions through the replay program (any compiler, no libFuzzer).
"""
import argparse
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import make_corpus  # noqa: E402

REGRESSIONS = HERE / "regressions"
# Per-input limits: an input slower than this or a process larger than this is a finding too.
TIMEOUT_S = 20
RSS_LIMIT_MB = 3072
# Longest input libFuzzer builds: sixty-odd operations with their texts; the large values (1 MiB
# texts, 100,000 levels) come from a few bytes.
MAX_LEN = 16384


def make_seeds(folder):
    count = make_corpus.write_corpus(folder, make_corpus.default_scripts())
    for saved in sorted(REGRESSIONS.glob("*")):
        if saved.is_file() and saved.name != "README.md":
            shutil.copy(saved, folder / saved.name)
            count += 1
    return count


def sanitizer_env():
    env = dict(os.environ)
    # Allocation stacks of 2 frames: unwinding and storing a stack on every malloc is a large share
    # of an execution's time. A finding is kept as an input; replaying it (kv_bridge_fuzz_replay or
    # the fuzzer with the input as argument) gives the full stacks.
    env.setdefault("ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1:allocator_may_return_null=1:"
                   "malloc_context_size=2")
    env.setdefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1")
    return env


def fuzz(args):
    work = pathlib.Path(tempfile.mkdtemp(prefix="kv-fuzz."))
    try:
        seeds = work / "seeds"
        corpus = args.corpus or (work / "corpus")
        corpus.mkdir(parents=True, exist_ok=True)
        artifacts = args.artifacts or (work / "artifacts")
        artifacts.mkdir(parents=True, exist_ok=True)
        count = make_seeds(seeds)
        command = [str(args.fuzzer.resolve()), f"-max_total_time={args.seconds}",
                   f"-timeout={TIMEOUT_S}", f"-rss_limit_mb={RSS_LIMIT_MB}",
                   "-print_final_stats=1", f"-detect_leaks={0 if args.leaks_at_exit else 1}",
                   f"-artifact_prefix={artifacts}/",
                   f"-max_len={MAX_LEN}"]
        if args.seed is not None:
            command.append(f"-seed={args.seed}")
        if args.jobs > 1:
            # Independent workers on one shared corpus; each writes fuzz-<n>.log in `work`.
            command += [f"-jobs={args.jobs}", f"-workers={args.jobs}"]
        command += [str(corpus), str(seeds)]
        print(f"{count} seeds; running: {' '.join(command)}", flush=True)
        started = time.monotonic()
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                env=sanitizer_env(), cwd=work, text=True, errors="replace")
        elapsed = time.monotonic() - started
        logs = [result.stdout] + [p.read_text(errors="replace")
                                  for p in sorted(work.glob("fuzz-*.log"))]
        if args.log:
            args.log.write_text("\n".join(logs))
        executed = 0
        for text in logs[1:] if args.jobs > 1 else logs[:1]:
            runs = re.findall(r"stat::number_of_executed_units:\s*(\d+)", text)
            done = re.findall(r"Done (\d+) runs in", text)
            executed += int(runs[-1]) if runs else (int(done[-1]) if done else 0)
        text = "\n".join(logs)
        cov = re.findall(r"cov: (\d+) ft: (\d+)", text)
        findings = sorted(p.name for p in artifacts.glob("*"))
        failed = (result.returncode != 0 or findings or "ERROR:" in text
                  or "runtime error" in text or "host rule broken" in text)
        print(f"executions: {executed} in {elapsed:.0f} s ({executed / max(elapsed, 1):.0f}/s)"
              + (f", coverage {cov[-1][0]} edges, {cov[-1][1]} features" if cov else "")
              + f", corpus {sum(1 for _ in corpus.iterdir())} inputs")
        if failed:
            sys.stdout.write(text[-30000:])
            print(f"fuzzer failed (status {result.returncode}); findings: {findings}")
            if findings and args.keep:
                for name in findings:
                    shutil.copy(artifacts / name, args.keep / name)
            return 1
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def replay(args):
    work = pathlib.Path(tempfile.mkdtemp(prefix="kv-fuzz-replay."))
    try:
        count = make_seeds(work)
        result = subprocess.run([str(args.replay.resolve()), str(work)], env=sanitizer_env(),
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                errors="replace")
        sys.stdout.write(result.stdout[-20000:])
        if result.returncode != 0 or f"replayed {count} inputs" not in result.stdout:
            print(f"replay failed (status {result.returncode}, {count} inputs)")
            return 1
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = parser.add_subparsers(dest="mode", required=True)
    f = sub.add_parser("fuzz")
    f.add_argument("--fuzzer", required=True, type=pathlib.Path)
    f.add_argument("--seconds", type=int, default=25)
    f.add_argument("--jobs", type=int, default=1)
    f.add_argument("--seed", type=int)
    f.add_argument("--corpus", type=pathlib.Path, help="keep the grown corpus here")
    f.add_argument("--artifacts", type=pathlib.Path, help="keep crash inputs here")
    f.add_argument("--keep", type=pathlib.Path, help="copy findings here")
    f.add_argument("--log", type=pathlib.Path, help="the full libFuzzer output")
    # After every input that allocated more than it freed, libFuzzer runs a full leak check: with
    # the fuzzer's heap near 1 GB and its engine threads stopped each time, the first thousand of
    # them (after which libFuzzer gives up) take most of a half-hour campaign. Long campaigns check
    # at each worker's exit instead: LeakSanitizer then reports any block no longer reachable.
    f.add_argument("--leaks-at-exit", action="store_true",
                   help="check for leaks when each worker ends, not after every input")
    r = sub.add_parser("replay")
    r.add_argument("--replay", required=True, type=pathlib.Path)
    args = parser.parse_args()
    return fuzz(args) if args.mode == "fuzz" else replay(args)


if __name__ == "__main__":
    sys.exit(main())
