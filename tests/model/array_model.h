// Model of CPArray: a std::vector of items within a capacity, the built-in
// cursor index and one ArrayIterationState.
#ifndef TARNCOLL_TESTS_MODEL_ARRAY_MODEL_H
#define TARNCOLL_TESTS_MODEL_ARRAY_MODEL_H

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <vector>

#include <cpcoll/CpArray.h>

#include "model/harness.h"
#include "model/walks.h"
#include "support/array_inspector.h"

namespace tarncoll::test::model {

class ArrayModel : public ModelBase {
 public:
  ArrayModel() : arr(kStartCapacity), cap(kStartCapacity) {}
  ~ArrayModel() { delete pits; }

  void Step(OpSource& src) {
    void* pv = Item(src.Pick(20));
    unsigned op = src.Pick(40);
    if (items.size() > 40 && op < 8) op += 8;
    switch (op) {
      case 0:
      case 1:
      case 2:
      case 3:
        Add(pv);
        break;
      case 4:
      case 5:
        InsertIDX(pv, src);
        break;
      case 6:
        BuildFromVectorOp(src);
        break;
      case 7:
        AddFromOther(src);
        break;
      case 8:
      case 9:
      case 10:
        Remove(pv, false);
        break;
      case 11:
      case 12:
        Remove(pv, true);
        break;
      case 13:
        if (src.Chance(4)) ClearAll(src.Chance(2));
        break;
      case 14:
        if (src.Chance(2)) Resize(src);
        break;
      case 15:
        RetrieveIDX(src);
        break;
      case 16:
        GotoTop();
        break;
      case 17:
        GotoBottom();
        break;
      case 18:
      case 19:
        Next();
        break;
      case 20:
        Prev();
        break;
      case 21:
      case 22:
        Retrieve();
        break;
      case 23:
        AllThat(pv);
        break;
      case 24:
        ForEachFn();
        break;
      case 25:
        ForEachAction();
        break;
      case 26:
        FirstThat(pv);
        break;
      case 27:
        NextThat(pv);
        break;
      case 28:
        BuildVectorOp();
        break;
      case 29:
        if (src.Chance(2)) SortOp();
        break;
      case 30:
        SortedCopyInto(src);
        break;
      case 31:
        Copy(src);
        break;
      case 32:
        Typed(pv, src);
        break;
      case 33:
        Instance();
        break;
      case 34:
      case 35:
      case 36:
        StateOp(src);
        break;
      case 37:
        IteratorWalk(pv, src);
        break;
      case 38:
        BadInput(src);
        break;
      case 39:
        Throwing(pv, src);
        break;
      default:
        Retrieve();
        break;
    }
    if (pits && xact - nStateSnap > 30000) {
      delete pits;
      pits = nullptr;
    }
  }

  void Check() {
    TM_INV(CPArrayInspector::Check(arr));
    TM_EQ(arr.Length(), items.size());
    TM_EQ(arr._get_ulArraySize(), cap);
    TM_EQ(arr._get_ulCurrentIndex(), items.size());
    TM_EQ(std::vector<void*>(arr._get_arpvThe(), arr._get_arpvThe() + arr._get_ulCurrentIndex()), items);
    TM_EQ(CPArrayInspector::Cursor(arr), cursor);
    TM_EQ(arr._get_nXACT(), static_cast<short>(xact));
  }

 private:
  enum { kStartCapacity = 24 };

  void* At(unsigned long i) const { return i < items.size() ? items[i] : nullptr; }
  void Added(void* pv) {
    if (items.size() < cap) {
      items.push_back(pv);
      ++xact;
    }
  }
  // The inherited walks: GotoTop, then Next until Retrieve gives null.
  void Walked() { cursor = items.size(); }

  void Add(void* pv) {
    Op("Add");
    arr.Add(pv);
    Added(pv);
  }
  void InsertIDX(void* pv, OpSource& src) {
    Op("InsertIDX");
    unsigned long idx = src.Pick(static_cast<unsigned>(cap) + 3);
    char nExpected = 1;
    if (idx > cap) {
      nExpected = 0;
    } else if (idx > items.size()) {
      Added(pv);
    } else if (items.size() >= cap) {
      nExpected = 0;  // full: no slot to move into
    } else {
      items.insert(items.begin() + static_cast<long>(idx), pv);
      ++xact;
    }
    TM_EQ(arr.InsertIDX(idx, pv), nExpected);
  }
  void BuildFromVectorOp(OpSource& src) {
    Op("BuildFromVector");
    std::vector<void*> v;
    for (unsigned n = src.Pick(5); n; --n) v.push_back(Item(src.Pick(20)));
    arr.BuildFromVector(v.empty() ? nullptr : v.data(), v.size());
    if (items.empty())
      for (void* pvItem : v) Added(pvItem);
  }
  void AddFromOther(OpSource& src) {
    CPArray other(8);
    for (unsigned n = src.Pick(5); n; --n) other.Add(Item(src.Pick(20)));
    std::vector<void*> add(other._get_arpvThe(), other._get_arpvThe() + other._get_ulCurrentIndex());
    if (src.Chance(2)) {
      Op("AddFrom");
      arr.AddFrom(&other);
    } else {
      Op("CopyFrom");
      arr.CopyFrom(&other);
      if (!items.empty()) add.clear();
    }
    for (void* pvItem : add) Added(pvItem);
  }
  void Remove(void* pv, bool bDestroy) {
    Op(bDestroy ? "Destroy" : "Detach");
    auto i = std::find(items.begin(), items.end(), pv);
    Seen().clear();
    char nResult = bDestroy ? arr.Destroy(pv, &Record) : arr.Detach(pv);
    TM_EQ(nResult, i != items.end() ? 1 : 0);
    TM_EQ(Seen().size(), bDestroy && i != items.end() ? 1u : 0u);
    if (i == items.end()) return;
    items.erase(i);
    cursor = 0;
    ++xact;
  }
  void ClearAll(bool bDestroy) {
    Op(bDestroy ? "DestroyAll" : "DetachAll");
    Seen().clear();
    if (bDestroy) {
      TM_EQ(arr.DestroyAll(&Record), 1);
      TM_EQ(Seen(), items);
      Walked();
      xact += 2;  // DetachAll, then the count cleared once more
    } else {
      TM_EQ(arr.DetachAll(), 1);
      ++xact;
    }
    items.clear();
  }
  void Resize(OpSource& src) {
    Op("Resize");
    unsigned long n = src.Pick(48);
    arr.Resize(n);
    cap = n;
    cursor = 0;
    if (items.size() > n) {
      items.resize(n);
      ++xact;
    }
  }
  void RetrieveIDX(OpSource& src) {
    Op("RetrieveIDX");
    unsigned long idx = src.Pick(static_cast<unsigned>(items.size()) + 2);
    TM_EQ(arr.RetrieveIDX(idx), At(idx));
  }
  void GotoTop() {
    Op("GotoTop");
    arr.GotoTop();
    cursor = 0;
  }
  void GotoBottom() {
    Op("GotoBottom");
    arr.GotoBottom();
    cursor = items.size() - 1;  // wraps off the end when empty
  }
  void Next() {
    Op("Next");
    long nExpected = 0;
    if (cursor < items.size())
      nExpected = static_cast<long>(++cursor);
    else
      cursor = items.size();
    TM_EQ(arr.Next(), nExpected);
  }
  void Prev() {
    Op("Prev");
    long nExpected = 0;
    if (cursor > 0) nExpected = static_cast<long>(--cursor);
    TM_EQ(arr.Prev(), nExpected);
  }
  void Retrieve() {
    Op("Retrieve");
    TM_EQ(arr.Retrieve(), At(cursor));
  }
  void AllThat(void* pv) {
    Op("AllThat");
    std::unique_ptr<CPCollection> pcl(arr.AllThat(&OneOrTwo, pv));
    if (items.empty()) {
      TM_TRUE(pcl == nullptr);
      return;
    }
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<CPArray>(pcl.get()));
    std::vector<void*> expected;
    for (void* pvItem : items)
      if (OneOrTwo(pvItem, pv)) expected.push_back(pvItem);  // any non-zero result counts
    TM_EQ(ItemsOf(*pcl), expected);
    TM_EQ(static_cast<CPArray&>(*pcl)._get_ulArraySize(), items.size());
    Walked();
  }
  void ForEachFn() {
    Op("ForEach(fn)");
    Seen().clear();
    arr.ForEach(&Record, nullptr);
    TM_EQ(Seen(), items);
    Walked();
  }
  void ForEachAction() {
    Op("ForEach(action)");
    MatchAction action(nullptr);
    arr.ForEach(&action);
    TM_EQ(action.visited, items);
    Walked();
  }
  void FirstThat(void* pv) {
    Op("FirstThat");
    auto i = std::find(items.begin(), items.end(), pv);
    TM_EQ(arr.FirstThat(&IsUser, pv), i == items.end() ? nullptr : pv);
    cursor = static_cast<unsigned long>(i - items.begin());
  }
  void NextThat(void* pv) {
    Op("NextThat");
    if (cursor < items.size())
      ++cursor;
    else
      cursor = items.size();
    auto i =
        std::find(items.begin() + static_cast<long>(std::min<unsigned long>(cursor, items.size())), items.end(), pv);
    TM_EQ(arr.NextThat(&IsUser, pv), i == items.end() ? nullptr : pv);
    if (cursor < items.size()) cursor = static_cast<unsigned long>(i - items.begin());
  }
  void BuildVectorOp() {
    Op("BuildVector");
    TM_EQ(ItemsOf(arr), items);
    if (!items.empty()) Walked();
  }
  void SortOp() {
    Op("Sort");
    arr.Sort(&CompareItems);
    if (items.empty()) return;
    std::sort(items.begin(), items.end());
    Walked();
    xact += 1 + static_cast<long>(items.size());  // DetachAll, then one Add each
  }
  // One callback-taking operation whose kth callback call throws: the
  // exception reaches the caller unchanged; DestroyAll has removed exactly
  // the items it handed to kill, the first k, and keeps the rest in order;
  // the walks, Sort and SortedCopy change no item.  The cursor and the
  // change count are taken from the array.
  void Throwing(void* pv, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(10));
    const std::vector<void*> before = items;
    const std::size_t nHanded = std::min<std::size_t>(static_cast<std::size_t>(k), before.size());
    const std::vector<void*> prefix(before.begin(), before.begin() + static_cast<long>(nHanded));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(6)) {
      case 0:
        Op("DestroyAll, kill throws");
        threw = TM_THROWS_AT(k, arr.DestroyAll(&Record));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        items.erase(items.begin(), items.begin() + static_cast<long>(nHanded));
        break;
      case 1:
        Op("ForEach(fn), action throws");
        threw = TM_THROWS_AT(k, arr.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        break;
      case 2: {
        Op("ForEach(IteratorAction), Perform throws");
        MatchAction action(nullptr);
        threw = TM_THROWS_AT(k, arr.ForEach(&action));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(action.visited, prefix);
        break;
      }
      case 3:
        Op("FirstThat, condition throws");
        threw = TM_THROWS_AT(k, arr.FirstThat(&IsUser, pv));
        break;
      case 4:
        Op("Sort, comparison throws");
        threw = TM_THROWS_AT(k, arr.Sort(&CompareItems));
        if (!threw) std::sort(items.begin(), items.end());
        break;
      default: {
        Op("SortedCopy, comparison throws");
        CPArray target(static_cast<unsigned long>(items.size()) + 1);
        threw = TM_THROWS_AT(k, target.SortedCopy(&arr, &CompareItems));
        std::vector<void*> sorted = before;
        std::sort(sorted.begin(), sorted.end());
        TM_EQ(ItemsOf(target), threw ? std::vector<void*>() : sorted);
        TM_INV(CPArrayInspector::Check(target));
        break;
      }
    }
    Seen().clear();
    cursor = CPArrayInspector::Cursor(arr);
    xact += static_cast<short>(arr._get_nXACT() - static_cast<short>(xact));
  }
  void SortedCopyInto(OpSource& src) {
    Op("SortedCopy");
    CPArray other(8);
    for (unsigned n = src.Pick(6); n; --n) other.Add(Item(src.Pick(20)));
    std::vector<void*> v(other._get_arpvThe(), other._get_arpvThe() + other._get_ulCurrentIndex());
    arr.SortedCopy(&other, &CompareItems);
    TM_EQ(std::vector<void*>(other._get_arpvThe(), other._get_arpvThe() + other._get_ulCurrentIndex()), v);
    if (!items.empty()) return;
    std::sort(v.begin(), v.end());
    for (void* pvItem : v) Added(pvItem);
  }
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CPArray copy(arr);
      TM_INV(CPArrayInspector::Check(copy));
      TM_EQ(copy._get_ulArraySize(), cap);
      TM_EQ(ItemsOf(copy), items);
      TM_TRUE(items.empty() || copy._get_arpvThe() != arr._get_arpvThe());
      return;
    }
    Op("operator=");
    CPArray other(src.Pick(30));
    for (unsigned n = src.Pick(8); n; --n) other.Add(Item(src.Pick(20)));
    if (src.Chance(4)) {
      arr = static_cast<CPArray&>(arr);  // self-assignment changes nothing
      return;
    }
    arr = other;
    items.assign(other._get_arpvThe(), other._get_arpvThe() + other._get_ulCurrentIndex());
    cap = other._get_ulArraySize();
    cursor = CPArrayInspector::Cursor(other);
    other.DetachAll();  // the copy keeps its own block
    xact = arr._get_nXACT();
    if (pits) {  // the copy is a different content: start the state anew
      delete pits;
      pits = nullptr;
    }
  }
  void Typed(void* pv, OpSource& src) {
    Op("typed entry points");
    switch (src.Pick(3)) {
      case 0:
        TM_EQ(arr.add(pv), 0);
        break;
      case 1:
        TM_EQ(arr.add(pv, 3L), 0);
        break;
      default:
        TM_EQ(arr.removeByProbe(pv), nullptr);
        break;
    }
    TM_EQ(arr.find(3L), nullptr);
  }
  void Instance() {
    Op("CreateInstance");
    std::unique_ptr<CPCollection> pcl(arr.CreateInstance());
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<CPArray>(pcl.get()));
    TM_EQ(static_cast<CPArray&>(*pcl)._get_ulArraySize(), 256u);
  }
  void StateOp(OpSource& src) {
    if (!pits || src.Chance(16)) {
      Op("CreateIterationState");
      delete pits;
      pits = arr.CreateIterationState();
      TM_TRUE(pits != nullptr);
      TM_EQ(pits->gotoTop(), 1);
      spos = 0;
      nStateSnap = xact;
      return;
    }
    bool bStale = nStateSnap != xact;
    switch (src.Pick(6)) {
      case 0:
        Op("state gotoTop");
        TM_EQ(pits->gotoTop(), 1);
        spos = 0;
        nStateSnap = xact;
        break;
      case 1:
        Op("state gotoBottom");
        TM_EQ(pits->gotoBottom(), 1);
        spos = items.size() - 1;
        nStateSnap = xact;
        break;
      case 2: {
        Op("state gotoIDX");
        unsigned long idx = src.Pick(static_cast<unsigned>(items.size()) + 2);
        TM_EQ(pits->gotoIDX(idx), idx < items.size() ? 1 : 0);
        if (idx < items.size()) spos = idx;
        nStateSnap = xact;
        break;
      }
      case 3:
        Op("state gotoNext");
        if (bStale) {
          TM_STALE(pits->gotoNext());
        } else if (spos < items.size()) {
          ++spos;
          TM_EQ(pits->gotoNext(), static_cast<short>(spos));
        } else {
          spos = items.size();
          TM_EQ(pits->gotoNext(), 0);
        }
        break;
      case 4:
        Op("state gotoPrev");
        if (bStale) {
          TM_STALE(pits->gotoPrev());
        } else {
          short nExpected = 0;
          if (spos > 0) nExpected = static_cast<short>(--spos);
          TM_EQ(pits->gotoPrev(), nExpected);
        }
        break;
      default:
        Op("state retrieve");
        if (bStale) {
          TM_STALE(pits->retrieve());
        } else {
          TM_EQ(pits->retrieve(), At(spos));
          TM_TRUE(pits->retrieveInternalContainer() == nullptr);
        }
        break;
    }
  }
  void IteratorWalk(void* pv, OpSource& src) {
    Op("Iterator algorithms");
    IteratorChecks(arr, items, pv, src);
  }
  void BadInput(OpSource& src) {
    Op("bad input");
    if (src.Chance(2))
      TM_REPORTS(arr.AddFrom(nullptr), "pclFrom");
    else
      TM_REPORTS(arr.SortedCopy(nullptr, &CompareItems), "pcollFrom");
  }

  CPArray arr;
  std::vector<void*> items;
  unsigned long cap;
  unsigned long cursor = 0;
  long xact = 0;
  IterationState* pits = nullptr;
  unsigned long spos = 0;
  long nStateSnap = 0;
};

}  // namespace tarncoll::test::model

#endif
