// Tour section: the base layer and the collection framework.
#include <cpcoll/tarncoll.h>

#include "tour.h"

TOUR_SECTION(0, "Base services: strings, CRC-16, reference counts, reports") {
  CPString* pstr = new CPString("123456789");
  std::printf("CPString \"%s\": length %lu, CRC-16 0x%04X\n", pstr->GetBuffer(), pstr->Length(),
              unsigned(pstr->_get_nCRC()));
  pstr->AddRef();
  pstr->AddRef();
  std::printf("after two AddRef calls the count is %u\n", unsigned(pstr->_get_nRefCount()));
  pstr->Release();
  pstr->Release();  // the last reference: the string is gone

  try {
    Exceptions::_get_gexeptnsThe()->Assert("tour", __LINE__, "1==0");
  } catch (const AssertionFailure& e) {
    std::printf("a broken precondition is thrown as AssertionFailure: \"%s\" from %s\n", e.expression, e.file);
  }
}
