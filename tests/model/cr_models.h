// Models of the reference-holding collections CrList and CrDictionary and
// of the symmetric map.  The objects are counted Createables; the models
// know how many references each must carry and check them after every
// step, so a lost or extra AddRef/Release shows at once.  Some steps make a
// callback, or the objects' own AddRef or Release, throw at its kth call,
// or fail the nth library allocation, and check what the collection keeps.
#ifndef TARNCOLL_TESTS_MODEL_CR_MODELS_H
#define TARNCOLL_TESTS_MODEL_CR_MODELS_H

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
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

// Which reference calls of the pool's objects are caller code that throws
// at the armed call: a step arms AddRef or Release, never both (a copy's
// undoing releases what it took).
enum RefTick { eTickNone, eTickAddRef, eTickRelease };
inline RefTick& RefTicks() {
  static RefTick e = eTickNone;
  return e;
}

// A counted object whose AddRef or Release, as RefTicks() says, calls Tick()
// before its count changes; an armed Release records the object in Seen().
class Brittle : public Counted {
 public:
  explicit Brittle(int id) : Counted(id) {}
  long AddRef() override {
    if (RefTicks() == eTickAddRef) Tick();
    return Counted::AddRef();
  }
  long Release() override {
    if (RefTicks() == eTickRelease) {
      Seen().push_back(static_cast<Createable*>(this));
      Tick();
    }
    return Counted::Release();
  }
};

// Runs f with the kth call of the armed reference call (or of a callback)
// throwing; see ThrowsAt.
template <class F>
bool RefThrowsAt(RefTick which, long k, F f, const char* file, int line) {
  struct Reset {
    ~Reset() { RefTicks() = eTickNone; }
  } reset;
  RefTicks() = which;
  return ThrowsAt(k, f, file, line);
}
#define TM_REF_THROWS_AT(which, k, stmt) \
  ::tarncoll::test::model::RefThrowsAt((which), (k), [&] { stmt; }, __FILE__, __LINE__)

// A pool of counted objects, each holding one reference of the pool's own,
// and the references every object must carry besides.
class ObjectPool {
 public:
  enum { kObjects = 12 };
  ObjectPool() {
    PoolObjects() += kObjects;
    for (int i = 0; i < kObjects; ++i) {
      apObj[i] = new Brittle(i);
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
  // For its lifetime, the references a collection of the step's own holds
  // on the objects of v; given back however the step ends (its checks may
  // end in a report: a walk makes an iteration state).
  class Holding {
   public:
    Holding(ObjectPool& objects, std::vector<void*> held) : pool(objects), v(std::move(held)) {
      for (void* pv : v) pool.Held(static_cast<Createable*>(pv), 1);
    }
    ~Holding() {
      for (void* pv : v) pool.Held(static_cast<Createable*>(pv), -1);
    }
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;

   private:
    ObjectPool& pool;
    std::vector<void*> v;
  };
  // A holder gave up p, but p's Release threw before counting: p must still
  // carry that reference; the model checks so and gives it back.
  void Stray(Createable* p) {
    Check();
    Held(p, -1);
    p->Release();
  }
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
      case 8:
        FirstThat(p);
        break;
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
        Copy(src);
        break;
      case 12:
        Op("null object");
        if (src.Chance(2))
          TM_REPORTS(crl.Add(nullptr), "pcrEntry");
        else
          TM_REPORTS(crl.Remove(nullptr), "pcrEntry");
        break;
      case 13:
        Throwing(p, src);
        break;
      case 14:
        FailingAllocation(p, src);
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
  void FirstThat(Counted* p) {
    Op("FirstThat");
    auto i = std::find(items.begin(), items.end(), p);
    TM_EQ(static_cast<void*>(crl.FirstThat(&IsUser, p)), i != items.end() ? p : nullptr);
    if (!items.empty()) {
      bSearch = true;
      nSearch = i - items.begin();
      nSearchSnap = xact;
    }
  }
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CrList copy(crl);
      ObjectPool::Holding held(objs, items);
      TM_INV(CrListInspector::Check(copy));
      TM_EQ(WalkOf(copy), items);
      objs.Check();
      return;
    }
    Op("operator=");
    const std::vector<void*> v = PickObjects(src);
    CrList other;
    Fill(other, v);
    crl = other;
    Assigned(v);
  }
  // Up to 4 objects for a list of the step's own, picked before anything
  // is made, so that a failed allocation leaves the source in step.
  std::vector<void*> PickObjects(OpSource& src) {
    std::vector<void*> v;
    for (unsigned n = src.Pick(5); n; --n) v.push_back(objs.Pick(src));
    return v;
  }
  static void Fill(CrList& other, const std::vector<void*>& v) {
    for (void* pv : v) other.Add(static_cast<Createable*>(pv));
  }
  // The list now holds the objects of v instead of its own.
  void Assigned(const std::vector<void*>& v) {
    for (void* pv : items) objs.Held(static_cast<Createable*>(pv), -1);
    for (void* pv : v) objs.Held(static_cast<Createable*>(pv), 1);
    items = v;
    bSearch = false;
    ++xact;
  }
  // The first n objects leave; they were released in order, and when the
  // last one's Release threw, it still carries the list's reference.
  void Released(std::size_t n, bool bLastThrew) {
    const std::vector<void*> gone(items.begin(), items.begin() + static_cast<long>(n));
    TM_EQ(Seen(), gone);
    items.erase(items.begin(), items.begin() + static_cast<long>(n));
    ++xact;
    for (std::size_t i = 0; i + (bLastThrew ? 1 : 0) < n; ++i) objs.Held(static_cast<Createable*>(gone[i]), -1);
    if (bLastThrew) objs.Stray(static_cast<Createable*>(gone.back()));
  }

  // ---- caller code that throws ----
  // The objects' Release throwing in a removal: the objects handed to it
  // (the one whose call threw included) have left the list, in list order;
  // the others stay with their references.  AddRef throwing in an add:
  // the object does not stay.  In a copy or an assignment: no copy, no
  // extra reference, the target as it was.  A condition or an action
  // throwing: the items as they were; a search it interrupted is begun
  // afresh.
  void Throwing(Counted* p, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(8));
    const long n = static_cast<long>(items.size());
    const std::size_t nHanded = static_cast<std::size_t>(std::min(k, n));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(7)) {
      case 0:
        Op("RemoveAll, Release throws");
        threw = TM_REF_THROWS_AT(eTickRelease, k, crl.RemoveAll());
        TM_EQ(threw, k <= n);
        Released(nHanded, threw);
        break;
      case 1: {
        Op("Remove, Release throws");
        auto i = std::find(items.begin(), items.end(), p);
        short nResult = -1;
        threw = TM_REF_THROWS_AT(eTickRelease, k, nResult = crl.Remove(p));
        TM_EQ(threw, i != items.end() && k == 1);
        if (!threw) TM_EQ(nResult, i != items.end() ? 1 : 0);
        if (i == items.end()) break;
        std::rotate(items.begin(), i, i + 1);  // the object released first
        Released(1, threw);
        break;
      }
      case 2:
        Op("Add, AddRef throws");
        threw = TM_REF_THROWS_AT(eTickAddRef, k, crl.Add(p));
        TM_EQ(threw, k == 1);
        if (!threw) {
          items.push_back(p);
          objs.Held(p, 1);
        }
        ++xact;
        break;
      case 3:
        Op("copy constructor, AddRef throws");
        threw = TM_REF_THROWS_AT(eTickAddRef, k, CrList copy(crl));
        TM_EQ(threw, k <= n);
        break;
      case 4: {
        Op("operator=, AddRef throws");
        const std::vector<void*> v = PickObjects(src);
        CrList other;
        Fill(other, v);
        threw = TM_REF_THROWS_AT(eTickAddRef, k, crl = other);
        TM_EQ(threw, k <= static_cast<long>(v.size()));
        if (!threw) Assigned(v);
        break;
      }
      case 5:
        Op("ForEach, action throws");
        threw = TM_THROWS_AT(k, crl.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= n);
        TM_EQ(Seen(), std::vector<void*>(items.begin(), items.begin() + static_cast<long>(nHanded)));
        break;
      default: {
        Op("FirstThat, condition throws");
        long nAsked = std::find(items.begin(), items.end(), p) - items.begin();
        threw = TM_THROWS_AT(k, crl.FirstThat(&IsUser, p));
        TM_EQ(threw, k <= std::min(nAsked + 1, n));
        Seen().clear();
        FirstThat(p);
        break;
      }
    }
    Seen().clear();
  }

  // ---- allocations that fail ----
  // An add, a copy or an assignment whose nth library allocation fails
  // completes, or ends in its report with the list and every reference as
  // they were.
  void FailingAllocation(Counted* p, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(4));
    const bool bAdd = src.Chance(2);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      if (bAdd) {
        Op("Add, allocation fails");
        crl.Add(p);
        items.push_back(p);
        objs.Held(p, 1);
        ++xact;
      } else {
        Copy(src);
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
  }

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
      case 1:
        AddNumber(n, p);
        break;
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
        Copy(src);
        break;
      case 15:
        Throwing(p, n, text, src);
        break;
      case 16:
        FailingAllocation(p, n, text, src);
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
  static long PickKey(OpSource& src) {
    static const long anKeys[] = {0, 1, 2, 257, 513, -1, 0x7FFFFFFF, -2147483647L - 1};
    return anKeys[src.Pick(sizeof anKeys / sizeof anKeys[0])];
  }
  void AddNumber(long n, Counted* p) {
    Op("AddKeyNum");
    bool bAdd = !m.FindNumber(static_cast<unsigned long>(n));
    TM_EQ(crd.AddKeyNum(n, p), bAdd ? 1 : 0);
    if (bAdd) Added(m.AddNumber(static_cast<unsigned long>(n), p), p);
  }
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CrDictionary copy(crd);
      ObjectPool::Holding held(objs, Items());
      TM_INV(CrDictionaryInspector::Check(copy));
      TM_INV(SameEntries(*CrDictionaryInspector::Wrapped(copy), m.Ordered()));
      objs.Check();
      return;
    }
    Op("operator=");
    const Adds adds = PickAdds(src);
    CrDictionary other;
    DictContent mOther;
    Fill(other, mOther, adds);
    crd = other;
    Assigned(mOther);
  }
  // Up to 4 numeric entries for a dictionary of the step's own, picked
  // before anything is made, so that a failed allocation leaves the source
  // in step.
  typedef std::vector<std::pair<Counted*, long>> Adds;
  Adds PickAdds(OpSource& src) {
    Adds adds;
    for (unsigned k = src.Pick(5); k; --k) {
      Counted* pc = objs.Pick(src);
      adds.emplace_back(pc, PickKey(src));
    }
    return adds;
  }
  static void Fill(CrDictionary& other, DictContent& mOther, const Adds& adds) {
    for (auto& a : adds)
      if (other.AddKeyNum(a.second, a.first)) mOther.AddNumber(static_cast<unsigned long>(a.second), a.first);
  }
  void Assigned(const DictContent& mOther) {
    for (void* pv : Items()) objs.Held(static_cast<Createable*>(pv), -1);
    for (int s = 0; s < 256; ++s) m.slot[s] = mOther.slot[s];
    for (void* pv : Items()) objs.Held(static_cast<Createable*>(pv), 1);
  }
  // The entries in gone have left; their objects were released in walk
  // order, and when the last one's Release threw, it still carries the
  // dictionary's reference.
  void Released(const std::vector<const Entry*>& gone, bool bLastThrew) {
    std::vector<void*> v;
    for (const Entry* pe : gone) v.push_back(pe->item);
    TM_EQ(Seen(), v);
    for (std::size_t i = gone.size(); i-- > 0;) Removed(gone[i]);  // later entries first: the earlier stay put
    if (bLastThrew) {
      objs.Held(static_cast<Createable*>(v.back()), 1);  // Removed gave it up
      objs.Stray(static_cast<Createable*>(v.back()));
    }
  }

  // ---- caller code that throws ----
  // The objects' Release throwing in a removal: the entries whose objects
  // were handed to it (the one whose call threw included) have left, in
  // walk order; the others stay with their references.  AddRef throwing in
  // an add: nothing stored; in a copy or an assignment: no copy, no extra
  // reference, the target as it was.  A condition or an action throwing:
  // the entries as they were.
  void Throwing(Counted* p, long n, const std::string& text, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(8));
    std::vector<const Entry*> walk;
    for (const auto& sl : m.slot)
      for (const Entry& e : sl) walk.push_back(&e);
    const long nAll = static_cast<long>(walk.size());
    bool threw = false;
    Seen().clear();
    switch (src.Pick(7)) {
      case 0:
        Op("RemoveAll, Release throws");
        threw = TM_REF_THROWS_AT(eTickRelease, k, crd.RemoveAll());
        TM_EQ(threw, k <= nAll);
        walk.resize(static_cast<std::size_t>(std::min(k, nAll)));
        Released(walk, threw);
        break;
      case 1: {
        bool bNum = src.Chance(2);
        Op(bNum ? "RemoveKeyNum, Release throws" : "RemoveKeyString, Release throws");
        const Entry* pe = bNum ? m.FindNumber(static_cast<unsigned long>(n)) : m.FindString(text);
        short nResult = -1;
        threw = bNum ? TM_REF_THROWS_AT(eTickRelease, k, nResult = crd.RemoveKeyNum(n))
                     : TM_REF_THROWS_AT(eTickRelease, k, nResult = crd.RemoveKeyString(text.c_str(), nullptr));
        TM_EQ(threw, pe && k == 1);
        if (!threw) TM_EQ(nResult, pe ? 1 : 0);
        Released(pe ? std::vector<const Entry*>{pe} : std::vector<const Entry*>{}, threw);
        break;
      }
      case 5: {
        // The add takes its reference after storing: when AddRef throws,
        // the entry leaves again (an empty text's "UnNamed" entry too).
        const int form = static_cast<int>(src.Pick(3));
        Op(form == 0 ? "AddKeyNum, AddRef throws" : form == 1 ? "AddKeyString(text), AddRef throws"
                                                              : "AddKeyString(CPString), AddRef throws");
        const bool bAdd = form == 0 ? !m.FindNumber(static_cast<unsigned long>(n)) : !m.ExistsString(text);
        short nResult = -1;
        CPString* pstr = new CPString(text.c_str());
        pstr->AddRef();
        if (form == 0)
          threw = TM_REF_THROWS_AT(eTickAddRef, k, nResult = crd.AddKeyNum(n, p));
        else if (form == 1)
          threw = TM_REF_THROWS_AT(eTickAddRef, k, nResult = crd.AddKeyString(text.c_str(), p, nullptr));
        else
          threw = TM_REF_THROWS_AT(eTickAddRef, k, nResult = crd.AddKeyString(pstr, p));
        pstr->Release();
        TM_EQ(threw, bAdd && k == 1);
        if (!threw) {
          TM_EQ(nResult, bAdd ? 1 : 0);
          if (bAdd) Added(form == 0 ? m.AddNumber(static_cast<unsigned long>(n), p) : m.AddString(text, p), p);
        }
        break;
      }
      case 2:
        Op("copy constructor, AddRef throws");
        threw = TM_REF_THROWS_AT(eTickAddRef, k, CrDictionary copy(crd));
        TM_EQ(threw, k <= nAll);
        break;
      case 3: {
        Op("operator=, AddRef throws");
        const Adds adds = PickAdds(src);
        CrDictionary other;
        DictContent mOther;
        Fill(other, mOther, adds);
        threw = TM_REF_THROWS_AT(eTickAddRef, k, crd = other);
        TM_EQ(threw, k <= static_cast<long>(mOther.Size()));
        if (!threw) Assigned(mOther);
        break;
      }
      case 4: {
        Op("ForEach, action throws");
        std::vector<void*> v = Items();
        threw = TM_THROWS_AT(k, crd.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= nAll);
        v.resize(static_cast<std::size_t>(std::min(k, nAll)));
        TM_EQ(Seen(), v);
        break;
      }
      default: {
        Op("FirstThat, condition throws");
        std::vector<void*> v = Items();
        long nAsked = std::find(v.begin(), v.end(), static_cast<void*>(p)) - v.begin();
        threw = TM_THROWS_AT(k, crd.FirstThat(&IsUser, p));
        TM_EQ(threw, k <= std::min(nAsked + 1, nAll));
        break;
      }
    }
    Seen().clear();
  }

  // ---- allocations that fail ----
  // An add, a copy or an assignment whose nth library allocation fails
  // completes, or ends in its report with the entries and every reference
  // as they were.
  void FailingAllocation(Counted* p, long n, const std::string& text, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(4));
    const unsigned which = src.Pick(3);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      switch (which) {
        case 0:
          AddNumber(n, p);
          break;
        case 1: {
          Op("AddKeyString(text)");
          bool bAdd = !m.ExistsString(text);
          TM_EQ(crd.AddKeyString(text.c_str(), p, nullptr), bAdd ? 1 : 0);
          if (bAdd) Added(m.AddString(text, p), p);
          break;
        }
        default:
          Copy(src);
          break;
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
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
      case 2:
        if (maps.size() > 40) break;
        AddMapping(a, b, src);
        break;
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
      case 6:
        AllThatMatch(a, src);
        break;
      default:
        switch (src.Pick(8)) {
          case 0:
            Op("Clear");
            map.Clear();
            for (const Mapping& mp : maps)
              if (mp.payload) objs.Held(mp.payload, -1);
            maps.clear();
            break;
          case 1:
            if (maps.size() <= 40) Throwing(a, b, src);
            break;
          case 2:
            FailingAllocation(a, b, src);
            break;
          default:
            break;
        }
        break;
    }
  }
  void Check() {
    TM_INV(CPSymmetricMapInspector::Check(map));
    TM_EQ(CPSymmetricMapInspector::Mappings(map), maps.size());
    objs.Check();
  }

 private:
  void AddMapping(const std::string& a, const std::string& b, OpSource& src) {
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
  }
  void AllThatMatch(const std::string& a, OpSource& src) {
    bool bA = src.Chance(2);
    Op(bA ? "GetAllThatMatchKeyA" : "GetAllThatMatchKeyB");
    Counted* pStale = objs.Pick(src);
    CrList out;
    CPString key(a.c_str());
    out.Add(pStale);  // emptied first
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
  }

  // ---- caller code that throws ----
  // The payload's AddRef throwing in AddMapping: the mapping is not made,
  // and the payload keeps its count.  (The payload's Release runs in a
  // mapping's destructor, where it must not throw.)
  void Throwing(const std::string& a, const std::string& b, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(2));
    Createable* p = src.Chance(5) ? nullptr : objs.Pick(src);
    Op("AddMapping, AddRef throws");
    bool threw = TM_REF_THROWS_AT(eTickAddRef, k, map.AddMapping(a.c_str(), b.c_str(), p));
    TM_EQ(threw, p != nullptr && k == 1);
    if (threw) return;
    maps.push_back({a, b, p});
    if (p) objs.Held(p, 1);
  }

  // ---- allocations that fail ----
  // AddMapping with its nth library allocation failing completes, or ends
  // in its report with both indexes and the payload's count as they were;
  // a lookup into a list completes or reports with the map unchanged.
  void FailingAllocation(const std::string& a, const std::string& b, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(8));
    const bool bAdd = maps.size() <= 40 && !src.Chance(3);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      if (bAdd)
        AddMapping(a, b, src);
      else
        AllThatMatch(a, src);
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
  }
  ObjectPool objs;  // outlives the map: declared first
  CPSymmetricMap map;
  std::vector<Mapping> maps;
};

}  // namespace tarncoll::test::model

#endif
