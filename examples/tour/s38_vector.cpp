// Tour section: the always-empty vector.
#include <cpcoll/CPVector.h>

#include "tour.h"

TOUR_SECTION(38, "Vector: a collection that stays empty") {
  CPVector* pvec = new CPVector;
  if (!pvec) return;
  int n = 42;
  pvec->Add(&n);
  std::printf("after Add: length %lu, RetrieveIDX(0) %s\n", pvec->Length(), pvec->RetrieveIDX(0) ? "an item" : "null");
  char bDetached = pvec->Detach(&n);
  std::printf("Detach -> %d, DetachAll -> %d\n", bDetached, pvec->DetachAll());
  delete pvec;
}
