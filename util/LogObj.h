// LogObj: a logging level record of the base layer; one 32-bit member.
#ifndef TARNCOLL_UTIL_LOGOBJ_H
#define TARNCOLL_UTIL_LOGOBJ_H

#include <cstdint>

#include <util/export.h>

class TARNCOLL_API LogObj {
 public:
  LogObj() : nLevel(0) {}
  LogObj(const LogObj&) = default;
  LogObj& operator=(const LogObj& other) {
    nLevel = other.nLevel;
    return *this;
  }

  std::int32_t _get_nLevel() const { return nLevel; }
  void _set_nLevel(std::int32_t n) { nLevel = n; }

 private:
  std::int32_t nLevel;
};

#endif
