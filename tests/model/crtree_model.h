// Model of CrTree with numeric keys: a std::map in unsigned key order of
// counted objects, each holding the references the model expects.
#ifndef TARNCOLL_TESTS_MODEL_CRTREE_MODEL_H
#define TARNCOLL_TESTS_MODEL_CRTREE_MODEL_H

#include <map>
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
      case 2: {
        Op("AddKeyNum");
        bool bAdd = m.find(k) == m.end();
        TM_EQ(crt.AddKeyNum(n, p), bAdd ? 1 : 0);
        bKind = true;
        if (bAdd) {
          m[k] = p;
          objs.Held(p, 1);
        }
        break;
      }
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
        if (src.Chance(2)) {
          Op("copy constructor");
          CrTree copy(crt);
          for (auto& kv : m) objs.Held(kv.second, 1);
          TM_INV(CrTreeInspector::Check(copy));
          TM_EQ(WalkOf(copy), Items());
          objs.Check();
          for (auto& kv : m) objs.Held(kv.second, -1);
        } else {
          Op("operator=");
          CrTree other;
          std::map<unsigned long, Createable*> mo;
          for (unsigned c = src.Pick(5); c; --c) {
            Counted* pc = objs.Pick(src);
            unsigned long key = src.Pick(20);
            if (other.AddKeyNum(static_cast<long>(key), pc)) mo[key] = pc;
          }
          crt = other;
          bKind = CrTreeInspector::Tree(crt)->_get_etdsState() != etreeNone;
          TM_EQ(bKind, CrTreeInspector::Tree(other)->_get_etdsState() != etreeNone);
          for (auto& kv : m) objs.Held(kv.second, -1);
          m = mo;
          for (auto& kv : m) objs.Held(kv.second, 1);
        }
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

  ObjectPool objs;  // outlives crt: declared first
  CrTree crt;
  std::map<unsigned long, Createable*> m;
  bool bKind = false;  // the wrapped tree's key kind is fixed
};

}  // namespace tarncoll::test::model

#endif
