#!/usr/bin/env bash
# Runs PROGRAM under gdb -batch with printers.gdb and compares the printed
# values with printers.expected.  Heap addresses (five hex digits or more)
# are masked; the program's items are small numbers and stay as they are.
#
#   run.sh PROGRAM [PRINTERS]   PRINTERS: a script to source first (the
#                               source tree's gdb/tarncoll-gdb.py); without
#                               it the printers must be auto-loaded.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1
gdb=${GDB:-gdb}
load=()
[[ $# -ge 2 ]] && load=(-iex "source $2")
# LeakSanitizer cannot run under ptrace; in a sanitizer build the program
# runs with every other check on (the unit tests check for leaks).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$gdb" -batch -nx "${load[@]}" -x "$here/printers.gdb" "$program" </dev/null >"$out" 2>&1 || {
  cat "$out"
  echo "gdb_printers: gdb failed" >&2
  exit 1
}
grep -q '^containers: filled, inspected and emptied' "$out" || {
  cat "$out"
  echo "gdb_printers: the program did not run to its end" >&2
  exit 1
}
if ! diff -u "$here/printers.expected" <(grep '^\$' "$out" | sed -E 's/0x[0-9a-f]{5,}/0xADDR/g'); then
  echo "gdb_printers: printed values differ from printers.expected (full gdb output below)" >&2
  cat "$out" >&2
  exit 1
fi
echo "gdb_printers: $(grep -c '^\$' "$out") values printed as expected"
