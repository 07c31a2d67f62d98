/// \file
/// CPVector: a flat collection that reserves a block of item slots at
/// construction but stores nothing.  Every operation of the collection
/// interface answers as an empty collection that refuses all additions:
/// Add drops the item, lookups give null, removals give 0, walks call
/// nothing.  Length and nXACT keep their initial values for its whole life.
///
///   ulVectorSize = n,  ulVectorCount = 0,  arpvVector -> [ n slots, unused ]
///
/// Invariants:
///   1. arpvVector is a block of exactly ulVectorSize slots, owned by the
///      vector and never read or written.
///   2. ulVectorCount == nLength == 0 and nXACT == 0.
///
/// Costs: every operation O(1); construction and copying one allocation.
///
/// VectorIterationState answers 1 to every move and null to every fetch, so
/// a walk through it ends at its first fetch.
#ifndef TARNCOLL_CPCOLL_CPVECTOR_H
#define TARNCOLL_CPCOLL_CPVECTOR_H

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>
#include <util/Createable.h>
#include <util/export.h>

/// A vector that reserves a block and stores nothing (see CPVector.h).
class TARNCOLL_API CPVector : public CPFlatCollection, public virtual Createable {
 public:
  /// An empty vector with a block of ulSize slots.  Throws std::bad_alloc
  /// when the block cannot be allocated (its byte size overflowing included).
  explicit CPVector(unsigned long ulSize = 255);
  /// Deep copy: a block of its own of the same capacity.
  CPVector(const CPVector& other);
  /// Deep copy; the target is unchanged when the new block cannot be had.
  CPVector& operator=(const CPVector& other);
  /// Frees the block.
  ~CPVector() override;

  /// A new VectorIterationState on this vector, owned by the caller; null
  /// when it cannot be allocated.
  IterationState* CreateIterationState() override;
  /// A new vector of 255 slots, owned by the caller; null on failure.
  CPCollection* CreateInstance() override;

  /// The walks call nothing; the searches and AllThat give null.
  void ForEach(IteratorAction* pAction) override;
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  void* FirstThat(CPConditionFunc pfnCond, void* pvUser) override;
  void* NextThat(CPConditionFunc pfnCond, void* pvUser) override;
  CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) override;

  /// Drops the item.
  void Add(void* pvItem) override;
  /// Ignored.
  void AddInternalContainer(CPInternalContainer* pic) override;
  /// 0; the kill function is never called.
  char Destroy(void* pvItem, CPKillFunc pfnKill) override;
  /// Null.
  void* RetrieveIDX(unsigned long idx) override;
  /// 0.
  char Detach(void* pvItem) override;
  /// 0 (there is never anything to remove).
  char DetachAll() override;
  /// 0; the kill function is never called.
  char DestroyAll(CPKillFunc pfnKill) override;

  /// The built-in cursor: moves do nothing, Next/Prev give 0, Retrieve null.
  void GotoTop() override;
  void GotoBottom() override;
  long Next() override;
  long Prev() override;
  void* Retrieve() override;

 private:
  friend struct CPVectorInspector;

  unsigned long ulVectorSize;   // capacity given to the constructor
  unsigned long ulVectorCount;  // always 0
  void** arpvVector;            // block of ulVectorSize slots; owned, unused
};

/// The cursor object of a CPVector: every move answers 1 and changes
/// nothing, every fetch gives null.
class TARNCOLL_API VectorIterationState : public IterationState, public virtual Createable {
 public:
  /// A state on the vector, not positioned yet.
  explicit VectorIterationState(CPVector* pvec);
  /// Copies every field: a second cursor at the same place.
  VectorIterationState(const VectorIterationState& other);
  /// As the copy constructor.
  VectorIterationState& operator=(const VectorIterationState& other);
  ~VectorIterationState() override;

  short vgotoTop() override;
  short vgotoBottom() override;

 private:
  short vgotoIDX(unsigned long i) override;

 public:
  short vgotoNext() override;
  short vgotoPrev() override;
  void* vretrieve() override;
  CPInternalContainer* vretrieveInternalContainer() override;

 private:
  unsigned long ulIndex;  // set to 0 and never read
};

#endif
