/// \file
/// CPDictionary: items under numeric or string keys in 256 fixed slots.
///
/// Each non-empty slot holds a CPList of entries (CPDictionaryAssociation),
/// appended in the order of addition.  A numeric key goes to slot key & 0xFF;
/// a string key to the low byte of the CRC-16 of its text (crc16::Calc on
/// the shared c16The, or the caller's pnCRC, or a CPString's cached CRC).
///
/// ~~~
///   arplstSlots[0]   -> null
///   arplstSlots[1]   -> CPList: [entry 1 -> item] <-> [entry 257 -> item]
///   ...
///   arplstSlots[0x3D]-> CPList: [entry "123456789" (CRC 0xBB3D) -> item]
///   arplstSlots[255] -> null
/// ~~~
///
/// Iteration order (every walk, both cursors, the parallel vector): slot 0
/// to 255, and within a slot the order of addition.
///
/// Beside the slots the dictionary keeps a private index from (slot, key)
/// to entry and node (keyIndex, detail/dict_index_policy.h), so that lookups
/// and removals by key need not scan a slot.  It answers exactly as the scan
/// would: entries it cannot vouch for (duplicates of a key, key strings
/// shared with other holders, whose text may change) are left out of it and
/// counted per slot, and a slot with such entries is scanned instead.
///
/// Invariants (checked by CPDictionaryInspector in the tests):
///   1. nLength equals the number of entries in all slot lists; no slot
///      list is empty.
///   2. Every entry of slot s has the key of slot s: a numeric key k with
///      k & 0xFF == s, a string entry with nKeyCRC & 0xFF == s.
///   3. keyIndex holds exactly the entries flagged as indexed, each with
///      its own node, and counts the other entries of each slot; no two
///      indexed entries have the same key.
///   4. When bRefreshVector is 0, arpdaVector holds the entries in
///      iteration order.
///
/// Costs: lookups, adds and removals by key: the key's CRC (none when it is
/// given) plus one index probe, or a scan of the slot in a slot holding
/// unindexed entries; positional reads O(1) after one O(n) rebuild per
/// change; walks O(n + 256); by-item searches O(n).
///
/// Derived classes: where an operation is defined through another virtual
/// operation (the adds through ExistsKeyNum / ExistsKeyString, Detach and
/// Destroy through the keyed removals, the three-argument ForEach through
/// ForEachInternalContainer), a derived class's override is called; the
/// library's own class takes the inline paths.
///
/// Cursor: a key lookup never moves the built-in cursor; a removal by key
/// moves it only when it stood on the removed entry (to that entry's
/// successor in its slot; when the slot empties, and after DetachAll or
/// DestroyAll, Retrieve gives null and Next 0 until the next GotoTop).
/// Detach(item) and Destroy(item) walk the cursor from the top to the item,
/// leaving it on the removed entry's successor (off the end when the item
/// is absent).  ForEach(IteratorAction*) walks the cursor too, and does not
/// notice changes the action makes.  The other callback walks (ForEach with
/// a function, FirstThat, AllThat ...) do not use it, and throw
/// kCursorException when a callback changes the dictionary.
///
/// Entries must not be given
/// another key while they are in a dictionary (SetKeyString/SetKeyCardinal
/// on an entry obtained from it); a key string shared with the caller may
/// change its text, which shows in the entry without moving it.
///
/// Reports (source "cpcoll\Cpdict"): "1==0" (the NextThat forms);
/// FailIfNIL "pdaThis", "plstSlot" (an entry or slot list not allocated),
/// "pdctNew" (AllThat), "pstrKey" (an entry's SetKeyString); "pbktNew !=0"
/// (`cpcoll\cplist`) when a slot list cannot take the entry; and
/// "nLength >0" (`cpcoll\cpcollec`).  A report leaves the dictionary as it
/// was and leaks nothing.
#ifndef TARNCOLL_CPCOLL_CPDICT_H
#define TARNCOLL_CPCOLL_CPDICT_H

#include <cpcoll/CPDictionaryAssociation.h>
#include <cpcoll/cpcollec.h>
#include <cpcoll/cplist.h>
#include <cpcoll/detail/dict_index_policy.h>
#include <util/crc16.h>
#include <util/export.h>

class DictionaryIterationState;
namespace tarncoll {
namespace detail {
struct DictionaryEntryAccess;
}  // namespace detail
}  // namespace tarncoll

/// The three-argument action of CPDictionary::ForEach: key is the
/// CPString* of a string entry or the numeric key of a numeric one.
typedef void (*CPKeyActionFunc)(void* item, void* user, void* key);

/// Items under numeric or string keys in 256 CRC-16 slots (see Cpdict.h).
class TARNCOLL_API CPDictionary : public CPKeyedCollection {
  friend class DictionaryIterationState;
  friend struct CPDictionaryInspector;
  friend struct tarncoll::detail::DictionaryEntryAccess;
  friend class tarncoll::detail::DictIndexPolicy;

 public:
  enum { eNumberOfSlots = 256 };  ///< the fixed number of slots

  /// The CRC-16 calculator shared by every dictionary.
  static crc16 c16The;

  /// An empty dictionary; the requested slot count is ignored (always 256).
  explicit CPDictionary(unsigned long nSlots = eNumberOfSlots);
  /// Deep copy: new slot lists and entries holding the same items under the
  /// same keys in the same slots and order; key strings are shared by
  /// reference.  Reports as the adds do (nothing leaks).
  CPDictionary(const CPDictionary& other);
  /// Deep copy as above, replacing this dictionary's content; a report
  /// leaves this dictionary as it was.
  CPDictionary& operator=(const CPDictionary& other);
  /// DetachAll, then frees the parallel vector; items are never touched.
  ~CPDictionary() override;

  // ---- virtual slots, in the order of CPCollection ----

  /// A new DictionaryIterationState, owned by the caller; null when out of
  /// memory.
  IterationState* CreateIterationState() override;
  /// A new, empty CPDictionary owned by the caller; null when out of memory.
  CPCollection* CreateInstance() override;

  // The keyed vadd/vremove/vfind slots are refused (inherited).

  /// Walks the built-in cursor; sets pvItem, pvKey and bKeyIsString before
  /// each Perform() (result ignored).  Changes the action makes are not
  /// noticed.  A null action: nothing.
  void ForEach(IteratorAction* pAction) override;
  /// pfnAction(item, user) for every entry in iteration order; the built-in
  /// cursor does not move.  Throws kCursorException when the action changes
  /// the dictionary.  A null action: nothing.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  /// The first item, in iteration order, whose condition result has
  /// non-zero low 16 bits; null when none or for a null condition.  The
  /// built-in cursor does not move.  Throws kCursorException when the
  /// condition changes the dictionary.
  void* FirstThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// Not supported: reports Assert "1==0".
  void* NextThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// A new CPDictionary, owned by the caller, holding the items whose
  /// condition result is exactly 1, added under the same keys (key strings
  /// shared); empty for a null condition.  The built-in cursor does not
  /// move.  Reports FailIfNIL "pdctNew", and as the adds do (the new
  /// dictionary is then freed).
  CPCollection* AllThat(CPConditionFunc pfnCond, void* pvUser) override;
  /// AddKeyNum(the item's address, item).
  void Add(void* pvItem) override;
  /// Does nothing.
  void AddInternalContainer(CPInternalContainer* pic) override;
  /// Unlinks and frees the first entry (iteration order) holding the item,
  /// then hands the item to kill(item, null) when kill is given; 1 when
  /// removed, 0 when none.  Walks the built-in cursor (left on the
  /// successor).  O(n).
  char Destroy(void* pvItem, CPKillFunc pfnKill) override;
  /// The item at position idx of the parallel vector (iteration order), or
  /// null when idx >= Length(); the built-in cursor does not move.  O(1),
  /// after one O(n) rebuild of the vector following a change.
  void* RetrieveIDX(unsigned long idx) override;
  /// Removes the first entry (iteration order) holding the item, whatever
  /// its key kind; 1 when removed, 0 when none.  Walks the built-in cursor.
  /// O(n).
  char Detach(void* pvItem) override;
  /// Destroys every entry and slot list; items untouched.  Returns 1.
  char DetachAll() override;
  /// As DetachAll, handing each item to kill(item, null) once its entry is
  /// out (no call when kill is null).  When kill throws, the entries it was
  /// given are gone and the others stay, found by their keys.  Returns 1.
  char DestroyAll(CPKillFunc pfnKill) override;
  void GotoTop() override;     ///< first entry of the first non-empty slot
  void GotoBottom() override;  ///< last entry of the highest non-empty slot
  long Next() override;        ///< 1 when on an entry afterwards
  long Prev() override;        ///< the cursor walks forward only: 0, no move
  void* Retrieve() override;   ///< the current entry's item, or null

  // ---- keyed slots, in the order of CPKeyedCollection ----

  /// Adds the item under the key unless the key is present (then nothing
  /// changes).  Reports FailIfNIL "pdaThis" / "plstSlot" when the entry or
  /// the slot list cannot be allocated (nothing changes, nothing leaks).
  void AddKeyNum(unsigned long nKey, void* pvItem) override;
  /// As AddKeyNum; the key is present only when its entry holds a non-null
  /// item.  pnCRC: null, or the CRC of the text (its low byte is the slot).
  /// A null or empty text is stored as "UnNamed" and is not found again by
  /// the text given, so each such add stores one more entry.
  void AddKeyString(const char* pszKey, void* pvItem, unsigned long* pnCRC) override;
  /// As above with the string's text and cached CRC (a null string: as the
  /// null text); the entry shares the string when somebody holds a
  /// reference on it, else keeps a copy.  An empty text is stored as
  /// "UnNamed" (a shared string is itself given that text).
  void AddKeyString(CPString* pstrKey, void* pvItem) override;
  /// \name Removing by key
  //@{
  /// Remove the first entry of the key (iteration order); the item is
  /// untouched.  An absent key or a null text: nothing.
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC) override;
  void DetachKeyString(CPString* pstrKey) override;
  void DetachKeyNum(unsigned long nKey) override;
  //@}
  /// \name Destroying by key
  //@{
  /// Unlink and free the first entry of the key, then kill(item, null) (no
  /// call when kill is null).  An absent key or a null text: nothing.
  void DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) override;
  void DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long* pnCRC) override;
  void DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) override;
  //@}
  /// \name Finding by key
  //@{
  /// The item of the first entry of the key, or null (also for a null
  /// text).  O(1) expected.  The built-in cursor does not move.
  void* FindKeyNum(unsigned long nKey) override;
  void* FindKeyString(const char* pszKey, unsigned long* pnCRC) override;
  void* FindKeyString(CPString* pstrKey) override;
  //@}
  /// 1 when an entry has the key (whatever its item).
  long ExistsKeyNum(unsigned long nKey) override;
  /// \name Testing for a text key
  //@{
  /// 1 when the key's first entry holds a non-null item.
  long ExistsKeyString(CPString* pstrKey) override;
  long ExistsKeyString(const char* pszKey, unsigned long* pnCRC) override;
  //@}
  /// pfnAction(entry, user) for every entry in iteration order.  Throws
  /// kCursorException when the action changes the dictionary.  A null
  /// action: nothing.
  void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) override;
  /// As AllThat, the condition receiving entries; the new dictionary holds
  /// their items.
  CPCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// As FirstThat, the condition receiving entries; returns the entry.
  void* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// Not supported: reports Assert "1==0".
  void* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// The entry under the built-in cursor, or null.
  void* RetrieveInternalContainer() override;

  // ---- non-virtual members ----

  unsigned long _get_nNumberOfSlots() const { return eNumberOfSlots; }  ///< always 256
  void* operator[](unsigned long i) { return RetrieveIDX(i); }          ///< RetrieveIDX(i)
  /// 1 when some entry holds the (non-null) item; O(n).
  long ExistsValue(void* pvItem);
  /// Adds every entry of a list of entries (CPDictionaryAssociation*) under
  /// its key through AddKeyNum / AddKeyString; the list and its entries are
  /// not changed, null entries are skipped.  Null: nothing.
  void AddList(CPList* plstEntries);
  /// pfnAction(item, user, key) for every entry in iteration order.  Throws
  /// kCursorException when the action changes the dictionary.  A null
  /// action: nothing.
  void ForEach(CPKeyActionFunc pfnAction, void* pvUser);
  /// The first entry for which cond(key, user) is non-zero, where cond is
  /// an `int (*)(void* key, void* user)` and key the numeric key as a
  /// pointer-sized number (0 for a string entry); null when none or for a
  /// null condition.
  void* FirstThatKeyCardinal(void* pfnCond, void* pvUser);
  /// action(key, user) for every entry, action a `void (*)(void*, void*)`,
  /// key as in FirstThatKeyCardinal.  A null action: nothing.
  void ForEachKeyCardinal(void* pfnAction, void* pvUser);
  /// The entry at position i (compared as unsigned) of the parallel vector,
  /// or null.
  CPDictionaryAssociation* RetrieveDAIDX(long i);
  /// Writes every entry's key text (nothing for a numeric entry), each
  /// followed by a carriage return and a line feed, into pszOut (which must
  /// hold it all and the terminating null).  Null: nothing.
  void StringKeyList(char* pszOut);

 protected:
  /// The first entry whose key text equals pszKey, in the slot of pnCRC's
  /// low byte when given, else of the text's CRC; null for a null text or
  /// none.  The slot is stored in *pnSlot when given (and the text is not
  /// null).
  CPDictionaryAssociation* FindDAKeyString(const char* pszKey, unsigned long* pnCRC, unsigned long* pnSlot);
  /// Rebuilds the parallel vector (through ForEachInternalContainer) when
  /// it is stale; when it cannot be allocated it stays stale and the
  /// positional reads walk instead.  O(n).
  void RefreshParallelVector();

 private:
  unsigned long HashOnString(const char* pszKey);    // the text's CRC
  unsigned long HashOnCardinal(unsigned long nKey);  // nKey & 0xFF
  // The first slot t >= s holding a list; (unsigned long)-1 when none.
  unsigned long NextNonblankSlot(unsigned long s);

  // The CRC of a key text: *pnCRC when given, else crc16::Calc of it.
  static unsigned long KeyCRC(const char* pszKey, unsigned long* pnCRC);
  // The entry fields that keyIndex keeps (dict_index_policy_inline.h).
  struct EntryFields;
  // AddKeyString(CPString*); bVouched: a shared string is only shared with
  // entries of dictionaries (nobody changes it), so it may be indexed.
  void AddSharedKey(CPString* pstrKey, void* pvItem, bool bVouched);
  // A new string entry holding the item, filed under nCRC, whose key
  // string fMakeKey() gives (it may throw).  Reports FailIfNIL "pdaThis"
  // when the entry or the string cannot be allocated; nothing leaks.
  template <class MakeKey>
  CPDictionaryAssociation* NewTextEntry(MakeKey fMakeKey, void* pvItem, unsigned long nCRC);
  // Links a new entry (key set) into slot nSlot and keyIndex (at pplace,
  // or by a probe when null or kProbe); frees the entry on a report.
  // Reports "plstSlot" (and the list's "pbktNew !=0").
  void LinkEntry(CPDictionaryAssociation* pda, unsigned long nSlot, const tarncoll::detail::IndexPlace* pplace);
  // Takes the entry of node pbkt in slot nSlot out: count, keyIndex, node,
  // emptied list; then frees the entry, then kill(item, null) when given.
  void RemoveEntry(unsigned long nSlot, CPBucket* pbkt, CPKillFunc pfnKill);
  void RemoveString(const char* pszKey, unsigned long* pnCRC, CPKillFunc pfnKill);
  void RemoveNumber(unsigned long nKey, CPKillFunc pfnKill);
  // Destroys all entries and lists, items untouched; with kill, entry by
  // entry, each item handed to kill(item, null) once its entry is freed.
  void ClearAll(CPKillFunc pfnKill);
  // Appends copies of other's entries slot by slot (key strings shared).
  void CopyEntriesOf(const CPDictionary& other);
  // Moves other's whole content into this (empty) dictionary.
  void TakeContentOf(CPDictionary& other);
  // AllThat of either kind: bEntries hands entries to the condition.
  CPCollection* AllThatOf(CPConditionFunc pfnCond, void* pvUser, bool bEntries);
  // The first entry whose condition result has non-zero low 16 bits.
  CPDictionaryAssociation* FirstEntryThat(CPConditionFunc pfnCond, void* pvUser, bool bEntries);
  // The entry at position i (i < nLength) from the vector, or by walking
  // when the vector could not be allocated.
  CPDictionaryAssociation* EntryAt(unsigned long i);
  // Walks the built-in cursor to the first entry holding the item; its
  // node, or null.
  CPBucket* FindItemByCursor(void* pvItem);
  // Calls fVisit(entry) in iteration order until it returns true; that
  // entry, or null.  Throws kCursorException when a visit changes nXACT.
  template <class Visit>
  CPDictionaryAssociation* WalkUntil(Visit fVisit);

  short nCurrentSlot;                        // slot of the built-in cursor, -1: none
  CPList* arplstSlots[eNumberOfSlots];       // slot lists (owned), null when empty
  char bRefreshVector;                       // 1: arpdaVector is stale
  CPDictionaryAssociation** arpdaVector;     // entries in iteration order (new[]), or null
  CPDictionaryAssociation* pdaFound;         // scratch: the latest lookup's entry
  tarncoll::detail::DictIndexPolicy keyIndex;  // key -> first entry, and what it leaves out
};

/// A separate fail-fast cursor over one dictionary: a slot and a node of
/// that slot's list.  It reads the dictionary's slot table directly, takes
/// no references and must not outlive the dictionary.  vretrieve gives the
/// entry (CPDictionaryAssociation*), not the stored item.
class TARNCOLL_API DictionaryIterationState : public IterationState {
  friend struct CPDictionaryInspector;

 public:
  explicit DictionaryIterationState(CPDictionary* pdct);  ///< no position yet
  /// Copies every field: a second cursor at the same place.
  DictionaryIterationState(const DictionaryIterationState& other);
  /// Copies every field.
  DictionaryIterationState& operator=(const DictionaryIterationState& other);
  ~DictionaryIterationState() override;

  /// First entry of the first non-empty slot; 1, or 0 (no node) when empty.
  short vgotoTop() override;
  /// Last entry of the highest non-empty slot; 1, or 0 when empty.
  short vgotoBottom() override;

 private:
  // vgotoTop, then vgotoNext idx times; 0 as soon as a step fails.
  short vgotoIDX(unsigned long idx) override;

 public:
  short vgotoNext() override;  ///< 1 when on an entry afterwards; off the end stays off
  short vgotoPrev() override;  ///< does not move; 1
  void* vretrieve() override;  ///< the current entry, or null
  CPInternalContainer* vretrieveInternalContainer() override;  ///< its node (CPBucket), or null

 protected:
  CPBucket* pbktCursor;  ///< current node of the current slot's list, or null
  short nCurrentSlot;    ///< current slot, -1 when none

 private:
  CPDictionary* Dictionary() const;
};

#endif
