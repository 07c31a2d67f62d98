// Standard iterators over the collections, for range-based for and
// <algorithm>.
//
// Untyped collections (every CPCollection).  begin(coll) and end(coll) are
// found by argument-dependent lookup, so
//
//   CPList lst;  ...
//   for (void* pv : lst) ...
//   long n = std::count(begin(lst), end(lst), pvSome);
//
// work on any non-const CPCollection (a CPList&, a dereferenced CPTree*,
// ...; making a cursor is not a const operation).  The
// iterator walks a fresh cursor of the collection's own (an IterationState
// from CreateIterationState()): it never moves the collection's built-in
// cursor, and it fails fast like every cursor of the library: once the
// collection has changed after begin(), the next step (++) or read (*) of
// any iterator from that begin() throws the unsigned int 0xDEADF0CC
// (kCursorException).  The walk ends at the first null item, as every walk
// of the library does.
//
// A dictionary's cursor reads entries; begin() on a CPDictionary (also one
// seen as a plain CPCollection) yields the entries' items, in the
// dictionary's iteration order, so that every collection yields its items.
// tarncoll::Entries(dict) walks the entries themselves (keys included) and
// tarncoll::Nodes(coll) the nodes (CPBucket, Leaf, entries' nodes; none for
// the array, stack and vector, which have no nodes).
//
// The iterator is a forward iterator over void* (value_type void*).  Copies
// share the cursor as long as they stand at the same place; a copy that is
// stepped from elsewhere makes a cursor of its own (walking from the top to
// its place once, after checking that nothing changed), so every copy walks
// on independently, as a forward iterator must.  A walk made by one
// iterator costs O(1) per step and one cursor allocation; a cursor is freed
// when the walk reaches the end or its last iterator goes.
//
// Reference collections (every CrCollection: CrList, CrDictionary, CrTree).
// Their wrapped containers are private and they offer no cursor objects, so
// begin(cr) takes a snapshot: one ForEach walk collects the objects (in the
// collection's order) and takes a reference on each, which the snapshot
// holds until its last iterator goes.  The walk therefore never sees a
// dangling object: an object removed from the collection during the loop
// stays alive until the loop is done.  A snapshot does not fail fast and
// does not see changes made after begin(); it yields Createable*
// (tarncoll::Objects<T>(cr) yields T*, for T derived non-virtually from
// Createable).  Cost: O(n) and one allocation at begin(), O(1) per step.
//
// Allocation failures of the iterators (the cursor, the snapshot) throw
// std::bad_alloc.  Nothing here is thread-safe.
#ifndef TARNCOLL_CPCOLL_MODERN_ITER_H
#define TARNCOLL_CPCOLL_MODERN_ITER_H

#include <cstddef>
#include <iterator>
#include <new>
#include <vector>

#include <cpcoll/CPDictionaryAssociation.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/CrCollection.h>
#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>
#include <cpcoll/modern_ref.h>

namespace tarncoll {

// What an iterator reads at each place of its cursor.
enum class WalkOf : unsigned char {
  kItems,       // retrieve(): the item
  kEntryItems,  // retrieve() gives a dictionary entry: its item
  kNodes,       // retrieveInternalContainer(): the node
};

namespace modern_internal {

// One cursor shared by the iterators that stand where it stands.
struct SharedCursor {
  IterationState* pits;  // owned; deleted with the last user
  unsigned long nAt;     // number of steps the cursor has made from the top
  long nUsers;           // iterators holding this cursor
};

// The way range-for over a collection reads it: items, also for a
// dictionary (whose cursor reads entries).
inline WalkOf ItemWalkFor(CPCollection* pcl) {
  return dynamic_cast<CPDictionary*>(pcl) ? WalkOf::kEntryItems : WalkOf::kItems;
}

}  // namespace modern_internal

// A fail-fast forward iterator over a CPCollection, yielding T* (void* for
// the untyped walks).  Default-constructed, it is the end of every walk.
template <class T>
class CollectionIterator {
 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = T*;
  using difference_type = std::ptrdiff_t;
  using pointer = T* const*;
  using reference = T* const&;

  CollectionIterator() noexcept
      : pcl(nullptr), psc(nullptr), nPos(0), nXACTSeen(0), eWalk(WalkOf::kItems), pCurrent(nullptr) {}

  // The first place of a new cursor on pclWalk (the end when it is empty).
  // Throws std::bad_alloc when the cursor cannot be made.
  CollectionIterator(CPCollection* pclWalk, WalkOf eHow)
      : pcl(pclWalk), psc(nullptr), nPos(0), nXACTSeen(0), eWalk(eHow), pCurrent(nullptr) {
    if (!pcl) return;
    psc = NewCursor();
    if (!psc->pits->gotoTop())
      Drop();
    else
      Load();
  }

  CollectionIterator(const CollectionIterator& other) noexcept
      : pcl(other.pcl),
        psc(other.psc),
        nPos(other.nPos),
        nXACTSeen(other.nXACTSeen),
        eWalk(other.eWalk),
        pCurrent(other.pCurrent) {
    if (psc) ++psc->nUsers;
  }
  CollectionIterator(CollectionIterator&& other) noexcept
      : pcl(other.pcl),
        psc(other.psc),
        nPos(other.nPos),
        nXACTSeen(other.nXACTSeen),
        eWalk(other.eWalk),
        pCurrent(other.pCurrent) {
    other.psc = nullptr;
  }
  CollectionIterator& operator=(CollectionIterator other) noexcept {
    swap(other);
    return *this;
  }
  ~CollectionIterator() { Drop(); }

  void swap(CollectionIterator& other) noexcept {
    std::swap(pcl, other.pcl);
    std::swap(psc, other.psc);
    std::swap(nPos, other.nPos);
    std::swap(nXACTSeen, other.nXACTSeen);
    std::swap(eWalk, other.eWalk);
    std::swap(pCurrent, other.pCurrent);
  }

  // The current item.  Throws kCursorException when the collection changed
  // since begin().
  reference operator*() const {
    CheckUnchanged();
    return pCurrent;
  }

  // One place on.  Throws kCursorException when the collection changed
  // since begin(); the iterator is then left where it was.
  CollectionIterator& operator++() {
    if (!psc) return *this;  // the end stays the end
    if (psc->nAt != nPos) OwnCursor();
    psc->pits->gotoNext();  // guarded: throws on a change
    ++nPos;
    psc->nAt = nPos;
    Load();
    return *this;
  }
  CollectionIterator operator++(int) {
    CollectionIterator itOld(*this);
    ++*this;
    return itOld;
  }

  // Two iterators are equal when both are at the end, or both walk the same
  // collection and stand at the same place.
  friend bool operator==(const CollectionIterator& a, const CollectionIterator& b) noexcept {
    if (!a.psc || !b.psc) return !a.psc && !b.psc;
    return a.pcl == b.pcl && a.nPos == b.nPos;
  }
  friend bool operator!=(const CollectionIterator& a, const CollectionIterator& b) noexcept { return !(a == b); }

  // The node under the iterator (null when the container has none), read
  // from its own cursor; throws kCursorException after a change.
  CPInternalContainer* node() {
    if (!psc) return nullptr;
    if (psc->nAt != nPos) OwnCursor();
    return psc->pits->retrieveInternalContainer();
  }

 private:
  void CheckUnchanged() const {
    if (pcl && pcl->_get_nXACT() != nXACTSeen) throw kCursorException;
  }

  // A new cursor on pcl (not positioned) held by this iterator alone; the
  // snapshot of the collection's count is taken here.
  modern_internal::SharedCursor* NewCursor() {
    IterationState* pits = pcl->CreateIterationState();
    if (!pits) throw std::bad_alloc();
    modern_internal::SharedCursor* pscNew = new (std::nothrow) modern_internal::SharedCursor{pits, 0, 1};
    if (!pscNew) {
      delete pits;
      throw std::bad_alloc();
    }
    nXACTSeen = pcl->_get_nXACT();
    return pscNew;
  }

  // Another copy moved the shared cursor: walk a cursor of our own to our
  // place.  Checks first that the collection is unchanged, since the new
  // cursor's own snapshot would accept any change.
  void OwnCursor() {
    CheckUnchanged();
    modern_internal::SharedCursor* pscOwn = NewCursor();  // the same count as before
    pscOwn->pits->gotoTop();
    for (unsigned long i = 0; i < nPos; ++i) pscOwn->pits->gotoNext();
    pscOwn->nAt = nPos;
    T* pKeep = pCurrent;
    Drop();
    pCurrent = pKeep;
    psc = pscOwn;
  }

  // Reads the place the cursor stands on; a null item (or node, or entry)
  // ends the walk.
  void Load() {
    void* pv = nullptr;
    bool bEnd = false;
    switch (eWalk) {
      case WalkOf::kItems:
        pv = psc->pits->retrieve();
        bEnd = !pv;
        break;
      case WalkOf::kEntryItems: {
        CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(psc->pits->retrieve());
        bEnd = !pda;
        if (pda) pv = pda->GetValue();
        break;
      }
      case WalkOf::kNodes:
        pv = psc->pits->retrieveInternalContainer();
        bEnd = !pv;
        break;
    }
    pCurrent = static_cast<T*>(pv);
    if (bEnd) Drop();
  }

  // Leaves the cursor (deleting it with its last user): the end.
  void Drop() noexcept {
    if (!psc) return;
    if (--psc->nUsers == 0) {
      delete psc->pits;
      delete psc;
    }
    psc = nullptr;
    pCurrent = nullptr;
  }

  CPCollection* pcl;                   // the collection walked; not owned
  modern_internal::SharedCursor* psc;  // our cursor (maybe shared); null at the end
  unsigned long nPos;                  // our place: steps from the top
  short nXACTSeen;                     // the collection's nXACT at begin()
  WalkOf eWalk;                        // what we read at each place
  T* pCurrent;                         // what we read at nPos
};

// A walk of one collection as a range: begin() makes a new cursor each time.
template <class T>
class CollectionRange {
 public:
  CollectionRange(CPCollection* pclWalk, WalkOf eHow) : pcl(pclWalk), eWalk(eHow) {}
  CollectionIterator<T> begin() const { return CollectionIterator<T>(pcl, eWalk); }
  CollectionIterator<T> end() const { return CollectionIterator<T>(); }

 private:
  CPCollection* pcl;
  WalkOf eWalk;
};

// The entries of a dictionary (with their keys), in iteration order.
inline CollectionRange<CPDictionaryAssociation> Entries(CPDictionary& dct) {
  return CollectionRange<CPDictionaryAssociation>(&dct, WalkOf::kItems);
}
// The nodes of a collection in its cursor's order; empty for containers
// without nodes.
inline CollectionRange<CPInternalContainer> Nodes(CPCollection& coll) {
  return CollectionRange<CPInternalContainer>(&coll, WalkOf::kNodes);
}

// A forward iterator over a snapshot of a reference collection, yielding
// T* (Createable* by default).  Default-constructed, it is the end.
template <class T = Createable>
class SnapshotIterator {
  struct Snapshot {
    long nUsers;
    std::vector<Ref<Createable>> vObjects;  // one reference on each object
  };

 public:
  using iterator_category = std::forward_iterator_tag;
  using value_type = T*;
  using difference_type = std::ptrdiff_t;
  using pointer = T* const*;
  using reference = T* const&;

  SnapshotIterator() noexcept : psn(nullptr), nPos(0), pCurrent(nullptr) {}

  // Takes the snapshot of crc (ForEach order) and stands on its first
  // object.  Throws std::bad_alloc when it cannot be stored.
  explicit SnapshotIterator(CrCollection& crc) : psn(nullptr), nPos(0), pCurrent(nullptr) {
    std::vector<Createable*> vRaw;
    vRaw.reserve(crc.Length());  // no allocation inside the walk below
    crc.ForEach(&Collect, &vRaw);
    if (vRaw.empty()) return;
    psn = new Snapshot{1, {}};
    try {
      psn->vObjects.reserve(vRaw.size());
      for (Createable* pcr : vRaw) psn->vObjects.emplace_back(pcr);
    } catch (...) {
      delete psn;  // releases what was referenced so far
      psn = nullptr;
      throw;
    }
    Load();
  }

  SnapshotIterator(const SnapshotIterator& other) noexcept
      : psn(other.psn), nPos(other.nPos), pCurrent(other.pCurrent) {
    if (psn) ++psn->nUsers;
  }
  SnapshotIterator(SnapshotIterator&& other) noexcept : psn(other.psn), nPos(other.nPos), pCurrent(other.pCurrent) {
    other.psn = nullptr;
  }
  SnapshotIterator& operator=(SnapshotIterator other) noexcept {
    std::swap(psn, other.psn);
    std::swap(nPos, other.nPos);
    std::swap(pCurrent, other.pCurrent);
    return *this;
  }
  // The last iterator of a snapshot releases its objects (an object that
  // left the collection meanwhile goes now).
  ~SnapshotIterator() { Drop(); }

  reference operator*() const noexcept { return pCurrent; }
  SnapshotIterator& operator++() {
    if (!psn) return *this;
    ++nPos;
    Load();
    return *this;
  }
  SnapshotIterator operator++(int) {
    SnapshotIterator itOld(*this);
    ++*this;
    return itOld;
  }
  friend bool operator==(const SnapshotIterator& a, const SnapshotIterator& b) noexcept {
    if (!a.psn || !b.psn) return !a.psn && !b.psn;
    return a.psn == b.psn && a.nPos == b.nPos;
  }
  friend bool operator!=(const SnapshotIterator& a, const SnapshotIterator& b) noexcept { return !(a == b); }

 private:
  static void Collect(void* pvObject, void* pvUser) {
    static_cast<std::vector<Createable*>*>(pvUser)->push_back(static_cast<Createable*>(pvObject));
  }
  void Load() {
    if (nPos >= psn->vObjects.size()) {
      Drop();
      return;
    }
    pCurrent = static_cast<T*>(psn->vObjects[nPos].get());
  }
  void Drop() noexcept {
    if (!psn) return;
    if (--psn->nUsers == 0) delete psn;
    psn = nullptr;
    pCurrent = nullptr;
  }

  Snapshot* psn;  // shared by copies; null at the end
  std::size_t nPos;
  T* pCurrent;
};

// A reference collection's objects as T*; each begin() takes a snapshot.
template <class T>
class ObjectRange {
 public:
  explicit ObjectRange(CrCollection& crcWalk) : pcrc(&crcWalk) {}
  SnapshotIterator<T> begin() const { return SnapshotIterator<T>(*pcrc); }
  SnapshotIterator<T> end() const { return SnapshotIterator<T>(); }

 private:
  CrCollection* pcrc;
};

template <class T>
ObjectRange<T> Objects(CrCollection& crc) {
  return ObjectRange<T>(crc);
}

}  // namespace tarncoll

// Found by argument-dependent lookup for every class of the library (they
// live in the global namespace), so range-for and std algorithms take the
// collections directly.
inline tarncoll::CollectionIterator<void> begin(CPCollection& coll) {
  return tarncoll::CollectionIterator<void>(&coll, tarncoll::modern_internal::ItemWalkFor(&coll));
}
inline tarncoll::CollectionIterator<void> end(CPCollection&) { return tarncoll::CollectionIterator<void>(); }

inline tarncoll::SnapshotIterator<> begin(CrCollection& crc) { return tarncoll::SnapshotIterator<>(crc); }
inline tarncoll::SnapshotIterator<> end(CrCollection&) { return tarncoll::SnapshotIterator<>(); }

#endif
