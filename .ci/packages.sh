#!/usr/bin/env bash
# Builds the Debian packages from a RelWithDebInfo build (library only),
# lists them, runs lintian (errors fail, warnings are listed), installs them
# with apt, builds and runs tests/consumer against the system install (CMake
# find_package with no prefix path, and pkg-config), runs the gdb printer
# test against the installed printers and debug information, and purges
# the packages again, also when a step fails.  Needs root (apt-get).
#
#   .ci/packages.sh [BUILD_DIR]      (default: build/packages)
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=${1:-$src/build/packages}
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-2}"
packages=(libtarncoll1 libtarncoll-dev libtarncoll1-dbgsym)

fail() { echo "packages: FAIL: $*" >&2; exit 1; }
step() { echo; echo "--- $* ---"; }

step "tools"
need=()
for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev lintian:lintian gdb:gdb pkg-config:pkg-config; do
  command -v "${tool%%:*}" >/dev/null || need+=("${tool#*:}")
done
if [[ ${#need[@]} -gt 0 ]]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi
echo "dpkg-deb, dpkg-shlibdeps, lintian, gdb and pkg-config present"

step "build the packages"
rm -rf "$build/packages"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARNCOLL_BUILD_TESTS=OFF -DTARNCOLL_BUILD_EXAMPLES=OFF -DTARNCOLL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target package
debs=()
for p in "${packages[@]}"; do
  f=$(compgen -G "$build/packages/${p}_*_*.*deb" | head -n 1) || true
  [[ -n $f ]] || fail "package $p not built"
  debs+=("$f")
done

step "package contents"
for f in "${debs[@]}"; do
  echo "== $(basename "$f")"
  dpkg-deb -f "$f" Package Version Architecture Section Depends
  # Files and links with their sizes; directories only by count.
  dpkg -c "$f" | awk '$1 !~ /^d/ { printf "  %s %8s %s %s %s\n", $1, $3, $6, $7, $8 } $1 ~ /^d/ { d++ }
                      END { printf "  (%d directories)\n", d }'
done

step "lintian"
# lintian judges by the file name; the debug package is checked as a .deb.
work=$(mktemp -d)
lint=()
for f in "${debs[@]}"; do
  lint+=("$work/$(basename "${f%.*}").deb")
  cp "$f" "${lint[-1]}"
done
lintian --allow-root --display-info "${lint[@]}" >"$work/lintian.txt" 2>&1 || true
sed "s|$work/||g" "$work/lintian.txt"
errors=$(grep -c '^E:' "$work/lintian.txt" || true)
echo "lintian: $errors errors, $(grep -c '^W:' "$work/lintian.txt" || true) warnings"
[[ $errors -eq 0 ]] || fail "lintian reports errors"

purge() { apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true; rm -rf "$work"; }
trap purge EXIT
purge
work=$(mktemp -d)

step "install with apt"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[@]}" >/dev/null
dpkg-query -W "${packages[@]}"
libfile=$(dpkg -L libtarncoll1 | grep '/libtarncoll\.so\.1\.0\.0$')
[[ -f $libfile ]] || fail "libtarncoll1 installs no libtarncoll.so.1.0.0"
readelf -S "$libfile" | grep -q '\.debug_info' && fail "the installed library still carries its debug information"

# Runs a consumer and checks it loaded the library from the package.
run_installed() {
  local loaded
  loaded=$(ldd "$1" | awk '$1 == "libtarncoll.so.1" { print $3 }')
  [[ -n $loaded && $(realpath "$loaded") == "$(realpath "$libfile")" ]] ||
    fail "$1 loads '${loaded:-nothing}', not $libfile"
  "$1"
}

step "consumer through find_package, no prefix path"
cmake -S "$src/tests/consumer" -B "$work/cmake-consumer" -G Ninja -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$work/cmake-consumer" >/dev/null
run_installed "$work/cmake-consumer/consumer"

step "consumer through pkg-config"
echo "pkg-config --cflags --libs: $(pkg-config --cflags --libs tarncoll)"
# shellcheck disable=SC2046  # the flags are meant to split
g++ -std=c++17 -Wall -Wextra -Werror -o "$work/pc-consumer" "$src/tests/consumer/main.cpp" $(pkg-config --cflags --libs tarncoll)
run_installed "$work/pc-consumer"

step "gdb: auto-loaded printers and the debug package"
# shellcheck disable=SC2046
g++ -std=c++17 -g -O0 -o "$work/containers" "$src/tests/gdb/containers.cpp" $(pkg-config --cflags --libs tarncoll)
gdb -batch -nx -ex 'break Inspect' -ex run -ex 'info sharedlibrary libtarncoll' \
  -ex "info line 'CPList::Add(void*)'" -ex 'info auto-load python-scripts' -ex kill \
  "$work/containers" </dev/null >"$work/gdb.txt" 2>&1 || true
grep -E 'libtarncoll|cplist|auto-load|Line' "$work/gdb.txt" || true
grep -Eq 'Yes +/.*libtarncoll\.so\.1$' "$work/gdb.txt" ||
  fail "gdb found no debug information for the installed library"
grep -Eq '^Line [0-9]+ of ".*cplist\.cpp"' "$work/gdb.txt" || fail "gdb has no line table for the library"
grep -Eq '^Yes +/usr/share/gdb/auto-load/.*libtarncoll\.so\.1\.0\.0-gdb\.py' "$work/gdb.txt" ||
  fail "gdb did not auto-load the printers"
bash "$src/tests/gdb/run.sh" "$work/containers"

step "purge"
purge
trap - EXIT
dpkg-query -W "${packages[@]}" 2>/dev/null | grep . && fail "packages still installed after the purge"
echo "packages: built, lint-free of errors, installed, consumed, debugged and purged"
