#!/usr/bin/env bash
# Shows that check_report_texts.pl notices drift both ways: a report text
# changed in a source, and a text dropped from a contract block, each in a
# scratch copy of the tree.
#
#   check_report_texts_selftest.sh SOURCE_ROOT
set -euo pipefail
root=$1
check=$root/tests/check_report_texts.pl
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fresh() {
  rm -rf "$work/t" && mkdir -p "$work/t" && cp -r "$root/cpcoll" "$root/util" "$work/t/"
}
expect_fail() {  # name, text the report must contain
  if out=$(perl "$check" "$work/t"); then
    echo "selftest: $1: the check passed" >&2
    exit 1
  fi
  grep -qF -- "$2" <<<"$out" || { echo "selftest: $1: no line with '$2' in:"$'\n'"$out" >&2; exit 1; }
  echo "selftest: $1: rejected"
}

fresh
perl "$check" "$work/t" >/dev/null || { echo "selftest: the unchanged copy fails" >&2; exit 1; }

fresh
sed -i 's/"pvItem2Find !=0"/"pvItem2Find != 0"/' "$work/t/cpcoll/cplist.cpp"
expect_fail "text changed in a source" 'Assert "pvItem2Find != 0" (source cpcoll/cplist) is not listed'

fresh
sed -i 's/FailIfNIL "arpvNew", "parrReturn"/FailIfNIL "parrReturn"/' "$work/t/cpcoll/CpArray.h"
expect_fail "text dropped from a contract block" 'FailIfNIL "arpvNew" (source cpcoll/cparray) is not listed'

fresh
sed -i 's/FailIfNIL "arpvNew", "parrReturn"/FailIfNIL "arpvNew", "parrReturn", "pvGone"/' "$work/t/cpcoll/CpArray.h"
expect_fail "text listed that nothing reports" 'lists FailIfNIL "pvGone" of source cpcoll/cparray'
