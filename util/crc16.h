/// \file
/// crc16: CRC-16/ARC (reflected polynomial 0xA001, no final xor).
///
/// The running value is taken from and left in *crc, so a CRC can be
/// continued over several pieces.  The CRC of "123456789" from 0 is 0xBB3D.
/// The lookup tables are computed at compile time and only read.
#ifndef TARNCOLL_UTIL_CRC16_H
#define TARNCOLL_UTIL_CRC16_H

#include <util/export.h>

/// The CRC-16 calculator.  It has no state of its own: instances are
/// interchangeable (the dictionaries share one, CPDictionary::c16The), and
/// calls on one instance from several threads do not interfere.
class TARNCOLL_API crc16 {
 public:
  /// Nothing to set up.
  crc16();
  /// Nothing to release.
  ~crc16();

  /// Folds the zero-terminated text into *crc.  Returns 1, or 0 (nothing
  /// changes) only when text or crc is null.  When len is not null it
  /// receives the number of bytes read.  O(n), eight bytes a step.
  char Calc(const char* text, unsigned short* crc, long* len);

  /// Returns crc with n bytes at data folded in; the same value as Calc
  /// leaves for a text of those n bytes.  O(n).
  static unsigned short Update(unsigned short crc, const void* data, unsigned long n);

  /// Copies nothing (there is no instance data).
  crc16& operator=(const crc16&) { return *this; }
};

#endif
