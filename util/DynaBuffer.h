/// \file
/// DynaBuffer: a length record of the base layer that the library carries
/// for its callers.  It owns no heap memory, so the member-wise copy is safe.
#ifndef TARNCOLL_UTIL_DYNABUFFER_H
#define TARNCOLL_UTIL_DYNABUFFER_H

#include <util/Createable.h>
#include <util/export.h>

/// A buffer-size and length record (no buffer of its own), allocated
/// through Createable like every library object.
class TARNCOLL_API DynaBuffer : public Createable {
 public:
  /// Every member 0.
  DynaBuffer() : nBufferSize(0), nLength(0), bTerminated(0), bPending(0) {}
  /// Copies the record; the copy starts with no references, as every
  /// Createable.
  DynaBuffer(const DynaBuffer&) = default;
  /// Copies the record; the reference count stays.
  DynaBuffer& operator=(const DynaBuffer&) = default;
  /// Nothing to release.
  virtual ~DynaBuffer();

  /// The buffer size.
  long _get_nBufferSize() const { return nBufferSize; }
  /// The length.
  unsigned long _get_nLength() const { return nLength; }
  /// Stores the length and clears the pending flag that follows it.
  void _set_nLength(unsigned long n) {
    nLength = n;
    bPending = 0;
  }

 protected:
  long nBufferSize;       ///< the buffer size; 0 unless a derived class sets it
  unsigned long nLength;  ///< the length, set by _set_nLength
  char bTerminated;       ///< terminated flag; 0 unless a derived class sets it
  char bPending;          ///< pending flag; cleared by _set_nLength
};

#endif
