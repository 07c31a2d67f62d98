// Internal: the CRC-16/ARC (reflected polynomial 0xA001) slicing-by-8
// tables, computed at compile time and shared by crc16 and the dictionary's
// key hashing.  kCRC16Tables[k][b] is the CRC of byte b followed by k zero
// bytes, starting from 0.
#ifndef TARNCOLL_UTIL_DETAIL_CRC16_TABLES_H
#define TARNCOLL_UTIL_DETAIL_CRC16_TABLES_H

#include <array>
#include <cstdint>

namespace tarncoll {
namespace detail {

using CRC16Tables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr CRC16Tables MakeCRC16Tables() {
  CRC16Tables t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned c = b;
    for (int i = 0; i < 8; ++i) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
    t[0][b] = static_cast<std::uint16_t>(c);
  }
  for (int k = 1; k < 8; ++k)
    for (unsigned b = 0; b < 256; ++b)
      t[k][b] = static_cast<std::uint16_t>((t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF]);
  return t;
}

inline constexpr CRC16Tables kCRC16Tables = MakeCRC16Tables();
static_assert(kCRC16Tables[0][1] == 0xC0C1, "CRC-16/ARC table");

}  // namespace detail
}  // namespace tarncoll

#endif
