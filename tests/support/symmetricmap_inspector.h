// Test support: O(n) invariant check of a CPSymmetricMap, through its
// friend: both indexes hold the same mappings, each under its own text.
#ifndef TARNCOLL_TESTS_SUPPORT_SYMMETRICMAP_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_SYMMETRICMAP_INSPECTOR_H

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <cpcoll/CPSymmetricMap.h>
#include <cpcoll/Cpdict.h>

#include "support/crdict_inspector.h"
#include "support/crlist_inspector.h"

struct CPSymmetricMapInspector {
  // The mappings of one index: pair -> number of times it is held there.
  // bSideA selects which text of a pair must equal its entry's key.
  static ::testing::AssertionResult Collect(CrDictionary& crdct, bool bSideA, std::map<MapKeyPair*, int>& pairs) {
    ::testing::AssertionResult r = CrDictionaryInspector::Check(crdct);
    if (!r) return r;
    struct Ctx {
      bool bSideA;
      std::map<MapKeyPair*, int>* ppairs;
      std::string error;
    } ctx{bSideA, &pairs, ""};
    crdct.ForEachInternalContainer([](void* pvEntry, void* pvUser) {
      Ctx* pctx = static_cast<Ctx*>(pvUser);
      CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(pvEntry);
      if (!pda->_get_bUseString() || pda->_get_pstrKey() == nullptr) {
        pctx->error = "an entry without a key text";
        return;
      }
      std::string key = pda->_get_pstrKey()->GetBuffer();
      Createable* pcr = static_cast<Createable*>(pda->GetValue());
      std::vector<MapKeyPair*> held;
      if (MapKeyPair* pmkp = dynamic_cast<MapKeyPair*>(pcr)) {
        held.push_back(pmkp);
      } else if (CrList* pcrlst = dynamic_cast<CrList*>(pcr)) {
        if (!CrListInspector::Check(*pcrlst)) pctx->error = "a broken list under " + key;
        if (pcrlst->Length() < 2) pctx->error = "a list of fewer than two pairs under " + key;
        for (unsigned long i = 0; i < pcrlst->Length(); ++i) {
          MapKeyPair* pmkp = dynamic_cast<MapKeyPair*>(pcrlst->RetrieveIDX(i));
          if (pmkp == nullptr) pctx->error = "a list member that is no pair under " + key;
          else held.push_back(pmkp);
        }
      } else {
        pctx->error = "an entry that is neither pair nor list under " + key;
      }
      for (MapKeyPair* pmkp : held) {
        std::string text = (pctx->bSideA ? pmkp->_get_strA() : pmkp->_get_strB()).GetBuffer();
        if (text.empty()) text = "UnNamed";
        if (text != key) pctx->error = "pair with text " + text + " under key " + key;
        ++(*pctx->ppairs)[pmkp];
      }
    }, &ctx);
    if (!ctx.error.empty()) return ::testing::AssertionFailure() << ctx.error;
    return ::testing::AssertionSuccess();
  }

  // Every mapping is held exactly once by each index, and carries at least
  // those two references.
  static ::testing::AssertionResult Check(CPSymmetricMap& map) {
    std::map<MapKeyPair*, int> a, b;
    ::testing::AssertionResult r = Collect(map.crdctA, true, a);
    if (!r) return r << " (index A)";
    r = Collect(map.crdctB, false, b);
    if (!r) return r << " (index B)";
    if (a != b) return ::testing::AssertionFailure() << "the indexes hold different mappings";
    for (const auto& kv : a) {
      if (kv.second != 1) return ::testing::AssertionFailure() << "a pair held twice by one index";
      if (kv.first->_get_nRefCount() < 2)
        return ::testing::AssertionFailure() << "a pair with " << kv.first->_get_nRefCount() << " references";
    }
    return ::testing::AssertionSuccess();
  }

  static size_t Mappings(CPSymmetricMap& map) {
    std::map<MapKeyPair*, int> a;
    Collect(map.crdctA, true, a);
    return a.size();
  }

  // The index entry under a text of side A or B (borrowed), or null.
  static Createable* EntryA(CPSymmetricMap& map, const char* psz) { return map.crdctA.FindKeyString(psz, nullptr); }
  static Createable* EntryB(CPSymmetricMap& map, const char* psz) { return map.crdctB.FindKeyString(psz, nullptr); }
};

#endif
