#!/usr/bin/env bash
# Guards the ABI of libtarncoll.so.1: compares the built library with the
# committed baseline abi/libtarncoll.so.1.abi and fails on any incompatible
# change (a type's size or layout, a virtual table, a removed symbol).
# Additions are compatible: they are listed and pass.
#
#   .ci/abi.sh [BUILD_DIR]            check (default BUILD_DIR: build/gcc-werror)
#   .ci/abi.sh --update [BUILD_DIR]   rewrite the baseline from BUILD_DIR
#
# BUILD_DIR must hold a g++ build with debug info (the gcc-werror preset:
# `cmake --preset gcc-werror && cmake --build --preset gcc-werror --target
# tarncoll`).  The ABI seen is what the installed headers declare: cpcoll/
# with cpcoll/detail/ (public classes hold detail types by value) and util/.
# Needs abidw and abidiff (Debian: abigail-tools).
set -euo pipefail
cd "$(dirname "$0")/.."
update=0
if [[ ${1:-} == --update ]]; then update=1; shift; fi
build=${1:-build/gcc-werror}
baseline=abi/libtarncoll.so.1.abi
lib=$build/libtarncoll.so.1.0.0

for tool in abidw abidiff; do
  command -v $tool >/dev/null || { echo "abi: $tool not found (Debian: apt-get install abigail-tools)" >&2; exit 2; }
done
[[ -f $lib ]] || { echo "abi: no $lib; build the tarncoll target there first" >&2; exit 2; }
[[ $(readelf -S "$lib") == *.debug_info* ]] || { echo "abi: $lib has no debug info" >&2; exit 2; }

# Paths, compile directories and line numbers left out, so the baseline
# depends neither on where the tree was built nor on moved lines.
dump() {
  abidw --no-corpus-path --no-comp-dir-path --no-show-locs --drop-undefined-syms --drop-private-types \
    --hd cpcoll --hd util "$lib"
}

if [[ $update == 1 ]]; then
  dump > "$baseline"
  echo "abi: wrote $baseline from $lib"
  exit 0
fi

current=$(mktemp)
trap 'rm -f "$current"' EXIT
dump > "$current"
# abidiff's status is a bit mask: 1 error, 2 usage, 4 ABI change,
# 8 incompatible change.  A changed size, layout or virtual table of a type
# the interface reaches sets 4 (8 is kept for removed symbols), so both
# fail; added symbols are left out of the verdict and listed afterwards.
set +e
abidiff --no-show-locs --no-added-syms "$baseline" "$current"
status=$?
set -e
if (( status & 3 )); then
  echo "abi: abidiff failed (status $status)" >&2
  exit 2
elif (( status & 12 )); then
  echo "abi: FAIL: incompatible ABI change against $baseline (abidiff status $status)." >&2
  echo "abi: a deliberate break bumps the SONAME and rewrites the baseline (.ci/abi.sh --update); see README, ABI policy." >&2
  exit 1
fi
abidiff --no-show-locs "$baseline" "$current" || true
echo "abi: no incompatible change against $baseline; passed"
