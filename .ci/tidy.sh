#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the library sources, cpcoll/,
# cpcoll/detail/ and util/, and the headers they include.  Any finding fails.
#
#   .ci/tidy.sh [BUILD_DIR]     (default: build/clang; needs its compile_commands.json)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/clang}
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)
[[ -n $tidy ]] || { echo "tidy: run-clang-tidy not found (Debian: apt-get install clang-tidy)" >&2; exit 2; }
[[ -f $build/compile_commands.json ]] || { echo "tidy: no $build/compile_commands.json; configure $build first" >&2; exit 2; }
binary=$(command -v clang-tidy-14 || command -v clang-tidy)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# The sources are selected by path; the check list and header filter come
# from .clang-tidy.
set +e
"$tidy" -clang-tidy-binary "$binary" -p "$build" -quiet -j "$(nproc)" "$PWD/(cpcoll|util)/.*\.cpp$" 2>&1 |
  sed "s/\x1b\[[0-9;]*m//g" > "$log"
status=${PIPESTATUS[0]}
set -e
findings=$(grep -E '^/.*: (warning|error): ' "$log" | sort -u || true)
if [[ $status -ne 0 || -n $findings ]]; then
  if [[ -n $findings ]]; then printf '%s\n' "$findings"; else tail -40 "$log"; fi
  echo "tidy: FAIL: $(printf '%s' "$findings" | grep -c . || true) distinct findings (status $status)" >&2
  exit 1
fi
echo "tidy: no findings in $(ls cpcoll/*.cpp cpcoll/detail/*.cpp util/*.cpp | wc -l) sources"
