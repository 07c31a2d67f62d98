// Test support: reset and read access to Trackable's statics (the tracker
// befriends TrackableInspector).
#ifndef TARNCOLL_TESTS_SUPPORT_TRACKABLE_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_TRACKABLE_INSPECTOR_H

#include <cpcoll/Cpdict.h>
#include <cpcoll/trackable.h>

struct TrackableInspector {
  // Frees the tracker's records and puts it back to its state at process
  // start (the library never frees them).
  static void Reset() {
    if (Trackable::pdctAllocatedObjects) {
      Trackable::pdctAllocatedObjects->DestroyAll([](void* pv, void*) { delete static_cast<TrackRec*>(pv); });
      delete Trackable::pdctAllocatedObjects;
    }
    Trackable::pdctAllocatedObjects = nullptr;
    Trackable::bDisableTracking = 0;
    Trackable::nTotalObjects = 0;
    Trackable::nTotalSize = 0;
  }
  static long TotalObjects() { return Trackable::nTotalObjects; }
  static long TotalSize() { return Trackable::nTotalSize; }
};

#endif
