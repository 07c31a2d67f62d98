// Internal: hashing of the key texts of CPDictionary, for the library's
// own sources (and tests); inline, so that a lookup hashes without a call.
//
// One pass over a text yields its CRC-16 (the same value as crc16::Update
// from 0, which picks the dictionary slot) and a 64-bit hash for the key
// index; HashText gives the same hash alone, for a text whose CRC is known.
#ifndef TARNCOLL_CPCOLL_DETAIL_DICT_HASH_H
#define TARNCOLL_CPCOLL_DETAIL_DICT_HASH_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include <util/detail/crc16_tables.h>

// The hashing steps belong in the lookups' own code: a call costs as
// much as the work for a short key.
#if defined(__GNUC__) || defined(__clang__)
#define TARNCOLL_DICT_INLINE inline __attribute__((always_inline))
#else
#define TARNCOLL_DICT_INLINE inline
#endif

namespace tarncoll::detail {

namespace hash {

constexpr std::uint64_t kMul1 = 0x9E3779B97F4A7C15ull;
constexpr std::uint64_t kMul2 = 0xC2B2AE3D27D4EB4Full;

// The CRC-16/ARC slicing tables (util/detail/crc16_tables.h).
inline constexpr const tarncoll::detail::CRC16Tables& kCRC = tarncoll::detail::kCRC16Tables;

inline std::uint64_t Load64(const char* p) {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

inline std::uint32_t Load32(const char* p) {
  std::uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

inline std::uint64_t Mix(std::uint64_t h, std::uint64_t w) {
  h = (h ^ w) * kMul2;
  return h ^ (h >> 31);
}

inline std::uint64_t Finish(std::uint64_t h) {
  h ^= h >> 32;
  h *= kMul2;
  h ^= h >> 29;
  return h;
}

// The last n (1..7) bytes of a text shorter than 8 bytes as one word:
// distinct texts of one length give distinct words.
inline std::uint64_t ShortWord(const char* p, unsigned long n) {
  if (n >= 4) return Load32(p) | static_cast<std::uint64_t>(Load32(p + n - 4)) << 32;
  const unsigned char* q = reinterpret_cast<const unsigned char*>(p);
  return q[0] | static_cast<std::uint64_t>(q[n >> 1]) << 8 | static_cast<std::uint64_t>(q[n - 1]) << 16;
}

// The hash of n bytes (n >= 8 or not), continued from h over the words.
// A text of 8 bytes or more ends with its last 8 bytes as one word (they
// overlap the previous word): no byte-wise tail.
inline std::uint64_t HashWords(std::uint64_t h, const char* p, unsigned long n) {
  if (n < 8) return n ? Mix(h, ShortWord(p, n)) : h;
  const char* last = p + n - 8;
  for (; p < last; p += 8) h = Mix(h, Load64(p));
  return Mix(h, Load64(last));
}

// The CRC continued over 8 bytes (slicing by 8).
inline std::uint32_t CRC8(std::uint32_t c, const unsigned char* p) {
  std::uint32_t x = c ^ (p[0] | (std::uint32_t(p[1]) << 8));
  return kCRC[7][x & 0xFF] ^ kCRC[6][x >> 8] ^ kCRC[5][p[2]] ^ kCRC[4][p[3]] ^ kCRC[3][p[4]] ^ kCRC[2][p[5]] ^
         kCRC[1][p[6]] ^ kCRC[0][p[7]];
}

// The CRC continued over N (2..7) bytes in one step: after two bytes the
// register is consumed, so every byte adds its table entry for the bytes
// that follow it.
template <std::size_t N, std::size_t... I>
inline std::uint32_t CRCTail(std::uint32_t c, const unsigned char* p, std::index_sequence<I...>) {
  std::uint32_t x = c ^ (p[0] | (std::uint32_t(p[1]) << 8));
  std::uint32_t r = kCRC[N - 1][x & 0xFF] ^ kCRC[N - 2][x >> 8];
  return (r ^ ... ^ kCRC[N - 3 - I][p[I + 2]]);
}

template <std::size_t N>
inline std::uint32_t CRCTail(std::uint32_t c, const unsigned char* p) {
  return CRCTail<N>(c, p, std::make_index_sequence<N - 2>());
}

TARNCOLL_DICT_INLINE std::uint32_t CRCTail(std::uint32_t c, const unsigned char* p, unsigned long n) {
  switch (n) {
    case 1: return (c >> 8) ^ kCRC[0][(c ^ p[0]) & 0xFF];
    case 2: return CRCTail<2>(c, p);
    case 3: return CRCTail<3>(c, p);
    case 4: return CRCTail<4>(c, p);
    case 5: return CRCTail<5>(c, p);
    case 6: return CRCTail<6>(c, p);
    case 7: return CRCTail<7>(c, p);
    default: return c;
  }
}

}  // namespace hash

// The 64-bit hash of n bytes of text.  O(n).
TARNCOLL_DICT_INLINE unsigned long HashText(const char* text, unsigned long n) {
  std::uint64_t h = hash::HashWords(static_cast<std::uint64_t>(n) * hash::kMul1, text, n);
  return static_cast<unsigned long>(hash::Finish(h));
}

// The CRC-16 of n bytes of text from 0 (crc16::Update's value).  O(n).
TARNCOLL_DICT_INLINE unsigned short TextCRC(const char* text, unsigned long n) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  std::uint32_t c = 0;
  for (; n >= 8; n -= 8, p += 8) c = hash::CRC8(c, p);
  return static_cast<unsigned short>(hash::CRCTail(c, p, n));
}

// As HashText, and *crcOut receives TextCRC of the bytes.  O(n).
TARNCOLL_DICT_INLINE unsigned long HashTextCRC(const char* text, unsigned long n, unsigned short* crcOut) {
  *crcOut = TextCRC(text, n);
  return HashText(text, n);
}

// Tag of a text in the key index: bits 9..63 of its hash (they alone pick
// the home cell, so every filing of one text probes the same run), bit 8
// set when the slot is the one of the text's own CRC ("natural": a lookup
// without a CRC of its own finds it without computing one), bits 0..7 the
// slot.
const unsigned long kTextHomeMask = ~0x1FFul;
const unsigned long kTextNatural = 0x100ul;
inline unsigned long TextTag(unsigned long h, unsigned long slot, bool natural) {
  return (h & kTextHomeMask) | (natural ? kTextNatural : 0) | (slot & 0xFF);
}

// True when the n bytes at a and b are equal.  Short texts are compared a
// word at a time.
inline bool SameBytes(const char* a, const char* b, unsigned long n) {
  if (n >= 8) {
    if (n > 16) return std::memcmp(a, b, n) == 0;
    std::uint64_t x0, y0, x1, y1;
    std::memcpy(&x0, a, 8);
    std::memcpy(&y0, b, 8);
    std::memcpy(&x1, a + n - 8, 8);
    std::memcpy(&y1, b + n - 8, 8);
    return ((x0 ^ y0) | (x1 ^ y1)) == 0;
  }
  if (n >= 4) {
    std::uint32_t x0, y0, x1, y1;
    std::memcpy(&x0, a, 4);
    std::memcpy(&y0, b, 4);
    std::memcpy(&x1, a + n - 4, 4);
    std::memcpy(&y1, b + n - 4, 4);
    return ((x0 ^ y0) | (x1 ^ y1)) == 0;
  }
  for (unsigned long i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace tarncoll::detail

#endif
