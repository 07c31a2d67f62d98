// Tour section: the fixed-capacity stack.
#include <cpcoll/cpstack.h>

#include "tour.h"

TOUR_SECTION(35, "Stack: pushed and unwound") {
  static const char* const kPlates[] = {"blue", "green", "red", "white", "black"};
  CPStack* pstk = new CPStack(4);
  if (!pstk) return;
  for (const char* psz : kPlates) std::printf("Push(%s) -> %lu\n", psz, pstk->Push(const_cast<char*>(psz)));
  std::printf("top %s, bottom %s, [1] %s, %lu plates\n", static_cast<char*>(pstk->Top()),
              static_cast<char*>(pstk->Bottom()), static_cast<char*>((*pstk)[1]), pstk->Length());

  // Detach unwinds: everything above the item goes with it.
  char bFound = pstk->Detach(const_cast<char*>(kPlates[1]));
  std::printf("Detach(green) -> %d, leaving %lu: top %s\n", bFound, pstk->Length(), static_cast<char*>(pstk->Top()));
  bFound = pstk->Detach(const_cast<char*>(kPlates[4]));  // never pushed: nothing changes
  std::printf("Detach(black) -> %d, still %lu\n", bFound, pstk->Length());

  pstk->Push(const_cast<char*>("yellow"));
  std::printf("unwinding:");
  while (void* pv = pstk->Pop()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\nempty: %d\n", pstk->IsMT());
  delete pstk;
}
