#include <cpcoll/detail/key_registry.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include <cpcoll/BTree.h>
#include <cpcoll/crdict.h>
#include <cpcoll/detail/report.h>

namespace keyreg {

namespace {

const char kSource[] = "cpcoll\\BTree";

// Guards CPTree::pcrdctStringKeys, its content and the use table.  Never
// destroyed, so trees destroyed during static destruction still find it.
std::recursive_mutex& Mutex() {
  static auto* pMutex = new std::recursive_mutex;
  return *pMutex;
}

// Set (under the lock) once the registry exists; lets the use counting of
// trees skip the lock while no string was ever registered.
std::atomic<bool> g_bExists{false};

using Lock = std::lock_guard<std::recursive_mutex>;

// Uses per registered string.  Lives as long as the registry (never freed).
std::unordered_map<const CPString*, unsigned long>& UseTable() {
  static auto* pTable = new std::unordered_map<const CPString*, unsigned long>;
  return *pTable;
}

}  // namespace

Guard::Guard() { Mutex().lock(); }
Guard::~Guard() { Mutex().unlock(); }

CrDictionary* Require() {
  Lock lock(Mutex());
  if (CPTree::pcrdctStringKeys == nullptr) {
    CrDictionary* pcrdct = new CrDictionary;
    CP_FAIL_IF_NIL(pcrdct, kSource, "pcrdctStringKeys");
    pcrdct->AddRef();
    CPTree::pcrdctStringKeys = pcrdct;
    g_bExists.store(true, std::memory_order_release);
  }
  return CPTree::pcrdctStringKeys;
}

CPString* Lookup(const char* pszText) {
  Lock lock(Mutex());
  if (CPTree::pcrdctStringKeys == nullptr || pszText == nullptr) return nullptr;
  CPString* pstr = dynamic_cast<CPString*>(CPTree::pcrdctStringKeys->FindKeyString(pszText, nullptr));
  // Only an object of that very text serves as its key (the dictionary
  // files some texts under another name).
  return pstr != nullptr && std::strcmp(pstr->GetBuffer(), pszText) == 0 ? pstr : nullptr;
}

void Register(CPString* pstr) {
  Lock lock(Mutex());
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
  Lock lock(Mutex());
  UseTable().erase(pstr);
  Require()->RemoveKeyString(pstr);
}

void AddUse(CPString* pstrRegistered) {
  Lock lock(Mutex());
  ++UseTable()[pstrRegistered];
}

unsigned long DropUse(CPString* pstrRegistered) {
  Lock lock(Mutex());
  auto it = UseTable().find(pstrRegistered);
  if (it == UseTable().end()) return 0;
  if (it->second > 0) --it->second;
  return it->second;
}

unsigned long Uses(const CPString* pstrRegistered) {
  Lock lock(Mutex());
  auto it = UseTable().find(pstrRegistered);
  return it == UseTable().end() ? 0 : it->second;
}

void NoteKeyCopied(const char* pszKey) {
  if (!g_bExists.load(std::memory_order_acquire)) return;
  Lock lock(Mutex());
  CPString* pstr = Lookup(pszKey);
  if (pstr != nullptr && pstr->GetBuffer() == pszKey) AddUse(pstr);
}

void NoteKeyDropped(const char* pszKey) {
  if (!g_bExists.load(std::memory_order_acquire)) return;
  Lock lock(Mutex());
  CPString* pstr = Lookup(pszKey);
  if (pstr != nullptr && pstr->GetBuffer() == pszKey) DropUse(pstr);
}

}  // namespace keyreg
