// Model of CPList (and of CPHashTable, which is a CPList): a std::list of
// items with the built-in cursor, look-ahead, reset point, remembered
// index, the FirstThat/NextThat search and one ListIterationState.
#ifndef TARNCOLL_TESTS_MODEL_LIST_MODEL_H
#define TARNCOLL_TESTS_MODEL_LIST_MODEL_H

#include <algorithm>
#include <iterator>
#include <list>
#include <memory>
#include <typeinfo>
#include <vector>

#include <cpcoll/CPHashTable.h>
#include <cpcoll/cplist.h>

#include "model/harness.h"
#include "model/walks.h"
#include "support/list_inspector.h"

namespace tarncoll::test::model {

template <class L>
class ListModel : public ModelBase {
  typedef std::list<void*>::iterator It;

 public:
  ListModel() { Seen().clear(); }
  ~ListModel() { delete pits; }

  void Step(OpSource& src) {
    void* pv = Item(src.Pick(24));
    // Long lists lean towards removal, so checks stay cheap.
    unsigned op = src.Pick(64);
    if (items.size() > 40 && op < 16) op += 16;
    switch (op) {
      case 0:
      case 1:
      case 2:
      case 3:
        Add(pv);
        break;
      case 4:
      case 5:
        Insert(pv);
        break;
      case 6:
      case 7:
        InsertAfter(pv);
        break;
      case 8:
        Intern(pv);
        break;
      case 9:
        AddBucket(pv);
        break;
      case 10:
        SortedCopyInto(src);
        break;
      case 11:
        AddFromOther(src);
        break;
      case 12:
        BuildFromVectorOp(src);
        break;
      case 13:
      case 14:
        GotoTop();
        break;
      case 15:
        GotoBottom();
        break;
      case 16:
      case 17:
      case 18:
        Detach(pv);
        break;
      case 19:
      case 20:
        Destroy(pv);
        break;
      case 21:
        RetrieveAndDetachTop();
        break;
      case 22:
        DetachCursorBucket();
        break;
      case 23:
        if (src.Chance(4)) DetachAllThat(pv);
        break;
      case 24:
        if (src.Chance(6)) ClearAll(src.Chance(2));
        break;
      case 25:
      case 26:
        Next();
        break;
      case 27:
        Prev();
        break;
      case 28:
        RetrieveIDX(src);
        break;
      case 29:
        Subscript(src);
        break;
      case 30:
        Fetch(src);
        break;
      case 31:
        PeekNext();
        break;
      case 32:
        Exists(pv);
        break;
      case 33:
        FindBucket(pv);
        break;
      case 34:
        ResetPoint(src);
        break;
      case 35:
        FirstThat(pv);
        break;
      case 36:
        NextThat(pv);
        break;
      case 37:
        ActionSearch(pv, src.Chance(2));
        break;
      case 38:
        ForEachAction();
        break;
      case 39:
        ForEachFn();
        break;
      case 40:
        AllThat(pv);
        break;
      case 41:
        FirstNodeThat(pv);
        break;
      case 42:
        Predecessor();
        break;
      case 43:
        BuildVectorOp();
        break;
      case 44:
        if (src.Chance(3)) SortOp();
        break;
      case 45:
        Copy(src);
        break;
      case 46:
        Typed(pv, src);
        break;
      case 47:
        Instance();
        break;
      case 48:
      case 49:
      case 50:
        StateMove(src);
        break;
      case 51:
        StateRead(src);
        break;
      case 52:
        IteratorWalk(pv, src);
        break;
      case 53:
        BadInput(src);
        break;
      case 54:
        Throwing(pv, src);
        break;
      case 55:
        FailingAllocation(pv, src);
        break;
      default:
        Fetch(src);
        break;
    }
    // A stale search state could look fresh again after 65,536 changes.
    if (bSearch && xact - nSearchSnap > 30000) FirstThat(pv);
    if (pits && xact - nStateSnap > 30000) DropState();
  }

  void Check() {
    TM_INV(CPListInspector::Check(lst));
    TM_EQ(lst.Length(), items.size());
    std::vector<void*> forward(items.begin(), items.end());
    TM_EQ(CPListInspector::Forward(lst), forward);
    std::reverse(forward.begin(), forward.end());
    TM_EQ(CPListInspector::Backward(lst), forward);
    TM_EQ(CPListInspector::IndexOf(lst, lst._get_pbktCursor()), Index(cur));
    TM_EQ(CPListInspector::IndexOf(lst, CPListInspector::Peeked(lst)), Index(peek));
    TM_EQ(CPListInspector::IndexOf(lst, CPListInspector::Reset(lst)), Index(reset));
    TM_EQ(lst._get_nDXCursor() != -1, known);
    TM_EQ(lst._get_nXACT(), static_cast<short>(xact));
    TM_EQ(lst.IsMT(), items.empty() ? 1 : 0);
  }

 private:
  // ---- model bookkeeping ----
  bool IsLast(It i) { return i != items.end() && std::next(i) == items.end(); }
  It Find(void* pv) { return std::find(items.begin(), items.end(), pv); }
  void* At(It i) { return i == items.end() ? nullptr : *i; }
  long Index(It i) { return i == items.end() ? -1 : static_cast<long>(std::distance(items.begin(), i)); }
  std::vector<void*> Items() const { return std::vector<void*>(items.begin(), items.end()); }
  void LinkChanged() {
    reset = items.end();
    known = false;
  }
  // After a search from the head (GotoTop, then Next until it stopped on
  // cur): the index is known only when it stopped on the head.
  void Searched() {
    peek = items.end();
    known = cur == items.begin();
  }
  // A positional read: without a known index it counts from GotoTop,
  // which ends the look-ahead.
  void Positioned(It i) {
    if (!known) peek = items.end();
    cur = i;
    known = true;
  }
  void Erase(It i) {
    if (cur == i) cur = std::next(i);
    if (peek == i) peek = items.end();
    LinkChanged();
    items.erase(i);
    ++xact;
  }
  void Cleared() {
    items.clear();
    cur = peek = reset = items.end();
    known = false;
    ++xact;
  }
  void Appended(void* pv) {
    items.push_back(pv);
    LinkChanged();
    ++xact;
  }
  void DropState() {
    delete pits;
    pits = nullptr;
  }

  // ---- insertion ----
  void Add(void* pv) {
    Op("Add");
    lst.Add(pv);
    Appended(pv);
  }
  void Insert(void* pv) {
    Op("Insert");
    TM_EQ(lst.Insert(pv), 1);
    if (cur != items.end()) {
      items.insert(cur, pv);
    } else if (items.empty()) {
      items.push_back(pv);
      cur = items.begin();
    } else {
      cur = items.begin();
      items.push_front(pv);
    }
    LinkChanged();
    ++xact;
  }
  void InsertAfter(void* pv) {
    Op("InsertAfter");
    int nExpected = cur != items.end() ? 1 : 0;
    TM_EQ(lst.InsertAfter(pv), nExpected);
    if (nExpected) {
      items.insert(std::next(cur), pv);
      LinkChanged();
      ++xact;
    }
  }
  void Intern(void* pv) {
    Op("Intern");
    lst.Intern(pv);
    cur = Find(pv);
    Searched();
    if (cur == items.end()) Appended(pv);
  }
  void AddBucket(void* pv) {
    Op("AddBucket");
    CPBucket* pbkt = new CPBucket;
    pbkt->_set_pvData(pv);
    lst.AddBucket(pbkt);
    Appended(pv);
  }
  // Fills an empty list through SortedCopy from a second list.
  void SortedCopyInto(OpSource& src) {
    Op("SortedCopy");
    L other;
    for (unsigned n = src.Pick(6); n; --n) other.Add(Item(src.Pick(24)));
    std::vector<void*> sorted = CPListInspector::Forward(other);
    lst.SortedCopy(&other, &CompareItems);
    TM_EQ(CPListInspector::Forward(other), sorted);  // the source keeps its order
    if (!items.empty() || sorted.empty()) return;
    std::sort(sorted.begin(), sorted.end());
    for (void* pvItem : sorted) Appended(pvItem);
  }
  void AddFromOther(OpSource& src) {
    L other;
    for (unsigned n = src.Pick(5); n; --n) other.Add(Item(src.Pick(24)));
    std::vector<void*> add = CPListInspector::Forward(other);
    if (src.Chance(2)) {
      Op("AddFrom");
      lst.AddFrom(&other);
    } else {
      Op("CopyFrom");
      lst.CopyFrom(&other);
      if (!items.empty()) add.clear();
    }
    for (void* pvItem : add) Appended(pvItem);
    TM_EQ(CPListInspector::Forward(other).size(), other.Length());
  }
  void BuildFromVectorOp(OpSource& src) {
    Op("BuildFromVector");
    std::vector<void*> v;
    for (unsigned n = src.Pick(5); n; --n) v.push_back(Item(src.Pick(24)));
    lst.BuildFromVector(v.empty() ? nullptr : v.data(), v.size());
    if (items.empty())
      for (void* pvItem : v) Appended(pvItem);
  }

  // ---- removal ----
  void Detach(void* pv) {
    Op("Detach");
    It i = Find(pv);
    LinkChanged();
    peek = items.end();
    cur = i;
    TM_EQ(lst.Detach(pv), i != items.end() ? 1 : 0);
    if (i != items.end())
      Erase(i);
    else
      Searched();
  }
  void Destroy(void* pv) {
    Op("Destroy");
    It i = Find(pv);
    LinkChanged();
    peek = items.end();
    cur = i;
    Seen().clear();
    TM_EQ(lst.Destroy(pv, &Record), i != items.end() ? 1 : 0);
    TM_EQ(Seen(), i != items.end() ? std::vector<void*>{pv} : std::vector<void*>{});
    if (i != items.end())
      Erase(i);
    else
      Searched();
  }
  void RetrieveAndDetachTop() {
    Op("RetrieveAndDetachTop");
    void* pvExpected = items.empty() ? nullptr : items.front();
    TM_EQ(lst.RetrieveAndDetachTop(), pvExpected);
    peek = items.end();
    if (!items.empty()) Erase(items.begin());
    cur = items.begin();
    known = pvExpected == nullptr;  // on an empty list: GotoTop alone
  }
  void DetachCursorBucket() {
    Op("DetachBucket");
    if (cur == items.end()) return;
    lst.DetachBucket(lst._get_pbktCursor());
    Erase(cur);
  }
  void DetachAllThat(void* pv) {
    Op("DetachAllThat");
    bool bWasEmpty = items.empty();
    lst.DetachAllThat([](void* p, void* pvUser) { return p == pvUser ? 0 : 1; }, pv);
    for (It i = items.begin(); i != items.end();) {
      It j = std::next(i);
      if (*i == pv) Erase(i);
      i = j;
    }
    LinkChanged();
    cur = peek = items.end();
    known = bWasEmpty;  // GotoTop alone on an empty list
  }
  void ClearAll(bool bDestroy) {
    Op(bDestroy ? "DestroyAll" : "DetachAll");
    Seen().clear();
    if (bDestroy) {
      TM_EQ(lst.DestroyAll(&Record), 1);
      TM_EQ(Seen(), Items());
    } else {
      TM_EQ(lst.DetachAll(), 1);
    }
    Cleared();
  }

  // ---- built-in cursor ----
  void GotoTop() {
    Op("GotoTop");
    lst.GotoTop();
    GotoTopState();
  }
  void GotoBottom() {
    Op("GotoBottom");
    lst.GotoBottom();
    cur = items.empty() ? items.end() : std::prev(items.end());
    peek = items.end();
    known = !items.empty();
  }
  void Next() {
    Op("Next");
    TM_EQ(lst.Next(), ModelNext());
  }
  long ModelNext() {
    known = false;
    if (cur == items.end()) return 0;
    ++cur;
    return cur != items.end() ? 1 : 0;
  }
  void Prev() {
    Op("Prev");
    known = false;
    long nExpected = 0;
    if (cur == items.end() || cur == items.begin()) {
      cur = items.end();
    } else {
      --cur;
      nExpected = 1;
    }
    TM_EQ(lst.Prev(), nExpected);
  }
  void RetrieveIDX(OpSource& src) {
    Op("RetrieveIDX");
    unsigned long idx = src.Pick(static_cast<unsigned>(items.size()) + 2);
    void* pvExpected = nullptr;
    if (idx < items.size()) {
      Positioned(std::next(items.begin(), static_cast<long>(idx)));
      pvExpected = *cur;
    }
    TM_EQ(lst.RetrieveIDX(idx), pvExpected);
  }
  void Subscript(OpSource& src) {
    Op("operator[]");
    int nSize = static_cast<int>(items.size());
    int i = static_cast<int>(src.Pick(2 * nSize + 3)) - nSize - 1;
    long n = i < 0 ? i + nSize : i;
    void* pvExpected = nullptr;
    if (n >= 0 && n < nSize) {
      Positioned(std::next(items.begin(), n));
      pvExpected = *cur;
    }
    TM_EQ(lst[i], pvExpected);
  }
  void Fetch(OpSource& src) {
    switch (src.Pick(4)) {
      case 0:
        Op("Retrieve");
        TM_EQ(lst.Retrieve(), At(cur));
        break;
      case 1:
        Op("Peek");
        TM_EQ(lst.Peek(), At(cur));
        peek = cur;
        break;
      case 2:
        Op("RetrieveBucket");
        TM_EQ(CPListInspector::IndexOf(lst, lst.RetrieveBucket()), Index(cur));
        break;
      default:
        Op("Get");
        TM_EQ(lst.Get(), At(cur));
        peek = items.end();
        known = false;
        if (cur != items.end()) ++cur;
        break;
    }
  }
  void PeekNext() {
    Op("PeekNext");
    void* pvExpected = nullptr;
    if (!IsLast(peek)) {
      peek = peek == items.end() ? cur : std::next(peek);
      pvExpected = At(peek);
    }
    TM_EQ(lst.PeekNext(), pvExpected);
  }
  void ResetPoint(OpSource& src) {
    switch (src.Pick(3)) {
      case 0:
        Op("SetResetPoint");
        lst.SetResetPoint();
        reset = cur;
        break;
      case 1:
        Op("GotoResetPoint");
        lst.GotoResetPoint();
        if (reset != items.end()) {
          cur = reset;
          peek = items.end();
          known = false;
        } else {
          GotoTopState();
        }
        break;
      default:
        Op("ClearResetPoint");
        lst.ClearResetPoint();
        reset = items.end();
        known = false;
        break;
    }
  }
  void GotoTopState() {
    cur = items.begin();
    peek = items.end();
    known = true;
  }

  // ---- searches ----
  void Exists(void* pv) {
    Op("Exists");
    cur = Find(pv);
    Searched();
    TM_EQ(lst.Exists(pv), cur != items.end() ? 1 : 0);
  }
  void FindBucket(void* pv) {
    Op("FindBucket");
    cur = Find(pv);
    Searched();
    CPBucket* pbkt = lst.FindBucket(pv);
    TM_EQ(CPListInspector::IndexOf(lst, pbkt), Index(cur));
    TM_EQ(lst._get_pbktGot() == pbkt || pbkt == nullptr, true);
  }
  void FirstThat(void* pv) {
    Op("FirstThat");
    if (items.empty()) {
      TM_EQ(lst.FirstThat(&IsUser, pv), nullptr);
      return;
    }
    It i = Find(pv);
    TM_EQ(lst.FirstThat(&IsUser, pv), At(i));
    cur = i;
    known = false;
    bSearch = true;
    search = i;
    nSearchSnap = xact;
  }
  void NextThat(void* pv) {
    Op("NextThat");
    if (!bSearch) {
      TM_EQ(lst.NextThat(&IsUser, pv), nullptr);
      return;
    }
    if (nSearchSnap != xact) {
      TM_STALE(lst.NextThat(&IsUser, pv));
      return;
    }
    It i = search == items.end() ? items.end() : std::find(std::next(search), items.end(), pv);
    TM_EQ(lst.NextThat(&IsUser, pv), At(i));
    search = cur = i;
    known = false;
  }
  // FirstThat / NextThat with an IteratorAction over the built-in cursor.
  void ActionSearch(void* pv, bool bNext) {
    Op(bNext ? "NextThat(action)" : "FirstThat(action)");
    MatchAction action(pv);
    It from = items.begin();
    if (bNext) {
      ModelNext();
      from = cur;
    } else {
      GotoTopState();
    }
    It i = std::find(from, items.end(), pv);
    void* pvResult = bNext ? lst.NextThat(&action) : lst.FirstThat(&action);
    TM_EQ(pvResult, At(i));
    TM_EQ(action.visited, std::vector<void*>(from, i == items.end() ? i : std::next(i)));
    if (i != from) known = false;
    cur = i;
  }
  void ForEachAction() {
    Op("ForEach(action)");
    MatchAction action(nullptr);
    lst.ForEach(&action);
    TM_EQ(action.visited, Items());
    GotoTopState();
    if (!items.empty()) known = false;
    cur = items.end();
  }
  void ForEachFn() {
    Op("ForEach(fn)");
    Seen().clear();
    lst.ForEach(&Record, nullptr);
    TM_EQ(Seen(), Items());
  }
  void AllThat(void* pv) {
    Op("AllThat");
    std::unique_ptr<CPCollection> pcl(lst.AllThat(&OneOrTwo, pv));
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<CPList>(pcl.get()));
    TM_EQ(ItemsOf(*pcl), std::vector<void*>(std::count(items.begin(), items.end(), pv), pv));
    GotoTopState();
    if (!items.empty()) known = false;
    cur = items.end();
  }
  void FirstNodeThat(void* pv) {
    Op("FirstInternalContainerThat");
    It i = Find(pv);
    CPBucket* pbkt = lst.FirstInternalContainerThat(
        [](void* pvNode, void* pvUser) { return static_cast<CPBucket*>(pvNode)->_get_pvData() == pvUser ? 1 : 0; }, pv);
    TM_EQ(CPListInspector::IndexOf(lst, pbkt), Index(i));
    cur = i;
    Searched();
    TM_EQ(lst.FirstInternalContainerThat(nullptr, pv), nullptr);
  }
  void Predecessor() {
    Op("GetPredecessor");
    CPBucket* pbkt = lst._get_pbktCursor();
    if (!pbkt) return;
    long nExpected = cur == items.begin() ? -1 : Index(cur) - 1;
    TM_EQ(CPListInspector::IndexOf(lst, lst.GetPredecessor(pbkt)), nExpected);
  }
  void BuildVectorOp() {
    Op("BuildVector");
    void** ppv = lst.BuildVector();
    TM_EQ(ppv == nullptr, items.empty());
    if (ppv) TM_EQ(std::vector<void*>(ppv, ppv + items.size()), Items());
    delete[] ppv;
    if (items.empty()) return;  // nothing walked
    GotoTopState();
    if (!items.empty()) known = false;
    cur = items.end();
  }
  void SortOp() {
    Op("Sort");
    lst.Sort(&CompareItems);
    Sorted();
  }
  void Sorted() {
    if (items.empty()) return;
    std::vector<void*> v = Items();
    std::sort(v.begin(), v.end());
    Cleared();
    for (void* pvItem : v) Appended(pvItem);
  }

  // ---- copies, instances, typed entry points ----
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      L copy(lst);
      TM_INV(CPListInspector::Check(copy));
      TM_EQ(CPListInspector::Forward(copy), Items());
      TM_TRUE(copy._get_pbktCursor() == nullptr);
      copy.Add(Item(0));  // the copy has nodes of its own
      TM_EQ(lst.Length(), items.size());
      return;
    }
    Op("operator=");
    L other;
    for (unsigned n = src.Pick(6); n; --n) other.Add(Item(src.Pick(24)));
    if (src.Chance(4)) {
      lst = static_cast<L&>(lst);  // self-assignment changes nothing
      return;
    }
    lst = other;
    std::vector<void*> v = CPListInspector::Forward(other);
    items.assign(v.begin(), v.end());
    cur = peek = reset = items.end();
    known = false;
    bSearch = false;
    ++xact;
    other.DetachAll();  // the target shares no node with the source
  }
  void Typed(void* pv, OpSource& src) {
    Op("typed entry points");
    switch (src.Pick(4)) {
      case 0:
        TM_EQ(lst.add(pv), 0);
        break;
      case 1:
        TM_EQ(lst.add(pv, 7L), 0);
        break;
      case 2:
        TM_EQ(lst.add(pv, "k"), 0);
        break;
      default:
        TM_EQ(lst.removeByProbe(pv), nullptr);
        break;
    }
    TM_EQ(lst.find(7L), nullptr);
    TM_EQ(lst.remove(pv), nullptr);
  }
  void Instance() {
    Op("CreateInstance");
    std::unique_ptr<CPCollection> pcl(lst.CreateInstance());
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<L>(pcl.get()));
    TM_EQ(pcl->Length(), 0u);
  }

  // ---- a ListIterationState beside the built-in cursor ----
  void StateMove(OpSource& src) {
    if (!pits || src.Chance(16)) {
      Op("CreateIterationState");
      DropState();
      pits = lst.CreateIterationState();
      TM_TRUE(pits != nullptr);
      TM_EQ(pits->gotoTop(), 1);
      spos = items.begin();
      nStateSnap = xact;
      bStateReset = false;  // a new state has no reset point
      return;
    }
    bool bStale = nStateSnap != xact;
    switch (src.Pick(6)) {
      case 0:
        Op("state gotoTop");
        TM_EQ(pits->gotoTop(), 1);
        spos = items.begin();
        nStateSnap = xact;
        break;
      case 1:
        Op("state gotoBottom");
        TM_EQ(pits->gotoBottom(), 1);
        spos = items.empty() ? items.end() : std::prev(items.end());
        nStateSnap = xact;
        break;
      case 2: {
        Op("state gotoIDX");
        if (bStale) break;  // an unmoved stale state would still name old nodes
        unsigned long idx = src.Pick(static_cast<unsigned>(items.size()) + 2);
        TM_EQ(pits->gotoIDX(idx), idx < items.size() ? 1 : 0);
        if (idx < items.size()) spos = std::next(items.begin(), static_cast<long>(idx));
        break;
      }
      case 3: {
        Op("state gotoNext");
        if (bStale) {
          TM_STALE(pits->gotoNext());
          break;
        }
        short nExpected = 0;
        if (spos != items.end()) {
          ++spos;
          nExpected = spos != items.end() ? 1 : 0;
        }
        TM_EQ(pits->gotoNext(), nExpected);
        break;
      }
      case 4: {
        Op("state gotoPrev");
        if (bStale) {
          TM_STALE(pits->gotoPrev());
          break;
        }
        short nExpected = 0;
        if (spos == items.end() || spos == items.begin()) {
          spos = items.end();
        } else {
          --spos;
          nExpected = 1;
        }
        TM_EQ(pits->gotoPrev(), nExpected);
        break;
      }
      default: {
        Op("state reset point");
        if (bStale) break;
        ListIterationState* plits = static_cast<ListIterationState*>(pits);
        if (src.Chance(2)) {
          plits->setResetPoint();
          sreset = spos;
          bStateReset = spos != items.end();
          nStateResetSnap = xact;
        } else {
          // A reset point from before a change may name a node that is
          // gone: it counts as none.
          plits->gotoResetPoint();
          if (bStateReset && nStateResetSnap == xact) {
            spos = sreset;
          } else {
            spos = items.begin();
            nStateSnap = xact;
          }
        }
        break;
      }
    }
  }
  void StateRead(OpSource& src) {
    Op("state retrieve");
    if (!pits) return;
    if (nStateSnap != xact) {
      if (src.Chance(2))
        TM_STALE(pits->retrieve());
      else
        TM_STALE(pits->retrieveInternalContainer());
      return;
    }
    TM_EQ(pits->retrieve(), At(spos));
    TM_EQ(CPListInspector::IndexOf(lst, static_cast<CPBucket*>(pits->retrieveInternalContainer())), Index(spos));
    ListIterationState* plits = static_cast<ListIterationState*>(pits);
    TM_EQ(plits->peek(), At(spos));
    if (spos != items.end())
      TM_EQ(CPListInspector::IndexOf(lst, plits->getPredecessor(plits->_get_pbktCursor())),
            spos == items.begin() ? -1L : Index(spos) - 1);
  }
  // The Iterator algorithms over a fresh state of the list.
  void IteratorWalk(void* pv, OpSource& src) {
    Op("Iterator algorithms");
    IteratorChecks(lst, Items(), pv, src);
  }

  // ---- caller code that throws ----
  // One callback-taking operation whose kth callback call throws.  The
  // exception reaches the caller unchanged; a kill walk has removed exactly
  // the items handed to kill (the one whose call threw included), in list
  // order; every other walk, search, sort and copy leaves the items as they
  // were.  Where the cursors stand afterwards is not modelled (the plain
  // steps model it for runs that do not throw): the model takes them from
  // the list, and each must name a node of it or none.
  void Throwing(void* pv, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(10));
    const std::vector<void*> before = Items();
    const std::vector<void*> prefix(before.begin(), before.begin() + std::min<std::size_t>(k, before.size()));
    bool threw = false, restart = false;
    Seen().clear();
    switch (src.Pick(10)) {
      case 0:
        Op("DestroyAll, kill throws");
        threw = TM_THROWS_AT(k, lst.DestroyAll(&Record));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        if (threw) {
          for (long i = 0; i < k; ++i) Erase(items.begin());
        } else {
          Cleared();
        }
        break;
      case 1: {
        Op("Destroy, kill throws");
        It i = Find(pv);
        threw = TM_THROWS_AT(k, lst.Destroy(pv, &Record));
        TM_EQ(threw, i != items.end() && k == 1);
        if (i != items.end()) Erase(i);
        break;
      }
      case 2:
        Op("ForEach(fn), action throws");
        threw = TM_THROWS_AT(k, lst.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        break;
      case 3: {
        Op("ForEach(IteratorAction), Perform throws");
        MatchAction action(nullptr);
        threw = TM_THROWS_AT(k, lst.ForEach(&action));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(action.visited, prefix);
        break;
      }
      case 4:
        Op("FirstThat, condition throws");
        threw = TM_THROWS_AT(k, lst.FirstThat(&IsUser, pv));
        restart = true;  // the search it began is not continued
        break;
      case 5: {
        Op("AllThat, condition throws");
        CPCollection* pcl = nullptr;
        threw = TM_THROWS_AT(k, pcl = lst.AllThat(&OneOrTwo, pv));
        TM_EQ(pcl == nullptr, threw);
        delete pcl;
        break;
      }
      case 6:
        Op("Sort, comparison throws");
        threw = TM_THROWS_AT(k, lst.Sort(&CompareItems));
        if (!threw) Sorted();
        break;
      case 7: {
        Op("SortedCopy, comparison throws");
        L target;
        threw = TM_THROWS_AT(k, target.SortedCopy(&lst, &CompareItems));
        std::vector<void*> sorted = before;
        std::sort(sorted.begin(), sorted.end());
        TM_EQ(CPListInspector::Forward(target), threw ? std::vector<void*>() : sorted);
        TM_INV(CPListInspector::Check(target));
        break;
      }
      case 8: {
        Op("FirstThat(IteratorAction), Perform throws");
        MatchAction action(pv);
        threw = TM_THROWS_AT(k, lst.FirstThat(&action));
        break;
      }
      default: {
        Op("Iterator algorithm, callback throws");
        std::unique_ptr<Iterator> pit(lst.GetIterator());
        TM_TRUE(pit != nullptr);
        if (src.Chance(2)) {
          threw = TM_THROWS_AT(k, pit->forEach(&Record, nullptr));
          TM_EQ(threw, k <= static_cast<long>(before.size()));
          TM_EQ(Seen(), prefix);
        } else {
          CPCollection* pcl = nullptr;
          threw = TM_THROWS_AT(k, pcl = pit->allThat(&IsUserShort, pv));
          TM_EQ(pcl == nullptr, threw);
          delete pcl;
        }
        break;
      }
    }
    TakeCursors(restart);
  }
  // Takes the cursors and the change count from the list; with restart, a
  // fresh search replaces the one a throw interrupted.
  void TakeCursors(bool restart = false) {
    auto at = [this](const CPBucket* pbkt) {
      long i = CPListInspector::IndexOf(lst, pbkt);
      TM_TRUE(pbkt == nullptr || i >= 0);  // never a node that is gone
      return i < 0 ? items.end() : std::next(items.begin(), i);
    };
    cur = at(lst._get_pbktCursor());
    peek = at(CPListInspector::Peeked(lst));
    reset = at(CPListInspector::Reset(lst));
    known = lst._get_nDXCursor() != -1;
    xact += static_cast<short>(lst._get_nXACT() - static_cast<short>(xact));
    if (restart) FirstThat(At(cur));
  }
  // ---- allocations that fail ----
  // An allocating operation whose nth library-object allocation fails: it
  // either completes as usual (the failure came later, or was done
  // without) or ends in its report with the items as they were.  Node
  // insertions and copies keep the cursors too; a search or a walk may
  // have moved them before the failure, so after those the model takes
  // them from the list.
  void FailingAllocation(void* pv, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(4));
    const unsigned which = src.Pick(8);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      switch (which) {
        case 0:
          Add(pv);
          break;
        case 1:
          Insert(pv);
          break;
        case 2:
          InsertAfter(pv);
          break;
        case 3:
          Copy(src);
          break;
        case 4:
          Intern(pv);
          break;
        case 5:
          AllThat(pv);
          break;
        case 6:
          BuildVectorOp();
          break;
        default:
          IteratorWalk(pv, src);
          break;
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
    if (!done && which >= 4) TakeCursors();
  }

  // ---- documented reports: each leaves the list as it was ----
  void BadInput(OpSource& src) {
    Op("bad input");
    switch (src.Pick(12)) {
      case 0:
        TM_REPORTS(lst.Detach(nullptr), "pvItem2Find !=0");
        break;
      case 7:
        TM_REPORTS(lst.Destroy(nullptr, &Record), "pvItem2Find !=0");
        break;
      case 8:
        TM_REPORTS(lst.Intern(nullptr), "pvItem2Find !=0");
        break;
      case 9:
        TM_REPORTS(lst.Exists(nullptr), "pvItem2Find !=0");
        break;
      case 10:
        TM_REPORTS(lst.DetachBucket(nullptr), "pvBucket2Kill");
        break;
      case 11:
        TM_REPORTS(lst.NextThat(nullptr, nullptr), "pfnCondFunc !=0");
        break;
      case 1:
        TM_REPORTS(lst.Destroy(Item(1), nullptr), "pfnKillFunc!=0");
        break;
      case 2:
        TM_REPORTS(lst.DestroyAll(nullptr), "pfnKillFunc !=0");
        break;
      case 3:
        TM_REPORTS(lst.AllThat(nullptr, nullptr), "pfnCondFunc !=0");
        break;
      case 4:
        TM_REPORTS(lst.DetachAllThat(nullptr, nullptr), "pfnCondFunc !=0");
        break;
      case 5:
        TM_REPORTS(lst.AddBucket(nullptr), "pbktA !=0");
        break;
      default:
        TM_REPORTS(lst.AddFrom(nullptr), "pclFrom");
        break;
    }
  }

  L lst;
  std::list<void*> items;
  It cur = items.end();     // built-in cursor; end(): off the list
  It peek = items.end();    // look-ahead; end(): none
  It reset = items.end();   // reset point; end(): none
  bool known = false;       // the list remembers its cursor's index
  long xact = 0;            // changes so far (nXACT, unwrapped)
  bool bSearch = false;     // a FirstThat(fn) search exists
  It search = items.end();  // where it stopped
  long nSearchSnap = 0;
  IterationState* pits = nullptr;  // the ListIterationState, or null
  It spos = items.end();
  It sreset = items.end();
  bool bStateReset = false;
  long nStateResetSnap = 0;
  long nStateSnap = 0;
};

}  // namespace tarncoll::test::model

#endif
