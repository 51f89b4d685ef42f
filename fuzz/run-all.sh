#!/bin/sh
# Runs every fuzz target for a short time on its seed corpus. Inputs that
# crash a target are kept in BUILD_DIR/fuzz/artifacts.
#   fuzz/run-all.sh BUILD_DIR SECONDS
set -eu
build=${1:?build directory}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in "$build"/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$build/fuzz/corpus/$name"
    artifacts="$build/fuzz/artifacts"
    mkdir -p "$corpus" "$artifacts"
    seeds="$here/corpus/${name#fuzz_}"
    echo "=== $name ($seconds s)"
    if [ -d "$seeds" ]; then
        "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
            -artifact_prefix="$artifacts/$name-" "$corpus" "$seeds" || status=1
    else
        "$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
            -artifact_prefix="$artifacts/$name-" "$corpus" || status=1
    fi
done
exit $status
