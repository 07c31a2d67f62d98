/// \file
/// LogObj: a logging level record of the base layer; one 32-bit member.
#ifndef TARNCOLL_UTIL_LOGOBJ_H
#define TARNCOLL_UTIL_LOGOBJ_H

#include <cstdint>

#include <util/export.h>

/// A logging level: one signed 32-bit value, 0 when constructed.  The
/// library carries it for its callers and never reads it.
class TARNCOLL_API LogObj {
 public:
  /// Level 0.
  LogObj() : nLevel(0) {}
  /// Copies the level.
  LogObj(const LogObj&) = default;
  /// Copies the level.
  LogObj& operator=(const LogObj& other) {
    nLevel = other.nLevel;
    return *this;
  }

  /// The level.
  std::int32_t _get_nLevel() const { return nLevel; }
  /// Sets the level to n.
  void _set_nLevel(std::int32_t n) { nLevel = n; }

 private:
  std::int32_t nLevel;
};

#endif
