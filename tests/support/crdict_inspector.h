// Test support: O(n) invariant check of a CrDictionary, through its friend.
#ifndef TARNCOLL_TESTS_SUPPORT_CRDICT_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_CRDICT_INSPECTOR_H

#include <gtest/gtest.h>

#include <map>

#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>

struct CrDictionaryInspector {
  static CPDictionary* Wrapped(const CrDictionary& crdct) { return crdct.pdctThe; }

  // The wrapped dictionary exists and carries our one reference; Length()
  // counts the entries; no entry holds null; every object carries at least
  // one reference per entry that holds it.
  static ::testing::AssertionResult Check(const CrDictionary& crdct) {
    CPDictionary* pdct = crdct.pdctThe;
    if (pdct == nullptr) return ::testing::AssertionFailure() << "no wrapped dictionary";
    if (pdct->_get_nRefCount() != 1)
      return ::testing::AssertionFailure() << "wrapped dictionary has " << pdct->_get_nRefCount() << " references";
    struct Tally {
      std::map<Createable*, unsigned> entries;
      unsigned long n = 0;
      bool bNull = false;
    } tally;
    pdct->ForEachInternalContainer([](void* pvEntry, void* pvUser) {
      Tally* pt = static_cast<Tally*>(pvUser);
      Createable* pcr = static_cast<Createable*>(static_cast<CPDictionaryAssociation*>(pvEntry)->GetValue());
      ++pt->n;
      if (pcr == nullptr) pt->bNull = true;
      else ++pt->entries[pcr];
    }, &tally);
    if (tally.bNull) return ::testing::AssertionFailure() << "an entry holds null";
    if (tally.n != crdct.Length())
      return ::testing::AssertionFailure() << tally.n << " entries, Length() " << crdct.Length();
    for (const auto& kv : tally.entries)
      if (kv.first->_get_nRefCount() < kv.second)
        return ::testing::AssertionFailure() << "object held by " << kv.second << " entries has "
                                             << kv.first->_get_nRefCount() << " references";
    return ::testing::AssertionSuccess();
  }
};

#endif
