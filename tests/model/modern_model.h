// Models of the modern layer and of Trackable:
//   ModernModel     TypedList, TypedDictionary and TypedTree over Part items,
//                   walked by their fail-fast iterators (copies included),
//                   Entries() and Nodes(), against a vector, the
//                   dictionary's slot model and a map; Ref<T> handles on
//                   counted objects against a count per object;
//   TrackableModel  the tracker's records and totals against a map, the
//                   report text and its sink lines rebuilt from the model.
#ifndef TARNCOLL_TESTS_MODEL_MODERN_MODEL_H
#define TARNCOLL_TESTS_MODEL_MODERN_MODEL_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <cpcoll/modern.h>
#include <cpcoll/trackable.h>

#include "model/dictionary_model.h"
#include "model/harness.h"
#include "support/list_inspector.h"
#include "support/tree_inspector.h"
#include "support/trackable_inspector.h"

namespace tarncoll::test::model {

struct Part {
  int id;
};
inline Part* PartAt(unsigned i) {
  static Part aParts[16] = {{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {10}, {11}, {12}, {13}, {14}, {15}};
  return &aParts[i % 16];
}

// Collects a walk by any forward iterator pair.
template <class It>
std::vector<void*> Walk(It b, It e) {
  std::vector<void*> v;
  for (; b != e; ++b) v.push_back(*b);
  return v;
}

// The objects Ref handles hold, counted apart from the other models'
// objects (which check their own live counts).
class RefObject : public Createable {
 public:
  explicit RefObject(int id) : nId(id) { ++Alive(); }
  ~RefObject() override { --Alive(); }
  int Id() const { return nId; }
  static long& Alive() {
    static long n = 0;
    return n;
  }

 private:
  int nId;
};

class ModernModel : public ModelBase {
 public:
  ModernModel() : nAliveAtStart(RefObject::Alive()) {}

  void Step(OpSource& src) {
    switch (src.Pick(12)) {
      case 0:
      case 1:
        ListChange(src);
        break;
      case 2:
        ListWalks(src);
        break;
      case 3:
        DictionaryChange(src);
        break;
      case 4:
        DictionaryWalks();
        break;
      case 5:
        TreeChange(src);
        break;
      case 6:
        TreeWalks(src);
        break;
      case 7:
      case 8:
        RefStep(src);
        break;
      case 9:
        FailFast(src);
        break;
      case 10:
        ThrowInLoop(src);
        break;
      default:
        FailingAllocation(src);
        break;
    }
  }

  void Check() {
    TM_EQ(lst.Length(), items.size());
    TM_INV(CPListInspector::Check(lst.untyped()));
    TM_EQ(CPListInspector::Forward(lst.untyped()), items);
    TM_INV(CPDictionaryInspector::Check(dct.untyped()));
    TM_INV(SameEntries(dct.untyped(), dm.Ordered()));
    TM_INV(CPTreeInspector::Check(tree.untyped()));
    TM_EQ(tree.Length(), tm.size());
    for (unsigned i = 0; i < kRefs; ++i) {
      RefObject* p = aref[i].get();
      TM_EQ(p != nullptr, owner[i] >= 0);
      if (p) TM_EQ(p->Id(), owner[i]);
    }
    long nLive = 0;
    for (auto& kv : refs) {
      TM_EQ(static_cast<long>(objects[kv.first]->_get_nRefCount()), kv.second);
      ++nLive;
    }
    TM_EQ(RefObject::Alive() - nAliveAtStart, nLive);
  }

 private:
  typedef std::vector<void*> Items;
  enum { kRefs = 6 };

  // ---- TypedList ----
  void ListChange(OpSource& src) {
    Part* p = PartAt(src.Pick(12));
    unsigned op = src.Pick(5);
    if (items.size() > 40 && op < 2) op = 3;  // long lists shrink, so checks stay cheap
    switch (op) {
      case 0:
      case 1:
        Op("TypedList Add");
        lst.Add(p);
        items.push_back(p);
        break;
      case 2: {
        Op("TypedList Detach");
        auto i = std::find(items.begin(), items.end(), p);
        TM_EQ(lst.Detach(p), i != items.end() ? 1 : 0);
        if (i != items.end()) items.erase(i);
        break;
      }
      case 3:
        Op("TypedList RetrieveAndDetachTop");
        TM_EQ(static_cast<void*>(lst.RetrieveAndDetachTop()), items.empty() ? nullptr : items.front());
        if (!items.empty()) items.erase(items.begin());
        break;
      default:
        if (!src.Chance(4)) break;
        Op("TypedList DestroyAll");
        Seen().clear();
        TM_EQ(lst.DestroyAll(&Record), 1);
        TM_EQ(Seen(), items);
        items.clear();
        break;
    }
  }
  void ListWalks(OpSource& src) {
    Op("TypedList walks");
    TM_EQ(Walk(lst.begin(), lst.end()), items);
    Items v;
    for (Part* p : lst) v.push_back(p);
    TM_EQ(v, items);
    void* pv = PartAt(src.Pick(12));
    TM_EQ(std::count(lst.begin(), lst.end(), pv), std::count(items.begin(), items.end(), pv));
    TM_EQ(static_cast<std::size_t>(std::distance(Nodes(lst.untyped()).begin(), Nodes(lst.untyped()).end())),
          items.size());
    if (items.empty()) return;
    // A copy stepped from elsewhere walks on by itself.
    auto a = lst.begin();
    std::size_t n = src.Pick(static_cast<unsigned>(items.size()));
    for (std::size_t i = 0; i < n; ++i) ++a;
    auto b = a;
    TM_EQ(Walk(b, lst.end()), Items(items.begin() + static_cast<long>(n), items.end()));
    TM_EQ(static_cast<void*>(*a), items[n]);
    TM_EQ(Walk(a, lst.end()), Items(items.begin() + static_cast<long>(n), items.end()));
    TM_EQ(static_cast<void*>(lst.RetrieveIDX(n)), items[n]);
  }

  // ---- TypedDictionary ----
  void DictionaryChange(OpSource& src) {
    if (dm.Size() > 40) {
      Op("TypedDictionary DetachAll");
      TM_EQ(dct.DetachAll(), 1);
      for (auto& slot : dm.slot) slot.clear();
      return;
    }
    Part* p = PartAt(src.Pick(12));
    bool text = src.Chance(2);
    std::string key = text ? TextKey(src) : std::string();
    unsigned long n = src.Pick(600);
    switch (src.Pick(3)) {
      case 0:
      case 1:
        if (text) {
          Op("TypedDictionary AddKeyString");
          dct.AddKeyString(key.c_str(), p);
          dm.AddString(key, p);
        } else {
          Op("TypedDictionary AddKeyNum");
          dct.AddKeyNum(n, p);
          dm.AddNumber(n, p);
        }
        break;
      default:
        if (text) {
          Op("TypedDictionary DetachKeyString");
          dct.DetachKeyString(key.c_str());
          EraseFirst([&](const DictContent::Entry& e) { return e.bString && e.text == key; });
        } else {
          Op("TypedDictionary DetachKeyNum");
          dct.DetachKeyNum(n);
          EraseFirst([&](const DictContent::Entry& e) { return !e.bString && e.num == n; });
        }
        break;
    }
  }
  std::string TextKey(OpSource& src) {
    std::string s = SpelledText(src);
    return s.empty() ? "e" : s;  // an empty key is stored renamed, which lookups do not find
  }
  template <class P>
  void EraseFirst(P match) {
    for (auto& slot : dm.slot)
      for (auto i = slot.begin(); i != slot.end(); ++i)
        if (match(*i)) {
          slot.erase(i);
          return;
        }
  }
  void DictionaryWalks() {
    Op("TypedDictionary walks");
    std::vector<DictContent::Entry> v = dm.Ordered();
    Items expected;
    for (const auto& e : v) expected.push_back(e.item);
    TM_EQ(Walk(dct.begin(), dct.end()), expected);
    std::size_t i = 0;
    for (CPDictionaryAssociation* pda : dct.entries()) {
      TM_TRUE(i < v.size());
      TM_EQ(pda->GetValue(), v[i].item);
      TM_EQ(pda->_get_bUseString() != 0, v[i].bString);
      if (v[i].bString) TM_EQ(std::string(pda->_get_pstrKey()->GetBuffer()), v[i].text);
      ++i;
    }
    TM_EQ(i, v.size());
    for (const auto& e : v)
      TM_EQ(static_cast<void*>(e.bString ? dct.FindKeyString(e.text.c_str()) : dct.FindKeyNum(e.num)), e.item);
  }

  // ---- TypedTree ----
  void TreeChange(OpSource& src) {
    Part* p = PartAt(src.Pick(12));
    unsigned long n = src.Pick(64);
    unsigned op = src.Pick(4);
    if (!treeKind && op >= 2) {
      Op("TypedTree remove before the key kind is fixed");
      TM_REPORTS(tree.DetachKeyNum(n), "etdsState == etreeNumber");
      return;
    }
    switch (op) {
      case 0:
      case 1:
        Op("TypedTree AddKeyNum");
        tree.AddKeyNum(n, p);
        tm[n] = p;  // an equal key takes the new item
        treeKind = true;
        break;
      case 2:
        Op("TypedTree DetachKeyNum");
        tree.DetachKeyNum(n);
        tm.erase(n);
        break;
      default:
        Op("TypedTree DestroyKeyNum");
        Seen().clear();
        tree.DestroyKeyNum(n, &Record);
        TM_EQ(Seen(), tm.count(n) ? Items{tm[n]} : Items());
        tm.erase(n);
        break;
    }
  }
  void TreeWalks(OpSource& src) {
    Op("TypedTree walks");
    Items expected;
    for (auto& kv : tm) expected.push_back(kv.second);
    TM_EQ(Walk(tree.begin(), tree.end()), expected);
    TM_EQ(static_cast<void*>(tree.Smallest()), tm.empty() ? nullptr : tm.begin()->second);
    TM_EQ(static_cast<void*>(tree.Largest()), tm.empty() ? nullptr : tm.rbegin()->second);
    unsigned long n = src.Pick(64);
    if (treeKind) TM_EQ(static_cast<void*>(tree.FindKeyNum(n)), tm.count(n) ? tm[n] : nullptr);
  }

  // ---- iterators fail fast ----
  // An iterator from begin() of a non-empty container; the container
  // changes; its next step throws the cursor exception and leaves it where
  // it was.
  void FailFast(OpSource& src) {
    Op("iterator after a change");
    if (items.empty()) return;
    auto it = lst.begin();
    auto copy = it;
    Part* p = PartAt(src.Pick(12));
    lst.Add(p);
    items.push_back(p);
    TM_STALE(++it);
    TM_STALE(++copy);
    TM_STALE(*it);
  }
  // A loop body that throws mid-walk: the iterator's cursor goes with it
  // (the sanitizers see a leak), the container is unchanged.
  void ThrowInLoop(OpSource& src) {
    Op("loop body throws");
    const long k = 1 + static_cast<long>(src.Pick(8));
    bool threw = TM_THROWS_AT(k, {
      for (Part* p : lst) {
        (void)p;
        Tick();
      }
      for (CPDictionaryAssociation* pda : dct.entries()) {
        (void)pda;
        Tick();
      }
    });
    TM_EQ(threw, k <= static_cast<long>(items.size() + dm.Size()));
  }

  // ---- Ref<RefObject> ----
  void RefStep(OpSource& src) {
    unsigned i = src.Pick(kRefs), j = src.Pick(kRefs);
    switch (src.Pick(7)) {
      case 0:
        Op("MakeRef");
        Assign(i, MakeRef<RefObject>(nextId), nextId);
        ++nextId;
        break;
      case 1:
        Op("Ref copy assignment");
        Hold(j);
        aref[i] = aref[j];
        Drop(i);
        owner[i] = owner[j];
        Hold(i);
        Drop(j);
        break;
      case 2:
        Op("Ref move assignment");
        if (i == j) break;
        aref[i] = std::move(aref[j]);
        Drop(i);
        owner[i] = owner[j];
        owner[j] = -1;
        break;
      case 3:
        Op("Ref reset");
        aref[i].reset();
        Drop(i);
        owner[i] = -1;
        break;
      case 4: {
        Op("Ref Detach, Adopt");
        RefObject* p = aref[j].Detach();
        int id = owner[j];
        owner[j] = -1;
        Assign(i, Ref<RefObject>::Adopt(p), id, false);
        break;
      }
      case 5:
        Op("Ref swap");
        aref[i].swap(aref[j]);
        std::swap(owner[i], owner[j]);
        break;
      default: {
        Op("Ref copy construction");
        Ref<RefObject> copy(aref[j]);
        Hold(j);
        TM_TRUE(copy == aref[j]);
        if (owner[j] >= 0) TM_EQ(static_cast<long>(copy->_get_nRefCount()), refs[owner[j]]);
        Drop(j);
        break;
      }
    }
  }
  // Slot i takes r (holding object id, or none for -1).  With counted, r's
  // reference is a new one.
  void Assign(unsigned i, Ref<RefObject>&& r, int id, bool counted = true) {
    if (id >= 0) {
      objects[id] = r.get();
      if (counted) ++refs[id];
    }
    aref[i] = std::move(r);
    Drop(i);
    owner[i] = id;
  }
  // One reference more, or one less, on the object of slot i (the model's
  // side only: the Ref has done it).
  void Hold(unsigned i) {
    if (owner[i] >= 0) ++refs[owner[i]];
  }
  void Drop(unsigned i) {
    if (owner[i] < 0) return;
    if (--refs[owner[i]] == 0) {
      refs.erase(owner[i]);
      objects.erase(owner[i]);
    }
  }

  // ---- allocations that fail ----
  // MakeRef throws std::bad_alloc and changes nothing; a façade's add ends
  // in its report with the container as it was.
  void FailingAllocation(OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(3));
    if (src.Chance(2)) {
      Op("MakeRef, allocation fails");
      bool threw = false;
      {
        struct Disarm {
          ~Disarm() { Createable::SetAllocationFailure(0); }
        } disarm;
        Createable::SetAllocationFailure(nth);
        try {
          Assign(src.Pick(kRefs), MakeRef<RefObject>(nextId), nextId);
        } catch (const std::bad_alloc&) {
          threw = true;
        }
        TM_EQ(threw, nth == 1);
      }
      ++nextId;
      return;
    }
    Op("facade add, allocation fails");
    SurvivesAllocationFailure(src.Chance(3) ? eAllocIndex : eAllocObject, nth, [&] {
      if (src.Chance(2))
        ListChange(src);
      else
        DictionaryChange(src);
    });
  }

  TypedList<Part> lst;
  Items items;
  TypedDictionary<Part> dct;
  DictContent dm;
  TypedTree<Part> tree;
  std::map<unsigned long, void*> tm;
  bool treeKind = false;  // the tree's numeric keys are fixed
  Ref<RefObject> aref[kRefs];
  int owner[kRefs] = {-1, -1, -1, -1, -1, -1};  // the object id of each slot, -1: empty
  std::map<int, long> refs;                      // references per live object
  std::map<int, RefObject*> objects;
  int nextId = 0;
  long nAliveAtStart;
};

// ---- Trackable ----------------------------------------------------------------------------

class TrackableModel : public ModelBase {
 public:
  TrackableModel() { TrackableInspector::Reset(); }
  ~TrackableModel() { TrackableInspector::Reset(); }
  TrackableModel(const TrackableModel&) = delete;
  TrackableModel& operator=(const TrackableModel&) = delete;

  void Step(OpSource& src) {
    if (order.size() > 24) {  // many classes: start afresh, so reports stay cheap
      Op("tracker reset");
      TrackableInspector::Reset();
      recs.clear();
      order.clear();
      totalObjects = totalSize = 0;
    }
    std::string name = Name(src);
    long size = static_cast<long>(src.Pick(4096)) - 512;
    switch (src.Pick(8)) {
      case 0:
      case 1:
      case 2:
        Op("AllocateObject");
        TM_EQ(Trackable::AllocateObject(name.c_str(), size), 1);
        Allocated(name, size);
        break;
      case 3:
      case 4:
        DeAllocate(name, size);
        break;
      case 5:
        Op("Report");
        TM_EQ(RunReport(0), "");
        break;
      case 6:
        ThrowingSink(src);
        break;
      default:
        FailingAllocation(name, size, src);
        break;
    }
  }

  void Check() {
    TM_EQ(Trackable::bDisableTracking, 0);
    // The dictionary comes with the first record (a failed first record may
    // leave it empty).
    TM_TRUE(Trackable::pdctAllocatedObjects != nullptr || order.empty());
    if (Trackable::pdctAllocatedObjects) TM_EQ(Trackable::pdctAllocatedObjects->Length(), order.size());
  }

 private:
  struct Rec {
    long instances = 0;
    long size = 0;
  };

  // Class names: a few fixed ones (so records are revisited), or spelled by
  // the source, up to 300 bytes (past the 254 a record keeps).
  static std::string Name(OpSource& src) {
    static const char* const apsz[] = {"CPList", "Leaf", "", "UnNamed", "Part"};
    switch (src.Pick(4)) {
      case 0:
      case 1:
        return apsz[src.Pick(5)];
      case 2:
        return SpelledText(src);
      default:
        return std::string(200 + src.Pick(100), static_cast<char>('a' + src.Pick(3)));
    }
  }
  static std::string Tracked(const std::string& name) { return name.empty() ? "UnNamed" : name; }

  void Allocated(const std::string& name, long size) {
    std::string key = Tracked(name);
    if (!recs.count(key)) {
      // The dictionary's walk: by slot, then in the order of arrival.
      unsigned long slot = DictContent::SlotOf(key);
      auto i = order.begin();
      while (i != order.end() && DictContent::SlotOf(*i) <= slot) ++i;
      order.insert(i, key);
    }
    Rec& r = recs[key];
    ++r.instances;
    r.size += size;
    ++totalObjects;
    totalSize += size;
  }
  void DeAllocate(const std::string& name, long size) {
    Op("DeAllocateObject");
    auto i = recs.find(Tracked(name));
    bool recorded = i != recs.end() && i->second.instances > 0;
    TM_EQ(Trackable::DeAllocateObject(name.c_str(), size), recorded ? 1 : 0);
    if (!recorded) return;
    --i->second.instances;
    i->second.size -= size;
    --totalObjects;
    totalSize -= size;
  }

  std::vector<std::string> ExpectedLines() const {
    std::vector<std::string> v;
    char sz[512];
    for (const std::string& key : order) {
      const Rec& r = recs.at(key);
      unsigned long avg = r.instances == 0 ? 0
                                           : static_cast<std::uint32_t>(r.size) /
                                                 static_cast<std::uint32_t>(r.instances);
      std::snprintf(sz, sizeof sz, "Class: %s.  Instances %ld.  Size: %ld.  Avg Size: %ld\r\n",
                    key.substr(0, 254).c_str(), r.instances, r.size, static_cast<long>(avg));
      v.push_back(std::string(sz).substr(0, 255));
    }
    std::snprintf(sz, sizeof sz, "Total Number of Objects: %ld, Cumulative Size: %ld\r\n", totalObjects, totalSize);
    v.push_back(std::string(sz).substr(0, 255));
    return v;
  }

  // Sink calls seen during a report, and the call that throws (0: none).
  struct SinkLog {
    std::vector<std::string> lines;
    std::vector<int> kinds;
  };
  static SinkLog& Log() {
    static SinkLog log;
    return log;
  }
  static void Sink(int kind, const char*, long, const char* text) {
    if (kind != Exceptions::eMessage && kind != Exceptions::eComment) return;
    Log().lines.push_back(text ? text : "");
    Log().kinds.push_back(kind);
    Tick();
  }
  // Runs Report with the sink's kth call throwing (0: none); "" when the
  // text and the sink lines are the model's (up to the throw).
  std::string RunReport(long k) {
    std::vector<std::string> expected = ExpectedLines();
    std::vector<char> out(256 * (order.size() + 1), 'x');
    Log() = SinkLog();
    ExceptionsSink previous = Exceptions::SetSink(&Sink);
    bool threw = false;
    try {
      if (k)
        threw = TM_THROWS_AT(k, Trackable::Report(out.data()));
      else
        TM_EQ(Trackable::Report(out.data()), 1);
    } catch (...) {
      Exceptions::SetSink(previous);
      throw;
    }
    Exceptions::SetSink(previous);
    TM_EQ(threw, k > 0 && k <= static_cast<long>(expected.size()));
    std::size_t n = threw ? static_cast<std::size_t>(k) : expected.size();
    TM_EQ(Log().lines, std::vector<std::string>(expected.begin(), expected.begin() + static_cast<long>(n)));
    for (std::size_t i = 0; i < n; ++i)
      TM_EQ(Log().kinds[i], i + 1 == expected.size() ? Exceptions::eComment : Exceptions::eMessage);
    if (threw) return "";
    std::string text;
    for (const std::string& s : expected) text += s;
    if (text != out.data()) return "report text differs: \"" + std::string(out.data()) + "\"";
    return "";
  }
  // A sink that throws at its kth line: the exception reaches the caller,
  // the records are as they were, and the tracker still works.
  void ThrowingSink(OpSource& src) {
    Op("Report, sink throws");
    TM_EQ(RunReport(1 + static_cast<long>(src.Pick(6))), "");
  }

  // A first record needs the dictionary and the record: either allocation
  // may fail, and the report then records nothing.
  void FailingAllocation(const std::string& name, long size, OpSource& src) {
    Op("AllocateObject, allocation fails");
    const long nth = 1 + static_cast<long>(src.Pick(4));
    SurvivesAllocationFailure(src.Chance(3) ? eAllocIndex : eAllocObject, nth, [&] {
      TM_EQ(Trackable::AllocateObject(name.c_str(), size), 1);
      Allocated(name, size);
    });
  }

  std::map<std::string, Rec> recs;
  std::vector<std::string> order;  // the records in report order
  long totalObjects = 0;
  long totalSize = 0;
};

}  // namespace tarncoll::test::model

#endif
