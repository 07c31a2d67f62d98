// Model of CrTree with numeric keys: a std::map in unsigned key order of
// counted objects, each holding the references the model expects, with
// steps whose callbacks or reference calls throw and steps whose
// allocations fail.
#ifndef TARNCOLL_TESTS_MODEL_CRTREE_MODEL_H
#define TARNCOLL_TESTS_MODEL_CRTREE_MODEL_H

#include <map>
#include <utility>
#include <vector>

#include <cpcoll/crtree.h>

#include "model/cr_models.h"
#include "model/harness.h"
#include "model/tree_model.h"
#include "support/crtree_inspector.h"

namespace tarncoll::test::model {

class CrTreeModel : public ModelBase {
 public:
  void Step(OpSource& src) {
    Counted* p = objs.Pick(src);
    static const long anKeys[] = {0, 1, 2, 3, 5, 7, 9, 11, -1, 0x7FFFFFFF, -2147483647L - 1, -2};
    long n = anKeys[src.Pick(sizeof anKeys / sizeof anKeys[0])];
    unsigned long k =
        n == -1 ? reinterpret_cast<unsigned long>(static_cast<Createable*>(p)) : static_cast<unsigned long>(n);
    unsigned op = src.Pick(14);
    switch (op) {
      case 0:
      case 1:
      case 2:
        AddKeyNum(n, k, p);
        break;
      case 3:
      case 4: {
        auto i = m.find(static_cast<unsigned long>(n));
        if (!bKind) {  // a new tree has no key kind: removals by key report
          Op("remove before the kind is fixed");
          TM_REPORTS(crt.DetachKeyNum(n), "etdsState == etreeNumber");
          TM_REPORTS(crt.RemoveKeyNum(n), "etdsState == etreeNumber");
          break;
        }
        if (src.Chance(3)) {
          Op("DetachKeyNum");
          crt.DetachKeyNum(n);
          if (i != m.end()) {  // the reference passes to us: give it back
            objs.Held(i->second, -1);
            i->second->Release();
            m.erase(i);
          }
        } else {
          Op("RemoveKeyNum");
          TM_EQ(crt.RemoveKeyNum(n), i != m.end() ? 1 : 0);
          if (i != m.end()) {
            objs.Held(i->second, -1);
            m.erase(i);
          }
        }
        break;
      }
      case 5:
        if (!src.Chance(6)) break;
        Op("RemoveAll");
        crt.RemoveAll();
        for (auto& kv : m) objs.Held(kv.second, -1);
        m.clear();
        break;
      case 6: {
        Op("Find / Exists / operator[]");
        auto i = m.find(static_cast<unsigned long>(n));
        Createable* pExpected = i == m.end() ? nullptr : i->second;
        if (!bKind) TM_REPORTS(crt.FindKeyNum(n), "etdsState == etreeNumber");
        TM_EQ(crt.ExistsKeyNum(n), pExpected ? 1 : 0);  // fixes the kind
        bKind = true;
        TM_EQ(crt.FindKeyNum(n), pExpected);
        TM_EQ(crt[static_cast<unsigned long>(n)], static_cast<void*>(pExpected));
        break;
      }
      case 7: {
        Op("walks");
        std::vector<void*> v = Items();
        TM_EQ(WalkOf(crt), v);
        TM_EQ(CursorWalk(crt), v);
        std::vector<void*> back;
        crt.GotoBottom();
        for (Createable* pc = crt.Retrieve(); pc && back.size() <= v.size(); pc = crt.Retrieve()) {
          back.push_back(pc);
          crt.Prev();
        }
        TM_EQ(std::vector<void*>(back.rbegin(), back.rend()), v);
        auto f = std::find(v.begin(), v.end(), static_cast<void*>(static_cast<Createable*>(p)));
        TM_EQ(static_cast<void*>(crt.FirstThat(&IsUser, static_cast<Createable*>(p))), f == v.end() ? nullptr : *f);
        break;
      }
      case 8: {
        Op("node walks");
        Seen().clear();
        crt.ForEachInternalContainer(&Record, nullptr);
        std::vector<void*> v = Items();
        TM_EQ(Seen().size(), v.size());
        for (std::size_t i = 0; i < v.size(); ++i) TM_EQ(AsLeaf(Seen()[i])->pvData, v[i]);
        Seen().clear();
        Createable* pcr = crt.FirstThatInternalContainer(&NodeHoldsUser, static_cast<Createable*>(p));
        auto f = std::find(v.begin(), v.end(), static_cast<void*>(static_cast<Createable*>(p)));
        TM_EQ(pcr ? dynamic_cast<Leaf*>(pcr)->pvData : nullptr, f == v.end() ? nullptr : *f);
        break;
      }
      case 9:
        Op("unsupported / null object");
        switch (src.Pick(3)) {
          case 0:
            TM_REPORTS(crt.AllThatInternalContainer(&IsUser, nullptr), "1==0");
            break;
          case 1:
            TM_REPORTS(crt.ForEach([](void*, void*, void*) {}, nullptr), "1==0");
            break;
          default:
            if (m.find(777) == m.end()) TM_REPORTS(crt.AddKeyNum(777, nullptr), "pcrEntry");
            bKind = true;  // its existence test fixed the kind first
            break;
        }
        break;
      case 10:
        Copy(src);
        break;
      case 11:
        Throwing(p, n, src);
        break;
      case 12:
        FailingAllocation(p, n, k, src);
        break;
      default:
        Op("Length");
        TM_EQ(crt.Length(), m.size());
        break;
    }
  }
  void Check() {
    TM_INV(CrTreeInspector::Check(crt));
    TM_EQ(crt.Length(), m.size());
    objs.Check();
  }

 private:
  std::vector<void*> Items() const {
    std::vector<void*> v;
    for (auto& kv : m) v.push_back(static_cast<void*>(kv.second));
    return v;
  }
  // Adds under n, which keys p as k.
  void AddKeyNum(long n, unsigned long k, Counted* p) {
    Op("AddKeyNum");
    bool bAdd = m.find(k) == m.end();
    TM_EQ(crt.AddKeyNum(n, p), bAdd ? 1 : 0);
    bKind = true;
    if (bAdd) {
      m[k] = p;
      objs.Held(p, 1);
    }
  }
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CrTree copy(crt);
      ObjectPool::Holding held(objs, Items());
      TM_INV(CrTreeInspector::Check(copy));
      TM_EQ(WalkOf(copy), Items());
      objs.Check();
      return;
    }
    Op("operator=");
    const Adds adds = PickAdds(src);
    CrTree other;
    std::map<unsigned long, Createable*> mo = Fill(other, adds);
    crt = other;
    Assigned(other, mo);
  }
  // Up to 4 objects and keys for a tree of the step's own, picked before
  // anything is made, so that a failed allocation leaves the source in step.
  typedef std::vector<std::pair<Counted*, unsigned long>> Adds;
  Adds PickAdds(OpSource& src) {
    Adds adds;
    for (unsigned c = src.Pick(5); c; --c) {
      Counted* pc = objs.Pick(src);
      adds.emplace_back(pc, src.Pick(20));
    }
    return adds;
  }
  static std::map<unsigned long, Createable*> Fill(CrTree& other, const Adds& adds) {
    std::map<unsigned long, Createable*> mo;
    for (auto& a : adds)
      if (other.AddKeyNum(static_cast<long>(a.second), a.first)) mo[a.second] = a.first;
    return mo;
  }
  void Assigned(CrTree& other, const std::map<unsigned long, Createable*>& mo) {
    bKind = CrTreeInspector::Tree(crt)->_get_etdsState() != etreeNone;
    TM_EQ(bKind, CrTreeInspector::Tree(other)->_get_etdsState() != etreeNone);
    for (auto& kv : m) objs.Held(kv.second, -1);
    m = mo;
    for (auto& kv : m) objs.Held(kv.second, 1);
  }

  // ---- caller code that throws ----
  // The objects' Release throwing in a removal: the nodes whose objects
  // were handed to it (the one whose call threw included) have left, in
  // key order, and the others stay with their references; the object whose
  // Release threw still carries the tree's reference.  AddRef throwing in
  // an add: nothing stored; in a copy or an assignment: no copy, no extra
  // reference, the target as it was.  A condition or an action throwing: the nodes as they were.
  void Throwing(Counted* p, long n, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(8));
    const std::vector<void*> before = Items();
    const long nAll = static_cast<long>(before.size());
    const std::vector<void*> prefix(before.begin(), before.begin() + std::min(k, nAll));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(7)) {
      case 6: {
        // The add takes its reference after storing: when AddRef throws,
        // the node leaves again (also one keyed by the object's address).
        Op("AddKeyNum, AddRef throws");
        const unsigned long key =
            n == -1 ? reinterpret_cast<unsigned long>(static_cast<Createable*>(p)) : static_cast<unsigned long>(n);
        const bool bAdd = m.find(key) == m.end();
        short nResult = -1;
        threw = TM_REF_THROWS_AT(eTickAddRef, k, nResult = crt.AddKeyNum(n, p));
        bKind = true;  // the add fixed the kind before it stored
        TM_EQ(threw, bAdd && k == 1);
        if (!threw) {
          TM_EQ(nResult, bAdd ? 1 : 0);
          if (bAdd) {
            m[key] = p;
            objs.Held(p, 1);
          }
        }
        break;
      }
      case 0: {
        Op("RemoveAll, Release throws");
        threw = TM_REF_THROWS_AT(eTickRelease, k, crt.RemoveAll());
        TM_EQ(threw, k <= nAll);
        TM_EQ(Seen(), prefix);
        for (std::size_t i = 0; i < prefix.size(); ++i) {
          if (!threw || i + 1 < prefix.size()) objs.Held(m.begin()->second, -1);
          m.erase(m.begin());
        }
        if (threw) objs.Stray(static_cast<Createable*>(prefix.back()));
        break;
      }
      case 1: {
        if (!bKind) return;
        Op("RemoveKeyNum, Release throws");
        auto i = m.find(static_cast<unsigned long>(n));
        short nResult = -1;
        threw = TM_REF_THROWS_AT(eTickRelease, k, nResult = crt.RemoveKeyNum(n));
        TM_EQ(threw, i != m.end() && k == 1);
        if (!threw) TM_EQ(nResult, i != m.end() ? 1 : 0);
        if (i == m.end()) break;
        TM_EQ(Seen(), std::vector<void*>{static_cast<void*>(i->second)});
        Createable* pcr = i->second;
        m.erase(i);
        if (threw)
          objs.Stray(pcr);
        else
          objs.Held(pcr, -1);
        break;
      }
      case 2:
        Op("copy constructor, AddRef throws");
        threw = TM_REF_THROWS_AT(eTickAddRef, k, CrTree copy(crt));
        TM_EQ(threw, k <= nAll);
        break;
      case 3: {
        Op("operator=, AddRef throws");
        const Adds adds = PickAdds(src);
        CrTree other;
        std::map<unsigned long, Createable*> mo = Fill(other, adds);
        threw = TM_REF_THROWS_AT(eTickAddRef, k, crt = other);
        TM_EQ(threw, k <= static_cast<long>(mo.size()));
        if (!threw) Assigned(other, mo);
        break;
      }
      case 4:
        Op("ForEach, action throws");
        threw = TM_THROWS_AT(k, crt.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= nAll);
        TM_EQ(Seen(), prefix);
        break;
      default: {
        Op("FirstThat, condition throws");
        long nAsked = std::find(before.begin(), before.end(), static_cast<void*>(static_cast<Createable*>(p))) -
                      before.begin();
        threw = TM_THROWS_AT(k, crt.FirstThat(&IsUser, static_cast<Createable*>(p)));
        TM_EQ(threw, k <= std::min(nAsked + 1, nAll));
        break;
      }
    }
    Seen().clear();
  }

  // ---- allocations that fail ----
  // An add, a copy or an assignment whose nth library allocation fails
  // completes, or ends in its report with the nodes and every reference as
  // they were (an add's existence test has fixed the key kind by then).
  void FailingAllocation(Counted* p, long n, unsigned long k, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(4));
    const bool bAdd = src.Chance(2);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      if (bAdd)
        AddKeyNum(n, k, p);
      else
        Copy(src);
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
    if (!done && bAdd) bKind = true;
  }

  ObjectPool objs;  // outlives crt: declared first
  CrTree crt;
  std::map<unsigned long, Createable*> m;
  bool bKind = false;  // the wrapped tree's key kind is fixed
};

}  // namespace tarncoll::test::model

#endif
