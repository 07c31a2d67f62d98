// DynaBuffer: a length record of the base layer that the library carries
// for its callers.  It owns no heap memory, so the member-wise copy is safe.
#ifndef TARNCOLL_UTIL_DYNABUFFER_H
#define TARNCOLL_UTIL_DYNABUFFER_H

#include <util/Createable.h>
#include <util/export.h>

class TARNCOLL_API DynaBuffer : public Createable {
 public:
  DynaBuffer() : nBufferSize(0), nLength(0), bTerminated(0), bPending(0) {}
  DynaBuffer(const DynaBuffer&) = default;
  DynaBuffer& operator=(const DynaBuffer&) = default;
  virtual ~DynaBuffer();

  long _get_nBufferSize() const { return nBufferSize; }
  unsigned long _get_nLength() const { return nLength; }
  // Stores the length and clears the pending flag that follows it.
  void _set_nLength(unsigned long n) {
    nLength = n;
    bPending = 0;
  }

 protected:
  long nBufferSize;
  unsigned long nLength;
  char bTerminated;
  char bPending;
};

#endif
