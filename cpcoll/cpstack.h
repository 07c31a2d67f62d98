/// \file
/// CPStack: a last-in first-out container of item pointers in one block of
/// slots of fixed capacity.  Items enter at the top (Push, Add) and leave
/// from the top (Pop); removing a deeper item unwinds the stack down to it.
///
///   arpvStack -> [ p | q | r | ? | ? ]      ulStackSize  = 5
///                  0           ^ top        ulStackCount = 3
///                bottom (oldest)  (newest)
///
/// Indexes (operator[], RetrieveIDX, the cursor object's gotoIDX) count from
/// the top; the built-in cursor and the cursor object walk from the bottom.
/// The stack is a plain collection: no Sort, no BuildFromVector, and the
/// condition walks and ForEach(IteratorAction*) report "1==0".
///
/// Invariants:
///   1. arpvStack is a block of exactly ulStackSize slots, owned by the stack.
///   2. ulStackCount <= ulStackSize; slots 0 .. ulStackCount-1 hold the
///      items, bottom first.
///   3. nLength == ulStackCount.
///
/// Costs: Push, Add, Pop, Top, Bottom, operator[], RetrieveIDX and the cursor
/// moves O(1); Detach and Destroy one search from the top plus O(1) per item
/// unwound; copying one allocation and one block copy.  No allocation per
/// item.
///
/// Reports (source "cpcoll\cpstack"): "1==0" for every operation a stack
/// does not support.
#ifndef TARNCOLL_CPCOLL_CPSTACK_H
#define TARNCOLL_CPCOLL_CPSTACK_H

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>
#include <util/Createable.h>
#include <util/export.h>

/// A fixed-capacity stack of caller-owned item pointers (see cpstack.h).
class TARNCOLL_API CPStack : public CPCollection, public virtual Createable {
 public:
  /// An empty stack of ulSize slots.  Throws std::bad_alloc when the block
  /// cannot be allocated (its byte size overflowing included).
  explicit CPStack(unsigned long ulSize = 255);
  /// Deep copy: a block of its own with the same capacity and items.
  CPStack(const CPStack& other);
  /// Deep copy; the target is unchanged when the new block cannot be had.
  CPStack& operator=(const CPStack& other);
  /// Frees the block, never the items.
  ~CPStack() override;

  /// A new StackIterationState on this stack, owned by the caller; null
  /// when it cannot be allocated.
  IterationState* CreateIterationState() override;
  /// A new empty stack of 255 slots, owned by the caller; null on failure.
  CPCollection* CreateInstance() override;

  /// Not supported on a stack: each reports Assert "1==0".
  void ForEach(IteratorAction* pAction) override;
  /// pfnAction(item, pvUser) for every item, bottom to top; the built-in
  /// cursor is not used.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  void* FirstThat(CPConditionFunc pfnCond, void* pvUser) override;
  void* NextThat(CPConditionFunc pfnCond, void* pvUser) override;
  CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) override;

  /// Push without a result: a full stack drops the item silently.
  void Add(void* pvItem) override;
  /// Ignored: a stack has no nodes.
  void AddInternalContainer(CPInternalContainer* pic) override;
  /// As Detach; when the item is found, pfnKill(item, null) is called for it
  /// alone (the items above it are only removed).  When kill throws, the
  /// unwinding happens all the same.
  char Destroy(void* pvItem, CPKillFunc pfnKill) override;
  /// The item idx places below the top (0 is the top), null beyond; O(1).
  void* RetrieveIDX(unsigned long idx) override;
  /// Searches from the top (a null item ends the search); when the item is
  /// found, pops every item down to and including it and gives 1.  An
  /// absent item changes nothing and gives 0.
  char Detach(void* pvItem) override;
  /// Forgets every item and puts the cursor on 0; capacity stays; 1.
  char DetachAll() override;
  /// pfnKill(item, null) bottom to top, then DetachAll; 1.  When kill
  /// throws, the items handed to it are removed and the others stay.
  char DestroyAll(CPKillFunc pfnKill) override;

  /// Built-in cursor, counted from the bottom.  GotoTop: the oldest item.
  /// GotoBottom: the newest (0 when empty).  Next returns the new index, and
  /// from off the end wraps to 0 (result 0).  Prev returns the new index (0
  /// when it did not move).  Walks end on a null Retrieve.
  void GotoTop() override;
  void GotoBottom() override;
  long Next() override;
  long Prev() override;
  /// The item under the cursor, null when the cursor is off the end.
  void* Retrieve() override;

  /// Puts the item on top: 1; a full stack gives 0 and changes nothing.
  unsigned long Push(void* pvItem);
  /// Removes and returns the top item; null when empty.  The cursor stays.
  void* Pop();
  /// The top (newest) item, null when empty.
  void* Top();
  /// The bottom (oldest) item, null when empty.
  void* Bottom();
  /// As RetrieveIDX: counted from the top.
  void* operator[](unsigned long idx);

 private:
  friend struct CPStackInspector;
  friend class StackIterationState;

  // The slot holding the item, searched from the top and stopping at a
  // null item; true when found.
  bool FindFromTop(void* pvItem, unsigned long* pulSlot) const;
  // Pops every item in slots ulSlot and above (ulSlot < count).
  void UnwindTo(unsigned long ulSlot);
  // The count after a partial DestroyAll: nXACT + 1, cursor to 0.
  void SetCount(unsigned long ulCount);

  void** arpvStack;            // block of ulStackSize slots; owned, items not
  unsigned long ulStackSize;   // capacity in slots
  unsigned long ulStackCount;  // items; slot ulStackCount-1 is the top
  unsigned long ulCursor;      // built-in cursor, from the bottom
};

/// Fail-fast cursor over a CPStack, walking bottom to top.  gotoIDX counts
/// from the top like RetrieveIDX.  Every move answers 1, so walks end on a
/// null retrieve one step past the newest item.
class TARNCOLL_API StackIterationState : public IterationState, public virtual Createable {
 public:
  /// A state on the stack, not positioned yet.
  explicit StackIterationState(CPStack* pstk);
  /// Copies every field: a second cursor at the same place.
  StackIterationState(const StackIterationState& other);
  /// As the copy constructor.
  StackIterationState& operator=(const StackIterationState& other);
  ~StackIterationState() override;

  /// The oldest item; 1.
  short vgotoTop() override;
  /// The newest item (0 when empty); 1.
  short vgotoBottom() override;

 private:
  // The item i places below the top when there is one; else no move; 1.
  short vgotoIDX(unsigned long i) override;

 public:
  /// One on; from off the end wraps to the oldest item; 1.
  short vgotoNext() override;
  /// One back unless at 0; 1.
  short vgotoPrev() override;
  /// The item at the position, null off the end.
  void* vretrieve() override;
  /// Always null: a stack has no nodes.
  CPInternalContainer* vretrieveInternalContainer() override;

 private:
  CPStack* Stack() const;

  unsigned long ulIndex;  // slot position from the bottom
};

// The constant-time operations are inline: a push or pop is a few
// instructions, far less than a call into the library.

inline unsigned long CPStack::Push(void* pvItem) {
  const unsigned long n = ulStackCount;
  if (n >= ulStackSize) return 0;
  // The slot first: the compiler must assume an item store may change any
  // pointer field, so the counts are kept apart from it.
  arpvStack[n] = pvItem;
  ulStackCount = n + 1;
  IncrementLength();
  return 1;
}

inline void CPStack::Add(void* pvItem) { Push(pvItem); }

inline void* CPStack::Pop() {
  const unsigned long n = ulStackCount;
  if (n == 0) return nullptr;
  DecrementLength();  // reports before anything changes when the count is off
  ulStackCount = n - 1;
  return arpvStack[n - 1];
}

inline void* CPStack::Top() { return ulStackCount != 0 ? arpvStack[ulStackCount - 1] : nullptr; }

inline void* CPStack::Bottom() { return ulStackCount != 0 ? arpvStack[0] : nullptr; }

inline void* CPStack::RetrieveIDX(unsigned long idx) {
  return idx < ulStackCount ? arpvStack[ulStackCount - 1 - idx] : nullptr;
}

inline void* CPStack::operator[](unsigned long idx) { return RetrieveIDX(idx); }

#endif
