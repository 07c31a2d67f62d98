/// \file
/// CPTree: the ordered keyed collection, an AVL tree threaded by a list.
///
/// Every item lives in one Leaf.  The leaves form an AVL-balanced binary
/// search tree on their keys and, at the same time, a doubly linked list in
/// ascending key order:
///
/// ~~~
///                 plfRoot
///                    |
///                 +------+        Leaf
///                 |  4   |        pvKey, pvData        key and item (not owned)
///                 +------+        plfLeft, plfRight    children
///                /        \       plfParent            null at the root
///           +------+    +------+  nBalance             height(right) - height(left)
///           |  2   |    |  6   |  plfPrev, plfNext     list neighbours
///           +------+    +------+
///   plfHead -> 2 <-> 4 <-> 6 <- plfTail        (the list, in key order)
/// ~~~
///
/// Keys are numbers (compared unsigned at pointer width) or pointers to
/// zero-terminated texts owned elsewhere (compared byte by byte, unsigned);
/// etdsState says which.  String keys given as a CPString are kept alive by
/// the process-wide registry pcrdctStringKeys (see AddKeyString).
///
/// Threads: trees used by different threads need no locking by the caller;
/// the registry they share takes its own lock.  A registered CPString may
/// then be used and released by other threads' trees, so its text must not
/// change while registered.  One tree used by several threads at once is the
/// caller's to serialise.
///
/// Invariants after every public operation:
///   1. In-order walk of the tree has strictly ascending keys (one node per
///      key) and every nBalance equals height(right) - height(left), which is
///      -1, 0 or +1.
///   2. Every child's plfParent is the node that links to it; the root's is
///      null.
///   3. The list from plfHead along plfNext to plfTail holds exactly the
///      tree's nodes, plfPrev mirrors plfNext; with CPTree's own list hooks
///      it is the in-order sequence (CPQueue keeps arrival order instead).
///   4. nLength is the number of nodes.
///
/// Costs: AddKeyNum/FindKeyNum/DetachKeyNum O(log n) (one root-to-leaf walk
/// and one upward rebalancing walk); Smallest, Largest, cursor steps O(1);
/// walks O(n) along the list; Merge O(n + m) relinking the nodes; copies
/// O(n log n).  A node is one 96-byte block of the node pool (no allocator
/// header).
///
/// Reports (source "cpcoll\BTree"): "etdsState == etreeNumber",
/// "etdsState == etreeString", "pfnCondFunc !=0", "plfPos != 0",
/// "ptreeFrom !=0", "1==0"; FailIfNIL "plfNew", "pplfVector",
/// "ptreeA", "pcrdctStringKeys"; and `"nLength >0" (cpcoll\cpcollec)`.  A
/// report leaves the tree's content as it was (a key kind fixed on the way
/// stays fixed).
///
/// The numeric lookup and the built-in cursor steps are inline: they are
/// the hot paths, and a call into the library would dominate them.
#ifndef TARNCOLL_CPCOLL_BTREE_H
#define TARNCOLL_CPCOLL_BTREE_H

#include <cpcoll/cpcollec.h>
#include <cpcoll/detail/avl_search.h>
#include <cpcoll/iterate.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

class CrDictionary;
class CPTree;

/// Marks the tree's internal members, which stay out of the exported
/// surface (hidden visibility under GCC and Clang); undefined again at the
/// end of this header.
#if defined(__GNUC__) || defined(__clang__)
#define TARNCOLL_TREE_LOCAL __attribute__((visibility("hidden")))
#else
#define TARNCOLL_TREE_LOCAL
#endif

/// The tree node: one key, one item, four tree fields and two list links.
/// The fields are the tree algorithms' working state; a node belongs to one
/// tree at a time and is freed by it (unless bDeleteLeaves is 0).
class TARNCOLL_API Leaf : public CPInternalContainer {
 public:
  /// A detached node holding the key and the item; no links, balance 0.
  /// Inline: one is made per insertion.
  Leaf(void* pvKeyIn, void* pvDataIn)
      : pvKey(pvKeyIn),
        pvData(pvDataIn),
        plfRight(nullptr),
        plfLeft(nullptr),
        plfParent(nullptr),
        plfNext(nullptr),
        plfPrev(nullptr),
        nBalance(0) {
    pvTheData = pvDataIn;
  }
  /// Nodes carry links into one tree: they are not copied.
  Leaf(const Leaf&) = delete;
  /// Not copied either.
  Leaf& operator=(const Leaf&) = delete;
  /// Does not unlink the node: its tree does that before freeing it.
  ~Leaf() override;

  /// \name Allocation
  /// Nodes are 96-byte blocks of the node pool (null on failure, counted by
  /// Createable's allocation failure hook); a larger derived node comes from
  /// Createable's allocation.  Either may be freed by any thread.
  //@{
  /// A pool block for the node; null when it cannot be had.
  static void* operator new(std::size_t nSize) noexcept;
  /// Returns the block to the pool (or to Createable's allocation).
  static void operator delete(void* pv, std::size_t nSize) noexcept;
  //@}

  /// \name Field reads
  //@{
  void* _get_pvKey() const { return pvKey; }           ///< the key (number or text pointer)
  void* _get_pvData() const { return pvData; }         ///< the item
  Leaf* _get_plfLeft() const { return plfLeft; }       ///< the subtree of smaller keys
  Leaf* _get_plfRight() const { return plfRight; }     ///< the subtree of greater keys
  Leaf* _get_plfParent() const { return plfParent; }   ///< the tree parent, null at the root
  Leaf* _get_plfNext() const { return plfNext; }       ///< the next node of the list
  Leaf* _get_plfPrev() const { return plfPrev; }       ///< the previous node of the list
  short _get_nBalance() const { return nBalance; }     ///< height(right) - height(left)
  //@}

  void* pvKey;       ///< number, or pointer to a text owned elsewhere
  void* pvData;      ///< the item; not owned (pvTheData mirrors it)
  Leaf* plfRight;    ///< subtree of greater keys
  Leaf* plfLeft;     ///< subtree of smaller keys
  Leaf* plfParent;   ///< null at the root
  Leaf* plfNext;     ///< next in list order; null at the tail
  Leaf* plfPrev;     ///< previous in list order; null at the head
  short nBalance;    ///< height(right) - height(left)
};

/// Key kind of a tree; fixed once by the first keyed add or exists test.
enum enumTreeDataState { etreeNone = 0, etreeNumber = 1, etreeString = 2 };
/// \var etreeNone
/// not fixed yet (keys are compared as numbers)
/// \var etreeNumber
/// numeric keys
/// \var etreeString
/// text keys

/// A separate cursor over one tree, following the list links.  Fail-fast
/// through the IterationState guards; removing the node it stands on leaves
/// it dangling (the tree's nXACT changes, so the guarded steps throw).
class TARNCOLL_API TreeIterationState : public IterationState {
 public:
  /// A cursor over ptree; null until positioned.
  explicit TreeIterationState(CPTree* ptree);
  /// Same tree, same node, same snapshot.
  TreeIterationState(const TreeIterationState& other);
  /// As the copy constructor.
  TreeIterationState& operator=(const TreeIterationState& other);
  ~TreeIterationState() override;  ///< the tree is not touched

  /// \name Cursor slots
  /// As IterationState's slots; here the steps follow the list links.
  //@{
  short vgotoTop() override;     ///< cursor = head; 1 even when empty
  short vgotoBottom() override;  ///< cursor = tail; 1 even when empty
  short vgotoNext() override;    ///< 0 when off the tree or moved past the tail, else 1
  short vgotoPrev() override;    ///< 0 when off the tree or moved before the head, else 1
  void* vretrieve() override;    ///< the cursor node's item, or null
  CPInternalContainer* vretrieveInternalContainer() override;  ///< the cursor node, or null
  //@}

  Leaf* _get_plfCursor() const { return plfCursor; }  ///< the cursor node, or null

 private:
  Leaf* plfCursor;  // the current node, or null
};

/// The ordered keyed collection: an AVL tree of Leaf nodes threaded by a
/// list in key order (see BTree.h).  Filled and searched through the keyed
/// slots and Add(item, key); the typed entry points are refused.
class TARNCOLL_API CPTree : public CPKeyedCollection {
 public:
  /// Three-argument walk callback (item, user, key): not supported by trees.
  typedef void (*KeyActionFunc)(void* pvItem, void* pvUser, void* pvKey);

  CPTree();  ///< empty, kind etreeNone, bDeleteLeaves 1
  /// Deep copy: new nodes with the same keys and items, in key order, and
  /// the same key kind; the copy owns its nodes (bDeleteLeaves 1).
  /// O(n log n).  A failed allocation frees what was copied and reports
  /// FailIfNIL "plfNew".
  CPTree(const CPTree& other);
  /// Deep copy as above, all or nothing: the copy is built while the old
  /// nodes are set aside, and they are freed (when bDeleteLeaves) only once
  /// it is complete; a failed allocation frees the partial copy, puts the
  /// old content back and reports.  On success nXACT moves on by one for the
  /// emptying and one per copied node, so cursors see the change.
  CPTree& operator=(const CPTree& other);
  /// DetachAll: frees the nodes when bDeleteLeaves, never the items.
  ~CPTree() override;

  // ---- Collection slots (in the interface's slot order) ----------------
  /// A new TreeIterationState on this tree, owned by the caller; null when
  /// it cannot be allocated.
  IterationState* CreateIterationState() override;
  /// A new, empty CPTree owned by the caller; null when out of memory.
  CPCollection* CreateInstance() override;

  /// \name Typed slots (refused)
  /// A tree is filled and searched only through its keyed operations.
  //@{
  /// As CPCollection::vadd; here every typed slot refuses: 0 or null, no
  /// effect.
  short vadd(void* pvItem, void* pvKey) override;
  short vadd(void* pvItem, CPString* pstrKey) override;
  short vadd(void* pvItem, const char* pszKey) override;
  short vadd(void* pvItem, long nKey) override;
  short vadd(void* pvItem) override;
  void* vremoveByProbe(void* pvItem) override;
  void* vremove(void* pvKey) override;
  void* vremove(CPString* pstrKey) override;
  void* vremove(const char* pszKey) override;
  void* vremove(long nKey) override;
  void* vfind(void* pvKey) override;
  void* vfind(CPString* pstrKey) override;
  void* vfind(char* pszKey) override;
  void* vfind(long nKey) override;
  //@}

  /// \name Walks
  /// Along the list (key order; arrival order in a CPQueue).  O(n).
  //@{
  /// pAction->pvItem/pvKey = the node's item/key, bKeyIsString 0, then
  /// Perform(), for every node in list order; the built-in cursor is not
  /// used.  A null action does nothing.
  void ForEach(IteratorAction* pAction) override;
  /// pfnAction(item, user) for every node in list order; the next link is
  /// read after the call, so the callback must not remove its node.  A null
  /// action does nothing.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  /// From the head: the first item the condition accepts; the cursor moves
  /// to the match's successor (null when nothing matches).  Reports
  /// "pfnCondFunc !=0".
  void* FirstThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// The same search from the cursor node itself (not one step past it);
  /// null when the cursor is null.  Reports "pfnCondFunc !=0".
  void* NextThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// A new CPTree, owned by the caller (no reference taken), with the keys
  /// and items the condition accepts, keyed as here (a tree of unfixed kind
  /// gives a number tree).  Reports "pfnCondFunc !=0"; FailIfNIL "ptreeA",
  /// "plfNew".
  CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) override;
  //@}

  /// \name Item operations
  /// As CPCollection's; here Destroy and Detach take a key, not an item.
  //@{
  /// The item under its own pointer value (Add(pvItem, pvItem)); does not
  /// fix the key kind, so in a string tree the item is read as the key
  /// text.  O(log n).  FailIfNIL "plfNew".
  void Add(void* pvItem) override;
  void AddInternalContainer(CPInternalContainer* pic) override;  ///< ignored
  /// Removes the node of the key pvKey (in the tree's order, no kind
  /// check) and hands a non-null item to pfnKill (when not null); only
  /// when bDeleteLeaves, else 0 and nothing changes.  1 only when a node
  /// was removed.  O(log n).
  char Destroy(void* pvKey, CPKillFunc pfnKill) override;
  /// FindKeyNum(idx): the item under the numeric key idx (not the idx-th
  /// item), null when absent; the cursor does not move.  Reports
  /// "etdsState == etreeNumber" unless a number tree.
  void* RetrieveIDX(unsigned long idx) override;
  /// Removes the node of the key pvKey (no kind check); 1 when the removed
  /// item is not null, 0 when absent or null.  O(log n).
  char Detach(void* pvKey) override;
  /// Empties the tree; frees the nodes when bDeleteLeaves; items untouched.
  /// The cursor goes off the tree; 1.  O(n).
  char DetachAll() override;
  /// As DetachAll, each item handed to pfnKill before its node is freed;
  /// with bDeleteLeaves 0 nothing is freed and pfnKill is not called.  When
  /// pfnKill throws, the nodes it was given are gone and the others stay,
  /// found by their keys; the exception passes on.
  char DestroyAll(CPKillFunc pfnKill) override;
  //@}

  /// \name Built-in cursor
  /// One per tree, along the list; O(1) each, inline.  As CPCollection's;
  /// here GotoTop/GotoBottom need no walk and the steps return 0 when off
  /// the tree or moved past an end.
  //@{
  void GotoTop() override { plfCursor = plfHead; }      ///< onto the head (null when empty)
  void GotoBottom() override { plfCursor = plfTail; }   ///< onto the tail (null when empty)
  /// 0 when off the tree or moved past the tail.
  long Next() override {
    if (plfCursor == nullptr) return 0;
    plfCursor = plfCursor->plfNext;
    return plfCursor != nullptr ? 1 : 0;
  }
  /// 0 when off the tree or moved before the head.
  long Prev() override {
    if (plfCursor == nullptr) return 0;
    plfCursor = plfCursor->plfPrev;
    return plfCursor != nullptr ? 1 : 0;
  }
  /// The cursor node's item, or null when off the tree.
  void* Retrieve() override { return plfCursor != nullptr ? plfCursor->pvData : nullptr; }
  //@}

  // ---- Keyed slots -------------------------------------------------------
  /// \name Keyed adds
  /// The adds fix the kind (etreeNone -> theirs) and report a mismatch
  /// ("etdsState == etreeNumber" / "etdsState == etreeString"); an equal
  /// key replaces only the item (nLength, nXACT unchanged).  O(log n);
  /// FailIfNIL "plfNew" when a node cannot be allocated.
  //@{
  /// The numeric key nKey; the key of all ones makes the item its own key.
  void AddKeyNum(unsigned long nKey, void* pvItem) override;
  /// Stores the caller's pointer as key, uncopied and unregistered: the
  /// text must outlive the node.  A null text: nothing beyond the kind.
  /// pnCRC is not used.
  void AddKeyString(const char* pszKey, void* pvItem, unsigned long* pnCRC) override;
  /// Keys the item by the registered buffer of pstrKey's text; registers
  /// pstrKey when the text is new (an empty text takes a static empty key,
  /// unregistered).  Null pstrKey: nothing beyond the kind.  Reports
  /// FailIfNIL "pcrdctStringKeys" when the registry cannot be created; a
  /// failed registration undoes the insertion.
  void AddKeyString(CPString* pstrKey, void* pvItem) override;
  //@}
  /// \name Keyed removals
  /// The detaches and destroys report a mismatched (or unfixed) kind; a
  /// null text, or an absent key, changes nothing.  Destroy* hand a
  /// non-null item to pfnKill (when not null) after its node is gone,
  /// whatever bDeleteLeaves says.  O(log n).
  //@{
  /// Removes the node of the text pszKey; pnCRC is not used.
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC) override;
  /// Also drops this tree's use of the registered text; the registry entry
  /// goes when no tree uses it any more.  Reports FailIfNIL
  /// "pcrdctStringKeys" as AddKeyString.
  void DetachKeyString(CPString* pstrKey) override;
  /// Removes the node of the numeric key.
  void DetachKeyNum(unsigned long nKey) override;
  /// Removes the node of the numeric key, then kills its item.
  void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) override;
  /// Removes the node of the text, then kills its item; pnCRC is not used.
  void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long* pnCRC) override;
  /// As above for pstrKey's text; its registry entry stays (only
  /// DetachKeyString(CPString*) removes an unused one).
  void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) override;
  //@}
  /// \name Keyed finds
  /// The key's item or null; a mismatched (or unfixed) kind is reported.
  /// O(log n).
  //@{
  /// The item of the numeric key.  Inline: the numeric lookup is most
  /// callers' hot path.
  void* FindKeyNum(unsigned long nKey) override {
    if (etdsState != etreeNumber) ReportKind(etreeNumber);
    Leaf* plf = tarncoll::detail::avl::Locate(plfRoot, reinterpret_cast<const void*>(nKey),
                                              tarncoll::detail::avl::NumberOrder());
    return plf != nullptr ? plf->pvData : nullptr;
  }
  /// The item of the text pszKey (null for a null text); pnCRC is not used.
  void* FindKeyString(const char* pszKey, unsigned long* pnCRC) override;
  /// The item of pstrKey's text (null for a null pstrKey).
  void* FindKeyString(CPString* pstrKey) override;
  //@}
  /// \name Keyed tests
  /// O(log n); no report.
  //@{
  /// Fix an unfixed kind; the key's item as a long (0 when absent, null,
  /// a null text, or the tree is of the other kind).
  long ExistsKeyNum(unsigned long nKey) override;
  long ExistsKeyString(CPString* pstrKey) override;
  long ExistsKeyString(const char* pszKey, unsigned long* pnCRC) override;
  //@}
  /// \name Node walks
  /// As CPKeyedCollection's; the callbacks receive the nodes (Leaf, as
  /// CPInternalContainer*), in list order.
  //@{
  /// pfnAction(node, user) for every node; the next link is read first, so
  /// the callback may detach or free its node.  A null action does nothing.
  void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) override;
  /// A new CPTree, with one reference taken, of the nodes' keys and items
  /// the condition accepts (it receives nodes; a null condition gives an
  /// empty tree).  FailIfNIL "ptreeA", "plfNew".
  CPCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// As FirstThat, handing nodes to the condition and returning the node;
  /// the cursor passes every node tested.  A null condition: null (the
  /// cursor on the head).
  void* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// As NextThat, handing nodes to the condition and returning the node;
  /// the cursor passes every node tested.  A null condition: null.
  void* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  void* RetrieveInternalContainer() override;  ///< always null
  //@}

  // ---- Tree operations ---------------------------------------------------
  /// Inserts the item under the key, or replaces the item of an equal key
  /// (nLength, nXACT and the stored key unchanged).  A key of all ones makes
  /// the item its own key; a null key of a string tree stores nothing.  No
  /// kind check.  O(log n).  FailIfNIL "plfNew".
  void Add(void* pvData, void* pvKey);
  /// The node of the key, or null (a null key of a string tree: null); the
  /// second argument is not used.  O(log n).
  Leaf* FindLeaf(void* pvKey, short) const;
  /// The key's item, or null.  O(log n).
  void* Find(void* pvKey) const;
  /// Removes the key's node and returns its item; null when absent.  No
  /// kind check.  O(log n).
  void* DeleteBalance(void* pvKey);
  /// Removes a node of this tree: a node with two children is replaced by
  /// its predecessor (nBalance -1) or successor, which moves into its place.
  /// Frees it when bDeleteLeaves (its list links are left as they were);
  /// a null node does nothing.  Reports "nLength >0" on an empty tree.
  void DetachLeaf(Leaf* plf);
  /// Moves every node of ptreeFrom into this tree (an equal key keeps this
  /// tree's node and frees the other); ptreeFrom ends empty and both trees
  /// end with bDeleteLeaves 1 and their cursors off.  The list is rebuilt in
  /// key order (in a CPQueue too), the list hooks are not called.
  /// O(n + m).  Reports "ptreeFrom !=0"; FailIfNIL "pplfVector".  Merging a
  /// tree into itself changes nothing.
  void Merge(CPTree* ptreeFrom);

  void* Smallest() const;  ///< the head's item, or null
  void* Largest() const;   ///< the tail's item, or null
  Leaf* RetrieveLeaf() const { return plfCursor; }  ///< the built-in cursor's node, or null
  /// pfnAction(node, user) for every node in list order (next read after
  /// the call).  A null action does nothing.
  void ForEachLeaf(CPActionFunc pfnAction, void* pvUser);
  /// Not supported: reports "1==0".
  void ForEach(KeyActionFunc pfnAction, void* pvUser);

  void Print() {}                       ///< does nothing
  void PrintBranch(Leaf*, long) {}      ///< does nothing
  short ValidateTree() { return 1; }    ///< 1; does not inspect the tree

  /// \name Field access
  /// Plain reads and stores of the fields; a store keeps no invariant.
  //@{
  Leaf* _get_plfRoot() const { return plfRoot; }                    ///< the root, null when empty
  void _set_plfRoot(Leaf* plf) { plfRoot = plf; }                   ///< stores the root only
  Leaf* _get_plfHead() const { return plfHead; }                    ///< the first node of the list
  void _set_plfHead(Leaf* plf) { plfHead = plf; }                   ///< stores the head only
  Leaf* _get_plfTail() const { return plfTail; }                    ///< the last node of the list
  void _set_plfTail(Leaf* plf) { plfTail = plf; }                   ///< stores the tail only
  enumTreeDataState _get_etdsState() const { return etdsState; }    ///< the key kind
  void _set_etdsState(enumTreeDataState e) { etdsState = e; }       ///< stores the key kind only
  short _get_bDeleteLeaves() const { return bDeleteLeaves; }        ///< nonzero: removed nodes are freed
  void _set_bDeleteLeaves(short b) { bDeleteLeaves = b; }           ///< stores the flag
  //@}

  /// The registry of string keys given as CPString objects, shared by every
  /// tree: text -> the first CPString registered with it (one reference).
  /// Created on first use, never freed.  Guarded by the registry's lock:
  /// read it directly only while no other thread uses string-keyed trees.
  static CrDictionary* pcrdctStringKeys;

 protected:
  /// Copies the collection part and the key kind of other; the nodes too
  /// when bCopyLeaves (placed by CPTree's own hooks, as this is a base
  /// constructor), so derived copy constructors pass false and copy them.
  CPTree(const CPTree& other, bool bCopyLeaves);

  /// \name List hooks
  /// Called for each node attached (with its tree parent, null for the
  /// first node) and removed (before it leaves the tree).
  //@{
  /// Links plf into the list: CPTree keeps key order, next to its tree
  /// parent plfPos; reports "plfPos != 0" for a null parent of a node that
  /// is not the first.  A null node does nothing.
  virtual void ListInsert(Leaf* plf, Leaf* plfPos);
  /// Links the neighbours to each other; the node's own links stay.
  virtual void ListRemove(Leaf* plf);
  //@}

  /// DetachLeaf of a non-null node of this tree (internal).
  TARNCOLL_TREE_LOCAL void RemoveLeaf(Leaf* plf);

  /// Adds a node for every node of other, in other's list order, by the
  /// insertion itself (keys taken verbatim; this object's list hooks place
  /// them).  When an allocation fails it empties this tree, freeing every
  /// node, and reports FailIfNIL "plfNew".
  void CopyLeavesFrom(const CPTree& other);

  enumTreeDataState etdsState;  ///< key kind
  Leaf* plfRoot;                ///< root, null when empty
  Leaf* plfHead;                ///< first node of the list
  Leaf* plfTail;                ///< last node of the list
  Leaf* plfCursor;              ///< built-in cursor
  short bDeleteLeaves;          ///< nonzero: removed nodes are freed

 private:
  friend struct CPTreeInspector;

  // The members below are internal: hidden from the library's exported
  // surface, so the library calls (and inlines) them directly.
  TARNCOLL_TREE_LOCAL short IsGreaterThan(void* pvA, void* pvB) const;  // 1 when a > b in this tree's order
  TARNCOLL_TREE_LOCAL short IsEqualTo(void* pvA, void* pvB) const;      // 1 when a == b
  // Inserts verbatim (no all-ones rule); the new node, or null when an
  // equal key took the item.
  TARNCOLL_TREE_LOCAL Leaf* InsertLeaf(void* pvData, void* pvKey);
  // Collects both trees' nodes in key order into a new vector (*pppv),
  // empties both trees; returns the node count.
  TARNCOLL_TREE_LOCAL long BuildVectorFromTwoTrees(Leaf*** pppv, CPTree* ptreeA, CPTree* ptreeB);
  // The balanced tree of v[0..n-1] (sorted; stale tree links are
  // overwritten); each balance from the real subtree heights.  *pCount
  // counts recursive calls.
  TARNCOLL_TREE_LOCAL static Leaf* BuildTree(Leaf** v, long n, long* pCount);
  // Frees every node (when bDeleteLeaves), each item handed to pfnKill
  // first.  A kill that throws: its node is gone, the rest stay (RelinkTreeFromList).
  TARNCOLL_TREE_LOCAL void FreeAllLeaves(CPKillFunc pfnKill);
  // Rebuilds the tree links, balances and count over the nodes of the list
  // (plfHead on), which keeps its order; the built-in cursor goes off the
  // tree.  O(n log n), allocates nothing.
  TARNCOLL_TREE_LOCAL void RelinkTreeFromList();
  // Count a node's key as a use of a registered string (string trees
  // only), when the node joins / leaves this tree.
  void NoteKeyUse(void* pvKey) {
    if (etdsState == etreeString) NoteKeyUseSlow(pvKey);
  }
  void DropKeyUse(void* pvKey) {
    if (etdsState == etreeString) DropKeyUseSlow(pvKey);
  }
  TARNCOLL_TREE_LOCAL void NoteKeyUseSlow(void* pvKey);
  TARNCOLL_TREE_LOCAL void DropKeyUseSlow(void* pvKey);
  // One node more / less: nLength and nXACT (CountOut reports
  // "nLength >0" on an empty count, before any change).
  TARNCOLL_TREE_LOCAL void CountIn();
  TARNCOLL_TREE_LOCAL void CountOut();
  void RequireKind(enumTreeDataState e) const {  // assert the kind
    if (etdsState != e) ReportKind(e);
  }
  // Reports the wanted kind (never returns).  Exported: the inline
  // FindKeyNum calls it from callers' code.
  [[noreturn]] void ReportKind(enumTreeDataState e) const;
  void FixKind(enumTreeDataState e) {  // fix etreeNone, then assert
    if (etdsState == etreeNone) etdsState = e;
    RequireKind(e);
  }
};

#undef TARNCOLL_TREE_LOCAL

#endif
