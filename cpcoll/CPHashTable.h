/// \file
/// CPHashTable: a CPList that also carries a table of 256 pairs of 32-bit
/// words.
///
/// Every collection operation is the list's (see cpcoll/cplist.h): items are
/// stored, walked and removed in the order of addition, and nothing hashes
/// or reads the table.  The table is cleared by the constructor and copied
/// by copy construction and assignment; nothing else touches it.  The class
/// is a type of its own: CreateInstance makes another CPHashTable.
///
/// Invariants: those of CPList.  Costs: those of CPList; construction and
/// copying also clear or copy the 2 KiB table.
#ifndef TARNCOLL_CPCOLL_CPHASHTABLE_H
#define TARNCOLL_CPCOLL_CPHASHTABLE_H

#include <cpcoll/cplist.h>
#include <util/export.h>

/// A CPList carrying a table of 256 pairs of words (see CPHashTable.h).
class TARNCOLL_API CPHashTable : public CPList {
 public:
  enum { kHashPairs = 256 };  ///< pairs in the table

  CPHashTable();  ///< an empty list, every word of the table 0
  /// The list's deep copy, then the table copied pair by pair.
  CPHashTable(const CPHashTable& other);
  /// The list's assignment, then the table copied.
  CPHashTable& operator=(const CPHashTable& other);
  ~CPHashTable() override;

  /// A new ListIterationState on this table, as for a list.
  IterationState* CreateIterationState() override;
  /// A new, empty CPHashTable owned by the caller; null when out of memory.
  CPCollection* CreateInstance() override;
  /// Does nothing, as in CPList.
  void AddInternalContainer(CPInternalContainer* pic) override;

 protected:
  unsigned int arHashPairs[kHashPairs][2];  ///< carried along, never consulted
};

#endif
