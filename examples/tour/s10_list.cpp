// Tour section: the linked list, its cursor and an iteration state.
#include <cpcoll/tarncoll.h>
#include <cpcoll/cplist.h>

#include <cstring>

#include "tour.h"

namespace {
int CompareNames(const void* a, const void* b) {
  return std::strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}
}  // namespace

TOUR_SECTION(10, "Linked list: cursor, iteration state, sorting") {
  static char names[][8] = {"walnut", "ash", "rowan", "elm"};
  CPList* plst = new CPList;
  if (!plst) return;
  for (char* psz : names) plst->Add(psz);
  std::printf("a list of %lu names\n", plst->Length());

  // The built-in cursor: one item at a time, head to tail.
  std::printf("cursor walk:");
  for (plst->GotoTop(); void* pv = plst->Retrieve(); plst->Next()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\n");
  // Positional access steps from the cursor's remembered index.
  std::printf("item 2 is %s, the last is %s\n", static_cast<char*>(plst->RetrieveIDX(2)),
              static_cast<char*>((*plst)[-1]));

  // An iteration state is a separate cursor that fails fast.
  IterationState* pits = plst->CreateIterationState();
  std::printf("state walk backwards:");
  for (pits->gotoBottom(); void* pv = pits->retrieve(); pits->gotoPrev()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\n");
  pits->gotoTop();
  plst->Add(names[1]);  // a change of the list...
  try {
    pits->gotoNext();
  } catch (unsigned int n) {
    std::printf("...makes the state's next step throw 0x%X\n", n);
  }
  delete pits;

  plst->Sort(&CompareNames);
  std::printf("sorted:");
  for (plst->GotoTop(); void* pv = plst->Retrieve(); plst->Next()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\n");

  plst->Detach(names[1]);  // the first "ash" only
  plst->DetachAll();       // nodes released, items untouched
  std::printf("emptied: %lu items, IsMT %d\n", plst->Length(), plst->IsMT());
  delete plst;
}
