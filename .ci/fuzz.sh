#!/usr/bin/env bash
# Bounded fuzz run: builds the libFuzzer script target with clang in
# build/fuzz (library and target under ASan/UBSan), runs it from the seed
# corpus for TARNCOLL_FUZZ_SECONDS seconds (default 60) and fails on any
# crash, leak, sanitizer report or model mismatch.  New inputs go to a
# scratch copy of the corpus; a failing input is kept as build/fuzz/crash-*
# and replays with: build/fuzz/fuzz/fuzz_script build/fuzz/crash-<hash>
set -euo pipefail
cd "$(dirname "$0")/.."
secs="${TARNCOLL_FUZZ_SECONDS:-60}"
build=build/fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DTARNCOLL_BUILD_FUZZ=ON -DTARNCOLL_BUILD_TESTS=OFF -DTARNCOLL_BUILD_EXAMPLES=OFF -DTARNCOLL_INSTALL=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build "$build" --target fuzz_script

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
cp fuzz/corpus/* "$work/corpus/"

status=0
"$build/fuzz/fuzz_script" -max_total_time="$secs" -print_final_stats=1 -artifact_prefix="$build/" \
  "$work/corpus" 2>&1 | tee "$work/fuzz.log" || status=$?
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log" | tail -1)
echo "fuzz: ${execs:-no} executions in ${secs} s, exit status ${status}"
exit "$status"
