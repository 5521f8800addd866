#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over the core and the Linux
# platform implementations, using BUILD_DIR's compile_commands.json.
#
#   scripts/run-tidy.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR}
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' | grep -v -E '^src/(ui|platform/qt|app/main\.cpp)')
printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
