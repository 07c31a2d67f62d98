#include <cpcoll/CPHashTable.h>

#include <cstring>

CPHashTable::CPHashTable() { std::memset(arHashPairs, 0, sizeof arHashPairs); }

CPHashTable::CPHashTable(const CPHashTable& other) : Createable(), CPList(other) {
  std::memcpy(arHashPairs, other.arHashPairs, sizeof arHashPairs);
}

CPHashTable& CPHashTable::operator=(const CPHashTable& other) {
  if (this == &other) return *this;
  CPList::operator=(other);
  std::memcpy(arHashPairs, other.arHashPairs, sizeof arHashPairs);
  return *this;
}

CPHashTable::~CPHashTable() {}

IterationState* CPHashTable::CreateIterationState() { return CPList::CreateIterationState(); }

CPCollection* CPHashTable::CreateInstance() { return new CPHashTable; }

void CPHashTable::AddInternalContainer(CPInternalContainer*) {}
