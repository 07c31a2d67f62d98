// Models of the reference-holding collections CrList and CrDictionary and
// of the symmetric map.  The objects are counted Createables; the models
// know how many references each must carry and check them after every
// step, so a lost or extra AddRef/Release shows at once.
#ifndef TARNCOLL_TESTS_MODEL_CR_MODELS_H
#define TARNCOLL_TESTS_MODEL_CR_MODELS_H

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <cpcoll/CPSymmetricMap.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <util/CPString.h>

#include "model/dictionary_model.h"
#include "model/harness.h"
#include "support/counted.h"
#include "support/crdict_inspector.h"
#include "support/crlist_inspector.h"
#include "support/symmetricmap_inspector.h"

namespace tarncoll::test::model {

// A pool of counted objects, each holding one reference of the pool's own,
// and the references every object must carry besides.
class ObjectPool {
 public:
  enum { kObjects = 12 };
  ObjectPool() {
    PoolObjects() += kObjects;
    for (int i = 0; i < kObjects; ++i) {
      apObj[i] = new Counted(i);
      apObj[i]->AddRef();
      anHeld[i] = 0;
    }
  }
  ~ObjectPool() {
    for (Counted* p : apObj) p->Release();
    PoolObjects() -= kObjects;
  }
  ObjectPool(const ObjectPool&) = delete;
  ObjectPool& operator=(const ObjectPool&) = delete;

  Counted* Pick(OpSource& src) { return apObj[src.Pick(kObjects)]; }
  Counted* At(int i) { return apObj[i]; }
  void Held(Createable* p, int nDelta) { anHeld[static_cast<Counted*>(p)->Id()] += nDelta; }
  // Every object carries the pool's reference plus those it is held by,
  // and the only live counted objects are the pools' (none destroyed, no
  // copy left behind).
  void Check() const {
    for (int i = 0; i < kObjects; ++i) {
      if (apObj[i]->_get_nRefCount() != 1 + anHeld[i])
        Fail(__FILE__, __LINE__,
             "object " + std::to_string(i) + " has " + std::to_string(apObj[i]->_get_nRefCount()) +
                 " references, the model says " + std::to_string(1 + anHeld[i]));
    }
    TM_EQ(Counted::Live(), PoolObjects());
  }

 private:
  // The objects of all pools alive at the moment.
  static int& PoolObjects() {
    static int n = 0;
    return n;
  }
  Counted* apObj[kObjects];
  int anHeld[kObjects];
};

// The objects of a reference collection through its callback walk.
template <class C>
std::vector<void*> WalkOf(C& c) {
  Seen().clear();
  c.ForEach(&Record, nullptr);
  std::vector<void*> v = Seen();
  Seen().clear();
  return v;
}
// Its objects by the built-in cursor, forwards.
template <class C>
std::vector<void*> CursorWalk(C& c) {
  std::vector<void*> v;
  c.GotoTop();
  for (Createable* p = c.Retrieve(); p && v.size() <= c.Length(); p = c.Retrieve()) {
    v.push_back(p);
    c.Next();
  }
  return v;
}

class CrListModel : public ModelBase {
 public:
  void Step(OpSource& src) {
    Counted* p = objs.Pick(src);
    unsigned op = src.Pick(16);
    if (items.size() > 30 && op < 4) op += 4;
    switch (op) {
      case 0:
      case 1:
      case 2:
        Op("Add");
        crl.Add(p);
        items.push_back(p);
        objs.Held(p, 1);
        ++xact;
        break;
      case 4:
      case 5: {
        Op("Remove");
        auto i = std::find(items.begin(), items.end(), p);
        TM_EQ(crl.Remove(p), i != items.end() ? 1 : 0);
        if (i != items.end()) {
          items.erase(i);
          objs.Held(p, -1);
          ++xact;
        }
        break;
      }
      case 6:
        if (!src.Chance(6)) break;
        Op("RemoveAll");
        crl.RemoveAll();
        for (void* pv : items) objs.Held(static_cast<Createable*>(pv), -1);
        items.clear();
        ++xact;
        break;
      case 7: {
        Op("RetrieveIDX");
        unsigned long i = src.Pick(static_cast<unsigned>(items.size()) + 2);
        TM_EQ(static_cast<void*>(crl.RetrieveIDX(i)), i < items.size() ? items[i] : nullptr);
        break;
      }
      case 8: {
        Op("FirstThat");
        auto i = std::find(items.begin(), items.end(), p);
        TM_EQ(static_cast<void*>(crl.FirstThat(&IsUser, p)), i != items.end() ? p : nullptr);
        if (!items.empty()) {
          bSearch = true;
          nSearch = i - items.begin();
          nSearchSnap = xact;
        }
        break;
      }
      case 9: {
        Op("NextThat");
        if (bSearch && nSearchSnap != xact) {
          TM_STALE(crl.NextThat(&IsUser, p));
          break;
        }
        long nFrom =
            bSearch ? std::min<long>(nSearch + 1, static_cast<long>(items.size())) : static_cast<long>(items.size());
        auto i = std::find(items.begin() + nFrom, items.end(), p);
        TM_EQ(static_cast<void*>(crl.NextThat(&IsUser, p)), i != items.end() ? p : nullptr);
        if (bSearch) nSearch = i - items.begin();
        break;
      }
      case 10:
        Op("walks");
        TM_EQ(WalkOf(crl), items);
        TM_EQ(CursorWalk(crl), items);
        crl.GotoBottom();
        TM_EQ(static_cast<void*>(crl.Retrieve()), items.empty() ? nullptr : items.back());
        TM_EQ(crl.Prev(), items.size() > 1 ? 1 : 0);
        break;
      case 11:
        if (src.Chance(2)) {
          Op("copy constructor");
          CrList copy(crl);
          for (void* pv : items) objs.Held(static_cast<Createable*>(pv), 1);
          TM_INV(CrListInspector::Check(copy));
          TM_EQ(WalkOf(copy), items);
          objs.Check();
          for (void* pv : items) objs.Held(static_cast<Createable*>(pv), -1);
        } else {
          Op("operator=");
          CrList other;
          std::vector<void*> v;
          for (unsigned n = src.Pick(5); n; --n) {
            Counted* pc = objs.Pick(src);
            other.Add(pc);
            v.push_back(pc);
          }
          crl = other;
          for (void* pv : items) objs.Held(static_cast<Createable*>(pv), -1);
          for (void* pv : v) objs.Held(static_cast<Createable*>(pv), 1);
          items = v;
          bSearch = false;
          ++xact;
        }
        break;
      case 12:
        Op("null object");
        if (src.Chance(2))
          TM_REPORTS(crl.Add(nullptr), "pcrEntry");
        else
          TM_REPORTS(crl.Remove(nullptr), "pcrEntry");
        break;
      default:
        Op("Length");
        TM_EQ(crl.Length(), items.size());
        break;
    }
  }
  void Check() {
    TM_INV(CrListInspector::Check(crl));
    TM_EQ(crl.Length(), items.size());
    TM_EQ(CPListInspector::Forward(*CrListInspector::Wrapped(crl)), items);
    objs.Check();
  }

 private:
  ObjectPool objs;  // outlives crl: declared first
  CrList crl;
  std::vector<void*> items;
  long xact = 0;
  bool bSearch = false;  // a FirstThat search exists on the wrapped list
  long nSearch = 0;      // where it stopped (items.size(): off the list)
  long nSearchSnap = 0;
};

class CrDictionaryModel : public ModelBase {
  typedef DictContent::Entry Entry;

 public:
  void Step(OpSource& src) {
    Counted* p = objs.Pick(src);
    static const char* const apszKeys[] = {"", "a", "b", "k1", "k2", "k3", "\xc3\xa9", "UnNamed", "key"};
    std::string text = apszKeys[src.Pick(sizeof apszKeys / sizeof apszKeys[0])];
    static const long anKeys[] = {0, 1, 2, 257, 513, -1, 0x7FFFFFFF, -2147483647L - 1};
    long n = anKeys[src.Pick(sizeof anKeys / sizeof anKeys[0])];
    unsigned op = src.Pick(20);
    if (m.Size() > 30 && op < 5) op += 5;
    switch (op) {
      case 0:
      case 1: {
        Op("AddKeyNum");
        bool bAdd = !m.FindNumber(static_cast<unsigned long>(n));
        TM_EQ(crd.AddKeyNum(n, p), bAdd ? 1 : 0);
        if (bAdd) Added(m.AddNumber(static_cast<unsigned long>(n), p), p);
        break;
      }
      case 2:
      case 3:
      case 4: {
        bool bAdd = !m.ExistsString(text);
        if (src.Chance(2)) {
          Op("AddKeyString(text)");
          TM_EQ(crd.AddKeyString(text.c_str(), p, nullptr), bAdd ? 1 : 0);
        } else {
          Op("AddKeyString(CPString)");
          CPString* pstr = new CPString(text.c_str());
          pstr->AddRef();
          TM_EQ(crd.AddKeyString(pstr, p), bAdd ? 1 : 0);
          pstr->Release();
        }
        if (bAdd) Added(m.AddString(text, p), p);
        break;
      }
      case 5:
      case 6:
      case 7: {
        bool bDetach = src.Chance(3);
        bool bNum = src.Chance(2);
        const Entry* pe = bNum ? m.FindNumber(static_cast<unsigned long>(n)) : m.FindString(text);
        if (bDetach) {
          Op(bNum ? "DetachKeyNum" : "DetachKeyString");
          CPString str(text.c_str());
          if (bNum)
            crd.DetachKeyNum(n);
          else if (src.Chance(2))
            crd.DetachKeyString(&str);
          else
            crd.DetachKeyString(text.c_str(), nullptr);
          if (pe) {  // the reference passes to us: give it back
            Createable* pcr = static_cast<Createable*>(pe->item);
            Removed(pe);
            pcr->Release();
          }
        } else {
          Op(bNum ? "RemoveKeyNum" : "RemoveKeyString");
          CPString str(text.c_str());
          unsigned long nCRC = crc16::Update(0, text.data(), static_cast<long>(text.size()));
          short nResult = bNum            ? crd.RemoveKeyNum(n)
                          : src.Chance(2) ? crd.RemoveKeyString(&str)
                                          : crd.RemoveKeyString(text.c_str(), src.Chance(2) ? &nCRC : nullptr);
          TM_EQ(nResult, pe ? 1 : 0);
          if (pe) Removed(pe);
        }
        break;
      }
      case 8:
        if (!src.Chance(6)) break;
        Op("RemoveAll");
        crd.RemoveAll();
        for (const Entry& e : m.Ordered()) objs.Held(static_cast<Createable*>(e.item), -1);
        for (auto& s : m.slot) s.clear();
        break;
      case 9:
      case 10: {
        Op("Find / Exists");
        const Entry* pt = m.FindString(text);
        const Entry* pn = m.FindNumber(static_cast<unsigned long>(n));
        CPString str(text.c_str());
        TM_EQ(static_cast<void*>(crd.FindKeyString(text.c_str(), nullptr)), pt ? pt->item : nullptr);
        TM_EQ(static_cast<void*>(crd.FindKeyString(&str)), pt ? pt->item : nullptr);
        TM_EQ(crd.ExistsKeyString(&str), pt ? 1 : 0);
        TM_EQ(crd.ExistsKeyString(text.c_str(), nullptr), pt ? 1 : 0);
        TM_EQ(static_cast<void*>(crd.FindKeyNum(n)), pn ? pn->item : nullptr);
        TM_EQ(crd.ExistsKeyNum(n), pn ? 1 : 0);
        break;
      }
      case 11: {
        Op("walks");
        std::vector<void*> v = Items();
        TM_EQ(WalkOf(crd), v);
        TM_EQ(CursorWalk(crd), v);
        TM_EQ(crd.Prev(), 0);
        unsigned long i = src.Pick(static_cast<unsigned>(v.size()) + 1);
        TM_EQ(crd[i], i < v.size() ? v[i] : nullptr);
        crd.GotoTop();
        CPDictionaryAssociation* pda = crd.RetrieveInternalContainer();
        TM_EQ(pda ? pda->GetValue() : nullptr, v.empty() ? nullptr : v.front());
        auto f = std::find(v.begin(), v.end(), p);
        TM_EQ(static_cast<void*>(crd.FirstThat(&IsUser, p)), f == v.end() ? nullptr : p);
        break;
      }
      case 12: {
        Op("entry walks");
        std::vector<void*> v = Items();
        Seen().clear();
        crd.ForEachInternalContainer(&Record, nullptr);
        TM_EQ(Seen().size(), v.size());
        for (std::size_t i = 0; i < v.size(); ++i)
          TM_EQ(static_cast<CPDictionaryAssociation*>(Seen()[i])->GetValue(), v[i]);
        Seen().clear();
        crd.ForEach([](void* pv, void*, void*) { Seen().push_back(pv); }, nullptr);
        TM_EQ(Seen(), v);
        Seen().clear();
        Createable* pcr = crd.FirstThatInternalContainer(
            [](void* pvE, void* pvUser) {
              return static_cast<CPDictionaryAssociation*>(pvE)->GetValue() == pvUser ? 1 : 0;
            },
            p);
        TM_EQ(pcr ? static_cast<CPDictionaryAssociation*>(static_cast<Createable*>(pcr))->GetValue() : nullptr,
              std::find(v.begin(), v.end(), p) == v.end() ? nullptr : static_cast<void*>(p));
        break;
      }
      case 13:
        Op("unsupported / null object");
        switch (src.Pick(3)) {
          case 0:
            TM_REPORTS(crd.AllThatInternalContainer(&IsUser, nullptr), "1==0");
            break;
          case 1:
            TM_REPORTS(crd.NextThatInternalContainer(&IsUser, nullptr), "1==0");
            break;
          default:
            if (!m.FindNumber(777)) TM_REPORTS(crd.AddKeyNum(777, nullptr), "pcrEntry");
            break;
        }
        break;
      case 14:
        if (src.Chance(2)) {
          Op("copy constructor");
          CrDictionary copy(crd);
          for (void* pv : Items()) objs.Held(static_cast<Createable*>(pv), 1);
          TM_INV(CrDictionaryInspector::Check(copy));
          TM_INV(SameEntries(*CrDictionaryInspector::Wrapped(copy), m.Ordered()));
          objs.Check();
          for (void* pv : Items()) objs.Held(static_cast<Createable*>(pv), -1);
        } else {
          Op("operator=");
          CrDictionary other;
          DictContent mOther;
          for (unsigned k = src.Pick(5); k; --k) {
            Counted* pc = objs.Pick(src);
            long nKey = anKeys[src.Pick(sizeof anKeys / sizeof anKeys[0])];
            if (other.AddKeyNum(nKey, pc)) mOther.AddNumber(static_cast<unsigned long>(nKey), pc);
          }
          crd = other;
          for (void* pv : Items()) objs.Held(static_cast<Createable*>(pv), -1);
          for (int s = 0; s < 256; ++s) m.slot[s] = mOther.slot[s];
          for (void* pv : Items()) objs.Held(static_cast<Createable*>(pv), 1);
        }
        break;
      default:
        Op("Length");
        TM_EQ(crd.Length(), m.Size());
        break;
    }
  }
  void Check() {
    TM_INV(CrDictionaryInspector::Check(crd));
    TM_INV(CPDictionaryInspector::Check(*CrDictionaryInspector::Wrapped(crd)));
    TM_INV(SameEntries(*CrDictionaryInspector::Wrapped(crd), m.Ordered()));
    objs.Check();
  }

 private:
  std::vector<void*> Items() const {
    std::vector<void*> v;
    for (const Entry& e : m.Ordered()) v.push_back(e.item);
    return v;
  }
  void Added(bool bAdded, Counted* p) {
    TM_TRUE(bAdded);
    objs.Held(p, 1);
  }
  void Removed(const Entry* pe) {
    objs.Held(static_cast<Createable*>(pe->item), -1);
    for (auto& s : m.slot)
      for (std::size_t i = 0; i < s.size(); ++i)
        if (&s[i] == pe) {
          s.erase(s.begin() + static_cast<long>(i));
          return;
        }
  }

  ObjectPool objs;  // outlives crd: declared first
  CrDictionary crd;
  DictContent m;
};

class SymmetricMapModel : public ModelBase {
  struct Mapping {
    std::string a, b;
    Createable* payload;
  };

 public:
  void Step(OpSource& src) {
    static const char* const apszTexts[] = {"x", "y", "z", "1", "2", "3", "\xe2\x82\xac", "long text here"};
    std::string a = apszTexts[src.Pick(8)], b = apszTexts[src.Pick(8)];
    switch (src.Pick(8)) {
      case 0:
      case 1:
      case 2: {
        if (maps.size() > 40) break;
        Createable* p = src.Chance(5) ? nullptr : objs.Pick(src);
        if (src.Chance(2)) {
          Op("AddMapping(text)");
          map.AddMapping(a.c_str(), b.c_str(), p);
        } else {
          Op("AddMapping(CPString)");
          CPString sa(a.c_str()), sb(b.c_str());
          map.AddMapping(sa, sb, p);
        }
        maps.push_back({a, b, p});
        if (p) objs.Held(p, 1);
        break;
      }
      case 3:
      case 4: {
        bool bA = src.Chance(2);
        Op(bA ? "RetrieveA" : "RetrieveB");
        CPString key(a.c_str()), other("untouched");
        Createable* p = bA ? map.RetrieveA(&key, &other) : map.RetrieveB(&key, &other);
        auto i = std::find_if(maps.begin(), maps.end(), [&](const Mapping& mp) { return (bA ? mp.a : mp.b) == a; });
        TM_EQ(static_cast<void*>(p), i == maps.end() ? nullptr : static_cast<void*>(i->payload));
        TM_EQ(std::string(other.GetBuffer()), i == maps.end() ? std::string("untouched") : (bA ? i->b : i->a));
        TM_TRUE((bA ? map.RetrieveA(nullptr, &other) : map.RetrieveB(&key, nullptr)) == nullptr);
        break;
      }
      case 5:
      case 6: {
        bool bA = src.Chance(2);
        Op(bA ? "GetAllThatMatchKeyA" : "GetAllThatMatchKeyB");
        CrList out;
        CPString key(a.c_str());
        out.Add(objs.Pick(src));  // emptied first
        bA ? map.GetAllThatMatchKeyA(key, out) : map.GetAllThatMatchKeyB(key, out);
        std::vector<std::string> got, expected;
        for (unsigned long i = 0; i < out.Length(); ++i) {
          MapKeyPair* pmkp = dynamic_cast<MapKeyPair*>(out.RetrieveIDX(i));
          TM_TRUE(pmkp != nullptr);
          got.push_back(std::string(pmkp->_get_strA().GetBuffer()) + "|" + pmkp->_get_strB().GetBuffer());
        }
        for (const Mapping& mp : maps)
          if ((bA ? mp.a : mp.b) == a) expected.push_back(mp.a + "|" + mp.b);
        TM_EQ(got, expected);
        break;
      }
      default:
        if (!src.Chance(8)) break;
        Op("Clear");
        map.Clear();
        for (const Mapping& mp : maps)
          if (mp.payload) objs.Held(mp.payload, -1);
        maps.clear();
        break;
    }
  }
  void Check() {
    TM_INV(CPSymmetricMapInspector::Check(map));
    TM_EQ(CPSymmetricMapInspector::Mappings(map), maps.size());
    objs.Check();
  }

 private:
  ObjectPool objs;  // outlives the map: declared first
  CPSymmetricMap map;
  std::vector<Mapping> maps;
};

}  // namespace tarncoll::test::model

#endif
