#include <util/crc16.h>

#include <array>
#include <cstdint>
#include <cstring>

#include <util/detail/crc16_tables.h>

namespace {

constexpr const tarncoll::detail::CRC16Tables& kTables = tarncoll::detail::kCRC16Tables;

}  // namespace

crc16::crc16() {}
crc16::~crc16() {}

unsigned short crc16::Update(unsigned short crc, const void* data, unsigned long n) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  std::uint32_t c = crc;
  for (; n >= 8; n -= 8, p += 8) {
    std::uint32_t x = c ^ (p[0] | (std::uint32_t(p[1]) << 8));
    c = kTables[7][x & 0xFF] ^ kTables[6][x >> 8] ^ kTables[5][p[2]] ^ kTables[4][p[3]] ^ kTables[3][p[4]] ^
        kTables[2][p[5]] ^ kTables[1][p[6]] ^ kTables[0][p[7]];
  }
  for (; n; --n, ++p) c = (c >> 8) ^ kTables[0][(c ^ *p) & 0xFF];
  return static_cast<unsigned short>(c);
}

char crc16::Calc(const char* text, unsigned short* crc, long* len) {
  if (!text || !crc) return 0;
  unsigned long n = std::strlen(text);
  *crc = Update(*crc, text, n);
  if (len) *len = static_cast<long>(n);
  return 1;
}
