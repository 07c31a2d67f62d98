#include <cpcoll/detail/key_registry.h>

#include <cstring>
#include <unordered_map>

#include <cpcoll/BTree.h>
#include <cpcoll/crdict.h>
#include <cpcoll/detail/report.h>

namespace keyreg {

namespace {

const char kSource[] = "cpcoll\\BTree";

// Uses per registered string.  Lives as long as the registry (never freed).
std::unordered_map<const CPString*, unsigned long>& UseTable() {
  static auto* pTable = new std::unordered_map<const CPString*, unsigned long>;
  return *pTable;
}

}  // namespace

CrDictionary* Require() {
  if (CPTree::pcrdctStringKeys == nullptr) {
    CrDictionary* pcrdct = new CrDictionary;
    CP_FAIL_IF_NIL(pcrdct, kSource, "pcrdctStringKeys");
    pcrdct->AddRef();
    CPTree::pcrdctStringKeys = pcrdct;
  }
  return CPTree::pcrdctStringKeys;
}

CPString* Lookup(const char* pszText) {
  if (CPTree::pcrdctStringKeys == nullptr || pszText == nullptr) return nullptr;
  CPString* pstr = dynamic_cast<CPString*>(CPTree::pcrdctStringKeys->FindKeyString(pszText, nullptr));
  // Only an object of that very text serves as its key (the dictionary
  // files some texts under another name).
  return pstr != nullptr && std::strcmp(pstr->GetBuffer(), pszText) == 0 ? pstr : nullptr;
}

void Register(CPString* pstr) {
  CrDictionary* pcrdct = Require();
  // The use entry first (it may throw std::bad_alloc), so that a failure of
  // either step leaves nothing registered.
  UseTable()[pstr] = 0;  // a fresh registration starts without uses
  try {
    pcrdct->AddKeyString(pstr, pstr);
  } catch (...) {
    UseTable().erase(pstr);
    throw;
  }
}

void Unregister(CPString* pstr) {
  UseTable().erase(pstr);
  Require()->RemoveKeyString(pstr);
}

void AddUse(CPString* pstrRegistered) { ++UseTable()[pstrRegistered]; }

unsigned long DropUse(CPString* pstrRegistered) {
  auto it = UseTable().find(pstrRegistered);
  if (it == UseTable().end()) return 0;
  if (it->second > 0) --it->second;
  return it->second;
}

unsigned long Uses(const CPString* pstrRegistered) {
  auto it = UseTable().find(pstrRegistered);
  return it == UseTable().end() ? 0 : it->second;
}

void NoteKeyCopied(const char* pszKey) {
  CPString* pstr = Lookup(pszKey);
  if (pstr != nullptr && pstr->GetBuffer() == pszKey) AddUse(pstr);
}

void NoteKeyDropped(const char* pszKey) {
  CPString* pstr = Lookup(pszKey);
  if (pstr != nullptr && pstr->GetBuffer() == pszKey) DropUse(pstr);
}

}  // namespace keyreg
