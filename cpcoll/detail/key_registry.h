// Internal: the use counts behind CPTree's string-key registry.
//
// CPTree::pcrdctStringKeys maps a text to the first CPString registered
// with it (holding references on it).  Trees key their nodes by that
// object's buffer, so the entry must stay while any node of any tree uses
// it.  The registry counts those uses here: a string tree counts one when a
// node keyed by a registered buffer joins it (any add, a copy, AllThat)
// and drops one when such a node leaves it (any removal, or the node being
// freed; nodes moved by Merge stay counted).  The entry goes only when a
// DetachKeyString(CPString*) finds it without uses, so a buffer in use is
// never freed.
//
// Threads: the registry is shared by the trees of every thread, so every
// function here takes the registry's lock.  The lock is recursive: an
// operation that must see the registry unchanged across several steps (look
// up, insert a node, register) holds a Guard around them, and the steps,
// including the use counting of node insertion and removal, take it again.
// The lock is never released while a registered buffer is looked up and
// not yet counted, so an entry in use is never freed by another thread.
#ifndef TARNCOLL_CPCOLL_DETAIL_KEY_REGISTRY_H
#define TARNCOLL_CPCOLL_DETAIL_KEY_REGISTRY_H

class CPString;
class CrDictionary;

namespace tarncoll {
namespace detail {
namespace keyreg {

// Holds the registry's lock for its lifetime (the same thread may nest).
class Guard {
 public:
  Guard();
  ~Guard();
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;
};

// The registry, created (and given one reference) on first use.
// Reports FailIfNIL "pcrdctStringKeys" from cpcoll\BTree.
CrDictionary* Require();
// The string registered with the text, or null (also when no registry).
CPString* Lookup(const char* text);
// Registers str under its own text (the text must be absent); no uses.
void Register(CPString* str);
// Removes the registration of str (its text), dropping the registry's
// reference; str may be gone afterwards.
void Unregister(CPString* str);
void AddUse(CPString* registered);
// One use less (never below 0); returns the uses left.
unsigned long DropUse(CPString* registered);
unsigned long Uses(const CPString* registered);
// When key is the buffer of a registered string, counts one use more /
// one less.  Cheap (no lock) while no registry exists.
void NoteKeyCopied(const char* key);
void NoteKeyDropped(const char* key);

}  // namespace keyreg
}  // namespace detail
}  // namespace tarncoll

#endif
