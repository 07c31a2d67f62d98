/// \file
/// CPArray: item pointers in one contiguous block of slots of fixed
/// capacity, in insertion order, with direct access by index.
///
///   arpvThe ->  [ p | q | r | ? | ? | ? ]      ulArraySize    = 6
///                 0   1   2   3                ulCurrentIndex = 3
///                             ^ next free slot
///
/// There are no nodes: an item is just a slot.  The capacity changes only
/// through Resize; an item added to a full array is dropped silently.
/// Items are compared by pointer identity; a search finds the lowest slot.
///
/// Invariants:
///   1. arpvThe is a block of exactly ulArraySize slots, owned by the array.
///   2. ulCurrentIndex <= ulArraySize; slots 0 .. ulCurrentIndex-1 hold the
///      items without gaps, slots above are unspecified.
///   3. nLength == ulCurrentIndex.
///   4. ulCursor >= ulCurrentIndex means the built-in cursor is off the end.
///
/// Costs: RetrieveIDX, Add, Retrieve and the cursor moves O(1); InsertIDX,
/// Detach and Destroy one search plus one block move; Resize and copying
/// one allocation and one block copy.  No allocation per item.
///
/// ArrayIterationState is the fail-fast cursor object over an array; it
/// reads the array's current block and count on every step.
///
/// Reports (source "cpcoll\CpArray"): FailIfNIL "arpvNew", "parrReturn".
#ifndef TARNCOLL_CPCOLL_CPARRAY_H
#define TARNCOLL_CPCOLL_CPARRAY_H

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>
#include <util/Createable.h>
#include <util/export.h>

/// A fixed-capacity array of caller-owned item pointers (see CpArray.h).
class TARNCOLL_API CPArray : public CPFlatCollection, public virtual Createable {
 public:
  /// An empty array of ulSize slots; O(1).  Throws std::bad_alloc when the
  /// block cannot be allocated (its byte size overflowing included).
  explicit CPArray(unsigned long ulSize = 256);
  /// Deep copy: a block of its own with the same capacity and items.
  CPArray(const CPArray& other);
  /// Deep copy; the target is unchanged when the new block cannot be had.
  CPArray& operator=(const CPArray& other);
  /// Frees the block, never the items.
  ~CPArray() override;

  /// A new ArrayIterationState on this array, owned by the caller; null
  /// when it cannot be allocated.
  IterationState* CreateIterationState() override;
  /// A new empty array of 256 slots, owned by the caller; null on failure.
  CPCollection* CreateInstance() override;

  /// A new array, sized to the current count, of the items for which
  /// pfnCond is non-zero (shared, not copied); null on an empty array.
  /// Walks the built-in cursor.  Reports FailIfNIL "parrReturn".
  CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// Stores the item in the next free slot; O(1); a full array drops it.
  void Add(void* pvItem) override;
  /// Ignored: an array has no nodes.
  void AddInternalContainer(CPInternalContainer* pic) override;
  /// As Detach, but calls pfnKill(item, null) first; 0 (and no call) when
  /// the item is absent.  When kill throws, the item is removed all the same.
  char Destroy(void* pvItem, CPKillFunc pfnKill) override;
  /// The item in slot idx, null when idx >= the count; O(1).
  void* RetrieveIDX(unsigned long idx) override;
  /// Removes the first slot holding the item, closing the gap with one
  /// block move; the cursor goes to 0.  1 when removed, 0 when absent.
  char Detach(void* pvItem) override;
  /// Forgets every item; the block, capacity and cursor stay; 1.
  char DetachAll() override;
  /// pfnKill(item, null) for every item from slot 0 (the built-in walk,
  /// which stops at a null item), then forgets them all; 1.  When kill
  /// throws, the items handed to it are removed and the others stay.
  char DestroyAll(CPKillFunc pfnKill) override;

  /// Built-in cursor.  GotoTop: slot 0.  GotoBottom: the last item (off the
  /// end when empty).  Next/Prev return the new cursor index, not a truth
  /// value: Next from the last item returns the count and leaves the cursor
  /// off the end; Next off the end returns 0; Prev onto slot 0 returns 0.
  /// Walks therefore end on a null Retrieve.
  void GotoTop() override;
  void GotoBottom() override;
  long Next() override;
  long Prev() override;
  /// The item under the cursor, null when the cursor is off the end.
  void* Retrieve() override;

  /// Replaces the block by one of ulSize slots keeping the first items; a
  /// smaller size drops the items beyond it.  The cursor goes to 0.
  /// Throws std::bad_alloc like the constructor; reports FailIfNIL
  /// "arpvNew" for a null block.  The array is unchanged on failure.
  void Resize(unsigned long ulSize);
  /// Puts the item into slot idx, moving the items from idx up by one
  /// (one block move); the cursor stays.  idx beyond the items but within
  /// the capacity appends.  0 and no change when idx > the capacity or
  /// when the array is full and idx is within the items; else 1.
  char InsertIDX(unsigned long idx, void* pvItem);

  /// The block itself, for direct reading of slots 0 .. count-1.
  void** _get_arpvThe() const { return arpvThe; }
  /// The capacity in slots.
  unsigned long _get_ulArraySize() const { return ulArraySize; }
  /// The number of items, also the index of the next free slot.
  unsigned long _get_ulCurrentIndex() const { return ulCurrentIndex; }

 private:
  friend struct CPArrayInspector;

  // 1 and *pulIndex = the lowest used slot holding the item; else 0 and
  // *pulIndex untouched.  O(n).
  char FindElement(void* pvItem, unsigned long* pulIndex);
  // The count after a partial DestroyAll: nXACT + 1, cursor to 0.
  void SetCount(unsigned long ulCount);
  // Removes the item in slot idx (< count): one block move; cursor to 0.
  void RemoveAt(unsigned long idx);

  void** arpvThe;                // block of ulArraySize slots; owned, items not
  unsigned long ulArraySize;     // capacity in slots
  unsigned long ulCurrentIndex;  // slots in use; the next free slot
  unsigned long ulCursor;        // built-in cursor; >= ulCurrentIndex is off the end
};

/// Fail-fast cursor over a CPArray.  Moves return the new index (as a
/// 16-bit value) like the array's own cursor; the position is kept as an
/// index, so the state always sees the array's current block.
class TARNCOLL_API ArrayIterationState : public IterationState, public virtual Createable {
 public:
  /// A state on the array, not positioned yet.
  explicit ArrayIterationState(CPArray* parr);
  /// Copies every field: a second cursor at the same place.
  ArrayIterationState(const ArrayIterationState& other);
  /// As the copy constructor.
  ArrayIterationState& operator=(const ArrayIterationState& other);
  ~ArrayIterationState() override;

  /// Index 0; 1.
  short vgotoTop() override;
  /// The last item (off the end when empty); 1.
  short vgotoBottom() override;

 private:
  // Index i when i < the count (1); else 0 and no move.
  short vgotoIDX(unsigned long i) override;

 public:
  /// One on: the new index; off the end it stays off the end and gives 0.
  short vgotoNext() override;
  /// One back: the new index; at 0 it stays and gives 0.
  short vgotoPrev() override;
  /// The item at the index, null off the end.
  void* vretrieve() override;
  /// Always null: an array has no nodes.
  CPInternalContainer* vretrieveInternalContainer() override;

 private:
  CPArray* Array() const;

  unsigned long ulIndex;  // position; >= the count is off the end
};

// The constant-time operations are inline: an append or a read by index
// is a few instructions, far less than a call into the library.

inline void CPArray::Add(void* pvItem) {
  const unsigned long n = ulCurrentIndex;
  if (n >= ulArraySize) return;
  // The slot first: the compiler must assume an item store may change any
  // pointer field, so the counts are kept apart from it.
  arpvThe[n] = pvItem;
  ulCurrentIndex = n + 1;
  IncrementLength();
}

inline void* CPArray::RetrieveIDX(unsigned long idx) { return idx < ulCurrentIndex ? arpvThe[idx] : nullptr; }

inline void CPArray::GotoTop() { ulCursor = 0; }

inline void CPArray::GotoBottom() { ulCursor = ulCurrentIndex - 1; }  // empty: wraps off the end

inline long CPArray::Next() {
  if (ulCursor < ulCurrentIndex) return static_cast<long>(++ulCursor);
  ulCursor = ulCurrentIndex;
  return 0;
}

inline long CPArray::Prev() {
  if (ulCursor > 0) return static_cast<long>(--ulCursor);
  return 0;
}

inline void* CPArray::Retrieve() { return ulCursor < ulCurrentIndex ? arpvThe[ulCursor] : nullptr; }

#endif
