/// \file
/// Standard iterators over the collections, for range-based for and
/// `<algorithm>`.
///
/// Untyped collections (every CPCollection).  begin(coll) and end(coll) are
/// found by argument-dependent lookup, so
/// \code
///   CPList lst;  ...
///   for (void* pv : lst) ...
///   long n = std::count(begin(lst), end(lst), pvSome);
/// \endcode
/// work on any non-const CPCollection (a CPList&, a dereferenced CPTree*,
/// ...; making a cursor is not a const operation).  The
/// iterator walks a fresh cursor of the collection's own (an IterationState
/// from CreateIterationState()): it never moves the collection's built-in
/// cursor, and it fails fast like every cursor of the library: once the
/// collection has changed after begin(), the next step (++) or read (*) of
/// any iterator from that begin() throws the unsigned int 0xDEADF0CC
/// (kCursorException).  The walk ends at the first null item, as every walk
/// of the library does.
///
/// A dictionary's cursor reads entries; begin() on a CPDictionary (also one
/// seen as a plain CPCollection) yields the entries' items, in the
/// dictionary's iteration order, so that every collection yields its items.
/// tarncoll::Entries(dict) walks the entries themselves (keys included) and
/// tarncoll::Nodes(coll) the nodes (CPBucket, Leaf, entries' nodes; none for
/// the array, stack and vector, which have no nodes).
///
/// The iterator is a forward iterator over void* (value_type void*).  Copies
/// share the cursor as long as they stand at the same place; a copy that is
/// stepped from elsewhere makes a cursor of its own (walking from the top to
/// its place once, after checking that nothing changed), so every copy walks
/// on independently, as a forward iterator must.  A walk made by one
/// iterator costs O(1) per step and one cursor allocation; a cursor is freed
/// when the walk reaches the end or its last iterator goes.
///
/// Reference collections (every CrCollection: CrList, CrDictionary, CrTree).
/// Their wrapped containers are private and they offer no cursor objects, so
/// begin(cr) takes a snapshot: one ForEach walk collects the objects (in the
/// collection's order) and takes a reference on each, which the snapshot
/// holds until its last iterator goes.  The walk therefore never sees a
/// dangling object: an object removed from the collection during the loop
/// stays alive until the loop is done.  A snapshot does not fail fast and
/// does not see changes made after begin(); it yields Createable*
/// (tarncoll::Objects<T>(cr) yields T*, for T derived non-virtually from
/// Createable).  Cost: O(n) and one allocation at begin(), O(1) per step.
///
/// C++20: every container (CPList, CPTree, CrList, ..., and a class derived
/// from one) is a std::ranges::forward_range, so std::ranges algorithms and
/// the standard views take it directly:
/// \code
///   auto nA = std::ranges::count(lst, pvSome);
///   for (void* pv : lst | std::views::filter(pred)) ...
/// \endcode
/// The ranges of Entries(), Nodes() and Objects<T>() are borrowed views.
/// The iterators are forward only: the walk ends at the first null item, so
/// no cursor can start a walk backwards from its end.
///
/// Allocation failures of the iterators (the cursor, the snapshot) throw
/// std::bad_alloc.  Nothing here is thread-safe.
#ifndef TARNCOLL_CPCOLL_MODERN_ITER_H
#define TARNCOLL_CPCOLL_MODERN_ITER_H

#include <cstddef>
#include <iterator>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>
#if __cplusplus >= 202002L && defined(__cpp_concepts) && __has_include(<ranges>)
#include <ranges>
#endif

#include <cpcoll/CPDictionaryAssociation.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/CrCollection.h>
#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>
#include <cpcoll/modern_ref.h>

namespace tarncoll {

/// What an iterator reads at each place of its cursor.
enum class WalkOf : unsigned char {
  kItems,       ///< retrieve(): the item
  kEntryItems,  ///< retrieve() gives a dictionary entry: its item
  kNodes,       ///< retrieveInternalContainer(): the node
};

namespace detail {

// One cursor shared (through std::shared_ptr) by the iterators that stand
// where it stands; the last of them deletes it.
struct SharedCursor {
  IterationState* state = nullptr;  // owned
  unsigned long place = 0;          // number of steps the cursor has made from the top

  SharedCursor() = default;
  SharedCursor(const SharedCursor&) = delete;
  SharedCursor& operator=(const SharedCursor&) = delete;
  ~SharedCursor() { delete state; }
};

// The way range-for over a collection reads it: items, also for a
// dictionary (whose cursor reads entries).
inline WalkOf ItemWalkFor(CPCollection* coll) {
  return dynamic_cast<CPDictionary*>(coll) ? WalkOf::kEntryItems : WalkOf::kItems;
}

}  // namespace detail

/// A fail-fast forward iterator over a CPCollection, yielding T* (void* for
/// the untyped walks).  Default-constructed, it is the end of every walk.
/// Reads and steps throw kCursorException once the collection has changed
/// since the walk's begin(); see the file documentation.
template <class T>
class CollectionIterator {
 public:
  using iterator_category = std::forward_iterator_tag;  ///< a forward iterator
  using value_type = T*;                                ///< the item (or entry, or node) pointer
  using difference_type = std::ptrdiff_t;               ///< as for every standard iterator
  using pointer = T* const*;                            ///< points at the current value
  using reference = T* const&;                          ///< what operator* returns

  /// The end of every walk; holds no cursor.
  CollectionIterator() noexcept
      : pcl(nullptr), nPos(0), nXACTSeen(0), eWalk(WalkOf::kItems), pCurrent(nullptr) {}

  /// The first place of a new cursor on pclWalk (the end when it is empty
  /// or null), reading eHow at each place.  Throws std::bad_alloc when the
  /// cursor cannot be made.
  CollectionIterator(CPCollection* pclWalk, WalkOf eHow)
      : pcl(pclWalk), nPos(0), nXACTSeen(0), eWalk(eHow), pCurrent(nullptr) {
    if (!pcl) return;
    psc = NewCursor();
    if (!psc->state->gotoTop())
      Drop();
    else
      Load();
  }

  /// Stands where other stands, sharing its cursor.
  CollectionIterator(const CollectionIterator& other) noexcept = default;
  /// Takes over other's cursor and place; other ends as the end.
  CollectionIterator(CollectionIterator&& other) noexcept
      : pcl(other.pcl),
        psc(std::move(other.psc)),
        nPos(other.nPos),
        nXACTSeen(other.nXACTSeen),
        eWalk(other.eWalk),
        pCurrent(other.pCurrent) {
    other.pCurrent = nullptr;
  }
  /// Copy or move assignment (by value, then swap): stands where other
  /// stood.
  CollectionIterator& operator=(CollectionIterator other) noexcept {
    swap(other);
    return *this;
  }
  /// Leaves the cursor; its last iterator deletes it.
  ~CollectionIterator() = default;

  /// Exchanges the two iterators' collections, cursors and places.
  void swap(CollectionIterator& other) noexcept {
    std::swap(pcl, other.pcl);
    std::swap(psc, other.psc);
    std::swap(nPos, other.nPos);
    std::swap(nXACTSeen, other.nXACTSeen);
    std::swap(eWalk, other.eWalk);
    std::swap(pCurrent, other.pCurrent);
  }

  /// The current item (entry, node): null at the end.  Throws
  /// kCursorException when the collection changed since begin().
  reference operator*() const {
    CheckUnchanged();
    return pCurrent;
  }

  /// One place on; the end stays the end.  Throws kCursorException when
  /// the collection changed since begin(); the iterator is then left where
  /// it was.  O(1), or O(place) once when a copy moved the shared cursor.
  CollectionIterator& operator++() {
    if (!psc) return *this;  // the end stays the end
    if (psc->place != nPos) OwnCursor();
    psc->state->gotoNext();  // guarded: throws on a change
    ++nPos;
    psc->place = nPos;
    Load();
    return *this;
  }
  /// As ++it, returning the iterator as it was.
  CollectionIterator operator++(int) {
    CollectionIterator itOld(*this);
    ++*this;
    return itOld;
  }

  /// Two iterators are equal when both are at the end, or both walk the same
  /// collection and stand at the same place.
  friend bool operator==(const CollectionIterator& a, const CollectionIterator& b) noexcept {
    if (!a.psc || !b.psc) return !a.psc && !b.psc;
    return a.pcl == b.pcl && a.nPos == b.nPos;
  }
  /// !(a == b).
  friend bool operator!=(const CollectionIterator& a, const CollectionIterator& b) noexcept { return !(a == b); }

  /// The node under the iterator (null at the end or when the container has
  /// none), read from its own cursor; throws kCursorException after a
  /// change.
  CPInternalContainer* node() {
    if (!psc) return nullptr;
    if (psc->place != nPos) OwnCursor();
    return psc->state->retrieveInternalContainer();
  }

 private:
  void CheckUnchanged() const {
    if (pcl && pcl->_get_nXACT() != nXACTSeen) throw kCursorException;
  }

  // A new cursor on pcl (not positioned) held by this iterator alone; the
  // snapshot of the collection's count is taken here.
  std::shared_ptr<detail::SharedCursor> NewCursor() {
    auto pscNew = std::make_shared<detail::SharedCursor>();
    pscNew->state = pcl->CreateIterationState();
    if (!pscNew->state) throw std::bad_alloc();
    nXACTSeen = pcl->_get_nXACT();
    return pscNew;
  }

  // Another copy moved the shared cursor: walk a cursor of our own to our
  // place.  Checks first that the collection is unchanged, since the new
  // cursor's own snapshot would accept any change.
  void OwnCursor() {
    CheckUnchanged();
    std::shared_ptr<detail::SharedCursor> pscOwn = NewCursor();  // the same count as before
    pscOwn->state->gotoTop();
    for (unsigned long i = 0; i < nPos; ++i) pscOwn->state->gotoNext();
    pscOwn->place = nPos;
    psc = std::move(pscOwn);
  }

  // Reads the place the cursor stands on; a null item (or node, or entry)
  // ends the walk.
  void Load() {
    void* pv = nullptr;
    bool bEnd = false;
    switch (eWalk) {
      case WalkOf::kItems:
        pv = psc->state->retrieve();
        bEnd = !pv;
        break;
      case WalkOf::kEntryItems: {
        CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(psc->state->retrieve());
        bEnd = !pda;
        if (pda) pv = pda->GetValue();
        break;
      }
      case WalkOf::kNodes:
        pv = psc->state->retrieveInternalContainer();
        bEnd = !pv;
        break;
    }
    pCurrent = static_cast<T*>(pv);
    if (bEnd) Drop();
  }

  // Leaves the cursor (deleting it with its last user): the end.
  void Drop() noexcept {
    psc.reset();
    pCurrent = nullptr;
  }

  CPCollection* pcl;                                   // the collection walked; not owned
  std::shared_ptr<detail::SharedCursor> psc;  // our cursor (maybe shared); null at the end
  unsigned long nPos;                  // our place: steps from the top
  short nXACTSeen;                     // the collection's nXACT at begin()
  WalkOf eWalk;                        // what we read at each place
  T* pCurrent;                         // what we read at nPos
};

/// A walk of one collection as a range: begin() makes a new cursor each time.
/// It only points at the collection, which must outlive its use.
template <class T>
class CollectionRange {
 public:
  /// The walk of pclWalk that reads eHow at each place.
  CollectionRange(CPCollection* pclWalk, WalkOf eHow) : pcl(pclWalk), eWalk(eHow) {}
  /// A new walk: an iterator on a new cursor, at the first place.  Throws
  /// std::bad_alloc when the cursor cannot be made.
  CollectionIterator<T> begin() const { return CollectionIterator<T>(pcl, eWalk); }
  /// The end of every walk.
  CollectionIterator<T> end() const { return CollectionIterator<T>(); }

 private:
  CPCollection* pcl;
  WalkOf eWalk;
};

/// The entries of a dictionary (with their keys), in iteration order.
inline CollectionRange<CPDictionaryAssociation> Entries(CPDictionary& dct) {
  return CollectionRange<CPDictionaryAssociation>(&dct, WalkOf::kItems);
}
/// The nodes of a collection in its cursor's order; empty for containers
/// without nodes.
inline CollectionRange<CPInternalContainer> Nodes(CPCollection& coll) {
  return CollectionRange<CPInternalContainer>(&coll, WalkOf::kNodes);
}

/// A forward iterator over a snapshot of a reference collection, yielding
/// T* (Createable* by default).  Default-constructed, it is the end.  It
/// never fails fast: it does not see changes made after the snapshot.
template <class T = Createable>
class SnapshotIterator {
  using Snapshot = std::vector<Ref<Createable>>;  // one reference on each object

 public:
  using iterator_category = std::forward_iterator_tag;  ///< a forward iterator
  using value_type = T*;                                ///< the object pointer
  using difference_type = std::ptrdiff_t;               ///< as for every standard iterator
  using pointer = T* const*;                            ///< points at the current value
  using reference = T* const&;                          ///< what operator* returns

  /// The end; holds no snapshot.
  SnapshotIterator() noexcept : nPos(0), pCurrent(nullptr) {}

  /// Takes the snapshot of crc (ForEach order, one reference on each
  /// object) and stands on its first object; the end when crc is empty.
  /// O(n).  Throws std::bad_alloc when it cannot be stored (no reference
  /// is then left taken).
  explicit SnapshotIterator(CrCollection& crc) : nPos(0), pCurrent(nullptr) {
    std::vector<Createable*> vRaw;
    vRaw.reserve(crc.Length());  // no allocation inside the walk below
    crc.ForEach(&Collect, &vRaw);
    if (vRaw.empty()) return;
    // A failure on the way releases what was referenced so far.
    psn = std::make_shared<Snapshot>(vRaw.begin(), vRaw.end());
    Load();
  }

  /// Stands where other stands, sharing its snapshot.  The last iterator
  /// of a snapshot releases its objects (an object that left the
  /// collection meanwhile goes then).
  SnapshotIterator(const SnapshotIterator& other) noexcept = default;
  /// Takes over other's snapshot and place; other ends as the end.
  SnapshotIterator(SnapshotIterator&& other) noexcept
      : psn(std::move(other.psn)), nPos(other.nPos), pCurrent(other.pCurrent) {
    other.pCurrent = nullptr;
  }
  /// Copy or move assignment (by value, then swap): stands where other
  /// stood.
  SnapshotIterator& operator=(SnapshotIterator other) noexcept {
    std::swap(psn, other.psn);
    std::swap(nPos, other.nPos);
    std::swap(pCurrent, other.pCurrent);
    return *this;
  }
  /// Leaves the snapshot; its last iterator releases the objects.
  ~SnapshotIterator() = default;

  /// The current object; null at the end.
  reference operator*() const noexcept { return pCurrent; }
  /// One object on; the end stays the end.  O(1).
  SnapshotIterator& operator++() {
    if (!psn) return *this;
    ++nPos;
    Load();
    return *this;
  }
  /// As ++it, returning the iterator as it was.
  SnapshotIterator operator++(int) {
    SnapshotIterator itOld(*this);
    ++*this;
    return itOld;
  }
  /// Equal when both are at the end, or both stand at the same place of the
  /// same snapshot (iterators from two begin() calls never compare equal
  /// unless at the end).
  friend bool operator==(const SnapshotIterator& a, const SnapshotIterator& b) noexcept {
    if (!a.psn || !b.psn) return !a.psn && !b.psn;
    return a.psn == b.psn && a.nPos == b.nPos;
  }
  /// !(a == b).
  friend bool operator!=(const SnapshotIterator& a, const SnapshotIterator& b) noexcept { return !(a == b); }

 private:
  static void Collect(void* pvObject, void* pvUser) {
    static_cast<std::vector<Createable*>*>(pvUser)->push_back(static_cast<Createable*>(pvObject));
  }
  void Load() {
    if (nPos >= psn->size()) {
      psn.reset();
      pCurrent = nullptr;
      return;
    }
    pCurrent = static_cast<T*>((*psn)[nPos].get());
  }

  std::shared_ptr<const Snapshot> psn;  // shared by copies; null at the end
  std::size_t nPos;
  T* pCurrent;
};

/// A reference collection's objects as T*; each begin() takes a snapshot.
/// It only points at the collection, which must outlive its use.
template <class T>
class ObjectRange {
 public:
  /// The objects of crcWalk.
  explicit ObjectRange(CrCollection& crcWalk) : pcrc(&crcWalk) {}
  /// A new snapshot, at its first object.  O(n); throws std::bad_alloc
  /// when it cannot be stored.
  SnapshotIterator<T> begin() const { return SnapshotIterator<T>(*pcrc); }
  /// The end of every snapshot.
  SnapshotIterator<T> end() const { return SnapshotIterator<T>(); }

 private:
  CrCollection* pcrc;
};

/// The objects of crc as T* (T derived non-virtually from Createable, and
/// every object of crc a T), in the collection's order.
template <class T>
ObjectRange<T> Objects(CrCollection& crc) {
  return ObjectRange<T>(crc);
}

}  // namespace tarncoll

// Found by argument-dependent lookup for every class of the library (they
// live in the global namespace), so range-for and std algorithms take the
// collections directly.

/// A new fail-fast walk of coll's items (a dictionary's: its entries'
/// items), at the first item.  Throws std::bad_alloc when the cursor cannot
/// be made.
inline tarncoll::CollectionIterator<void> begin(CPCollection& coll) {
  return tarncoll::CollectionIterator<void>(&coll, tarncoll::detail::ItemWalkFor(&coll));
}
/// The end of every walk of a CPCollection.
inline tarncoll::CollectionIterator<void> end(CPCollection&) { return tarncoll::CollectionIterator<void>(); }

/// A new snapshot of crc's objects, at the first.  O(n); throws
/// std::bad_alloc when it cannot be stored.
inline tarncoll::SnapshotIterator<> begin(CrCollection& crc) { return tarncoll::SnapshotIterator<>(crc); }
/// The end of every snapshot of a CrCollection.
inline tarncoll::SnapshotIterator<> end(CrCollection&) { return tarncoll::SnapshotIterator<>(); }

#if __cplusplus >= 202002L && defined(__cpp_concepts)
// For C++20 ranges.  std::ranges::begin and end look the collection up with
// deleted catch-all templates beside it, which take a CPList& exactly and so
// beat the overloads above (they need the conversion to the base).  These
// constrained templates take every class publicly derived from the bases
// exactly and win by their constraint, so each container (and a class
// derived from one) is a std::ranges::forward_range.
/// begin(CPCollection&) for C++20 ranges, for every class derived from it.
template <class C>
  requires std::is_convertible_v<C*, CPCollection*>
inline tarncoll::CollectionIterator<void> begin(C& coll) {
  return begin(static_cast<CPCollection&>(coll));
}
/// end(CPCollection&) for C++20 ranges, for every class derived from it.
template <class C>
  requires std::is_convertible_v<C*, CPCollection*>
inline tarncoll::CollectionIterator<void> end(C&) {
  return tarncoll::CollectionIterator<void>();
}
/// begin(CrCollection&) for C++20 ranges, for every class derived from it.
template <class C>
  requires std::is_convertible_v<C*, CrCollection*>
inline tarncoll::SnapshotIterator<> begin(C& crc) {
  return tarncoll::SnapshotIterator<>(crc);
}
/// end(CrCollection&) for C++20 ranges, for every class derived from it.
template <class C>
  requires std::is_convertible_v<C*, CrCollection*>
inline tarncoll::SnapshotIterator<> end(C&) {
  return tarncoll::SnapshotIterator<>();
}

#if defined(__cpp_lib_ranges)
// The ranges of Entries(), Nodes() and Objects<T>() only point at their
// collection: they copy in O(1), and their iterators outlive them.
/// \cond
template <class T>
inline constexpr bool std::ranges::enable_view<tarncoll::CollectionRange<T>> = true;
template <class T>
inline constexpr bool std::ranges::enable_borrowed_range<tarncoll::CollectionRange<T>> = true;
template <class T>
inline constexpr bool std::ranges::enable_view<tarncoll::ObjectRange<T>> = true;
template <class T>
inline constexpr bool std::ranges::enable_borrowed_range<tarncoll::ObjectRange<T>> = true;
/// \endcond
#endif
#endif

#endif
