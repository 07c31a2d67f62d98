#!/usr/bin/env bash
# Line and branch coverage of cpcoll/ and util/ from the whole test suite.
# Installs gcovr from the distribution's packages when it is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v gcovr >/dev/null; then
  if [[ $(id -u) -eq 0 ]]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gcovr >/dev/null
  else
    sudo apt-get update -qq && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -qq gcovr >/dev/null
  fi
fi
# -fprofile-update=atomic: the thread tests update counters from several
# threads at once.
# The export check is left out: gcov's runtime adds its own dynamic symbols.
# COVERAGE_DIR: another build directory with the same settings as the
# preset (default: the preset's build/coverage).
dir="${COVERAGE_DIR:-build/coverage}"
find "$dir" -name '*.gcda' -delete 2>/dev/null || true
if [[ "$dir" == build/coverage ]]; then
  cmake --preset coverage >/dev/null
  cmake --build --preset coverage
  ctest --preset coverage -E '^exported_symbols$' >/dev/null
else
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNCOLL_BUILD_TESTS=ON -DTARNCOLL_BUILD_EXAMPLES=ON \
    "-DCMAKE_CXX_FLAGS=--coverage -fprofile-update=atomic -O0 -fno-inline -fno-elide-constructors" \
    -DCMAKE_EXE_LINKER_FLAGS=--coverage -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
  cmake --build "$dir"
  ctest --test-dir "$dir" -j 2 --timeout 900 -E '^exported_symbols$' >/dev/null
fi
gcovr --root . --object-directory "$dir" \
  --filter 'cpcoll/' --filter 'util/' \
  --exclude-unreachable-branches --exclude-throw-branches \
  --print-summary --txt "$dir/coverage.txt" "$@"
