#!/usr/bin/env bash
# Every test program of a plain build (Debug, no sanitizer) under valgrind
# memcheck: any memory error or any definite/possible leak fails the run.
#
#   .ci/valgrind.sh [build-dir]     (default build/default; built if needed)
#
# TARNCOLL_MODEL_OPS (default 20000) shortens the randomized and model tests,
# which otherwise run up to a million operations per family; VALGRIND_JOBS
# (default 2) programs run at once.  Prints one line per program and the
# totals.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/default}"
export TARNCOLL_MODEL_OPS="${TARNCOLL_MODEL_OPS:-20000}"
jobs="${VALGRIND_JOBS:-2}"
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }
if [[ "$build" == build/default && ! -d build/default ]]; then cmake --preset default >/dev/null; fi
if [[ "$build" == build/default ]]; then cmake --build --preset default; fi
grep -q 'fsanitize' "$build/CMakeCache.txt" && { echo "$build is a sanitizer build" >&2; exit 2; }

logs="$build/valgrind"
rm -rf "$logs" && mkdir -p "$logs"
mapfile -t programs < <(find "$build/tests" -maxdepth 1 -type f -name 'test_*' -perm -u+x | sort)
[[ ${#programs[@]} -gt 0 ]] || { echo "no test programs in $build/tests" >&2; exit 2; }

run_one() {
  local prog="$1" logs="$2" name
  name=$(basename "$prog")
  # nouserintercepts: the sweep tests' own operator new (which fails on
  # request) must stay in place; valgrind still sees the malloc under it.
  if valgrind --tool=memcheck --leak-check=full --errors-for-leak-kinds=definite,possible \
       --soname-synonyms=somalloc=nouserintercepts \
       --error-exitcode=99 --log-file="$logs/$name.vg" \
       "$prog" --gtest_brief=1 >"$logs/$name.out" 2>&1; then
    status=ok
  else
    status="FAILED (exit $?)"
  fi
  printf '%-28s %-18s %s | %s\n' "$name" "$status" \
    "$(grep -o 'ERROR SUMMARY: [0-9]* errors' "$logs/$name.vg" | tail -1)" \
    "$(grep -E 'definitely lost:|possibly lost:' "$logs/$name.vg" | sed 's/==[0-9]*== *//' | tr -s ' ' | paste -sd, - || true)"
}
export -f run_one
printf '%s\n' "${programs[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2"' _ {} "$logs" | sort | tee "$logs/summary.txt"

failed=$(grep -c 'FAILED' "$logs/summary.txt" || true)
echo "valgrind: ${#programs[@]} programs, $failed failed (logs in $logs)"
[[ "$failed" -eq 0 ]]
