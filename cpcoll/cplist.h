/// \file
/// CPList: a doubly linked list of caller-owned item pointers.
///
/// Each item sits in one CPBucket node; the list keeps the nodes in the
/// order items were added or inserted, a built-in cursor with a remembered
/// index, a look-ahead position for peeking and a reset point.
///
/// ~~~
///   pbktHead                                        pbktTail
///      |                                                |
///      v                                                v
///   +------+ pbktNext +------+ pbktNext      pbktNext +------+
///   | item |--------->| item |-------> ... ---------->| item |--> null
///   |      |<---------|      |<------- ... <----------|      |
///   +------+ pbktPrev +------+ pbktPrev      pbktPrev +------+
///   null <--'           ^
///                       pbktCursor (nDXCursor = 1, or -1 when unknown)
/// ~~~
///
/// Invariants (checked by CPListInspector in the tests):
///   1. nLength equals the number of nodes reachable from pbktHead through
///      pbktNext, and the walk back from pbktTail through pbktPrev meets the
///      same nodes in reverse order.
///   2. pbktHead and pbktTail are both null or both non-null; the head's
///      pbktPrev and the tail's pbktNext are null.
///   3. Every linked node carries exactly one reference held by the list.
///   4. pbktReset, pbktCursor, pbktGot and pbktPeek are null or name a
///      linked node; a node that leaves the list also leaves these.
///   5. nDXCursor is -1 or the index of pbktCursor (0 with an empty list
///      after GotoTop).
///   6. A node outside any list has both links null.
///
/// Costs: Add, Insert, InsertAfter, AddBucket, UnlinkBucket, DetachBucket,
/// RetrieveAndDetachTop O(1) with one allocation per inserted item;
/// FindBucket, Exists, Detach, Destroy, Intern O(n) from the head;
/// RetrieveIDX O(|idx - nDXCursor|) when the cursor index is known, else
/// O(idx) (a plain CPList takes the shortest of the ways from the cursor,
/// the head or the tail); DetachAll, DestroyAll O(n) without relinking.
/// Nodes are 48-byte blocks from a per-thread pool (detail/node_pool.h).
///
/// Items are compared by pointer identity and never dereferenced; only
/// Destroy and DestroyAll hand them to a kill function.
///
/// Reports (source "cpcoll\cplist"): "pbktA !=0", "pbktNew !=0",
/// "pfnCondFunc !=0", "pfnKillFunc !=0", "pfnKillFunc!=0", "pvBucket2Kill",
/// "pvItem2Find !=0"; FailIfNIL "pbktNew", "pitsA", "plstNew".  A report
/// leaves the list as it was.
#ifndef TARNCOLL_CPCOLL_CPLIST_H
#define TARNCOLL_CPCOLL_CPLIST_H

#include <cstddef>

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>
#include <util/export.h>

class CPList;

/// The list node: one item pointer and two links.  The list holds one
/// reference on each linked node; a node is freed with its last Release.
class TARNCOLL_API CPBucket : public CPInternalContainer {
  friend class CPList;  // takes the first reference on the nodes it makes

 public:
  CPBucket();  ///< item and both links null
  /// Copies the item pointer and both links.
  CPBucket(const CPBucket& other);
  /// Copies the item pointer and both links.
  CPBucket& operator=(const CPBucket& other);
  ~CPBucket() override;  ///< does not unlink itself

  /// Nodes come from a per-thread pool of fixed-size blocks (no allocator
  /// header, so 48 bytes a node).  Null on failure; each call counts
  /// against Createable::SetAllocationFailure like any library allocation.
  /// Larger derived nodes use Createable's allocation.
  static void* operator new(std::size_t nSize) noexcept;
  /// Returns the block to the pool it came from.
  static void operator delete(void* pv, std::size_t nSize) noexcept;

  void* _get_pvData() const { return pvTheData; }                ///< the item
  void _set_pvData(void* pv) { pvTheData = pv; }                 ///< stores the item pointer
  CPBucket* _get_pbktPrev() const { return pbktPrev; }           ///< the previous node
  void _set_pbktPrev(CPBucket* pbkt) { pbktPrev = pbkt; }        ///< stores the link only
  CPBucket* _get_pbktNext() const { return pbktNext; }           ///< the next node
  void _set_pbktNext(CPBucket* pbkt) { pbktNext = pbkt; }        ///< stores the link only

 protected:
  CPBucket* pbktPrev;  ///< previous node; null at the head
  CPBucket* pbktNext;  ///< next node; null at the tail
};

/// A doubly linked list of caller-owned item pointers (see cplist.h).
class TARNCOLL_API CPList : public CPFlatCollection {
  friend struct CPListInspector;

 public:
  CPList();  ///< an empty list, the cursor off
  /// Deep copy: new nodes holding the same items in the same order; the
  /// cursor is off the list and there is no search state.  Reports Assert
  /// "pbktNew !=0" when a node cannot be allocated (nothing leaks).
  CPList(const CPList& other);
  /// Deep copy as above; the target's former nodes are released (never its
  /// items), its cursors fail fast afterwards.
  CPList& operator=(const CPList& other);
  /// Releases every node (DetachAll), never touches items.
  ~CPList() override;

  // ---- virtual slots, in the order of CPCollection ----

  /// A new ListIterationState on this list, owned by the caller; null when
  /// it cannot be allocated.
  IterationState* CreateIterationState() override;
  /// A new, empty CPList owned by the caller; null when out of memory.
  CPCollection* CreateInstance() override;

  // The keyed vadd/vremove/vfind slots are refused (inherited).

  /// Walks with a built-in cursor; the action may move the list's cursor.
  /// Leaves the cursor off the list.  O(n).
  void ForEach(IteratorAction* pAction) override;
  /// Walks head to tail through a fresh iteration state; the built-in
  /// cursor is not used.  A callback that changes the list makes the walk
  /// throw kCursorException at its next step.  Reports FailIfNIL "pitsA"
  /// when the state cannot be allocated.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  /// Starts a new search (replacing the previous one): the first item whose
  /// condition result has non-zero low 16 bits, the cursor on it; null for
  /// a null condition or an empty list.  Reports FailIfNIL "pitsA".
  void* FirstThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// Continues the search of the last FirstThat(fn, user) after its match;
  /// null when there is no search.  Reports Assert "pfnCondFunc !=0".
  void* NextThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// A new CPList, owned by the caller, of the items whose condition result
  /// is exactly 1; items are shared.  Cursor ends off the list.  Reports
  /// Assert "pfnCondFunc !=0", FailIfNIL "plstNew".
  CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// Appends after the tail; O(1), one allocation; the cursor stays.
  /// Reports Assert "pbktNew !=0" when out of memory (nothing changes).
  void Add(void* pvItem) override;
  /// Does nothing.
  void AddInternalContainer(CPInternalContainer* pic) override;
  /// Removes the first node holding the item after kill(item, null) ran
  /// while the node was still linked; 1 when removed, 0 when absent (kill
  /// not called).  Reports Assert "pfnKillFunc!=0", "pvItem2Find !=0".
  char Destroy(void* pvItem, CPKillFunc pfnKill) override;
  /// The item at zero-based idx, stepping from the remembered cursor index;
  /// null (cursor unchanged) when idx >= Length().
  void* RetrieveIDX(unsigned long idx) override;
  /// Removes the first node holding the item; 1 when removed, 0 when
  /// absent.  The cursor moves to the successor.  Reports "pvItem2Find !=0".
  char Detach(void* pvItem) override;
  /// Releases every node; O(n); items untouched.  A plain CPList releases
  /// the chain without relinking; a derived list takes the nodes its
  /// virtual GotoTop and Next walk to.  Adds 1 to nXACT even on an empty
  /// list.  Returns 1.
  char DetachAll() override;
  /// As DetachAll, handing each item to kill(item, null), head to tail,
  /// each after its node has left the list.  When kill throws, the items
  /// handed so far are gone, the others stay, and the exception passes on.
  /// Reports Assert "pfnKillFunc !=0".  Returns 1.
  char DestroyAll(CPKillFunc pfnKill) override;
  void GotoTop() override;     ///< cursor on the head, nDXCursor 0
  void GotoBottom() override;  ///< cursor on the tail, nDXCursor nLength-1
  /// One node on; 1 when on a node afterwards.  Off the tail: off the list.
  long Next() override;
  /// One node back; 1 when on a node afterwards.  Off the head: off the list.
  long Prev() override;
  /// The cursor's item (null when off the list); remembers it as pbktGot.
  void* Retrieve() override;

  // ---- cursor ----

  void SetResetPoint();    ///< reset point = cursor
  void ClearResetPoint();  ///< no reset point; nDXCursor -1
  void GotoResetPoint();   ///< cursor = reset point, or GotoTop without one
  /// The cursor's item without moving; the look-ahead restarts there.
  void* Peek();
  /// The next item of the look-ahead (the cursor's item first after a
  /// cursor move); the cursor does not move.  Null past the tail.
  void* PeekNext();
  /// Retrieve(), then Next(); the item retrieved.
  void* Get();
  /// RetrieveIDX, a negative index counting from the end (-1: last item).
  void* operator[](int i);
  /// The cursor node (null when off the list); remembers it as pbktGot.
  CPBucket* RetrieveBucket();

  // ---- insertion: one allocation each, O(1) ----

  /// Before the cursor node; off the list: as the new head, the cursor on
  /// the former head; empty: the cursor on the new node.  Returns 1.
  /// Reports FailIfNIL "pbktNew".
  int Insert(void* pvItem);
  /// After the cursor node; 0 and nothing changes when the cursor is off
  /// the list.  Reports FailIfNIL "pbktNew".
  int InsertAfter(void* pvItem);
  /// Add unless the item is already present (the cursor then stays on it).
  void Intern(void* pvItem);
  /// Links a caller-made node after the tail and takes the list's reference
  /// on it.  Reports Assert "pbktA !=0".
  void AddBucket(CPBucket* pbktA);

  // ---- search ----

  short Exists(void* pvItem);  ///< 1 when FindBucket finds the item
  /// The first node holding the item (cursor on it), or null (cursor off
  /// the list).  O(n).  Reports Assert "pvItem2Find !=0".
  CPBucket* FindBucket(void* pvItem);
  /// The first node for which fn(node, user) is non-zero, the cursor on it;
  /// null (cursor off) when none or fn is null.
  CPBucket* FirstInternalContainerThat(CPConditionFunc pfnCond, void* pvUser);
  /// The first item for which Perform() is non-zero; the cursor is left
  /// where the action left it.
  void* FirstThat(IteratorAction* pAction);
  /// As FirstThat(IteratorAction*), starting after the cursor.
  void* NextThat(IteratorAction* pAction);
  /// Null for the head, else the node's pbktPrev.
  CPBucket* GetPredecessor(CPBucket* pbkt);

  // ---- removal: the removed node's links are cleared ----

  /// Removes the head node; its item, or null when empty.  The cursor is
  /// left on the new head.
  void* RetrieveAndDetachTop();
  /// Removes every item for which fn(item, user) returns 0; keeps those for
  /// which it is non-zero.  Reports Assert "pfnCondFunc !=0".
  void DetachAllThat(CPConditionFunc pfnCond, void* pvUser);
  /// Unlinks the node (which must be in this list), drops the list's
  /// reference; O(1).  Reports Assert "pvBucket2Kill".
  void DetachBucket(void* pvBucket2Kill);
  /// Unlinks the node without touching its reference or the counts; the
  /// cursor moves to the successor when it was on the node; O(1).  A null
  /// node is ignored.
  void UnlinkBucket(CPBucket* pbkt);
  /// Unlinks the head likewise; nothing on an empty list.
  void UnlinkTopBucket();

  // ---- accessors

  /// \name Raw accessors
  //@{
  /// The head, tail, cursor node (null when off), the node fetched last and
  /// the remembered cursor index (-1 when unknown).  The setters store the
  /// pointer and only also forget the remembered cursor index, which the
  /// pointer may invalidate; they keep no invariant.
  CPBucket* _get_pbktHead() const { return pbktHead; }
  void _set_pbktHead(CPBucket* pbkt) {
    pbktHead = pbkt;
    nDXCursor = -1;
  }
  CPBucket* _get_pbktTail() const { return pbktTail; }
  void _set_pbktTail(CPBucket* pbkt) {
    pbktTail = pbkt;
    nDXCursor = -1;
  }
  CPBucket* _get_pbktCursor() const { return pbktCursor; }
  void _set_pbktCursor(CPBucket* pbkt) {
    pbktCursor = pbkt;
    nDXCursor = -1;
  }
  CPBucket* _get_pbktGot() const { return pbktGot; }
  long _get_nDXCursor() const { return nDXCursor; }
  //@}

 protected:
  CPBucket* pbktHead;    ///< first node, null when empty
  CPBucket* pbktTail;    ///< last node, null when empty
  CPBucket* pbktReset;   ///< reset point or null
  CPBucket* pbktCursor;  ///< built-in cursor; null: off the list
  CPBucket* pbktGot;     ///< node fetched last through the cursor
  CPBucket* pbktPeek;    ///< look-ahead position or null
  long nDXCursor;        ///< index of pbktCursor, -1 when unknown
  Iterator itThe;        ///< owns the state of the FirstThat/NextThat search

 private:
  void InitPointers();  // six node pointers null, nDXCursor -1
  // Allocates a node holding the item, with the list's reference already
  // taken; null when out of memory.
  static CPBucket* NewBucket(void* pvItem);
  // Common bookkeeping of every insertion: counts, reset point.
  void Linked();
  // Bookkeeping of a node leaving the list (reset point, cached pointers).
  void Forget(CPBucket* pbkt);
  // Appends copies of other's items (new nodes); on a report the nodes
  // appended so far are released again.
  void AppendNodesOf(const CPList& other);
  // Releases the whole chain without relinking; items untouched.
  void ReleaseAll();
  // Unlinks one node, hands its item to pfnKill (when given), then drops
  // the list's reference on the node.
  void TakeOut(CPBucket* pbkt, CPKillFunc pfnKill);
  // The walk of DetachAll and DestroyAll.
  void EmptyOut(CPKillFunc pfnKill);
  // The walk of ForEach/FirstThat/NextThat(IteratorAction*) from the
  // cursor; stops at a non-zero Perform() when bStopOnMatch.
  void* WalkActions(IteratorAction* pAction, bool bStopOnMatch);
  // The list cursor after a search of itThe.
  void TakeSearchCursor();
  // RetrieveIDX's move to idx (< nLength) when it is not one step on:
  // through the virtual GotoTop/Next/Prev as documented, or, on a plain
  // CPList whose steps nobody overrides, by the shortest path to the same
  // node with the same effects.
  void StepToIndex(unsigned long idx);
};

// The built-in cursor is inline: a walk or a run of positional reads costs
// a pointer step per item, not a call into the library.

inline void CPList::GotoTop() {
  pbktCursor = pbktHead;
  nDXCursor = 0;
  pbktPeek = nullptr;
}

inline void CPList::GotoBottom() {
  pbktCursor = pbktTail;
  nDXCursor = static_cast<long>(nLength) - 1;
  pbktPeek = nullptr;
}

inline long CPList::Next() {
  nDXCursor = -1;
  if (pbktCursor == pbktTail) {
    pbktCursor = nullptr;
    return 0;
  }
  if (!pbktCursor) return 0;
  pbktCursor = pbktCursor->_get_pbktNext();
  return pbktCursor ? 1 : 0;
}

inline long CPList::Prev() {
  nDXCursor = -1;
  if (!pbktCursor || pbktCursor == pbktHead || !pbktCursor->_get_pbktPrev()) {
    pbktCursor = nullptr;
    return 0;
  }
  pbktCursor = pbktCursor->_get_pbktPrev();
  return 1;
}

inline void* CPList::Retrieve() {
  pbktGot = pbktCursor;
  return pbktCursor ? pbktCursor->_get_pvData() : nullptr;
}

inline CPBucket* CPList::RetrieveBucket() {
  pbktGot = pbktCursor;
  return pbktCursor;
}

inline void* CPList::RetrieveIDX(unsigned long idx) {
  if (idx >= nLength) return nullptr;
  if (nDXCursor != -1 && static_cast<long>(idx) - nDXCursor == 1)
    Next();  // the common case: reading indexes in turn
  else if (nDXCursor == -1 || static_cast<long>(idx) != nDXCursor)
    StepToIndex(idx);
  nDXCursor = static_cast<long>(idx);
  return Retrieve();
}

/// An independent fail-fast cursor over one list.  It moves its own fields
/// exactly as the built-in cursor moves the list's; it takes no reference
/// on the list or its nodes and must not outlive the list.
class TARNCOLL_API ListIterationState : public IterationState {
  friend struct CPListInspector;

 public:
  explicit ListIterationState(CPList* plst);  ///< not positioned yet
  /// Copies every field: a second cursor at the same place.
  ListIterationState(const ListIterationState& other);
  /// Copies every field.
  ListIterationState& operator=(const ListIterationState& other);
  ~ListIterationState() override;

  short vgotoTop() override;     ///< cursor on the head; 1
  short vgotoBottom() override;  ///< cursor on the tail; 1

 private:
  // 0 (nothing changes) when idx >= length; else steps there through the
  // guarded gotoNext/gotoPrev from the known index (or from the top).
  short vgotoIDX(unsigned long idx) override;

 public:
  short vgotoNext() override;  ///< 1 when on a node afterwards
  short vgotoPrev() override;  ///< 1 when on a node afterwards
  void* vretrieve() override;  ///< the cursor's item or null
  CPInternalContainer* vretrieveInternalContainer() override;  ///< the node

  void* peek();  ///< the cursor's item; the look-ahead restarts there
  void setResetPoint();    ///< reset point = cursor
  void clearResetPoint();  ///< also forgets the cursor index
  short gotoResetPoint();  ///< to the reset point, or gotoTop() without one
  CPBucket* getPredecessor(CPBucket* pbkt);  ///< null for the head
  CPBucket* _get_pbktCursor() const { return pbktCursor; }  ///< the current node, or null
  CPBucket* I_get_pbktGot() const { return pbktGot; }       ///< the node fetched last, or null

 protected:
  CPBucket* pbktReset;   ///< reset point or null
  CPBucket* pbktCursor;  ///< current node; null: off the list
  CPBucket* pbktGot;     ///< node fetched last
  CPBucket* pbktPeek;    ///< look-ahead position set by peek
  long nDXCursor;        ///< index of pbktCursor, -1 when unknown

 private:
  CPList* List() const;
  // The list's nXACT when nDXCursor was last set; an index from before a
  // change of the list is not trusted by vgotoIDX.
  short nXACTIndexed;
  // The list's nXACT when pbktReset was set; a reset point from before a
  // change may name a node that is gone, so gotoResetPoint ignores it.
  short nXACTReset;
};

#endif
