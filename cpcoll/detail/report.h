// Internal: the two report forms every library module uses.  A report goes
// through Exceptions and never returns (it throws AssertionFailure), so the
// check must come before the operation changes anything.
#ifndef TARNCOLL_CPCOLL_DETAIL_REPORT_H
#define TARNCOLL_CPCOLL_DETAIL_REPORT_H

#include <util/Exceptions.h>

// Assert with the expression text when cond is false.
#define TARNCOLL_ASSERT(cond, source, text)                                           \
  do {                                                                                \
    if (!(cond)) Exceptions::_get_gexeptnsThe()->Assert((source), __LINE__, (text)); \
  } while (0)

// FailIfNIL with the expression text when ptr is null.
#define TARNCOLL_FAIL_IF_NIL(ptr, source, text)                                                   \
  do {                                                                                           \
    if ((ptr) == nullptr) Exceptions::_get_gexeptnsThe()->FailIfNIL((source), __LINE__, (text)); \
  } while (0)

#endif
