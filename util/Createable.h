// Createable: the reference-counted root of every library class.
//
// A new object has reference count 0.  AddRef adds one reference, Release
// drops one and deletes the object when the count reaches 0; nothing may
// touch the object after its last Release.  Every library object is
// allocated through Createable::operator new, which returns null instead of
// throwing, so callers test the result of `new`.
#ifndef TARNCOLL_UTIL_CREATEABLE_H
#define TARNCOLL_UTIL_CREATEABLE_H

#include <cstddef>

#include <util/export.h>

class TARNCOLL_API Createable {
 public:
  Createable() noexcept : nRefCount(0) {}
  // A copy is a new object: nobody holds a reference to it yet, and
  // assignment keeps the target's own count (references name objects,
  // not values).
  Createable(const Createable&) noexcept : nRefCount(0) {}
  Createable& operator=(const Createable&) noexcept { return *this; }

  virtual ~Createable();
  // One reference more; reports "nRefCount < 0xFFFF" instead of wrapping.
  // Returns the new count.
  virtual long AddRef();
  // One reference less; deletes the object when the count reaches 0.
  // Returns the new count (0 when the object is gone).
  virtual long Release();

  unsigned short _get_nRefCount() const { return nRefCount; }

  // Allocation of every library object: null on failure, never throws.
  static void* operator new(std::size_t nSize) noexcept;
  static void operator delete(void* pv) noexcept;
  static void operator delete[](void* pv) noexcept;

  // Test hook: the nth allocation through operator new from now on
  // (1 = the next) returns null, once.  0 switches it off.
  static void SetAllocationFailure(long nth);

 private:
  unsigned short nRefCount;
};

#endif
