#!/usr/bin/env bash
# valgrind memcheck on a short velmora-host session: fails on any invalid access, use of an
# uninitialised value or definite leak.
# Usage: tests/reliability/valgrind/run-memcheck.sh BUILD_DIR   (a release build with velmora-host
# and the plug-in built)
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/velmora-memcheck.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The script writes next to itself, so it runs from a scratch copy.
cp "$here/short_run.vms" "$work/"
valgrind --tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
  --show-leak-kinds=definite --track-origins=yes --num-callers=30 --suppressions="$here/glibc-vector.supp" \
  "$build/bin/velmora-host" --plugins "$build/plugins" run "$work/short_run.vms"
echo "memcheck: clean"
