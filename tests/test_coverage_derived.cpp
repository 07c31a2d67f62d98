// The collections used as base classes of a user's own class: constructed,
// copied, assigned and destroyed through the derived class, with the copies
// holding the same items as their originals and independent of them; also
// self-assignment and the creating members of the fixed-size containers.
#include <gtest/gtest.h>

#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPQueue.h>
#include <cpcoll/CPVector.h>
#include <cpcoll/CpArray.h>
#include <cpcoll/cplist.h>
#include <cpcoll/cpstack.h>
#include <cpcoll/crdict.h>

#include "support/counted.h"
#include "support/vector_inspector.h"

namespace {

int g_items[16];
void* Item(int i) { return &g_items[i]; }

std::vector<void*> CursorWalk(CPCollection& c) {
  std::vector<void*> v;
  c.GotoTop();
  for (void* pv = c.Retrieve(); pv; pv = c.Retrieve()) {
    v.push_back(pv);
    if (!c.Next()) break;
  }
  return v;
}

// ---- fixed-size containers --------------------------------------------------------

// A bounded history: an array that remembers how many items it refused.
class History : public CPArray {
 public:
  explicit History(unsigned long n) : CPArray(n) {}
  History(const History& other) : Createable(), CPArray(other), nRefused(other.nRefused) {}
  void Add(void* pvItem) override {
    unsigned long nBefore = Length();
    CPArray::Add(pvItem);
    if (Length() == nBefore) ++nRefused;
  }
  int nRefused = 0;
};

TEST(DerivedFixedSize, ArrayCopyKeepsItemsAndTheDerivedState) {
  History h(2);
  for (int i : {1, 2, 3}) h.Add(Item(i));
  EXPECT_EQ(h.nRefused, 1);
  History copy(h);
  EXPECT_EQ(copy.nRefused, 1);
  EXPECT_EQ(copy._get_ulArraySize(), 2u);
  EXPECT_EQ(CursorWalk(copy), (std::vector<void*>{Item(1), Item(2)}));
  EXPECT_NE(copy._get_arpvThe(), h._get_arpvThe());
  copy.Detach(Item(1));
  EXPECT_EQ(h.RetrieveIDX(0), Item(1));
  copy.Add(Item(4));
  EXPECT_EQ(copy.nRefused, 1);
}

// An undo stack that counts the pushes it saw.
class UndoStack : public CPStack {
 public:
  UndoStack() : CPStack(4) {}
  UndoStack(const UndoStack& other) : Createable(), CPStack(other), nPushed(other.nPushed) {}
  unsigned long Record(void* pv) {
    ++nPushed;
    return Push(pv);
  }
  int nPushed = 0;
};

TEST(DerivedFixedSize, StackCopyKeepsItemsInOrder) {
  UndoStack s;
  for (int i : {1, 2, 3}) s.Record(Item(i));
  UndoStack copy(s);
  EXPECT_EQ(copy.nPushed, 3);
  EXPECT_EQ(copy.Length(), 3u);
  EXPECT_EQ(copy.Pop(), Item(3));
  EXPECT_EQ(copy.Top(), Item(2));
  EXPECT_EQ(s.Top(), Item(3));  // the original keeps its items
  EXPECT_EQ(s.Length(), 3u);
}

class ReservedSlots : public CPVector {
 public:
  explicit ReservedSlots(unsigned long n) : CPVector(n) {}
  ReservedSlots(const ReservedSlots& other) : Createable(), CPVector(other) {}
};

TEST(DerivedFixedSize, VectorCopyAndSelfAssignmentKeepTheSize) {
  ReservedSlots v(12);
  ReservedSlots copy(v);
  EXPECT_EQ(CPVectorInspector::Capacity(copy), 12u);
  EXPECT_NE(CPVectorInspector::Block(copy), CPVectorInspector::Block(v));
  EXPECT_TRUE(CPVectorInspector::Check(copy));

  CPVector plain(7);
  void** ppvBlock = CPVectorInspector::Block(plain);
  CPVector& rSame = plain;
  plain = rSame;
  EXPECT_EQ(CPVectorInspector::Capacity(plain), 7u);
  EXPECT_EQ(CPVectorInspector::Block(plain), ppvBlock);  // self-assignment keeps the block
  plain = copy;
  EXPECT_EQ(CPVectorInspector::Capacity(plain), 12u);
  EXPECT_TRUE(CPVectorInspector::Check(plain));
}

TEST(DerivedFixedSize, CreatingMembersAnswerNullWhenTheObjectCannotBeMade) {
  CPVector v(3);
  CPStack s(3);
  s.Push(Item(1));
  for (CPCollection* pcl : {static_cast<CPCollection*>(&v), static_cast<CPCollection*>(&s)}) {
    Createable::SetAllocationFailure(1);
    IterationState* pits = pcl->CreateIterationState();
    Createable::SetAllocationFailure(0);
    EXPECT_EQ(pits, nullptr);
    pits = pcl->CreateIterationState();
    ASSERT_NE(pits, nullptr);
    delete pits;
  }
}

// Cursors of the fixed-size containers extended by a caller: a copy stands
// where its original stands and moves on its own.
class CountingArrayCursor : public ArrayIterationState {
 public:
  explicit CountingArrayCursor(CPArray* parr) : ArrayIterationState(parr) {}
  CountingArrayCursor(const CountingArrayCursor& other) : Createable(), ArrayIterationState(other) {}
};
class CountingStackCursor : public StackIterationState {
 public:
  explicit CountingStackCursor(CPStack* pstk) : StackIterationState(pstk) {}
  CountingStackCursor(const CountingStackCursor& other) : Createable(), StackIterationState(other) {}
};
class CountingVectorCursor : public VectorIterationState {
 public:
  explicit CountingVectorCursor(CPVector* pvec) : VectorIterationState(pvec) {}
  CountingVectorCursor(const CountingVectorCursor& other) : Createable(), VectorIterationState(other) {}
};

TEST(DerivedCursors, CopiesStandWhereTheOriginalStands) {
  CPArray arr(4);
  for (int i : {1, 2, 3}) arr.Add(Item(i));
  CountingArrayCursor ca(&arr);
  ca.gotoTop();
  ca.gotoNext();
  CountingArrayCursor caCopy(ca);
  EXPECT_EQ(caCopy.retrieve(), Item(2));
  caCopy.gotoNext();
  EXPECT_EQ(caCopy.retrieve(), Item(3));
  EXPECT_EQ(ca.retrieve(), Item(2));

  CPStack stk(4);
  for (int i : {1, 2, 3}) stk.Push(Item(i));
  CountingStackCursor cs(&stk);
  cs.gotoTop();
  void* pvFirst = cs.retrieve();
  cs.gotoNext();
  CountingStackCursor csCopy(cs);
  EXPECT_EQ(csCopy.retrieve(), cs.retrieve());
  EXPECT_NE(csCopy.retrieve(), pvFirst);

  CPVector vec(4);
  CountingVectorCursor cv(&vec);
  CountingVectorCursor cvCopy(cv);
  EXPECT_EQ(cvCopy.gotoTop(), 1);
  EXPECT_EQ(cvCopy.retrieve(), nullptr);
}

// ---- trees and queues ----------------------------------------------------------------

// A tree that copies its nodes through the protected copy constructor.
class EagerTree : public CPTree {
 public:
  EagerTree() = default;
  EagerTree(const EagerTree& other) : Createable(), CPTree(other, true) {}
};
// A tree that copies through the public copy constructor.
class PlainTree : public CPTree {
 public:
  PlainTree() = default;
  PlainTree(const PlainTree& other) : Createable(), CPTree(other) {}
};

template <class T>
void CheckTreeCopy() {
  T t;
  for (unsigned long k : {30ul, 10ul, 20ul}) t.AddKeyNum(k, Item(static_cast<int>(k / 10)));
  T copy(t);
  EXPECT_EQ(copy._get_etdsState(), etreeNumber);
  EXPECT_EQ(copy.Length(), 3u);
  EXPECT_EQ(CursorWalk(copy), (std::vector<void*>{Item(1), Item(2), Item(3)}));
  copy.DetachKeyNum(20);
  EXPECT_EQ(t.FindKeyNum(20), Item(2));
  EXPECT_EQ(copy.FindKeyNum(20), nullptr);
}

TEST(DerivedTree, BothCopyConstructorsCopyTheNodesInKeyOrder) {
  CheckTreeCopy<EagerTree>();
  CheckTreeCopy<PlainTree>();
}

// A queue of jobs that counts the jobs queued in front.
class JobQueue : public CPQueue {
 public:
  JobQueue() = default;
  JobQueue(const JobQueue& other) : Createable(), CPQueue(other), nUrgent(other.nUrgent) {}
  void Urgent(void* pv) {
    ++nUrgent;
    Insert(pv);
  }
  int nUrgent = 0;
};

TEST(DerivedTree, QueueCopyKeepsTheQueueOrder) {
  JobQueue q;
  q.Add(Item(1));
  q.Add(Item(2));
  q.Urgent(Item(3));
  JobQueue copy(q);
  EXPECT_EQ(copy.nUrgent, 1);
  EXPECT_EQ(CursorWalk(copy), (std::vector<void*>{Item(3), Item(1), Item(2)}));
  EXPECT_EQ(copy.DetachTop(), Item(3));
  EXPECT_EQ(q.Length(), 3u);

  CPQueue& rSame = q;
  static_cast<CPQueue&>(q) = rSame;
  EXPECT_EQ(CursorWalk(q), (std::vector<void*>{Item(3), Item(1), Item(2)}));
}

// ---- reference collections --------------------------------------------------------------

TEST(DerivedReference, DictionarySelfAssignmentKeepsObjectsAndReferences) {
  Counted* p = new Counted(1);
  {
    CrDictionary crd;
    crd.AddKeyNum(5, p);
    CrDictionary& rSame = crd;
    crd = rSame;
    EXPECT_EQ(crd.Length(), 1u);
    EXPECT_EQ(crd.FindKeyNum(5), p);
    EXPECT_EQ(p->_get_nRefCount(), 1);
    // A null key string detaches nothing.
    crd.DetachKeyString(static_cast<CPString*>(nullptr));
    EXPECT_EQ(crd.Length(), 1u);
  }
}

}  // namespace
