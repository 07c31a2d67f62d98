#!/usr/bin/env bash
# Shows that check_exports.sh accepts the public surface and rejects each
# kind of internal symbol.  Works on a made-up source tree and hand-written
# symbol lists, so it does not depend on what the library contains today.
#
#   check_exports_selftest.sh SOURCE_ROOT   (where tests/check_exports.sh lives)
set -euo pipefail

checker=(bash "$1/tests/check_exports.sh")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/cpcoll/detail" "$work/root/util"

cat >"$work/root/util/base.h" <<'EOF'
#define TARNCOLL_API __attribute__((visibility("default")))
class TARNCOLL_API Base {
 public:
  virtual ~Base();
};
EOF
cat >"$work/root/cpcoll/node.h" <<'EOF'
// class TARNCOLL_API InComment is only mentioned in a comment.
class TARNCOLL_API Node : public virtual Base {
  static const long kDefault;
};
struct TARNCOLL_API Pair {
  Pair();
};
class HiddenNode;
TARNCOLL_API int operator==(const Node& a, const Node& b);
TARNCOLL_API void FreeFunction(int n);
extern TARNCOLL_API const unsigned long kExportedLimit;
namespace tarncoll {
class TARNCOLL_API Outer {};
}
EOF
# Exported, but from a header that is not installed: not public.
cat >"$work/root/cpcoll/detail/thing.h" <<'EOF'
class TARNCOLL_API DetailThing {};
EOF

# Every form the public surface takes.
good=(
  _ZN4Node6AttachEPv                # Node::Attach(void*)
  _ZNK4Node5CountEv                 # Node::Count() const
  _ZN4NodeC2ERKS_ _ZN4NodeD0Ev      # constructor, deleting destructor
  _ZN4Node4FindIPFivEEEPvT_         # void* Node::Find<int (*)()>(int (*)())
  _ZN4Node8kDefaultE                # static data member
  _ZTV4Node _ZTI4Node _ZTS4Node _ZTT4Node _ZTC4Node0_4Base _ZTV4Base
  _ZTv0_n24_N4NodeD1Ev              # virtual thunk
  _ZThn8_N4Node6AttachEPv           # non-virtual thunk
  _ZTcv0_n24_h8_N4Node5CloneEv      # covariant return thunk
  _ZZNK4Node5CountEvE5cache _ZGVZNK4Node5CountEvE5cache  # local static and its guard
  _ZN4PairC1Ev                      # struct member
  _ZN8tarncoll5Outer3RunEv          # class inside a namespace
  _ZeqRK4NodeS1_                    # exported operator==
  _Z12FreeFunctioni                 # exported free function
  kExportedLimit                    # exported datum
  __bss_start _end                  # linker-defined
)
# Each of these alone must make the check fail.
bad=(
  _ZN12_GLOBAL__N_1L7kTablesE                          # CRC table in an anonymous namespace
  _ZN12_GLOBAL__N_110RotateLeftEPv                     # helper in an anonymous namespace
  _ZZN12_GLOBAL__N_15SetupEvE5state                    # local static of such a helper
  _ZNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEE12_M_constructIPKcEEvT_S8_St20forward_iterator_tag
  _ZZNSt8__detail18__to_chars_10_implImEEvPcjT_E8__digits
  _ZN8tarncoll6detail10RotateLeftEPv                   # detail function
  _ZN6detail8LinkNodeEPvS0_
  _Z10RotateLeftPv                                     # free helper
  kCrcTable                                            # undeclared datum
  _ZltRK4NodeS1_                                       # operator< was not exported
  _ZTV10HiddenNode _ZN10HiddenNode4WalkEv              # class not exported
  _ZTv0_n24_N10HiddenNodeD1Ev
  _ZN11DetailThing3RunEv                               # exported only in an internal header
  _ZN9InComment3RunEv                                  # named in a comment only
)

failures=0
printf '%s\n' "${good[@]}" >"$work/good.txt"
if ! "${checker[@]}" --symbols "$work/good.txt" "$work/root" >"$work/out" 2>&1; then
  echo "FAIL: the public surface was rejected:"; cat "$work/out"
  failures=$((failures + 1))
fi
if ! grep -q " ${#good[@]} exported symbols" "$work/out"; then
  echo "FAIL: expected ${#good[@]} symbols counted:"; cat "$work/out"
  failures=$((failures + 1))
fi

for sym in "${bad[@]}"; do
  { printf '%s\n' "${good[@]}"; echo "$sym"; } >"$work/list.txt"
  if "${checker[@]}" --symbols "$work/list.txt" "$work/root" >"$work/out" 2>&1; then
    echo "FAIL: accepted $sym"
    failures=$((failures + 1))
  elif ! grep -qF -- "$sym" "$work/out" || [[ $(grep -c '^    [^ ]' "$work/out" || true) -gt 1 ]]; then
    echo "FAIL: $sym rejected, but the report does not name exactly it:"; cat "$work/out"
    failures=$((failures + 1))
  fi
done

# An empty table means the library was not built or not found.
: >"$work/empty.txt"
if "${checker[@]}" --symbols "$work/empty.txt" "$work/root" >/dev/null 2>&1; then
  echo "FAIL: an empty symbol table was accepted"
  failures=$((failures + 1))
fi

# A real library: its names must carry a TARNCOLL_ version node.  Built
# from the made-up headers, once with a version script and once without.
cxx=${CXX:-c++}
versioned_checks=0
if command -v "$cxx" >/dev/null; then
  printf '#include "util/base.h"\n#include "cpcoll/node.h"\nBase::~Base() {}\nvoid FreeFunction(int) {}\n' >"$work/lib.cpp"
  printf 'TARNCOLL_1.0 { global: *; };\n' >"$work/lib.map"
  "$cxx" -shared -fPIC -fvisibility=hidden -I"$work/root" -o "$work/versioned.so" "$work/lib.cpp" \
    -Wl,--version-script="$work/lib.map"
  "$cxx" -shared -fPIC -fvisibility=hidden -I"$work/root" -o "$work/plain.so" "$work/lib.cpp"
  if ! "${checker[@]}" "$work/versioned.so" "$work/root" >"$work/out" 2>&1; then
    echo "FAIL: a library with a TARNCOLL_1.0 node was rejected:"; cat "$work/out"
    failures=$((failures + 1))
  fi
  if "${checker[@]}" "$work/plain.so" "$work/root" >"$work/out" 2>&1 || ! grep -q "without a TARNCOLL_ version" "$work/out"; then
    echo "FAIL: a library without version nodes was not rejected for it:"; cat "$work/out"
    failures=$((failures + 1))
  fi
  versioned_checks=2
fi

echo "check_exports self-test: ${#good[@]} public forms, ${#bad[@]} internal forms, $versioned_checks version checks, $failures failures"
[[ $failures -eq 0 ]]
