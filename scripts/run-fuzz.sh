#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for SECONDS each, starting from
# its seeds in tests/fuzz/seeds/<target>/. A crash leaves its input in the
# build folder (crash-*) and fails the run.
#
#   scripts/run-fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR SECONDS}
seconds=${2:?usage: $0 BUILD_DIR SECONDS}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
status=0
for target in "$build"/tests/fuzz/fuzz_*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$build/fuzz-corpus/$name"
    mkdir -p "$corpus"
    echo "== $name (${seconds}s)"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/" "$corpus" "$source_dir/tests/fuzz/seeds/$name" 2>"$build/$name.log"; then
        tail -n 40 "$build/$name.log" >&2
        status=1
    else
        grep -E '^(stat::number_of_executed_units|Done)' "$build/$name.log" || true
    fi
done
exit $status
