// Tour section: the fixed-capacity pointer array.
#include <cstdlib>
#include <cstring>

#include <cpcoll/CpArray.h>

#include "tour.h"

namespace {
int CompareTexts(const void* a, const void* b) {
  return std::strcmp(*static_cast<const char* const*>(a), *static_cast<const char* const*>(b));
}

void Show(const char* pszWhat, CPArray& arr) {
  std::printf("%-28s capacity %2lu, %lu items:", pszWhat, arr._get_ulArraySize(), arr.Length());
  for (unsigned long i = 0; i < arr._get_ulCurrentIndex(); ++i)
    std::printf(" %s", static_cast<const char*>(arr.RetrieveIDX(i)));
  std::printf("\n");
}
}  // namespace

TOUR_SECTION(30, "Pointer array: fill, insert, sort, resize") {
  static const char* const kFruit[] = {"pear", "apple", "fig", "plum"};
  CPArray* parr = new CPArray(4);
  if (!parr) return;
  for (const char* psz : kFruit) parr->Add(const_cast<char*>(psz));
  Show("filled to capacity", *parr);
  parr->Add(const_cast<char*>("kiwi"));
  Show("a fifth Add is dropped", *parr);
  std::printf("InsertIDX(0, kiwi) on the full array gives %d\n", parr->InsertIDX(0, const_cast<char*>("kiwi")));

  parr->Sort(CompareTexts);
  Show("sorted", *parr);

  parr->Resize(6);
  parr->InsertIDX(1, const_cast<char*>("banana"));
  Show("resized to 6, banana at 1", *parr);

  // The built-in cursor's Next returns the new index, so walks end on a
  // null Retrieve rather than on Next's result.
  std::printf("cursor walk:");
  for (parr->GotoTop(); void* pv = parr->Retrieve(); parr->Next()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\n");

  parr->Resize(3);
  Show("resized to 3", *parr);
  delete parr;
}
