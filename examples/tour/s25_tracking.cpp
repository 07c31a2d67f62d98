// Tour section: object tracking and its report.
#include <cpcoll/tarncoll.h>
#include <cpcoll/trackable.h>

#include "tour.h"

namespace {
void Quiet(int, const char*, long, const char*) {}
}  // namespace

TOUR_SECTION(25, "Object tracking: live instances and bytes per class") {
  Trackable::AllocateObject("Invoice", 120);
  Trackable::AllocateObject("Invoice", 80);
  Trackable::AllocateObject("Customer", 64);
  Trackable::DeAllocateObject("Invoice", 120);
  Trackable::DeAllocateObject("Supplier", 10);  // never allocated: 0, nothing changes

  // The report's lines also go to the diagnostics sink; here only the text
  // returned in the buffer is printed.
  char szReport[1024];
  ExceptionsSink pfnPrevious = Exceptions::SetSink(&Quiet);
  Trackable::Report(szReport);
  Exceptions::SetSink(pfnPrevious);
  for (const char* p = szReport; *p; ++p)
    if (*p != '\r') std::putchar(*p);
}
