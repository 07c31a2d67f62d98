/// \file
/// std::string forms of the library's text outputs that write into a
/// caller's buffer without knowing its size.
///
/// Each function first works out how long the text can be, gives the classic
/// operation a buffer of that size and returns its text, so new code never
/// has to guess a buffer size.
///
/// \code
///   std::string keys = tarncoll::StringKeyList(dct);   // "a\r\nb\r\n"
///   std::string report = tarncoll::TrackingReport();
/// \endcode
///
/// Costs: StringKeyList O(n) twice (one walk to size, one to write);
/// TrackingReport O(classes).  Both allocate the buffer with std::vector
/// (std::bad_alloc on failure).
#ifndef TARNCOLL_CPCOLL_MODERN_TEXT_H
#define TARNCOLL_CPCOLL_MODERN_TEXT_H

#include <cstring>
#include <string>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/modern_iter.h>
#include <cpcoll/trackable.h>

namespace tarncoll {

/// CPDictionary::StringKeyList as a string: every entry's key text (empty
/// for a numeric key) followed by `"\r\n"`, in iteration order.  The
/// buffer holds the sum of the key lengths, two bytes per entry and the
/// terminator.  O(n) twice; throws std::bad_alloc when the buffer cannot be
/// allocated.
inline std::string StringKeyList(CPDictionary& dct) {
  std::size_t nBytes = 1;
  for (CPDictionaryAssociation* pda : Entries(dct)) {
    CPString* pstr = pda->_get_pstrKey();
    nBytes += (pstr ? pstr->Length() : 0) + 2;
  }
  std::vector<char> vBuffer(nBytes, '\0');
  dct.StringKeyList(vBuffer.data());
  return std::string(vBuffer.data());
}

/// Trackable::Report as a string.  Like Report it also passes every line to
/// the Exceptions sink (class lines to Message, the totals line to
/// Comment).  Each report line is cut to 255 characters, and there is one
/// line per record plus the totals line, which bounds the buffer.
/// O(classes); throws std::bad_alloc when the buffer cannot be allocated.
inline std::string TrackingReport() {
  const unsigned long nRecords = Trackable::pdctAllocatedObjects ? Trackable::pdctAllocatedObjects->Length() : 0;
  std::vector<char> vBuffer((nRecords + 1) * 256 + 1, '\0');
  Trackable::Report(vBuffer.data());
  return std::string(vBuffer.data());
}

}  // namespace tarncoll

#endif
