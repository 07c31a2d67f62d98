// Model of CPStack: a std::vector of items from the bottom (oldest) to the
// top within a capacity, the bottom-up cursor and one StackIterationState,
// with steps whose callbacks throw and steps whose allocations fail.
#ifndef TARNCOLL_TESTS_MODEL_STACK_MODEL_H
#define TARNCOLL_TESTS_MODEL_STACK_MODEL_H

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <vector>

#include <cpcoll/cpstack.h>

#include "model/harness.h"
#include "model/walks.h"
#include "support/stack_inspector.h"

namespace tarncoll::test::model {

class StackModel : public ModelBase {
 public:
  StackModel() : stk(kCapacity), cap(kCapacity) {}
  ~StackModel() { delete pits; }

  void Step(OpSource& src) {
    void* pv = Item(src.Pick(20));
    unsigned op = src.Pick(32);
    switch (op) {
      case 0:
      case 1:
      case 2:
      case 3:
        Push(pv, src.Chance(2));
        break;
      case 4:
      case 5:
        Pop();
        break;
      case 6:
        Remove(pv, false);
        break;
      case 7:
        Remove(pv, true);
        break;
      case 8:
        if (src.Chance(4)) ClearAll(src.Chance(2));
        break;
      case 9:
        Ends();
        break;
      case 10:
      case 11:
        Indexed(src);
        break;
      case 12:
        GotoTop();
        break;
      case 13:
        GotoBottom();
        break;
      case 14:
      case 15:
        Next();
        break;
      case 16:
        Prev();
        break;
      case 17:
      case 18:
        Retrieve();
        break;
      case 19:
        ForEachFn();
        break;
      case 20:
        Unsupported(src);
        break;
      case 21:
        BuildVectorOp();
        break;
      case 22:
        AddFromOther(src);
        break;
      case 23:
        Copy(src);
        break;
      case 24:
        Typed(pv, src);
        break;
      case 25:
        Instance();
        break;
      case 26:
      case 27:
      case 28:
        StateOp(src);
        break;
      case 29:
        IteratorWalk(pv, src);
        break;
      case 30:
        Throwing(pv, src);
        break;
      case 31:
        FailingAllocation(pv, src);
        break;
      default:
        Ends();
        break;
    }
    if (pits && xact - nStateSnap > 30000) {
      delete pits;
      pits = nullptr;
    }
  }

  void Check() {
    TM_INV(CPStackInspector::Check(stk));
    TM_EQ(stk.Length(), items.size());
    TM_EQ(CPStackInspector::Capacity(stk), cap);
    void** ppv = CPStackInspector::Block(stk);
    TM_EQ(std::vector<void*>(ppv, ppv + items.size()), items);
    TM_EQ(CPStackInspector::Cursor(stk), cursor);
    TM_EQ(stk._get_nXACT(), static_cast<short>(xact));
  }

 private:
  enum { kCapacity = 24 };

  void* At(unsigned long i) const { return i < items.size() ? items[i] : nullptr; }
  // The item i places below the top, or null.
  void* FromTop(unsigned long i) const { return i < items.size() ? items[items.size() - 1 - i] : nullptr; }
  void Pushed(void* pv) {
    if (items.size() >= cap) return;
    items.push_back(pv);
    ++xact;
  }

  void Push(void* pv, bool bPush) {
    if (bPush) {
      Op("Push");
      TM_EQ(stk.Push(pv), items.size() < cap ? 1u : 0u);
    } else {
      Op("Add");
      stk.Add(pv);
    }
    Pushed(pv);
  }
  void Pop() {
    Op("Pop");
    TM_EQ(stk.Pop(), FromTop(0));
    if (items.empty()) return;
    items.pop_back();
    ++xact;
  }
  // Detach / Destroy: found from the top, then unwound down to it.
  void Remove(void* pv, bool bDestroy) {
    Op(bDestroy ? "Destroy" : "Detach");
    auto r = std::find(items.rbegin(), items.rend(), pv);
    Seen().clear();
    char nResult = bDestroy ? stk.Destroy(pv, &Record) : stk.Detach(pv);
    TM_EQ(nResult, r != items.rend() ? 1 : 0);
    TM_EQ(Seen(), bDestroy && r != items.rend() ? std::vector<void*>{pv} : std::vector<void*>{});
    if (r != items.rend()) UnwindTo(static_cast<unsigned long>(items.rend() - r) - 1);
  }
  // The items from slot nKeep up leave, one change each, as Pop counts them.
  void UnwindTo(unsigned long nKeep) {
    xact += static_cast<long>(items.size() - nKeep);
    items.resize(nKeep);
  }
  void ClearAll(bool bDestroy) {
    Op(bDestroy ? "DestroyAll" : "DetachAll");
    Seen().clear();
    if (bDestroy) {
      TM_EQ(stk.DestroyAll(&Record), 1);
      TM_EQ(Seen(), items);
    } else {
      TM_EQ(stk.DetachAll(), 1);
    }
    items.clear();
    cursor = 0;
    ++xact;
  }
  void Ends() {
    Op("Top / Bottom");
    TM_EQ(stk.Top(), FromTop(0));
    TM_EQ(stk.Bottom(), items.empty() ? nullptr : items.front());
  }
  void Indexed(OpSource& src) {
    Op("RetrieveIDX / operator[]");
    unsigned long i = src.Pick(static_cast<unsigned>(items.size()) + 2);
    TM_EQ(stk.RetrieveIDX(i), FromTop(i));
    TM_EQ(stk[i], FromTop(i));
  }
  void GotoTop() {
    Op("GotoTop");
    stk.GotoTop();
    cursor = 0;
  }
  void GotoBottom() {
    Op("GotoBottom");
    stk.GotoBottom();
    cursor = items.empty() ? 0 : items.size() - 1;
  }
  long ModelNext() {
    if (cursor < items.size()) return static_cast<long>(++cursor);
    cursor = 0;  // wraps to the oldest item
    return 0;
  }
  void Next() {
    Op("Next");
    TM_EQ(stk.Next(), ModelNext());
  }
  void Prev() {
    Op("Prev");
    if (cursor != 0) --cursor;
    TM_EQ(stk.Prev(), static_cast<long>(cursor));
  }
  void Retrieve() {
    Op("Retrieve");
    TM_EQ(stk.Retrieve(), At(cursor));
  }
  void ForEachFn() {
    Op("ForEach(fn)");
    Seen().clear();
    stk.ForEach(&Record, nullptr);
    TM_EQ(Seen(), items);
  }
  // The condition walks are not supported on a stack.
  void Unsupported(OpSource& src) {
    Op("unsupported walk");
    MatchAction action(nullptr);
    switch (src.Pick(4)) {
      case 0:
        TM_REPORTS(stk.ForEach(&action), "1==0");
        break;
      case 1:
        TM_REPORTS(stk.FirstThat(&IsUser, nullptr), "1==0");
        break;
      case 2:
        TM_REPORTS(stk.NextThat(&IsUser, nullptr), "1==0");
        break;
      default:
        TM_REPORTS(stk.AllThat(&IsUser, nullptr), "1==0");
        break;
    }
    TM_TRUE(action.visited.empty());
  }
  void BuildVectorOp() {
    Op("BuildVector");
    TM_EQ(ItemsOf(stk), items);
    if (!items.empty()) cursor = items.size();  // one step past the newest item
  }
  void AddFromOther(OpSource& src) {
    CPStack other(6);
    for (unsigned n = src.Pick(5); n; --n) other.Push(Item(src.Pick(20)));
    std::vector<void*> add(CPStackInspector::Block(other), CPStackInspector::Block(other) + other.Length());
    if (src.Chance(2)) {
      Op("AddFrom");
      stk.AddFrom(&other);
    } else {
      Op("CopyFrom");
      stk.CopyFrom(&other);
      if (!items.empty()) add.clear();
    }
    for (void* pvItem : add) Pushed(pvItem);
  }
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CPStack copy(stk);
      TM_INV(CPStackInspector::Check(copy));
      TM_EQ(CPStackInspector::Capacity(copy), cap);
      TM_EQ(ItemsOf(copy), items);
      TM_TRUE(CPStackInspector::Block(copy) != CPStackInspector::Block(stk));
      return;
    }
    Op("operator=");
    CPStack other(src.Pick(30));
    for (unsigned n = src.Pick(8); n; --n) other.Push(Item(src.Pick(20)));
    if (src.Chance(4)) {
      stk = static_cast<CPStack&>(stk);  // self-assignment changes nothing
      return;
    }
    stk = other;
    items.assign(CPStackInspector::Block(other), CPStackInspector::Block(other) + other.Length());
    cap = CPStackInspector::Capacity(other);
    cursor = CPStackInspector::Cursor(other);
    other.DetachAll();  // the copy keeps its own block
    xact = stk._get_nXACT();
    delete pits;
    pits = nullptr;
  }
  void Typed(void* pv, OpSource& src) {
    Op("typed entry points");
    switch (src.Pick(3)) {
      case 0:
        TM_EQ(stk.add(pv), 0);
        break;
      case 1:
        TM_EQ(stk.add(pv, "k"), 0);
        break;
      default:
        TM_EQ(stk.removeByProbe(pv), nullptr);
        break;
    }
    TM_EQ(stk.remove(3L), nullptr);
  }
  void Instance() {
    Op("CreateInstance");
    std::unique_ptr<CPCollection> pcl(stk.CreateInstance());
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<CPStack>(pcl.get()));
    TM_EQ(CPStackInspector::Capacity(static_cast<CPStack&>(*pcl)), 255u);
  }
  void StateOp(OpSource& src) {
    if (!pits || src.Chance(16)) {
      Op("CreateIterationState");
      delete pits;
      pits = stk.CreateIterationState();
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
        spos = items.empty() ? 0 : items.size() - 1;
        nStateSnap = xact;
        break;
      case 2: {
        Op("state gotoIDX");
        unsigned long i = src.Pick(static_cast<unsigned>(items.size()) + 2);
        TM_EQ(pits->gotoIDX(i), 1);  // counted from the newest item
        if (i < items.size()) spos = items.size() - 1 - i;
        nStateSnap = xact;
        break;
      }
      case 3:
        Op("state gotoNext");
        if (bStale) {
          TM_STALE(pits->gotoNext());
          break;
        }
        spos = spos < items.size() ? spos + 1 : 0;
        TM_EQ(pits->gotoNext(), 1);
        break;
      case 4:
        Op("state gotoPrev");
        if (bStale) {
          TM_STALE(pits->gotoPrev());
          break;
        }
        if (spos != 0) --spos;
        TM_EQ(pits->gotoPrev(), 1);
        break;
      default:
        Op("state retrieve");
        if (bStale) {
          TM_STALE(pits->retrieve());
          break;
        }
        TM_EQ(pits->retrieve(), At(spos));
        TM_TRUE(pits->retrieveInternalContainer() == nullptr);
        break;
    }
  }
  void IteratorWalk(void* pv, OpSource& src) {
    Op("Iterator algorithms");
    IteratorChecks(stk, items, pv, src);
  }

  // ---- caller code that throws ----
  // One callback-taking operation whose kth callback call throws; the
  // exception reaches the caller unchanged.  A throwing DestroyAll drops
  // the items handed to kill (the one whose call threw included) from the
  // bottom, keeps the others in their order, counts one change and puts
  // the cursor on the bottom; a throwing Destroy unwinds down to its item
  // as it does without the throw; the walks change nothing.
  void Throwing(void* pv, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(10));
    const long n = static_cast<long>(items.size());
    const std::vector<void*> prefix(items.begin(), items.begin() + std::min(k, n));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(5)) {
      case 0:
        Op("DestroyAll, kill throws");
        threw = TM_THROWS_AT(k, stk.DestroyAll(&Record));
        TM_EQ(threw, k <= n);
        TM_EQ(Seen(), prefix);
        items.erase(items.begin(), items.begin() + static_cast<long>(prefix.size()));
        cursor = 0;
        ++xact;
        break;
      case 1: {
        Op("Destroy, kill throws");
        auto r = std::find(items.rbegin(), items.rend(), pv);
        threw = TM_THROWS_AT(k, stk.Destroy(pv, &Record));
        TM_EQ(threw, r != items.rend() && k == 1);
        TM_EQ(Seen(), r != items.rend() ? std::vector<void*>{pv} : std::vector<void*>{});
        if (r != items.rend()) UnwindTo(static_cast<unsigned long>(items.rend() - r) - 1);
        break;
      }
      case 2:
        Op("ForEach(fn), action throws");
        threw = TM_THROWS_AT(k, stk.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= n);
        TM_EQ(Seen(), prefix);
        break;
      case 3: {
        Op("Iterator forEach, action throws");
        std::unique_ptr<Iterator> pit(stk.GetIterator());
        TM_TRUE(pit != nullptr);
        threw = TM_THROWS_AT(k, pit->forEach(&Record, nullptr));
        TM_EQ(threw, k <= n);
        TM_EQ(Seen(), prefix);
        break;
      }
      default: {
        Op("Iterator allThat, condition throws");
        std::unique_ptr<Iterator> pit(stk.GetIterator());
        TM_TRUE(pit != nullptr);
        CPCollection* pcl = nullptr;
        threw = TM_THROWS_AT(k, pcl = pit->allThat(&IsUserShort, pv));
        TM_EQ(threw, k <= n);
        TM_EQ(pcl == nullptr, threw);
        delete pcl;
        break;
      }
    }
    Seen().clear();
  }

  // ---- allocations that fail ----
  // The block and BuildVector's vector come from the standard allocator;
  // the library objects a stack makes are instances, iteration states,
  // iterators and their results.  With the nth of those failing,
  // BuildVector completes as usual, the Iterator algorithms complete or end
  // in their report with the stack as it was (cursor included), and
  // CreateInstance and CreateIterationState answer null, and only when the
  // allocation failed.
  void FailingAllocation(void* pv, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(3));
    const unsigned which = src.Pick(4);
    std::unique_ptr<CPCollection> pcl;
    IterationState* pitsNew = nullptr;
    Op(which == 0 ? "BuildVector, allocation fails"
                  : which == 1 ? "Iterator algorithms, allocation fails"
                               : which == 2 ? "CreateInstance, allocation fails" : "CreateIterationState, allocation fails");
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      switch (which) {
        case 0:
          BuildVectorOp();
          break;
        case 1:
          IteratorWalk(pv, src);
          break;
        case 2:
          pcl.reset(stk.CreateInstance());
          if (!pcl) TM_TRUE(ObjectFailureFired(nth));
          break;
        default:
          pitsNew = stk.CreateIterationState();
          if (!pitsNew) TM_TRUE(ObjectFailureFired(nth));
          break;
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
    if (pcl) {
      TM_TRUE(SameClass<CPStack>(pcl.get()));
      TM_EQ(CPStackInspector::Capacity(static_cast<CPStack&>(*pcl)), 255u);
    }
    if (pitsNew) {
      delete pits;
      pits = pitsNew;
      TM_EQ(pits->gotoTop(), 1);
      spos = 0;
      nStateSnap = xact;
    }
  }

  CPStack stk;
  std::vector<void*> items;  // bottom first
  unsigned long cap;
  unsigned long cursor = 0;
  long xact = 0;
  IterationState* pits = nullptr;
  unsigned long spos = 0;
  long nStateSnap = 0;
};

}  // namespace tarncoll::test::model

#endif
