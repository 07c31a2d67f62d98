/// \file
/// The collection interface shared by every untyped-pointer container.
///
/// A CPCollection holds caller-owned item pointers (void*).  It keeps:
///   nXACT     signed 16-bit modification count, +1 on every change of
///             content, wrapping; cursors compare their snapshot with it.
///   nLength   the number of items.
///   eKeyKind  the key kind the typed entry points (add/remove/find) are
///             committed to; set once, by the first typed add.
/// Its virtual slots stand in a fixed order (creation, the typed vadd/
/// vremove/vfind slots, the walks, the item operations, the built-in cursor,
/// BuildVector).  Sequential containers derive from CPFlatCollection (which
/// adds BuildFromVector and Sort), keyed ones from CPKeyedCollection (which
/// adds twenty keyed slots).  Nodes that hold one item each derive from
/// CPInternalContainer.
///
/// Costs here: Length/IsMT O(1); typed entry points one virtual call;
/// BuildVector one allocation and one walk; Sort one vector, qsort, re-add.
///
/// Reports (source "cpcoll\cpcollec"): "nLength >0" when a count would go
/// below zero (from every container), "pclFrom", "pcollFrom"; FailIfNIL
/// "ppvVector".
#ifndef TARNCOLL_CPCOLL_CPCOLLEC_H
#define TARNCOLL_CPCOLL_CPCOLLEC_H

#include <cpcoll/iterate.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

/// \name Container callbacks
/// A condition matches when its result is non-zero (unless a container
/// says otherwise); kill functions are always called with a null second
/// argument; comparisons receive two cells of an item vector, as for qsort.
//@{
typedef int (*CPConditionFunc)(void* item, void* user);       ///< a condition on an item
typedef void (*CPActionFunc)(void* item, void* user);         ///< an action on an item
typedef void (*CPKillFunc)(void* item, void* user);           ///< disposes of a removed item
typedef int (*CPCompareFunc)(const void* a, const void* b);  ///< orders two item-vector cells
//@}

/// Key kinds of the typed entry points (CPCollection::eKeyKind).
enum eKeyKinds { ekeyNone = 0, ekeyPointer = 1, ekeyNumber = 2, ekeyString = 3, ekeyPlain = 4 };
/// \var ekeyNone
/// not committed yet
/// \var ekeyPointer
/// pointer keys (add/remove/find with a void* key)
/// \var ekeyNumber
/// numeric keys (long)
/// \var ekeyString
/// text keys (const char* or CPString*)
/// \var ekeyPlain
/// no key: add(item) and removeByProbe(item)

/// Base of the node classes: one item pointer, never dereferenced or freed.
class TARNCOLL_API CPInternalContainer : public virtual Createable {
 public:
  CPInternalContainer() {}  ///< the node classes set pvTheData
  /// Copies the item pointer.
  CPInternalContainer(const CPInternalContainer& other) : Createable(), pvTheData(other.pvTheData) {}
  /// Copies the item pointer.
  CPInternalContainer& operator=(const CPInternalContainer& other) {
    pvTheData = other.pvTheData;
    return *this;
  }
  ~CPInternalContainer() override;

  void* _get_pvTheData() const { return pvTheData; }  ///< the item
  void _set_pvTheData(void* pv) { pvTheData = pv; }   ///< stores the item pointer

 protected:
  void* pvTheData;  ///< the item (caller-owned)
};

/// The interface every item container implements: length and change count,
/// the typed add/remove/find entry points, walks, cursor moves and copies
/// (see cpcollec.h).  The pure virtual slots below state the contract every
/// container keeps; each container's header says where it differs.
class TARNCOLL_API CPCollection : public Iterable, public virtual Createable {
 public:
  /// Empty: nLength 0, nXACT 0, no key kind.
  CPCollection();
  /// Copies the counts and key kind; the Iterator part starts without a
  /// state.  Each container copies its own content.
  CPCollection(const CPCollection& other);
  /// As the copy constructor.
  CPCollection& operator=(const CPCollection& other);
  ~CPCollection() override;

  /// A new, empty collection of the same class, owned by the caller.
  virtual CPCollection* CreateInstance() = 0;

  /// \name Typed slots
  //@{
  /// Called by add/remove/find for the committed key kind; this library's
  /// containers all refuse them (0 or null).
  virtual short vadd(void* pvItem, void* pvKey);
  virtual short vadd(void* pvItem, CPString* pstrKey);
  virtual short vadd(void* pvItem, const char* pszKey);
  virtual short vadd(void* pvItem, long nKey);
  virtual short vadd(void* pvItem);
  virtual void* vremoveByProbe(void* pvItem);
  virtual void* vremove(void* pvKey);
  virtual void* vremove(CPString* pstrKey);
  virtual void* vremove(const char* pszKey);
  virtual void* vremove(long nKey);
  virtual void* vfind(void* pvKey);
  virtual void* vfind(CPString* pstrKey);
  virtual void* vfind(char* pszKey);
  virtual void* vfind(long nKey);
  //@}

  /// \name Walks
  /// Over the built-in cursor from GotoTop; a null item ends every walk.
  /// O(n).
  //@{
  /// Perform() for every item, pvItem set (see IteratorAction).
  virtual void ForEach(IteratorAction* pAction);
  /// pfnAction(item, user) for every item.
  virtual void ForEach(CPActionFunc pfnAction, void* pvUser);
  /// The first item whose condition is non-zero, the cursor on it; null
  /// when none.
  virtual void* FirstThat(CPConditionFunc pfnCond, void* pvUser);
  /// As FirstThat, starting one Next() past the cursor.
  virtual void* NextThat(CPConditionFunc pfnCond, void* pvUser);
  /// A new collection of this class, owned by the caller, holding the items
  /// that match (shared, not copied).
  virtual CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) = 0;
  //@}

  /// \name Item operations
  /// The slots every container implements; items are never dereferenced,
  /// only a kill function sees them.
  //@{
  /// Adds the item in the container's own place for it.
  virtual void Add(void* pvItem) = 0;
  /// Adds a node object where the container takes one (else nothing).
  virtual void AddInternalContainer(CPInternalContainer* pic) = 0;
  /// Removes the item and hands it to kill(item, null); 1 when removed,
  /// 0 when absent.
  virtual char Destroy(void* pvItem, CPKillFunc pfnKill) = 0;
  /// The item at zero-based position idx in cursor order, the cursor on
  /// it; null when idx >= Length().
  virtual void* RetrieveIDX(unsigned long idx) = 0;
  /// Removes the item without touching it; 1 when removed, 0 when absent.
  virtual char Detach(void* pvItem) = 0;
  /// Removes every item without touching them; 1.  O(n).
  virtual char DetachAll() = 0;
  /// Removes every item, handing each to kill(item, null); 1.  O(n).
  virtual char DestroyAll(CPKillFunc pfnKill) = 0;
  //@}

  /// \name Built-in cursor
  /// GotoTop/GotoBottom: onto the first/last item (off the container when
  /// empty); Next/Prev: one step, 1 when on an item afterwards, stepping
  /// off an end leaves the cursor off; Retrieve: the cursor's item, null
  /// when off.
  //@{
  virtual void GotoTop() = 0;     ///< onto the first item
  virtual void GotoBottom() = 0;  ///< onto the last item
  virtual long Next() = 0;        ///< one step on; 1 when on an item
  virtual long Prev() = 0;        ///< one step back; 1 when on an item
  virtual void* Retrieve() = 0;   ///< the cursor's item, or null
  //@}

  /// A new array (new[]) of all items in cursor order, owned by the caller;
  /// null when empty.  O(n).  Reports FailIfNIL "ppvVector".
  virtual void** BuildVector();

  short _get_nXACT() const { return nXACT; }                ///< the modification count
  unsigned long Length() const { return nLength; }          ///< the number of items
  char IsMT() const { return nLength == 0 ? 1 : 0; }        ///< 1 when empty

  /// \name Typed entry points
  //@{
  /// Dispatch to the slot of their key kind (add: vadd, remove: vremove,
  /// find: vfind; no key: ekeyPlain) when the collection is committed to
  /// that kind (the first add commits it); 0 or null otherwise.
  short add(void* pvItem);
  short add(void* pvItem, long nKey);
  short add(void* pvItem, const char* pszKey);
  short add(void* pvItem, CPString* pstrKey);
  short add(void* pvItem, void* pvKey);
  void* removeByProbe(void* pvItem);
  void* remove(long nKey);
  void* remove(const char* pszKey);
  void* remove(CPString* pstrKey);
  void* remove(void* pvKey);
  void* find(long nKey);
  void* find(char* pszKey);
  void* find(CPString* pstrKey);
  void* find(void* pvKey);
  //@}

  /// Adds every item of pclFrom through this collection's Add; items are
  /// shared.  Reports Assert "pclFrom" for a null source.
  void AddFrom(CPCollection* pclFrom);
  /// AddFrom when this collection is empty; otherwise nothing.
  void CopyFrom(CPCollection* pclFrom);

 protected:
  /// \name Length bookkeeping for derived containers
  //@{
  /// Each adds 1 to nXACT as well; the first two return the new nLength.
  /// DecrementLength reports Assert "nLength >0" at 0.  Inline: they sit
  /// on every insertion and removal path.
  unsigned long IncrementLength() {
    ++nXACT;
    return ++nLength;
  }
  unsigned long DecrementLength() {  // Assert "nLength >0" at 0
    if (nLength == 0) ReportLengthUnderflow();
    ++nXACT;
    return --nLength;
  }
  void ClearLength() {
    ++nXACT;
    nLength = 0;
  }
  //@}

  short nXACT;            ///< modification count, +1 on every change, wrapping
  unsigned long nLength;  ///< the number of items
  char eKeyKind;          ///< the committed eKeyKinds value of the typed entry points

 private:
  // Commits to eKind when uncommitted; true when the kind matches.
  bool CommitKind(char eKind);
  // The "nLength >0" report of DecrementLength, kept out of line.
  [[noreturn]] static void ReportLengthUnderflow();
};

/// A collection kept in an order of its own making (list, array, vector):
/// items go in through Add and come out sorted through Sort.
class TARNCOLL_API CPFlatCollection : public CPCollection {
 public:
  CPFlatCollection() {}                                                 ///< empty
  CPFlatCollection(const CPFlatCollection& other) = default;             ///< as CPCollection's copy
  CPFlatCollection& operator=(const CPFlatCollection& other) = default;  ///< as CPCollection's copy
  ~CPFlatCollection() override;

  /// When empty and given items: Add each of ppv[0..n-1] in order.
  virtual void BuildFromVector(void** ppv, unsigned long n);
  /// Rebuilds the collection through Add from its items sorted by pfnCompare
  /// (qsort, not stable).  A comparison that throws leaves the collection
  /// as it was; its exception reaches the caller once qsort has returned.
  /// When an Add is reported, the remaining items are added again before
  /// the report goes on, so none is lost.
  virtual void Sort(CPCompareFunc pfnCompare);

  /// When this collection is empty: fills it through Add with pclFrom's
  /// items sorted by pfnCompare.  Reports Assert "pcollFrom" for null.  A
  /// report from an Add, or a comparison that throws, leaves this
  /// collection empty.
  void SortedCopy(CPCollection* pclFrom, CPCompareFunc pfnCompare);
};

/// A collection whose items are found by key (dictionary, tree): numeric,
/// string or pointer keys, one kind per collection.
class TARNCOLL_API CPKeyedCollection : public CPCollection {
 public:
  CPKeyedCollection() {}                                                  ///< empty
  CPKeyedCollection(const CPKeyedCollection& other) = default;             ///< as CPCollection's copy
  CPKeyedCollection& operator=(const CPKeyedCollection& other) = default;  ///< as CPCollection's copy
  ~CPKeyedCollection() override;

  /// \name Keyed slots
  //@{
  /// By number or by text (const char* with pnCRC: null, or the CRC-16 of
  /// the text already known to the caller; or CPString*).  Add*: store the
  /// item under the key; Detach*: remove the key's item without touching
  /// it; Destroy*: remove it and hand it to kill(item, null); Find*: the
  /// key's item or null; Exists*: non-zero when the key is present.  Each
  /// container's header gives the costs, what a present or absent key does
  /// and the reports.
  virtual void AddKeyNum(unsigned long nKey, void* pvItem) = 0;
  virtual void AddKeyString(const char* pszKey, void* pvItem, unsigned long* pnCRC) = 0;
  virtual void AddKeyString(CPString* pstrKey, void* pvItem) = 0;
  virtual void DetachKeyString(const char* pszKey, unsigned long* pnCRC) = 0;
  virtual void DetachKeyString(CPString* pstrKey) = 0;
  virtual void DetachKeyNum(unsigned long nKey) = 0;
  virtual void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) = 0;
  virtual void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long* pnCRC) = 0;
  virtual void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) = 0;
  virtual void* FindKeyNum(unsigned long nKey) = 0;
  virtual void* FindKeyString(const char* pszKey, unsigned long* pnCRC) = 0;
  virtual void* FindKeyString(CPString* pstrKey) = 0;
  virtual long ExistsKeyNum(unsigned long nKey) = 0;
  virtual long ExistsKeyString(CPString* pstrKey) = 0;
  virtual long ExistsKeyString(const char* pszKey, unsigned long* pnCRC) = 0;
  //@}
  /// \name Node walks
  //@{
  /// As ForEach, AllThat, FirstThat, NextThat and Retrieve, handing the
  /// container's own entry or node objects to the callbacks (and
  /// returning them) instead of items.
  virtual void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) = 0;
  virtual CPCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual void* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual void* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual void* RetrieveInternalContainer() = 0;
  //@}
};

#endif
