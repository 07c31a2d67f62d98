// Tour section: the queue (a tree of item pointers kept in arrival order).
#include <cpcoll/CPQueue.h>

#include "tour.h"

TOUR_SECTION(55, "CPQueue: arrival order, front to back") {
  CPQueue* pqueue = new CPQueue;
  static char szFirst[] = "first";
  static char szSecond[] = "second";
  static char szUrgent[] = "urgent";
  pqueue->Add(szFirst);
  pqueue->Add(szSecond);
  pqueue->Insert(szUrgent);  // jumps the queue
  pqueue->Add(szFirst);      // already queued: keeps its place
  std::printf("%lu items queued\n", pqueue->Length());
  while (void* pv = pqueue->DetachTop()) std::printf("served: %s\n", static_cast<const char*>(pv));
  delete pqueue;
}
