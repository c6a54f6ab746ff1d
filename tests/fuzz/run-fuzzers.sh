#!/usr/bin/env bash
# Runs fuzz targets for SECONDS each, starting from their seed corpora, and fails on any crash,
# leak, timeout, sanitizer report or failed check.
# Usage: tests/fuzz/run-fuzzers.sh BUILD_DIR SECONDS [TARGET ...]
# TARGETs: obj ply ply_body (the mesh readers), script dispatch (the scripting side); all of them
# when none is named. BUILD_DIR is a clang build configured with -DVELMORA_BUILD_FUZZERS=ON.
set -u
if [ $# -lt 2 ]; then
  echo "usage: $0 BUILD_DIR SECONDS [TARGET ...]" >&2
  exit 2
fi
build=$1
seconds=$2
shift 2
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Seed corpus (from the repository's top folder) and longest input of each target.
seeds_of() {
  case $1 in
    obj) echo "tests/fuzz/corpus/obj 65536" ;;
    ply | ply_body) echo "tests/fuzz/corpus/ply 65536" ;;
    script) echo "tests/reliability/fuzz/corpus/script 4096" ;;
    dispatch) echo "tests/reliability/fuzz/corpus/dispatch 4096" ;;
    *) return 1 ;;
  esac
}

targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(obj ply ply_body script dispatch)
status=0
for target in "${targets[@]}"; do
  if ! spec=$(seeds_of "$target"); then
    echo "run-fuzzers: no fuzz target '$target' (obj, ply, ply_body, script, dispatch)" >&2
    status=1
    continue
  fi
  read -r seeds maxlen <<<"$spec"
  name=velmora_fuzz_${target//_/}
  bin=$(find "$build" -type f -name "$name" -perm -u+x 2>/dev/null | head -n 1)
  if [ -z "$bin" ]; then
    echo "run-fuzzers: $name not found under $build (configure with -DVELMORA_BUILD_FUZZERS=ON and build it)" >&2
    status=1
    continue
  fi
  # New inputs go to a scratch corpus; the seeds in the repository are only read.
  mkdir -p "$work/$target" "$work/$target-artifacts"
  log=$work/$target.log
  echo "run-fuzzers: $target for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$maxlen" \
    -print_final_stats=1 -artifact_prefix="$work/$target-artifacts/" \
    "$work/$target" "$top/$seeds" >"$log" 2>&1
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
