// crc16: CRC-16/ARC (reflected polynomial 0xA001, no final xor).
//
// The running value is taken from and left in *crc, so a CRC can be
// continued over several pieces.  The CRC of "123456789" from 0 is 0xBB3D.
// The lookup tables are computed at compile time and only read.
#ifndef TARNCOLL_UTIL_CRC16_H
#define TARNCOLL_UTIL_CRC16_H

#include <util/export.h>

class TARNCOLL_API crc16 {
 public:
  crc16();
  ~crc16();

  // Folds the zero-terminated text into *crc.  Returns 0 only when text or
  // crc is null.  When len is not null it receives the number of bytes
  // read.  O(n), eight bytes a step.
  char Calc(const char* text, unsigned short* crc, long* len);

  // Folds n bytes into *crc; the same result as Calc on a text of n bytes.
  static unsigned short Update(unsigned short crc, const void* data, unsigned long n);

  crc16& operator=(const crc16&) { return *this; }
};

#endif
