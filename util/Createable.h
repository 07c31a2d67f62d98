/// \file
/// Createable: the reference-counted root of every library class.
///
/// A new object has reference count 0.  AddRef adds one reference, Release
/// drops one and deletes the object when the count reaches 0; nothing may
/// touch the object after its last Release.  Every library object is
/// allocated through Createable::operator new, which returns null instead of
/// throwing, so callers test the result of `new`.
///
/// The reference count is atomic: the library itself may hand an object to
/// another thread (the trees' string-key registry drops its reference from
/// whichever thread removes the entry), so AddRef and Release may run on
/// several threads at once.  Everything else about one object shared by
/// threads is the caller's to serialise.
///
/// Reports (source "util\createable"): "nRefCount < 0xFFFF" when AddRef
/// finds the count full (the count is left as it was).
#ifndef TARNCOLL_UTIL_CREATEABLE_H
#define TARNCOLL_UTIL_CREATEABLE_H

#include <atomic>
#include <cstddef>

#include <util/export.h>

/// The reference-counted root of every library class (see Createable.h):
/// a 16-bit atomic count, allocation that returns null on failure, and a
/// test hook that makes a chosen allocation fail.
class TARNCOLL_API Createable {
 public:
  Createable() noexcept : nRefCount(0) {}  ///< reference count 0
  /// A copy is a new object: nobody holds a reference to it yet, and
  /// assignment keeps the target's own count (references name objects,
  /// not values).
  Createable(const Createable&) noexcept : nRefCount(0) {}
  /// Keeps the target's count (see the copy constructor).
  Createable& operator=(const Createable&) noexcept { return *this; }

  virtual ~Createable();  ///< virtual: Release deletes through it
  /// One reference more; reports "nRefCount < 0xFFFF" instead of wrapping
  /// (the count unchanged).  Returns the new count.
  virtual long AddRef();
  /// One reference less; deletes the object when the count reaches 0.
  /// Returns the new count (0 when the object is gone).  On a count of 0
  /// it wraps to 0xFFFF and deletes nothing.
  virtual long Release();

  /// The current count (a relaxed read: another thread may change it).
  unsigned short _get_nRefCount() const { return nRefCount.load(std::memory_order_relaxed); }

  /// \name Allocation
  //@{
  /// Allocation of every library object: null on failure, never throws.
  static void* operator new(std::size_t nSize) noexcept;
  /// Frees a block of operator new.
  static void operator delete(void* pv) noexcept;
  /// Arrays come from the global operator new[]; only their release is ours.
  static void operator delete[](void* pv) noexcept;  // NOLINT(misc-new-delete-overloads)
  //@}

  /// \name Allocation failure hook (tests)
  //@{
  /// Test hook: the nth allocation through operator new from now on
  /// (1 = the next) returns null, once.  0 (or less) switches it off.
  static void SetAllocationFailure(long nth);
  /// For the allocation functions of derived classes that keep their own
  /// blocks: counts one allocation against SetAllocationFailure; true when
  /// this is the one that must fail (return null).
  static bool AllocationFails() noexcept;
  //@}

 protected:
  /// AddRef on an object that was just made (count 0) and that no other
  /// thread can reach yet: the same result without an atomic update.
  void TakeFirstReference() noexcept { nRefCount.store(1, std::memory_order_relaxed); }

 private:
  std::atomic<unsigned short> nRefCount;  // same size and alignment as unsigned short
};

#endif
