/// \file
/// Trackable: process-wide allocation statistics per class name.
///
/// Callers report each object they create (AllocateObject) and destroy
/// (DeAllocateObject) by class name and size; Report writes one line per
/// class ever recorded and a totals line.  The records live in one
/// CPDictionary keyed by class name, created by the first recorded
/// allocation; records and dictionary stay until the process ends.
///
///   pdctAllocatedObjects: "CPList" -> TrackRec{szClass, nInstances, nSize}
///                         "Leaf"   -> TrackRec{...}
///
/// Invariants: nTotalObjects is the sum of every record's nInstances and
/// nTotalSize the sum of their nSize (both change only together with a
/// record); nInstances never goes below 0.  Sizes are not checked against
/// each other, so nSize and nTotalSize may go below 0.
///
/// Costs: AllocateObject and DeAllocateObject one dictionary lookup (plus
/// one record on a class's first allocation); Report O(classes).
///
/// Threads: AllocateObject, DeAllocateObject and Report hold one process-wide
/// recursive lock for their whole work, so calls from different threads
/// wait for each other and every call is recorded.  bDisableTracking is
/// switched on while AllocateObject works; only a call nested on that same
/// thread (from a diagnostic sink during a report, say) sees it and records
/// nothing.  Diagnostic sinks run under the lock: they may call the tracker
/// on their own thread but must not wait for another thread that does.
/// Reading or setting the public statics directly is safe only while no
/// other thread tracks.
///
/// Reports (source "cpcoll\trackable"): FailIfNIL "pdctAllocatedObjects"
/// when the first allocation cannot create the records' dictionary, and
/// "ptrkrecA" when a class's record cannot be allocated; nothing is
/// recorded then.
#ifndef TARNCOLL_CPCOLL_TRACKABLE_H
#define TARNCOLL_CPCOLL_TRACKABLE_H

#include <util/export.h>

class CPDictionary;

/// One record per class name, allocated with the standard operator new and
/// never freed.  The stored class name is cut to 254 characters.
struct TrackRec {
  char szClass[255];  ///< class name, zero-terminated, at most 254 characters
  long nInstances;    ///< live instances
  long nSize;         ///< sum of their sizes
};

/// The allocation tracker: static members only (see the file
/// documentation for records, invariants, costs and threads).
class TARNCOLL_API Trackable {
  friend struct TrackableInspector;

 public:
  /// Records one new object of class pszClass with size nSize; returns 1.
  /// Nothing is recorded while bDisableTracking is non-zero.  Reports
  /// FailIfNIL "pdctAllocatedObjects" or "ptrkrecA" (source
  /// `cpcoll\trackable`) when the dictionary or a record cannot be allocated;
  /// nothing is recorded then.  An empty or null name is tracked as
  /// "UnNamed" (the dictionary's name for the empty key).
  static short AllocateObject(const char* pszClass, long nSize);
  /// Records the end of one such object: 1 when recorded or while tracking
  /// is off; 0 (nothing changes) before any allocation, for an unknown
  /// class, or for a class without live instances.
  static short DeAllocateObject(const char* pszClass, long nSize);
  /// Writes the report into pszOut and passes each
  /// class line to Exceptions::Message and the totals line to
  /// Exceptions::Comment.  Lines:
  ///     `"Class: %s.  Instances %ld.  Size: %ld.  Avg Size: %ld\r\n"`
  ///     `"Total Number of Objects: %ld, Cumulative Size: %ld\r\n"`
  /// The average is nSize / nInstances taken as unsigned values (0 without
  /// instances).  Each line is cut to at most 255 characters.  Before any
  /// allocation only the totals line is written.  A null pszOut receives
  /// nothing.  The sink may call back into the tracker: the class lines are
  /// those of the records present when the report began, the totals those
  /// at its end.  Returns 1.
  /// Requires: pszOut holds 256 * (classes + 1) bytes, where classes is
  /// pdctAllocatedObjects->Length() when the report begins (0 while it is
  /// null); the text written (lines and terminating zero) never exceeds that.
  static short Report(char* pszOut);

  /// Copies nothing (there is no instance data).
  Trackable& operator=(const Trackable&) { return *this; }  // no instance data

  /// The records by class name (TrackRec* items), or null before the
  /// first recorded allocation.
  static CPDictionary* pdctAllocatedObjects;  // the records by class name, or null
  /// Non-zero: record nothing.  A caller may set it to switch tracking off.
  static short bDisableTracking;              // non-zero: record nothing

 private:
  static long nTotalObjects;  // live recorded objects, all classes
  static long nTotalSize;     // sum of their sizes
};

#endif
