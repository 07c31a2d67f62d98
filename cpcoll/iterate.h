/// \file
/// Iteration framework: fail-fast cursor objects and the algorithms that
/// walk them.
///
/// An IterationState is a cursor over one collection.  It remembers the
/// collection's modification count (nXACT) when positioned (gotoTop,
/// gotoBottom, gotoIDX); every later guarded step or read (gotoNext,
/// gotoPrev, retrieve, retrieveInternalContainer) throws the unsigned int
/// 0xDEADF0CC when the count has changed since.  A state takes the count at
/// construction too, so an unpositioned state is well defined.
///
/// An Iterator owns at most one state and runs fourteen algorithms over it
/// (seven names, each for item callbacks and for node callbacks).  The
/// visiting ones (forEach, forEachThat, allThat) hold bBusy for their whole
/// run and throw 0xDEADF0CC when re-entered.  Every collection is an
/// Iterable and thus an Iterator, whose own state the library never sets.
///
/// Reports (source "cpcoll\iterate"): "pitsThe"; FailIfNIL "pclNew",
/// "piterA", "pitsA".
#ifndef TARNCOLL_CPCOLL_ITERATE_H
#define TARNCOLL_CPCOLL_ITERATE_H

#include <util/Createable.h>
#include <util/export.h>

class CPCollection;
class CPInternalContainer;

/// The value thrown by a cursor that sees a changed collection, and by a
/// visiting algorithm that is re-entered.
const unsigned int kCursorException = 0xDEADF0CCu;

/// \name Callbacks of the Iterator algorithms
//@{
/// The user pointer is passed through; a condition matches when non-zero.
typedef short (*ItemCondition)(void* item, void* user);               ///< a condition on an item
typedef short (*NodeCondition)(CPInternalContainer* node, void* user);  ///< a condition on a node
typedef void (*ItemAction)(void* item, void* user);                   ///< an action on an item
typedef void (*NodeAction)(CPInternalContainer* node, void* user);      ///< an action on a node
//@}

/// A fail-fast cursor over one collection (see iterate.h).  Each container
/// has its own state class; a state takes no reference on its collection
/// and must not outlive it.
class TARNCOLL_API IterationState : public virtual Createable {
 public:
  /// Associates the state with pcl (null allowed) and takes its nXACT.
  explicit IterationState(CPCollection* pcl);
  /// Copies the collection and the snapshot: a second cursor at the same place.
  IterationState(const IterationState& other);
  /// As the copy constructor.
  IterationState& operator=(const IterationState& other);
  ~IterationState() override;

  /// \name Positioning
  //@{
  /// Take the collection's nXACT, then run the slot (vgotoTop, vgotoBottom,
  /// vgotoIDX); the slot's result: 1 when on an item.
  short gotoTop();
  short gotoBottom();
  short gotoIDX(unsigned long idx);
  //@}

  /// \name Guarded steps
  //@{
  /// Throw kCursorException when the collection changed since the last
  /// positioning; otherwise run the slot and return its result.
  short gotoNext();
  short gotoPrev();
  void* retrieve();
  CPInternalContainer* retrieveInternalContainer();
  //@}

  /// The collection walked (not owned).
  CPCollection* _get_pclAssociated() const { return pclAssociated; }
  /// Stores the collection pointer; the snapshot is not retaken.
  void _set_pclAssociated(CPCollection* pcl) { pclAssociated = pcl; }

  /// \name Slots
  //@{
  /// In this order, overridden by each container's state class: move to
  /// the first / last / next / previous item (1 when on one afterwards),
  /// read the item or the node under the cursor (null when off).
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
  //@}

 protected:
  /// Throws kCursorException when the snapshot is stale.
  void CheckSnapshot() const;

  short nXACTSeen;              ///< the collection's nXACT at the last positioning
  CPCollection* pclAssociated;  ///< the collection walked (not owned)

 private:
  void* get();  // retrieve(), then gotoNext(); the item retrieved
};

/// Walks driven by an IterationState held in pitsThe: forEach, forEachThat,
/// allThat, firstThat/nextThat over items or nodes.  bBusy refuses a walk
/// started from inside another walk's callback.  Every algorithm reports
/// Assert "pitsThe" when there is no state.
class TARNCOLL_API Iterator : public virtual Createable {
 public:
  /// No state, not busy.
  Iterator();
  /// A copy starts without a state (a state has one owner).
  Iterator(const Iterator& other);
  /// Leaves the target's state and bBusy as they are.
  Iterator& operator=(const Iterator& other);
  /// Deletes the state.
  ~Iterator() override;

  /// The state the algorithms drive (owned by this Iterator), or null.
  IterationState* _get_pitsThe() const { return pitsThe; }
  /// Deletes the current state, then stores the new one (null allowed).
  void _set_pitsThe(IterationState* pits);

  /// \name Visiting algorithms
  //@{
  /// From gotoTop to the end, call the action for every item/node (for
  /// forEachThat: for every one whose condition is non-zero); return 1.
  /// O(n).  Re-entered from a callback, or when the walked collection
  /// changes under them, they throw kCursorException.
  short forEach(ItemAction pfnAction, void* pvUser);
  short forEach(NodeAction pfnAction, void* pvUser);
  short forEachThat(ItemCondition pfnCond, void* pvCondUser, ItemAction pfnAction, void* pvActionUser);
  short forEachThat(NodeCondition pfnCond, void* pvCondUser, NodeAction pfnAction, void* pvActionUser);
  //@}
  /// \name allThat
  //@{
  /// A new collection of the walked collection's class (CreateInstance)
  /// holding what matched: items through Add, nodes through
  /// AddInternalContainer; owned by the caller.  O(n).  Reports FailIfNIL
  /// "pclNew"; when the walk throws, the new collection is freed.
  CPCollection* allThat(ItemCondition pfnCond, void* pvUser);
  CPCollection* allThat(NodeCondition pfnCond, void* pvUser);
  //@}

  /// \name Searching algorithms
  //@{
  /// first*: from gotoTop; next*: from one gotoNext past the cursor.  The
  /// cursor stays on the match; null when none.  *That returns the item,
  /// *internalcontainerThat the node; an ItemCondition given to a node
  /// search sees the node's item.  O(n).
  void* firstThat(ItemCondition pfnCond, void* pvUser);
  void* firstThat(NodeCondition pfnCond, void* pvUser);
  CPInternalContainer* firstinternalcontainerThat(ItemCondition pfnCond, void* pvUser);
  CPInternalContainer* firstinternalcontainerThat(NodeCondition pfnCond, void* pvUser);
  void* nextThat(ItemCondition pfnCond, void* pvUser);
  void* nextThat(NodeCondition pfnCond, void* pvUser);
  CPInternalContainer* nextinternalcontainerThat(ItemCondition pfnCond, void* pvUser);
  CPInternalContainer* nextinternalcontainerThat(NodeCondition pfnCond, void* pvUser);
  //@}

 protected:
  short bBusy;              ///< 1 while a visiting algorithm runs
  IterationState* pitsThe;  ///< the driven state, owned; null when none

 private:
  IterationState* RequireState() const;
  void EnterVisit();
  void LeaveVisit();
  template <class Cond>
  CPInternalContainer* SearchNodes(Cond pfnCond, void* pvUser, bool bFromTop);
  void* SearchItems(ItemCondition pfnCond, void* pvUser, bool bFromTop);
};

/// Something that can hand out cursors over itself: CreateIterationState
/// gives a new IterationState, GetIterator an Iterator driving one.
class TARNCOLL_API Iterable : public Iterator, public virtual Createable {
 public:
  Iterable();
  /// As Iterator's copy: no state.
  Iterable(const Iterable& other);
  /// As Iterator's assignment: state and bBusy stay.
  Iterable& operator=(const Iterable& other);
  ~Iterable() override;

  /// A new cursor on this object, owned by the caller; null here.
  virtual IterationState* CreateIterationState();

  /// A new Iterator owning a new state on this object; owned by the caller.
  /// Reports FailIfNIL "piterA" or "pitsA" (the latter also when
  /// CreateIterationState gives null).
  Iterator* GetIterator();
};

/// The callback object of ForEach(IteratorAction*) and of the list's
/// FirstThat/NextThat(IteratorAction*).  Before each Perform() the walking
/// collection stores the current item in pvItem.  What it stores in pvKey
/// and bKeyIsString depends on the container:
/// - CPDictionary: a string key as its CPString* with bKeyIsString 1; a
///   numeric key as a pointer-sized number with bKeyIsString 0.
/// - CPTree (and CPQueue): the node's key as stored, with bKeyIsString
///   always 0: a number for a numeric tree, but for a text tree a pointer
///   to the key's zero-terminated text (a const char*, not a CPString*).
///   The tree's key kind, not bKeyIsString, tells the two apart.
/// - CPList, CPHashTable, CPArray (the base walk): pvItem only; pvKey and
///   bKeyIsString keep whatever they held.  CPVector calls nothing;
///   CPStack reports.
class TARNCOLL_API IteratorAction {
 public:
  /// Item and key null, bKeyIsString 0.
  IteratorAction() : pvItem(nullptr), pvKey(nullptr), bKeyIsString(0) {}
  /// Called once per item; a non-zero result ends the list's
  /// FirstThat/NextThat(IteratorAction*) on that item; ForEach ignores it.
  virtual short Perform() = 0;
  virtual ~IteratorAction();

  void* pvItem;       ///< the current item
  void* pvKey;        ///< the current key, as listed above (keyed containers only)
  char bKeyIsString;  ///< 1 when pvKey holds a CPString* (dictionary string keys only)
};

#endif
