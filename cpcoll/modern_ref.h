/// \file
/// tarncoll::Ref<T>: an owning handle on one reference of a Createable.
///
/// A Ref holds at most one reference on one object.  It takes the reference
/// when it is given a pointer (AddRef) or copied, and drops it (Release)
/// when it is destroyed, reset or assigned over; the object goes away with
/// its last Release, as every Createable does.  Moving hands the reference
/// over without touching the count.
///
/// \code
///   Ref<CPString> a(new CPString("x"));   count 1   (a new object has 0)
///   Ref<CPString> b = a;                  count 2
///   Ref<CPString> c = std::move(b);       count 2   (b is empty now)
///   a.reset();                            count 1
///   }                                     count 0: the string is deleted
/// \endcode
///
/// Adopting: Ref<T>::Adopt(p) takes over a reference the caller already
/// holds (for example one handed out by a detaching operation of a
/// reference collection) without a further AddRef; Detach() gives the held
/// reference back to the caller without a Release.
///
/// Costs: every operation is O(1); a copy and a reset are one virtual
/// AddRef/Release each.  sizeof(Ref<T>) == sizeof(T*).
///
/// Not thread-safe: counts change without locks, like the library's own.
#ifndef TARNCOLL_CPCOLL_MODERN_REF_H
#define TARNCOLL_CPCOLL_MODERN_REF_H

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

#include <util/Createable.h>

namespace tarncoll {

/// An owning handle on one reference of a T (a Createable); see the file
/// documentation.  Every operation is O(1).
template <class T>
class Ref {
  static_assert(std::is_base_of<Createable, T>::value, "Ref<T> needs a Createable");

 public:
  using element_type = T;  ///< the class of the object held

  /// Empty.
  Ref() noexcept : p(nullptr) {}
  /// Empty.
  Ref(std::nullptr_t) noexcept : p(nullptr) {}
  /// Takes one reference on pObject (none for null).
  explicit Ref(T* pObject) : p(pObject) {
    if (p) p->AddRef();
  }
  /// One more reference on the same object.
  Ref(const Ref& other) : p(other.p) {
    if (p) p->AddRef();
  }
  /// One more reference on other's object, seen as a T (U* converts to T*).
  template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
  Ref(const Ref<U>& other) : p(other.get()) {
    if (p) p->AddRef();
  }
  /// Takes other's reference; other ends empty; no count changes.
  Ref(Ref&& other) noexcept : p(other.p) { other.p = nullptr; }
  /// Takes other's reference, seen as a T; other ends empty; no count
  /// changes.
  template <class U, class = typename std::enable_if<std::is_convertible<U*, T*>::value>::type>
  Ref(Ref<U>&& other) noexcept : p(other.Detach()) {}

  /// Drops the reference (the object is deleted when it was the last).
  ~Ref() {
    if (p) p->Release();
  }

  /// Holds other's object too.  The new object is referenced before the old
  /// one is released, so assigning a Ref to itself (or to another Ref of
  /// the same object) is harmless.
  Ref& operator=(const Ref& other) {
    reset(other.p);
    return *this;
  }
  /// Takes other's reference (other ends empty) and releases the old
  /// object; assigning a Ref to itself changes nothing.
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      T* pOld = p;
      p = other.p;
      other.p = nullptr;
      if (pOld) pOld->Release();
    }
    return *this;
  }
  /// Releases the object held: as reset().
  Ref& operator=(std::nullptr_t) {
    reset();
    return *this;
  }

  /// A Ref over a reference the caller already holds: no AddRef now, one
  /// Release later.
  static Ref Adopt(T* pObject) noexcept {
    Ref r;
    r.p = pObject;
    return r;
  }

  /// Holds pObject instead (AddRef on it first, then Release on the old
  /// object); reset() empties the Ref.
  void reset(T* pObject = nullptr) {
    if (pObject) pObject->AddRef();
    T* pOld = p;
    p = pObject;
    if (pOld) pOld->Release();
  }
  /// Gives the held reference to the caller (no Release); the Ref ends
  /// empty.  The caller must Release the result (null when it was empty).
  T* Detach() noexcept {
    T* pOut = p;
    p = nullptr;
    return pOut;
  }
  /// Exchanges the two Refs' objects; no count changes.
  void swap(Ref& other) noexcept { std::swap(p, other.p); }

  /// The object held, or null.
  T* get() const noexcept { return p; }
  /// The object held (the Ref must not be empty).
  T* operator->() const noexcept { return p; }
  /// The object held (the Ref must not be empty).
  T& operator*() const noexcept { return *p; }
  /// True when the Ref holds an object.
  explicit operator bool() const noexcept { return p != nullptr; }

 private:
  T* p;  // the object we hold one reference on, or null
};

/// \name Comparisons
/// Two Refs, or a Ref and a pointer (or null), are equal when they hold the
/// same object (compared by address).
///@{

/// True when a and b hold the same object (or both are empty).
template <class T, class U>
bool operator==(const Ref<T>& a, const Ref<U>& b) noexcept {
  return a.get() == b.get();
}
/// !(a == b).
template <class T, class U>
bool operator!=(const Ref<T>& a, const Ref<U>& b) noexcept {
  return a.get() != b.get();
}
/// True when a holds the object b (or is empty and b null).
template <class T>
bool operator==(const Ref<T>& a, const T* b) noexcept {
  return a.get() == b;
}
/// !(a == b).
template <class T>
bool operator!=(const Ref<T>& a, const T* b) noexcept {
  return a.get() != b;
}
/// True when a is empty.
template <class T>
bool operator==(const Ref<T>& a, std::nullptr_t) noexcept {
  return !a;
}
/// True when a holds an object.
template <class T>
bool operator!=(const Ref<T>& a, std::nullptr_t) noexcept {
  return static_cast<bool>(a);
}
///@}

/// A new T, built with Createable's allocator, held by a Ref (count 1).
/// Throws std::bad_alloc when the allocator returns null.
template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  T* pObject = new T(std::forward<Args>(args)...);
  if (!pObject) throw std::bad_alloc();
  return Ref<T>(pObject);
}

}  // namespace tarncoll

#endif
