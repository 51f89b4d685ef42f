#!/bin/sh
# Runs every benchmark program the bench build produced, one after another,
# so that each prints its side-by-side figures in one run.
#   bench/run-all.sh BUILD_DIR
set -eu
build=${1:?build directory}
found=0
for prog in "$build"/bench/bench_*; do
    [ -f "$prog" ] && [ -x "$prog" ] || continue
    found=1
    echo "=== $(basename "$prog")"
    "$prog"
done
for script in "$(dirname "$0")"/compare_*.sh; do
    [ -x "$script" ] || continue
    found=1
    echo "=== $(basename "$script")"
    "$script" "$build"
done
[ "$found" -eq 1 ] || echo "no benchmarks built"
