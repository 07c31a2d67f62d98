// Iteration framework: fail-fast cursor objects and the algorithms that
// walk them.
//
// An IterationState is a cursor over one collection.  It remembers the
// collection's modification count (nXACT) when positioned (gotoTop,
// gotoBottom, gotoIDX); every later guarded step or read (gotoNext,
// gotoPrev, retrieve, retrieveInternalContainer) throws the unsigned int
// 0xDEADF0CC when the count has changed since.  A state takes the count at
// construction too, so an unpositioned state is well defined.
//
// An Iterator owns at most one state and runs fourteen algorithms over it
// (seven names, each for item callbacks and for node callbacks).  The
// visiting ones (forEach, forEachThat, allThat) hold bBusy for their whole
// run and throw 0xDEADF0CC when re-entered.  Every collection is an
// Iterable and thus an Iterator, whose own state the library never sets.
#ifndef TARNCOLL_CPCOLL_ITERATE_H
#define TARNCOLL_CPCOLL_ITERATE_H

#include <util/Createable.h>
#include <util/export.h>

class CPCollection;
class CPInternalContainer;

// The value thrown by a cursor that sees a changed collection, and by a
// visiting algorithm that is re-entered.
const unsigned int kCursorException = 0xDEADF0CCu;

// Callbacks of the Iterator algorithms; the user pointer is passed through.
typedef short (*ItemCondition)(void* item, void* user);
typedef short (*NodeCondition)(CPInternalContainer* node, void* user);
typedef void (*ItemAction)(void* item, void* user);
typedef void (*NodeAction)(CPInternalContainer* node, void* user);

class TARNCOLL_API IterationState : public virtual Createable {
 public:
  explicit IterationState(CPCollection* pcl);
  IterationState(const IterationState& other);
  IterationState& operator=(const IterationState& other);
  ~IterationState() override;

  // Positioning: take the collection's nXACT, then run the slot.
  short gotoTop();
  short gotoBottom();
  short gotoIDX(unsigned long idx);

  // Guarded steps: throw kCursorException when the collection changed since
  // the last positioning; otherwise run the slot.
  short gotoNext();
  short gotoPrev();
  void* retrieve();
  CPInternalContainer* retrieveInternalContainer();

  CPCollection* _get_pclAssociated() const { return pclAssociated; }
  void _set_pclAssociated(CPCollection* pcl) { pclAssociated = pcl; }

  // Slots, in this order, overridden by each container's state class.
  virtual short vgotoTop() = 0;
  virtual short vgotoBottom() = 0;

 private:
  // vgotoTop, then vgotoNext idx times; returns 1 without checking idx.
  virtual short vgotoIDX(unsigned long idx);

 public:
  virtual short vgotoNext() = 0;
  virtual short vgotoPrev() = 0;
  virtual void* vretrieve() = 0;
  virtual CPInternalContainer* vretrieveInternalContainer() = 0;

 protected:
  // Throws kCursorException when the snapshot is stale.
  void CheckSnapshot() const;

  short nXACTSeen;
  CPCollection* pclAssociated;

 private:
  void* get();  // retrieve(), then gotoNext(); the item retrieved
};

// Walks driven by an IterationState held in pitsThe: forEach, forEachThat,
// allThat, firstThat/nextThat over items or nodes.  bBusy refuses a walk
// started from inside another walk's callback.
class TARNCOLL_API Iterator : public virtual Createable {
 public:
  Iterator();
  // A copy starts without a state (a state has one owner); assignment
  // leaves the target's state and bBusy as they are.
  Iterator(const Iterator& other);
  Iterator& operator=(const Iterator& other);
  ~Iterator() override;

  IterationState* _get_pitsThe() const { return pitsThe; }
  // Deletes the current state, then stores the new one (null allowed).
  void _set_pitsThe(IterationState* pits);

  // Visiting algorithms: call the action for every item/node; return 1.
  short forEach(ItemAction pfnAction, void* pvUser);
  short forEach(NodeAction pfnAction, void* pvUser);
  short forEachThat(ItemCondition pfnCond, void* pvCondUser, ItemAction pfnAction, void* pvActionUser);
  short forEachThat(NodeCondition pfnCond, void* pvCondUser, NodeAction pfnAction, void* pvActionUser);
  // A new collection of the walked collection's class holding what matched;
  // owned by the caller.
  CPCollection* allThat(ItemCondition pfnCond, void* pvUser);
  CPCollection* allThat(NodeCondition pfnCond, void* pvUser);

  // Searching algorithms: the cursor stays on the match.
  void* firstThat(ItemCondition pfnCond, void* pvUser);
  void* firstThat(NodeCondition pfnCond, void* pvUser);
  CPInternalContainer* firstinternalcontainerThat(ItemCondition pfnCond, void* pvUser);
  CPInternalContainer* firstinternalcontainerThat(NodeCondition pfnCond, void* pvUser);
  void* nextThat(ItemCondition pfnCond, void* pvUser);
  void* nextThat(NodeCondition pfnCond, void* pvUser);
  CPInternalContainer* nextinternalcontainerThat(ItemCondition pfnCond, void* pvUser);
  CPInternalContainer* nextinternalcontainerThat(NodeCondition pfnCond, void* pvUser);

 protected:
  short bBusy;
  IterationState* pitsThe;

 private:
  IterationState* RequireState() const;
  void EnterVisit();
  void LeaveVisit();
  template <class Cond>
  CPInternalContainer* SearchNodes(Cond pfnCond, void* pvUser, bool bFromTop);
  void* SearchItems(ItemCondition pfnCond, void* pvUser, bool bFromTop);
};

// Something that can hand out cursors over itself: CreateIterationState
// gives a new IterationState, GetIterator an Iterator driving one.
class TARNCOLL_API Iterable : public Iterator, public virtual Createable {
 public:
  Iterable();
  Iterable(const Iterable& other);
  Iterable& operator=(const Iterable& other);
  ~Iterable() override;

  // A new cursor on this object, owned by the caller; null here.
  virtual IterationState* CreateIterationState();

  // A new Iterator owning a new state on this object; owned by the caller.
  // Reports FailIfNIL "piterA" or "pitsA".
  Iterator* GetIterator();
};

// The callback object of ForEach(IteratorAction*) and of the list's
// FirstThat/NextThat(IteratorAction*).  The walking collection stores the
// current item in pvItem (and, for keyed containers, the key in pvKey and
// its kind in bKeyIsString) before each Perform().
class TARNCOLL_API IteratorAction {
 public:
  IteratorAction() : pvItem(nullptr), pvKey(nullptr), bKeyIsString(0) {}
  virtual short Perform() = 0;
  virtual ~IteratorAction();

  void* pvItem;
  void* pvKey;        // numeric key, or the CPString* of a string key
  char bKeyIsString;  // 1 when pvKey holds a CPString*
};

#endif
