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
find build/coverage -name '*.gcda' -delete 2>/dev/null || true
cmake --preset coverage >/dev/null
cmake --build --preset coverage
ctest --preset coverage >/dev/null
gcovr --root . --object-directory build/coverage \
  --filter 'cpcoll/' --filter 'util/' \
  --exclude-unreachable-branches --exclude-throw-branches \
  --print-summary --txt build/coverage/coverage.txt "$@"
