#!/usr/bin/env bash
# Installs tarncoll into a temporary prefix and uses it from outside the
# source tree: checks the install layout, compiles every installed header
# on its own, then builds and runs tests/consumer twice, once through
# find_package with CMake and once through pkg-config with plain g++.
# Exits non-zero on the first failure.
#
#   .ci/consume.sh [BUILD_DIR]      (default: build/consume)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=${1:-$src/build/consume}
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
CXX_PLAIN=${CXX_PLAIN:-g++}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "consume: FAIL: $*" >&2; exit 1; }
step() { echo; echo "--- $* ---"; }

step "build and install into $prefix"
# Configured for the default prefix and installed elsewhere: the package
# files must not depend on the configure-time prefix.
cmake -S "$src" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DTARNCOLL_BUILD_TESTS=OFF -DTARNCOLL_BUILD_EXAMPLES=OFF -DTARNCOLL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target tarncoll
cmake --install "$build" --prefix "$prefix" >/dev/null
(cd "$prefix" && find . | sort)

step "hardening of the installed library"
# Control flow integrity is not required: the objects are built with
# -fcf-protection, but the linked library carries the IBT/SHSTK marking
# only when every input has it, and the C library's crti.o/crtn.o on
# Debian 12 have none.  Stack clash probes exist only in functions with a
# frame of a page or more, so that line may say "unknown" and is not a
# failure.
hardening=$(find "$prefix" -name 'libtarncoll.so.1.0.0' -type f)
command -v hardening-check >/dev/null || fail "hardening-check not found (Debian: apt-get install devscripts)"
hardening-check --nocfprotection "$hardening" || fail "hardening-check"

step "install layout"
libdir=
for d in lib lib64; do [[ -d $prefix/$d ]] && { libdir=$d; break; }; done
[[ -n $libdir ]] || fail "no lib directory"
lib=$prefix/$libdir
[[ -f $lib/libtarncoll.so.1.0.0 && ! -L $lib/libtarncoll.so.1.0.0 ]] || fail "libtarncoll.so.1.0.0 missing"
[[ $(readlink "$lib/libtarncoll.so.1") == libtarncoll.so.1.0.0 ]] || fail "libtarncoll.so.1 is not a link to the library"
[[ $(readlink "$lib/libtarncoll.so") == libtarncoll.so.1 ]] || fail "libtarncoll.so is not a link to libtarncoll.so.1"
readelf -d "$lib/libtarncoll.so.1.0.0" | grep -q 'SONAME.*\[libtarncoll\.so\.1\]' || fail "SONAME is not libtarncoll.so.1"
inc=$prefix/include/tarncoll
for h in "$src"/cpcoll/*.h "$src"/cpcoll/detail/*.h "$src"/util/*.h; do
  rel=${h#"$src"/}
  cmp -s "$h" "$inc/$rel" || fail "public header $rel not installed"
done
for f in tarncollConfig.cmake tarncollConfigVersion.cmake tarncollTargets.cmake; do
  [[ -f $lib/cmake/tarncoll/$f ]] || fail "$libdir/cmake/tarncoll/$f missing"
done
[[ -f $lib/pkgconfig/tarncoll.pc ]] || fail "$libdir/pkgconfig/tarncoll.pc missing"
echo "layout ok"

step "package version compatibility"
# The version file alone, as find_package evaluates it.
cat >"$work/version.cmake" <<EOF
set(PACKAGE_FIND_VERSION_COUNT 2)
set(CMAKE_SIZEOF_VOID_P 8)
include("$lib/cmake/tarncoll/tarncollConfigVersion.cmake")
message("\${PACKAGE_VERSION_COMPATIBLE}")
EOF
for want in 1.0:TRUE 1.0.0:TRUE 0.9:FALSE 2.0:FALSE; do
  v=${want%%:*}
  got=$(cmake -DPACKAGE_FIND_VERSION="$v" -DPACKAGE_FIND_VERSION_MAJOR="${v%%.*}" -P "$work/version.cmake" 2>&1)
  [[ $got == "${want#*:}" ]] || fail "request for version $v: compatible '$got', expected ${want#*:}"
done
echo "version checks ok"

step "every installed header compiles on its own"
bad_headers=0
for h in "$inc"/cpcoll/*.h "$inc"/util/*.h; do
  rel=${h#"$inc"/}
  if ! echo "#include <$rel>" | "$CXX_PLAIN" -std=c++17 -Wall -Wextra -Werror -fsyntax-only -I"$inc" -x c++ -; then
    echo "consume: <$rel> does not compile alone against the installed tree" >&2
    bad_headers=$((bad_headers + 1))
  fi
done
[[ $bad_headers -eq 0 ]] || fail "$bad_headers installed headers unusable on their own"
echo "headers ok"

# Runs a consumer binary and checks that it loaded the installed library.
run_consumer() {
  local loaded
  loaded=$(ldd "$1" | awk '$1 == "libtarncoll.so.1" { print $3 }')
  [[ -n $loaded && $(realpath "$loaded") == $(realpath "$lib/libtarncoll.so.1.0.0") ]] ||
    fail "$1 loads '${loaded:-nothing}', not the installed library"
  "$1"
}

step "consumer through find_package (CMake)"
cmake -S "$src/tests/consumer" -B "$work/cmake-consumer" "${generator[@]}" \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$work/cmake-consumer"
run_consumer "$work/cmake-consumer/consumer"

step "consumer through pkg-config ($CXX_PLAIN)"
export PKG_CONFIG_PATH=$lib/pkgconfig
[[ $(pkg-config --modversion tarncoll) == 1.0.0 ]] || fail "pkg-config reports version $(pkg-config --modversion tarncoll)"
pkg-config --atleast-version=1.0 tarncoll || fail "pkg-config: version below 1.0"
echo "pkg-config --cflags --libs: $(pkg-config --cflags --libs tarncoll)"
pc_libdir=$(pkg-config --variable=libdir tarncoll)
[[ $(cd "$pc_libdir" && pwd -P) == $(cd "$lib" && pwd -P) ]] || fail "pkg-config libdir $pc_libdir is not $lib"
# shellcheck disable=SC2046  # the flags are meant to split
"$CXX_PLAIN" -std=c++17 -Wall -Wextra -Werror -o "$work/pc-consumer" "$src/tests/consumer/main.cpp" \
  $(pkg-config --cflags --libs tarncoll) -Wl,-rpath,"$pc_libdir"
run_consumer "$work/pc-consumer"

step "consume: both consumers built and passed"
