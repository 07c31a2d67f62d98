#include <cpcoll/detail/key_registry.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include <cpcoll/BTree.h>
#include <cpcoll/crdict.h>
#include <cpcoll/detail/report.h>

namespace tarncoll {
namespace detail {
namespace keyreg {

namespace {

const char kSource[] = "cpcoll\\BTree";

// Guards CPTree::pcrdctStringKeys, its content and the use table.  Never
// destroyed, so trees destroyed during static destruction still find it.
std::recursive_mutex& Mutex() {
  static auto* mutex = new std::recursive_mutex;
  return *mutex;
}

// Set (under the lock) once the registry exists; lets the use counting of
// trees skip the lock while no string was ever registered.
std::atomic<bool> g_exists{false};

using Lock = std::lock_guard<std::recursive_mutex>;

// Uses per registered string.  Lives as long as the registry (never freed).
std::unordered_map<const CPString*, unsigned long>& UseTable() {
  static auto* table = new std::unordered_map<const CPString*, unsigned long>;
  return *table;
}

}  // namespace

Guard::Guard() { Mutex().lock(); }
Guard::~Guard() { Mutex().unlock(); }

CrDictionary* Require() {
  Lock lock(Mutex());
  if (CPTree::pcrdctStringKeys == nullptr) {
    CrDictionary* registry = new CrDictionary;
    TARNCOLL_FAIL_IF_NIL(registry, kSource, "pcrdctStringKeys");
    registry->AddRef();
    CPTree::pcrdctStringKeys = registry;
    g_exists.store(true, std::memory_order_release);
  }
  return CPTree::pcrdctStringKeys;
}

CPString* Lookup(const char* text) {
  Lock lock(Mutex());
  if (CPTree::pcrdctStringKeys == nullptr || text == nullptr) return nullptr;
  CPString* str = dynamic_cast<CPString*>(CPTree::pcrdctStringKeys->FindKeyString(text, nullptr));
  // Only an object of that very text serves as its key (the dictionary
  // files some texts under another name).
  return str != nullptr && std::strcmp(str->GetBuffer(), text) == 0 ? str : nullptr;
}

void Register(CPString* str) {
  Lock lock(Mutex());
  CrDictionary* registry = Require();
  // The use entry first (it may throw std::bad_alloc), so that a failure of
  // either step leaves nothing registered.
  UseTable()[str] = 0;  // a fresh registration starts without uses
  try {
    registry->AddKeyString(str, str);
  } catch (...) {
    UseTable().erase(str);
    throw;
  }
}

void Unregister(CPString* str) {
  Lock lock(Mutex());
  UseTable().erase(str);
  Require()->RemoveKeyString(str);
}

void AddUse(CPString* registered) {
  Lock lock(Mutex());
  ++UseTable()[registered];
}

unsigned long DropUse(CPString* registered) {
  Lock lock(Mutex());
  auto it = UseTable().find(registered);
  if (it == UseTable().end()) return 0;
  if (it->second > 0) --it->second;
  return it->second;
}

unsigned long Uses(const CPString* registered) {
  Lock lock(Mutex());
  auto it = UseTable().find(registered);
  return it == UseTable().end() ? 0 : it->second;
}

void NoteKeyCopied(const char* key) {
  if (!g_exists.load(std::memory_order_acquire)) return;
  Lock lock(Mutex());
  CPString* str = Lookup(key);
  if (str != nullptr && str->GetBuffer() == key) AddUse(str);
}

void NoteKeyDropped(const char* key) {
  if (!g_exists.load(std::memory_order_acquire)) return;
  Lock lock(Mutex());
  CPString* str = Lookup(key);
  if (str != nullptr && str->GetBuffer() == key) DropUse(str);
}

}  // namespace keyreg
}  // namespace detail
}  // namespace tarncoll
