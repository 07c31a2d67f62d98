/// \file
/// CrList: the sequential reference-holding collection.
///
/// A CPList (doubly linked nodes in order of addition) of Createable
/// objects, following the reference rule of CrCollection.h.  The same object
/// may be held more than once; it then carries one reference per node:
///
/// ~~~
///   CrList --plstThe (1 ref)--> CPList: head <-> node <-> ... <-> tail
///                                         each node: object (1 ref, ours)
/// ~~~
///
/// Invariants:
///   1. plstThe is never null and carries exactly one reference held here.
///   2. Every node holds a non-null object carrying one reference held here
///      for that node.
///   3. Length() equals the number of nodes of plstThe.
///
/// Costs: Add O(1); Remove O(n) (search from the head); RetrieveIDX from the
/// cursor's remembered index, so successive indexes cost one step each;
/// RemoveAll, the destructor and copies O(n).
///
/// Reports (source "cpcoll\crlist"): "nRefCount < 0xFFFF", "pcrEntry";
/// FailIfNIL "plstThe".
#ifndef TARNCOLL_CPCOLL_CRLIST_H
#define TARNCOLL_CPCOLL_CRLIST_H

#include <cpcoll/CrCollection.h>
#include <util/export.h>

class CPList;

/// A list of Createable objects holding one reference per node (see crlist.h).
class TARNCOLL_API CrList : public CrFlatCollection {
 public:
  /// An empty list.  Reports FailIfNIL "plstThe" when the wrapped list
  /// cannot be allocated.
  CrList();
  /// Deep copy: a new wrapped list holding the same objects in the same
  /// order, each node taking one more reference.  The source's cursor does
  /// not move.
  CrList(const CrList& other);
  /// Deep copy; the new content is built before the old one is released, so
  /// a failed allocation leaves this list as it was.
  CrList& operator=(const CrList& other);
  /// Releases every object once per node, then the wrapped list.
  ~CrList() override;

  unsigned long Length() const override;  ///< O(1)
  void RemoveAll() override;              ///< releases in list order; O(n)
  /// pfnAction(object, user) from head to tail; the built-in cursor is not
  /// used.  A callback that changes the list makes the walk throw the
  /// cursor exception at its next step.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  void GotoTop() override;
  void GotoBottom() override;
  long Next() override;
  long Prev() override;
  Createable* Retrieve() override;

  /// Requires: a non-null object (Assert "pcrEntry").  Effect: appends it
  /// and takes one reference.  An object whose count is full is reported
  /// (Assert "nRefCount < 0xFFFF") before it is stored.
  void Add(Createable* pcrEntry) override;
  /// Requires: a non-null object (Assert "pcrEntry").  Effect: removes the
  /// node nearest the head holding the object and releases it once.
  /// Result: 1 when removed, 0 when the object is not held (nothing
  /// released).
  short Remove(Createable* pcrEntry) override;

  /// \name Searches
  //@{
  /// The first object the condition accepts (borrowed), or null; the cursor
  /// is left on it.  NextThat continues the search of the last FirstThat.
  Createable* FirstThat(CPConditionFunc pfnCond, void* pvUser);
  Createable* NextThat(CPConditionFunc pfnCond, void* pvUser);
  //@}
  /// The object at zero-based position idx (borrowed), or null.
  Createable* RetrieveIDX(unsigned long idx);

 private:
  friend struct CrListInspector;

  // Appends every object of plstFrom to plstTo, taking one reference per
  // node; plstFrom's cursor does not move.
  static void CopyNodes(CPList* plstFrom, CPList* plstTo);
  // Appends the object to plst and takes its reference; reports Assert
  // "nRefCount < 0xFFFF" before storing when the count is full, and takes
  // the object out again when its AddRef throws.
  static void AddReferenced(CPList* plst, Createable* pcr);
  // Releases every object of plst once per node, then plst itself.
  static void ReleaseAll(CPList* plst);

  CPList* plstThe;  // the wrapped list; owned (one reference)
};

#endif
