#!/usr/bin/env bash
# Checks the dynamic symbol table of libtarncoll.so: only the public classes
# and the exported free functions and data may be visible.
#
#   check_exports.sh LIBRARY SOURCE_ROOT
#   check_exports.sh --symbols FILE SOURCE_ROOT   (one mangled name a line)
#
# NM names the nm program to use (default: nm).  A LIBRARY's symbols must
# also carry a TARNCOLL_x.y version node.
#
# What is public is read from the installed headers (SOURCE_ROOT/cpcoll/*.h
# and SOURCE_ROOT/util/*.h): every `class|struct TARNCOLL_API Name`, and
# every other declaration carrying TARNCOLL_API (a free function or datum).
#
# Allowed: members of an exported class (also templates, thunks, guard
# variables and local statics inside them), its vtable, VTT, typeinfo and
# typeinfo name, and the exported free names.  Rejected, among others:
# anything in an anonymous namespace (helpers, the CRC tables), standard
# library code instantiated in the library, `detail` functions, free
# helpers and data not declared TARNCOLL_API, and the internals of classes
# that are not exported.  Exits 1 on any rejected symbol.
set -euo pipefail

usage() {
  echo "usage: $0 LIBRARY SOURCE_ROOT | --symbols FILE SOURCE_ROOT" >&2
  exit 2
}

if [[ $# -eq 2 ]]; then
  lib=$1 root=$2
  [[ -f $lib ]] || { echo "no such library: $lib" >&2; exit 2; }
  listing=$("${NM:-nm}" -D --defined-only "$lib" | awk '{print $NF}')
  # A version definition is listed as an absolute symbol named after it.
  listing=$(grep -v -E '^TARNCOLL_[0-9]+(\.[0-9]+)*(@@?TARNCOLL_[0-9.]+)?$' <<<"$listing" || true)
  # Every exported name carries a version of the library's own.
  unversioned=$(grep -v -E '@@?TARNCOLL_[0-9]+(\.[0-9]+)*$' <<<"$listing" || true)
  symbols=$(sed 's/@.*//' <<<"$listing")
  what=$lib
elif [[ $# -eq 3 && $1 == --symbols ]]; then
  symbols=$(grep -v '^[[:space:]]*$' "$2" || true)
  root=$3
  what=$2
else
  usage
fi

shopt -s nullglob
headers=("$root"/cpcoll/*.h "$root"/util/*.h)
shopt -u nullglob
[[ ${#headers[@]} -gt 0 ]] || { echo "no public headers under $root" >&2; exit 2; }

# Public names from the headers, comments and preprocessor lines removed.
decls=$(sed -e 's://.*$::' -e '/^[[:space:]]*#/d' "${headers[@]}" | grep 'TARNCOLL_API' || true)
declare -A exported_class=() exported_free=()
re_class='(class|struct)[[:space:]]+TARNCOLL_API[[:space:]]+([A-Za-z_][A-Za-z0-9_]*)'
re_operator='(operator[^[:alnum:][:space:](_]+)[[:space:]]*[(]'
re_function='([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*[(]'
re_datum='([A-Za-z_][A-Za-z0-9_]*)[[:space:]]*(\[[^]]*\])?[[:space:]]*[=;{]'
while IFS= read -r line; do
  if [[ $line =~ $re_class ]]; then
    exported_class[${BASH_REMATCH[2]}]=1
  elif [[ $line =~ $re_operator ]]; then
    exported_free[${BASH_REMATCH[1]}]=1
  elif [[ $line =~ $re_function ]]; then
    exported_free[${BASH_REMATCH[1]}]=1
  elif [[ $line =~ $re_datum ]]; then
    exported_free[${BASH_REMATCH[1]}]=1
  fi
done <<<"$decls"
[[ ${#exported_class[@]} -gt 0 ]] || { echo "found no exported class in the headers under $root" >&2; exit 2; }

# Spellings of the free operators that may be declared TARNCOLL_API.
declare -A opname=(
  [eq]='operator==' [ne]='operator!=' [lt]='operator<' [gt]='operator>' [le]='operator<=' [ge]='operator>='
  [ls]='operator<<' [rs]='operator>>' [pl]='operator+' [mi]='operator-' [ml]='operator*' [dv]='operator/'
  [nw]='operator new' [na]='operator new[]' [dl]='operator delete' [da]='operator delete[]'
)

# Classifies one mangled name.  Sets `verdict` to "ok" or to the reason it
# is rejected.
reason=''
classify_nested() {  # $1: text right after the N of a nested name
  local s=$1 comp len
  s=${s#L}
  [[ $s =~ ^[rVK]*[RO]?(.*)$ ]] && s=${BASH_REMATCH[1]}
  if [[ $s == S[tabsiod]* ]]; then reason='standard library code'; return; fi
  while [[ $s =~ ^L?([0-9]+)(.*)$ ]]; do
    len=${BASH_REMATCH[1]}
    comp=${BASH_REMATCH[2]:0:len}
    s=${BASH_REMATCH[2]:len}
    if [[ $comp == _GLOBAL__N* ]]; then reason='anonymous namespace'; return; fi
    if [[ $comp == detail ]]; then reason='detail function'; return; fi
    if [[ -n ${exported_class[$comp]:-} ]]; then reason=ok; return; fi
    # A plain name followed by the parameters: the function itself.
    if [[ -n ${exported_free[$comp]:-} && ! $s =~ ^L?[0-9] ]]; then reason=ok; return; fi
  done
  reason='not a member of an exported class'
}

classify_encoding() {  # $1: a mangled <encoding> (the part after _Z)
  local s=$1 len name
  if [[ $s == Z* ]]; then classify_encoding "${s#Z}"; return; fi  # local static
  if [[ $s == N* ]]; then classify_nested "${s#N}"; return; fi
  if [[ $s == S[tabsiod]* ]]; then reason='standard library code'; return; fi
  if [[ $s =~ ^L?([0-9]+)(.*)$ ]]; then
    len=${BASH_REMATCH[1]}
    name=${BASH_REMATCH[2]:0:len}
    if [[ -n ${exported_class[$name]:-} ]]; then reason=ok  # a type, e.g. after _ZTV
    elif [[ -n ${exported_free[$name]:-} ]]; then reason=ok
    else reason='free name not declared TARNCOLL_API'
    fi
    return
  fi
  if [[ $s =~ ^([a-z][a-z]) && -n ${opname[${BASH_REMATCH[1]}]:-} ]]; then
    if [[ -n ${exported_free[${opname[${BASH_REMATCH[1]}]}]:-} ]]; then reason=ok
    else reason='free operator not declared TARNCOLL_API'
    fi
    return
  fi
  reason='unrecognised name'
}

classify() {  # $1: a symbol as listed by nm
  local s=$1
  case $s in
    _init | _fini | _edata | _end | __bss_start) reason=ok; return ;;  # linker-defined
  esac
  if [[ $s != _Z* ]]; then
    # Sanitizer bookkeeping in instrumented builds.
    if [[ $s == __asan_* || $s == __odr_asan* || $s == __ubsan_* || $s == __sancov* ]]; then reason=ok; return; fi
    if [[ -n ${exported_free[$s]:-} ]]; then reason=ok; else reason='C-linkage name not declared TARNCOLL_API'; fi
    return
  fi
  s=${s#_Z}
  case $s in
    T[VIST]*) classify_encoding "${s:2}" ;;             # vtable, typeinfo, typeinfo name, VTT
    TC*) classify_encoding "${s:2}" ;;                  # construction vtable: the complete class
    TH* | TW*) classify_encoding "${s:2}" ;;            # thread-local init and wrapper
    Th*)                                                # non-virtual thunk
      [[ $s =~ ^Thn?[0-9]+_(.*)$ ]] && classify_encoding "${BASH_REMATCH[1]}" || reason='unrecognised thunk' ;;
    Tv*)                                                # virtual thunk
      [[ $s =~ ^Tvn?[0-9]+_n?[0-9]+_(.*)$ ]] && classify_encoding "${BASH_REMATCH[1]}" || reason='unrecognised thunk' ;;
    Tc*)                                                # covariant return thunk
      [[ $s =~ ^Tc(h|v)n?[0-9]+_(n?[0-9]+_)?(h|v)n?[0-9]+_(n?[0-9]+_)?(.*)$ ]] &&
        classify_encoding "${BASH_REMATCH[5]}" || reason='unrecognised thunk' ;;
    GV* | GR*) classify_encoding "${s:2}" ;;            # guard variable, reference temporary
    *) classify_encoding "$s" ;;
  esac
}

count=0
bad=()
while IFS= read -r sym; do
  [[ -z $sym ]] && continue
  count=$((count + 1))
  classify "$sym"
  [[ $reason == ok ]] || bad+=("$sym	$reason")
done <<<"$symbols"

echo "$what: $count exported symbols; ${#exported_class[@]} exported classes, ${#exported_free[@]} exported free names in the headers"
if [[ -n ${unversioned:-} ]]; then
  echo "exported symbols without a TARNCOLL_ version:" >&2
  sed 's/^/  /' <<<"$unversioned" >&2
  exit 1
fi
if [[ $count -eq 0 ]]; then
  echo "no exported symbols at all" >&2
  exit 1
fi
if [[ ${#bad[@]} -gt 0 ]]; then
  echo "internal symbols in the dynamic symbol table:" >&2
  for entry in "${bad[@]}"; do
    sym=${entry%%	*}
    printf '  %s  [%s]\n    %s\n' "$(c++filt "$sym")" "${entry#*	}" "$sym" >&2
  done
  exit 1
fi
