// The collection interface shared by every untyped-pointer container.
//
// A CPCollection holds caller-owned item pointers (void*).  It keeps:
//   nXACT     signed 16-bit modification count, +1 on every change of
//             content, wrapping; cursors compare their snapshot with it.
//   nLength   the number of items.
//   eKeyKind  the key kind the typed entry points (add/remove/find) are
//             committed to; set once, by the first typed add.
// Its virtual slots stand in a fixed order (creation, the typed vadd/
// vremove/vfind slots, the walks, the item operations, the built-in cursor,
// BuildVector).  Sequential containers derive from CPFlatCollection (which
// adds BuildFromVector and Sort), keyed ones from CPKeyedCollection (which
// adds twenty keyed slots).  Nodes that hold one item each derive from
// CPInternalContainer.
//
// Costs here: Length/IsMT O(1); typed entry points one virtual call;
// BuildVector one allocation and one walk; Sort one vector, qsort, re-add.
#ifndef TARNCOLL_CPCOLL_CPCOLLEC_H
#define TARNCOLL_CPCOLL_CPCOLLEC_H

#include <cpcoll/iterate.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

// Container callbacks.  A condition matches when its result is non-zero
// (unless a container says otherwise); kill functions are always called
// with a null second argument; comparisons receive two cells of an item
// vector, as for qsort.
typedef int (*CPConditionFunc)(void* item, void* user);
typedef void (*CPActionFunc)(void* item, void* user);
typedef void (*CPKillFunc)(void* item, void* user);
typedef int (*CPCompareFunc)(const void* a, const void* b);

// Key kinds of the typed entry points.
enum eKeyKinds { ekeyNone = 0, ekeyPointer = 1, ekeyNumber = 2, ekeyString = 3, ekeyPlain = 4 };

// Base of the node classes: one item pointer, never dereferenced or freed.
class TARNCOLL_API CPInternalContainer : public virtual Createable {
 public:
  CPInternalContainer() {}  // the node classes set pvTheData
  CPInternalContainer(const CPInternalContainer& other) : Createable(), pvTheData(other.pvTheData) {}
  CPInternalContainer& operator=(const CPInternalContainer& other) {
    pvTheData = other.pvTheData;
    return *this;
  }
  ~CPInternalContainer() override;

  void* _get_pvTheData() const { return pvTheData; }
  void _set_pvTheData(void* pv) { pvTheData = pv; }

 protected:
  void* pvTheData;
};

// The interface every item container implements: length and change count,
// the typed add/remove/find entry points, walks, cursor moves and copies.
class TARNCOLL_API CPCollection : public Iterable, public virtual Createable {
 public:
  CPCollection();
  // Copies the counts and key kind; the Iterator part starts without a
  // state.  Each container copies its own content.
  CPCollection(const CPCollection& other);
  CPCollection& operator=(const CPCollection& other);
  ~CPCollection() override;

  // A new, empty collection of the same class, owned by the caller.
  virtual CPCollection* CreateInstance() = 0;

  // Typed slots; this library's containers all refuse them (0 or null).
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

  // Walks over the built-in cursor; a null item ends every walk.
  virtual void ForEach(IteratorAction* pAction);
  virtual void ForEach(CPActionFunc pfnAction, void* pvUser);
  virtual void* FirstThat(CPConditionFunc pfnCond, void* pvUser);
  virtual void* NextThat(CPConditionFunc pfnCond, void* pvUser);
  virtual CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) = 0;

  virtual void Add(void* pvItem) = 0;
  virtual void AddInternalContainer(CPInternalContainer* pic) = 0;
  virtual char Destroy(void* pvItem, CPKillFunc pfnKill) = 0;
  virtual void* RetrieveIDX(unsigned long idx) = 0;
  virtual char Detach(void* pvItem) = 0;
  virtual char DetachAll() = 0;
  virtual char DestroyAll(CPKillFunc pfnKill) = 0;

  // Built-in cursor.
  virtual void GotoTop() = 0;
  virtual void GotoBottom() = 0;
  virtual long Next() = 0;
  virtual long Prev() = 0;
  virtual void* Retrieve() = 0;

  // A new array (new[]) of all items in cursor order, owned by the caller;
  // null when empty.  Reports FailIfNIL "ppvVector".
  virtual void** BuildVector();

  short _get_nXACT() const { return nXACT; }
  unsigned long Length() const { return nLength; }
  char IsMT() const { return nLength == 0 ? 1 : 0; }

  // Typed entry points: dispatch to the slot of their key kind when the
  // collection is committed to that kind (the first add commits it).
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

  // Adds every item of pclFrom through this collection's Add; items are
  // shared.  Reports Assert "pclFrom" for a null source.
  void AddFrom(CPCollection* pclFrom);
  // AddFrom when this collection is empty; otherwise nothing.
  void CopyFrom(CPCollection* pclFrom);

 protected:
  // Each adds 1 to nXACT as well; the first two return the new nLength.
  // Inline: they sit on every insertion and removal path.
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

  short nXACT;
  unsigned long nLength;
  char eKeyKind;

 private:
  // Commits to eKind when uncommitted; true when the kind matches.
  bool CommitKind(char eKind);
  // The "nLength >0" report of DecrementLength, kept out of line.
  [[noreturn]] static void ReportLengthUnderflow();
};

// A collection kept in an order of its own making (list, array, vector):
// items go in through Add and come out sorted through Sort.
class TARNCOLL_API CPFlatCollection : public CPCollection {
 public:
  CPFlatCollection() {}
  CPFlatCollection(const CPFlatCollection& other) = default;
  CPFlatCollection& operator=(const CPFlatCollection& other) = default;
  ~CPFlatCollection() override;

  // When empty and given items: Add each of ppv[0..n-1] in order.
  virtual void BuildFromVector(void** ppv, unsigned long n);
  // Rebuilds the collection through Add from its items sorted by pfnCompare
  // (qsort, not stable).  A comparison that throws leaves the collection
  // as it was; its exception reaches the caller once qsort has returned.
  // When an Add is reported, the remaining items are added again before
  // the report goes on, so none is lost.
  virtual void Sort(CPCompareFunc pfnCompare);

  // When this collection is empty: fills it through Add with pclFrom's
  // items sorted by pfnCompare.  Reports Assert "pcollFrom" for null.  A
  // report from an Add, or a comparison that throws, leaves this
  // collection empty.
  void SortedCopy(CPCollection* pclFrom, CPCompareFunc pfnCompare);
};

// A collection whose items are found by key (dictionary, tree): numeric,
// string or pointer keys, one kind per collection.
class TARNCOLL_API CPKeyedCollection : public CPCollection {
 public:
  CPKeyedCollection() {}
  CPKeyedCollection(const CPKeyedCollection& other) = default;
  CPKeyedCollection& operator=(const CPKeyedCollection& other) = default;
  ~CPKeyedCollection() override;

  // pnCRC: null, or the CRC-16 of the key text already known to the caller.
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
  // The *InternalContainer operations hand the container's own entry or
  // node objects to the callbacks instead of items.
  virtual void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) = 0;
  virtual CPCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual void* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual void* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual void* RetrieveInternalContainer() = 0;
};

#endif
