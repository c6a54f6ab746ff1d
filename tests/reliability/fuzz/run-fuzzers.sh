#!/usr/bin/env bash
# Runs the scripting fuzz targets (dispatch, script) for SECONDS each from the seed corpus in this
# folder, and fails on any crash, leak, timeout, sanitizer report or failed check.
# Usage: tests/reliability/fuzz/run-fuzzers.sh BUILD_DIR SECONDS
# BUILD_DIR is a clang build configured with -DVELMORA_BUILD_FUZZERS=ON (see CMakeLists.txt here).
set -u
if [ $# -ne 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS" >&2
  exit 2
fi
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

status=0
for target in dispatch script; do
  bin=$build/bin/velmora_fuzz_$target
  if [ ! -x "$bin" ]; then
    echo "run-fuzzers: $bin not found (configure with -DVELMORA_BUILD_FUZZERS=ON and build it)" >&2
    status=1
    continue
  fi
  # New inputs go to a scratch corpus; the seeds in the repository are only read.
  mkdir -p "$work/$target" "$work/$target-artifacts"
  log=$work/$target.log
  echo "run-fuzzers: $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$work/$target-artifacts/" \
    "$work/$target" "$here/corpus/$target" >"$log" 2>&1
  rc=$?
  if [ $rc -ne 0 ] || grep -qE "ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|fuzz check failed" "$log"; then
    echo "run-fuzzers: $target FAILED (exit $rc); log follows" >&2
    tail -n 60 "$log" >&2
    for a in "$work/$target-artifacts"/*; do
      [ -e "$a" ] || continue
      echo "run-fuzzers: input that failed ($(basename "$a")), base64:" >&2
      base64 -w 0 "$a" >&2
      echo >&2
      mkdir -p "$build/fuzz-artifacts" && cp "$a" "$build/fuzz-artifacts/$target-$(basename "$a")"
    done
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$log" | sed "s/^/run-fuzzers: $target /"
  fi
done
exit $status
