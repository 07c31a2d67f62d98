// Tour section: the hash table, a list of its own type.
#include <cpcoll/tarncoll.h>
#include <cpcoll/CPHashTable.h>

#include "tour.h"

TOUR_SECTION(15, "Hash table: a list that carries a table") {
  static char items[][8] = {"first", "second", "third"};
  CPHashTable* pht = new CPHashTable;
  if (!pht) return;
  for (char* psz : items) pht->Add(psz);
  std::printf("items come back in the order of addition:");
  for (pht->GotoTop(); void* pv = pht->Retrieve(); pht->Next()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\n");
  CPCollection* pclNew = pht->CreateInstance();
  std::printf("CreateInstance gives another hash table: %s\n",
              dynamic_cast<CPHashTable*>(pclNew) ? "yes" : "no");
  delete pclNew;
  delete pht;
}
