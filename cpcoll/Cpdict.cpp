#include <cpcoll/Cpdict.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <typeinfo>

#include <cpcoll/detail/dict_hash.h>
#include <cpcoll/detail/dict_index_policy_inline.h>
#include <cpcoll/detail/report.h>

namespace {
const char kSource[] = "cpcoll\\Cpdict";
const unsigned long kNoSlot = static_cast<unsigned long>(-1);

inline CPDictionaryAssociation* EntryOf(CPBucket* pbkt) {
  return static_cast<CPDictionaryAssociation*>(pbkt->_get_pvData());
}

inline void* KeyAsPointer(long nKey) { return reinterpret_cast<void*>(static_cast<std::intptr_t>(nKey)); }

// A condition result counts when its low 16 bits are non-zero (the slot
// lists' searches run on 16-bit conditions).
inline bool LowBitsSet(int nResult) { return (nResult & 0xFFFF) != 0; }

int SameItem(void* pvItem, void* pvUser) { return pvItem == pvUser ? 1 : 0; }

// True when the dictionary is the library's own class, so that its virtual
// operations are the ones below and the inline paths may skip the calls.
inline bool IsPlain(const CPDictionary* pdct) { return typeid(*pdct) == typeid(CPDictionary); }

// The three-argument action of ForEach as a step of ForEachInternalContainer.
struct KeyActionStep {
  CPKeyActionFunc pfnAction;
  void* pvUser;
};

void CallKeyAction(void* pvEntry, void* pvUser) {
  KeyActionStep* pstep = static_cast<KeyActionStep*>(pvUser);
  CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(pvEntry);
  void* pvKey = pda->_get_bUseString() ? static_cast<void*>(pda->_get_pstrKey())
                                       : reinterpret_cast<void*>(static_cast<std::intptr_t>(pda->GetKeyCardinal()));
  pstep->pfnAction(pda->GetValue(), pstep->pvUser, pvKey);
}

// Filler of the parallel vector.
struct VectorFill {
  CPDictionaryAssociation** ppda;
  unsigned long nUsed;
  unsigned long nCapacity;
};

void FillVector(void* pvEntry, void* pvUser) {
  VectorFill* pfill = static_cast<VectorFill*>(pvUser);
  if (pfill->nUsed < pfill->nCapacity) pfill->ppda[pfill->nUsed++] = static_cast<CPDictionaryAssociation*>(pvEntry);
}
}  // namespace

crc16 CPDictionary::c16The;

// ---- construction -------------------------------------------------------

CPDictionary::CPDictionary(unsigned long)
    : nCurrentSlot(-1), bRefreshVector(1), arpdaVector(nullptr), pdaFound(nullptr) {
#if defined(__LP64__)
  // The layout of the exported class (keyIndex where its three members sat).
  static_assert(sizeof(CPDictionary) == 3224, "CPDictionary keeps its size");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
  static_assert(offsetof(CPDictionary, keyIndex) == 2120, "keyIndex keeps the place of the index members");
#pragma GCC diagnostic pop
#endif
  for (unsigned long s = 0; s < eNumberOfSlots; ++s) arplstSlots[s] = nullptr;
}

CPDictionary::CPDictionary(const CPDictionary& other)
    : Createable(), CPKeyedCollection(other), nCurrentSlot(-1), bRefreshVector(1), arpdaVector(nullptr),
      pdaFound(nullptr) {
  for (unsigned long s = 0; s < eNumberOfSlots; ++s) arplstSlots[s] = nullptr;
  nLength = 0;
  try {
    CopyEntriesOf(other);
  } catch (...) {
    ClearAll(nullptr);
    throw;
  }
  nXACT = other.nXACT;
}

CPDictionary& CPDictionary::operator=(const CPDictionary& other) {
  if (&other == this) return *this;
  CPDictionary dctCopy(other);  // a report here leaves this dictionary as it was
  ClearAll(nullptr);
  TakeContentOf(dctCopy);
  eKeyKind = other.eKeyKind;
  ++nXACT;
  return *this;
}

CPDictionary::~CPDictionary() {
  ClearAll(nullptr);
  delete[] arpdaVector;
}

void CPDictionary::CopyEntriesOf(const CPDictionary& other) {
  for (unsigned long s = 0; s < eNumberOfSlots; ++s) {
    if (!other.arplstSlots[s]) continue;
    for (CPBucket* pbkt = other.arplstSlots[s]->_get_pbktHead(); pbkt; pbkt = pbkt->_get_pbktNext()) {
      CPDictionaryAssociation* pdaFrom = EntryOf(pbkt);
      CPDictionaryAssociation* pda = new CPDictionaryAssociation(*pdaFrom);
      TARNCOLL_FAIL_IF_NIL(pda, kSource, "pdaThis");
      pda->bfFlags = pdaFrom->bfFlags & CPDictionaryAssociation::eflagShared;
      LinkEntry(pda, s, nullptr);
    }
  }
}

void CPDictionary::TakeContentOf(CPDictionary& other) {
  for (unsigned long s = 0; s < eNumberOfSlots; ++s) {
    arplstSlots[s] = other.arplstSlots[s];
    other.arplstSlots[s] = nullptr;
  }
  keyIndex.Swap(other.keyIndex);  // this one's is empty
  nLength = other.nLength;
  other.nLength = 0;
  bRefreshVector = 1;
}

// ---- creation slots -------------------------------------------------------

IterationState* CPDictionary::CreateIterationState() { return new DictionaryIterationState(this); }

CPCollection* CPDictionary::CreateInstance() { return new CPDictionary(eNumberOfSlots); }

// ---- slots and CRCs -----------------------------------------------------

unsigned long CPDictionary::KeyCRC(const char* pszKey, unsigned long* pnCRC) {
  if (pnCRC) return *pnCRC;
  unsigned short nCRC = 0;
  return c16The.Calc(pszKey, &nCRC, nullptr) ? nCRC : 0;
}

unsigned long CPDictionary::HashOnString(const char* pszKey) { return KeyCRC(pszKey, nullptr); }

unsigned long CPDictionary::HashOnCardinal(unsigned long nKey) { return nKey & 0xFF; }

unsigned long CPDictionary::NextNonblankSlot(unsigned long s) {
  for (; s < eNumberOfSlots; ++s)
    if (arplstSlots[s]) return s;
  return kNoSlot;
}

// ---- the key index ----------------------------------------------------------

using tarncoll::detail::IndexPlace;
using tarncoll::detail::TextKey;

// keyIndex keeps the three members that held the index state, in their
// places: the dictionary's size and layout stay as they were.
static_assert(sizeof(tarncoll::detail::DictIndexPolicy) ==
                  sizeof(tarncoll::detail::NumIndex) + sizeof(tarncoll::detail::TextIndex) + 256 * sizeof(unsigned int),
              "the index policy holds exactly the two tables and the per-slot counts");
static_assert(alignof(tarncoll::detail::DictIndexPolicy) == alignof(tarncoll::detail::NumIndex),
              "the index policy is aligned as its first table");

// ---- linking and unlinking entries ----------------------------------------

void CPDictionary::LinkEntry(CPDictionaryAssociation* pda, unsigned long nSlot, const IndexPlace* pplace) {
  CPList* plst = arplstSlots[nSlot];
  bool bNewList = false;
  if (!plst) {
    plst = new CPList;
    if (!plst) {
      delete pda;
      TARNCOLL_FAIL_IF_NIL(plst, kSource, "plstSlot");
    }
    bNewList = true;
  }
  try {
    plst->Add(pda);
  } catch (...) {
    if (bNewList) delete plst;
    delete pda;
    throw;
  }
  arplstSlots[nSlot] = plst;
  keyIndex.Enter(pda, plst->_get_pbktTail(), nSlot, pplace);
  IncrementLength();
  bRefreshVector = 1;
}

void CPDictionary::RemoveEntry(unsigned long nSlot, CPBucket* pbkt, CPKillFunc pfnKill) {
  DecrementLength();  // reports "nLength >0" before anything changes
  CPDictionaryAssociation* pda = EntryOf(pbkt);
  CPList* plst = arplstSlots[nSlot];
  bRefreshVector = 1;
  pdaFound = nullptr;
  keyIndex.Leave(pda, nSlot, plst);
  plst->DetachBucket(pbkt);
  if (plst->Length() == 0) {
    arplstSlots[nSlot] = nullptr;
    delete plst;
  }
  // The entry goes before the item is handed to kill: a kill that throws
  // leaves nothing behind.
  void* pvItem = pda->pvValue;
  delete pda;
  if (pfnKill) pfnKill(pvItem, nullptr);
}

void CPDictionary::RemoveString(const char* pszKey, unsigned long* pnCRC, CPKillFunc pfnKill) {
  pdaFound = nullptr;
  if (!pszKey) return;
  TextKey k = TextKey::Make(pszKey, pnCRC);
  CPBucket* pbkt;
  unsigned long nSlot;
  if (keyIndex.LocateText(k, arplstSlots, &nSlot, &pbkt, nullptr)) RemoveEntry(nSlot, pbkt, pfnKill);
}

void CPDictionary::RemoveNumber(unsigned long nKey, CPKillFunc pfnKill) {
  CPBucket* pbkt;
  if (keyIndex.LocateNumber(nKey, arplstSlots, &pbkt, nullptr)) RemoveEntry(nKey & 0xFF, pbkt, pfnKill);
}

void CPDictionary::ClearAll(CPKillFunc pfnKill) {
  bRefreshVector = 1;
  if (pfnKill) {
    // Entry by entry, each out of its slot and the index before its item
    // goes to kill: a kill that throws leaves the dictionary holding
    // exactly the entries it has not been given.  One change in all.
    const short nXACTBefore = nXACT;
    try {
      for (unsigned long s = 0; s < eNumberOfSlots; ++s)
        while (arplstSlots[s]) RemoveEntry(s, arplstSlots[s]->_get_pbktHead(), pfnKill);
    } catch (...) {
      nXACT = static_cast<short>(nXACTBefore + 1);
      throw;
    }
    nXACT = static_cast<short>(nXACTBefore + 1);
    pdaFound = nullptr;
    return;
  }
  for (unsigned long s = 0; s < eNumberOfSlots; ++s) {
    CPList* plst = arplstSlots[s];
    if (!plst) continue;
    arplstSlots[s] = nullptr;
    for (CPBucket* pbkt = plst->_get_pbktHead(); pbkt; pbkt = pbkt->_get_pbktNext()) delete EntryOf(pbkt);
    delete plst;
  }
  keyIndex.Clear();
  ClearLength();
  pdaFound = nullptr;
}

// ---- adding -----------------------------------------------------------------

void CPDictionary::AddKeyNum(unsigned long nKey, void* pvItem) {
  IndexPlace place;
  if (IsPlain(this)) {
    if (keyIndex.LocateNumber(nKey, arplstSlots, nullptr, &place)) return;
  } else {
    // A derived class's ExistsKeyNum decides; the place is looked up after
    // it, which may have changed the dictionary.  A key it calls absent
    // that is stored goes in as a second entry.
    if (ExistsKeyNum(nKey)) return;
    keyIndex.LocateNumber(nKey, arplstSlots, nullptr, &place);
  }
  bRefreshVector = 1;
  CPDictionaryAssociation* pda = new CPDictionaryAssociation;
  TARNCOLL_FAIL_IF_NIL(pda, kSource, "pdaThis");
  pda->SetKeyCardinal(static_cast<long>(nKey));
  pda->pvValue = pvItem;
  LinkEntry(pda, nKey & 0xFF, &place);
}

template <class MakeKey>
CPDictionaryAssociation* CPDictionary::NewTextEntry(MakeKey fMakeKey, void* pvItem, unsigned long nCRC) {
  CPDictionaryAssociation* pda = new CPDictionaryAssociation;
  TARNCOLL_FAIL_IF_NIL(pda, kSource, "pdaThis");
  CPString* pstr;
  try {
    pstr = fMakeKey();
  } catch (...) {
    delete pda;
    throw;
  }
  if (!pstr) {
    delete pda;
    TARNCOLL_FAIL_IF_NIL(pstr, kSource, "pdaThis");
  }
  pda->TakeKeyString(pstr);
  pda->pvValue = pvItem;
  pda->nKeyCRC = static_cast<unsigned short>(nCRC);
  return pda;
}

// The entry of an empty or null text is stored as "UnNamed", so the key
// looked up is not the key stored: such an entry finds its index place
// by a probe of its own.
void CPDictionary::AddKeyString(const char* pszKey, void* pvItem, unsigned long* pnCRC) {
  const bool bPlain = IsPlain(this);
  if (!bPlain) {
    // A derived class's ExistsKeyString decides, with the CRC computed.
    unsigned long nTested = pszKey ? KeyCRC(pszKey, pnCRC) : (pnCRC ? *pnCRC : 0);
    if (ExistsKeyString(pszKey, &nTested)) return;
  }
  IndexPlace place = {IndexPlace::kProbe, 0, 0, 0};
  unsigned long nCRC = pnCRC ? *pnCRC : 0;
  unsigned long nKeyLength = 0;
  const unsigned long* pnTextCRC = nullptr;  // the key string's own CRC, when computed here
  pdaFound = nullptr;
  if (pszKey) {
    TextKey k = TextKey::Make(pszKey, pnCRC);
    unsigned long nSlot;
    CPDictionaryAssociation* pdaOld = keyIndex.LocateText(k, arplstSlots, &nSlot, nullptr, &place);
    pdaFound = pdaOld;  // as a FindKeyString of the key leaves it
    if (bPlain && pdaOld && pdaOld->pvValue) return;
    nCRC = k.CRC();
    nKeyLength = k.length;
    if (!k.given) pnTextCRC = &nCRC;
  }
  bRefreshVector = 1;
  CPDictionaryAssociation* pda = NewTextEntry(
      [&] { return CPDictionaryAssociation::NewKeyString(pszKey, nKeyLength, pnTextCRC); }, pvItem, nCRC);
  LinkEntry(pda, nCRC & 0xFF, &place);
}

void CPDictionary::AddKeyString(CPString* pstrKey, void* pvItem) { AddSharedKey(pstrKey, pvItem, false); }

void CPDictionary::AddSharedKey(CPString* pstrKey, void* pvItem, bool bVouched) {
  if (!pstrKey) {
    AddKeyString(static_cast<const char*>(nullptr), pvItem, nullptr);
    return;
  }
  unsigned long nCRC = pstrKey->_get_nCRC();
  const bool bPlain = IsPlain(this);
  if (!bPlain) {
    unsigned long nTested = nCRC;
    if (ExistsKeyString(pstrKey->GetBuffer(), &nTested)) return;  // a derived class's test decides
  }
  TextKey k = TextKey::Make(pstrKey->GetBuffer(), &nCRC);
  IndexPlace place;
  unsigned long nSlot;
  CPDictionaryAssociation* pdaOld = keyIndex.LocateText(k, arplstSlots, &nSlot, nullptr, &place);
  pdaFound = pdaOld;
  if (bPlain && pdaOld && pdaOld->pvValue) return;
  bRefreshVector = 1;
  bool bShared = false;
  // A copy's buffer may throw std::bad_alloc.
  CPDictionaryAssociation* pda =
      NewTextEntry([&] { return CPDictionaryAssociation::KeepKeyString(pstrKey, &bShared); }, pvItem, nCRC);
  if (bShared && !bVouched) pda->bfFlags |= CPDictionaryAssociation::eflagShared;
  LinkEntry(pda, nCRC & 0xFF, &place);
}

void CPDictionary::Add(void* pvItem) {
  AddKeyNum(static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pvItem)), pvItem);
}

void CPDictionary::AddInternalContainer(CPInternalContainer*) {}

void CPDictionary::AddList(CPList* plstEntries) {
  if (!plstEntries) return;
  bRefreshVector = 1;
  for (CPBucket* pbkt = plstEntries->_get_pbktHead(); pbkt; pbkt = pbkt->_get_pbktNext()) {
    CPDictionaryAssociation* pda = EntryOf(pbkt);
    if (!pda) continue;
    if (pda->_get_bUseString())
      AddKeyString(pda->_get_pstrKey(), pda->GetValue());
    else
      AddKeyNum(static_cast<unsigned long>(pda->GetKeyCardinal()), pda->GetValue());
  }
}

// ---- removing by key --------------------------------------------------------

void CPDictionary::DetachKeyString(const char* pszKey, unsigned long* pnCRC) { RemoveString(pszKey, pnCRC, nullptr); }

void CPDictionary::DetachKeyString(CPString* pstrKey) {
  if (!pstrKey) return DetachKeyString(static_cast<const char*>(nullptr), nullptr);
  unsigned long nCRC = pstrKey->_get_nCRC();
  DetachKeyString(pstrKey->GetBuffer(), &nCRC);
}

void CPDictionary::DetachKeyNum(unsigned long nKey) { RemoveNumber(nKey, nullptr); }

void CPDictionary::DestroyKeyNum(unsigned long nKey, CPKillFunc pfnKill) { RemoveNumber(nKey, pfnKill); }

void CPDictionary::DestroyKeyString(const char* pszKey, CPKillFunc pfnKill, unsigned long* pnCRC) {
  RemoveString(pszKey, pnCRC, pfnKill);
}

void CPDictionary::DestroyKeyString(CPString* pstrKey, CPKillFunc pfnKill) {
  if (!pstrKey) return DestroyKeyString(static_cast<const char*>(nullptr), pfnKill, nullptr);
  unsigned long nCRC = pstrKey->_get_nCRC();
  DestroyKeyString(pstrKey->GetBuffer(), pfnKill, &nCRC);
}

// ---- lookups ----------------------------------------------------------------

CPDictionaryAssociation* CPDictionary::FindDAKeyString(const char* pszKey, unsigned long* pnCRC,
                                                       unsigned long* pnSlot) {
  pdaFound = nullptr;
  if (!pszKey) return nullptr;
  TextKey k = TextKey::Make(pszKey, pnCRC);
  pdaFound = keyIndex.FindText(k, arplstSlots, pnSlot);
  return pdaFound;
}

void* CPDictionary::FindKeyNum(unsigned long nKey) {
  CPDictionaryAssociation* pda = keyIndex.FindNumber(nKey, arplstSlots);
  return pda ? pda->pvValue : nullptr;
}

void* CPDictionary::FindKeyString(const char* pszKey, unsigned long* pnCRC) {
  CPDictionaryAssociation* pda = FindDAKeyString(pszKey, pnCRC, nullptr);
  return pda ? pda->pvValue : nullptr;
}

void* CPDictionary::FindKeyString(CPString* pstrKey) {
  if (!pstrKey) return FindKeyString(static_cast<const char*>(nullptr), nullptr);
  unsigned long nCRC = pstrKey->_get_nCRC();
  return FindKeyString(pstrKey->GetBuffer(), &nCRC);
}

long CPDictionary::ExistsKeyNum(unsigned long nKey) {
  return keyIndex.LocateNumber(nKey, arplstSlots, nullptr, nullptr) ? 1 : 0;
}

long CPDictionary::ExistsKeyString(CPString* pstrKey) {
  if (!pstrKey) return ExistsKeyString(static_cast<const char*>(nullptr), nullptr);
  unsigned long nCRC = pstrKey->_get_nCRC();
  return ExistsKeyString(pstrKey->GetBuffer(), &nCRC);
}

long CPDictionary::ExistsKeyString(const char* pszKey, unsigned long* pnCRC) {
  return FindKeyString(pszKey, pnCRC) ? 1 : 0;
}

long CPDictionary::ExistsValue(void* pvItem) { return FirstThat(&SameItem, pvItem) ? 1 : 0; }

// ---- removing by item and all ---------------------------------------------

CPBucket* CPDictionary::FindItemByCursor(void* pvItem) {
  GotoTop();
  while (CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(RetrieveInternalContainer())) {
    if (pda->pvValue == pvItem) return arplstSlots[nCurrentSlot]->_get_pbktCursor();
    Next();
  }
  return nullptr;
}

// A derived class's keyed removals are called for the entry found; the
// library's own class removes that very entry (the keyed forms take the
// first entry of its key, which need not be it).
char CPDictionary::Detach(void* pvItem) {
  CPBucket* pbkt = FindItemByCursor(pvItem);
  if (!pbkt) return 0;
  if (IsPlain(this)) {
    RemoveEntry(static_cast<unsigned long>(nCurrentSlot), pbkt, nullptr);
  } else {
    CPDictionaryAssociation* pda = EntryOf(pbkt);
    if (pda->bUseString)
      DetachKeyString(pda->pstrKey);
    else
      DetachKeyNum(static_cast<unsigned long>(pda->nKeyCardinal));
  }
  return 1;
}

char CPDictionary::Destroy(void* pvItem, CPKillFunc pfnKill) {
  CPBucket* pbkt = FindItemByCursor(pvItem);
  if (!pbkt) return 0;
  if (IsPlain(this)) {
    RemoveEntry(static_cast<unsigned long>(nCurrentSlot), pbkt, pfnKill);
  } else {
    CPDictionaryAssociation* pda = EntryOf(pbkt);
    if (pda->bUseString)
      DestroyKeyString(pda->pstrKey, pfnKill);
    else
      DestroyKeyNum(static_cast<unsigned long>(pda->nKeyCardinal), pfnKill);
  }
  return 1;
}

char CPDictionary::DetachAll() {
  ClearAll(nullptr);
  return 1;
}

char CPDictionary::DestroyAll(CPKillFunc pfnKill) {
  ClearAll(pfnKill);
  return 1;
}

// ---- built-in cursor ----------------------------------------------------------

void CPDictionary::GotoTop() {
  unsigned long s = NextNonblankSlot(0);
  if (s == kNoSlot) {
    nCurrentSlot = -1;
    return;
  }
  nCurrentSlot = static_cast<short>(s);
  arplstSlots[s]->GotoTop();
}

void CPDictionary::GotoBottom() {
  if (nLength == 0) {
    GotoTop();
    return;
  }
  for (long s = eNumberOfSlots - 1; s >= 0; --s) {
    if (!arplstSlots[s]) continue;
    nCurrentSlot = static_cast<short>(s);
    arplstSlots[s]->GotoBottom();
    return;
  }
}

long CPDictionary::Next() {
  if (nCurrentSlot < 0 || nCurrentSlot >= eNumberOfSlots || !arplstSlots[nCurrentSlot]) return 0;
  if (arplstSlots[nCurrentSlot]->Next()) return 1;
  unsigned long s = NextNonblankSlot(static_cast<unsigned long>(nCurrentSlot) + 1);
  if (s == kNoSlot) return 0;
  nCurrentSlot = static_cast<short>(s);
  arplstSlots[s]->GotoTop();
  return 1;
}

long CPDictionary::Prev() { return 0; }

void* CPDictionary::RetrieveInternalContainer() {
  if (nCurrentSlot < 0 || nCurrentSlot >= eNumberOfSlots || !arplstSlots[nCurrentSlot]) return nullptr;
  return arplstSlots[nCurrentSlot]->Retrieve();
}

void* CPDictionary::Retrieve() {
  CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(RetrieveInternalContainer());
  return pda ? pda->pvValue : nullptr;
}

// ---- walks --------------------------------------------------------------------

template <class Visit>
CPDictionaryAssociation* CPDictionary::WalkUntil(Visit fVisit) {
  short nSeen = nXACT;
  for (unsigned long s = 0; s < eNumberOfSlots; ++s) {
    if (!arplstSlots[s]) continue;
    for (CPBucket* pbkt = arplstSlots[s]->_get_pbktHead(); pbkt;) {
      CPDictionaryAssociation* pda = EntryOf(pbkt);
      if (fVisit(pda)) return pda;
      if (nXACT != nSeen) throw kCursorException;  // the node may be gone
      pbkt = pbkt->_get_pbktNext();
    }
  }
  return nullptr;
}

void CPDictionary::ForEach(IteratorAction* pAction) {
  if (!pAction) return;
  GotoTop();
  while (CPDictionaryAssociation* pda = static_cast<CPDictionaryAssociation*>(RetrieveInternalContainer())) {
    pAction->pvItem = pda->pvValue;
    if (pda->bUseString) {
      pAction->pvKey = pda->pstrKey;
      pAction->bKeyIsString = 1;
    } else {
      pAction->pvKey = KeyAsPointer(pda->nKeyCardinal);
      pAction->bKeyIsString = 0;
    }
    pAction->Perform();
    Next();
  }
}

void CPDictionary::ForEach(CPActionFunc pfnAction, void* pvUser) {
  if (!pfnAction) return;
  WalkUntil([&](CPDictionaryAssociation* pda) {
    pfnAction(pda->pvValue, pvUser);
    return false;
  });
}

void CPDictionary::ForEach(CPKeyActionFunc pfnAction, void* pvUser) {
  if (!pfnAction) return;
  if (!IsPlain(this)) {
    KeyActionStep step = {pfnAction, pvUser};
    ForEachInternalContainer(&CallKeyAction, &step);  // a derived class's walk
    return;
  }
  WalkUntil([&](CPDictionaryAssociation* pda) {
    pfnAction(pda->pvValue, pvUser, pda->bUseString ? static_cast<void*>(pda->pstrKey) : KeyAsPointer(pda->nKeyCardinal));
    return false;
  });
}

void CPDictionary::ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) {
  if (!pfnAction) return;
  WalkUntil([&](CPDictionaryAssociation* pda) {
    pfnAction(pda, pvUser);
    return false;
  });
}

void CPDictionary::ForEachKeyCardinal(void* pfnAction, void* pvUser) {
  if (!pfnAction) return;
  CPActionFunc pfn = reinterpret_cast<CPActionFunc>(pfnAction);
  WalkUntil([&](CPDictionaryAssociation* pda) {
    pfn(KeyAsPointer(pda->GetKeyCardinal()), pvUser);
    return false;
  });
}

void* CPDictionary::FirstThatKeyCardinal(void* pfnCond, void* pvUser) {
  if (!pfnCond) return nullptr;
  CPConditionFunc pfn = reinterpret_cast<CPConditionFunc>(pfnCond);
  return WalkUntil([&](CPDictionaryAssociation* pda) { return pfn(KeyAsPointer(pda->GetKeyCardinal()), pvUser) != 0; });
}

CPDictionaryAssociation* CPDictionary::FirstEntryThat(CPConditionFunc pfnCond, void* pvUser, bool bEntries) {
  if (!pfnCond) return nullptr;
  return WalkUntil([&](CPDictionaryAssociation* pda) {
    return LowBitsSet(pfnCond(bEntries ? static_cast<void*>(pda) : pda->pvValue, pvUser));
  });
}

void* CPDictionary::FirstThat(CPConditionFunc pfnCond, void* pvUser) {
  CPDictionaryAssociation* pda = FirstEntryThat(pfnCond, pvUser, false);
  return pda ? pda->pvValue : nullptr;
}

void* CPDictionary::FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  return FirstEntryThat(pfnCond, pvUser, true);
}

void* CPDictionary::NextThat(CPConditionFunc, void*) {
  TARNCOLL_ASSERT(1 == 0, kSource, "1==0");
  return nullptr;
}

void* CPDictionary::NextThatInternalContainer(CPConditionFunc, void*) {
  TARNCOLL_ASSERT(1 == 0, kSource, "1==0");
  return nullptr;
}

CPCollection* CPDictionary::AllThatOf(CPConditionFunc pfnCond, void* pvUser, bool bEntries) {
  CPDictionary* pdctNew = new CPDictionary(eNumberOfSlots);
  TARNCOLL_FAIL_IF_NIL(pdctNew, kSource, "pdctNew");
  if (!pfnCond) return pdctNew;
  try {
    WalkUntil([&](CPDictionaryAssociation* pda) {
      if (pfnCond(bEntries ? static_cast<void*>(pda) : pda->pvValue, pvUser) != 1) return false;
      pdctNew->bRefreshVector = 1;
      if (pda->bUseString)
        pdctNew->AddSharedKey(pda->pstrKey, pda->pvValue, !(pda->bfFlags & CPDictionaryAssociation::eflagShared));
      else
        pdctNew->AddKeyNum(static_cast<unsigned long>(pda->nKeyCardinal), pda->pvValue);
      return false;
    });
  } catch (...) {
    delete pdctNew;
    throw;
  }
  return pdctNew;
}

CPCollection* CPDictionary::AllThat(CPConditionFunc pfnCond, void* pvUser) { return AllThatOf(pfnCond, pvUser, false); }

CPCollection* CPDictionary::AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) {
  return AllThatOf(pfnCond, pvUser, true);
}

void CPDictionary::StringKeyList(char* pszOut) {
  if (!pszOut) return;
  char* psz = pszOut;
  *psz = 0;
  WalkUntil([&](CPDictionaryAssociation* pda) {
    CPString* pstr = pda->_get_pstrKey();
    if (pstr) {
      std::memcpy(psz, pstr->GetBuffer(), pstr->Length());
      psz += pstr->Length();
    }
    std::memcpy(psz, "\r\n", 3);
    psz += 2;
    return false;
  });
}

// ---- positional access --------------------------------------------------------

void CPDictionary::RefreshParallelVector() {
  if (!bRefreshVector) return;
  delete[] arpdaVector;
  arpdaVector = nullptr;
  if (nLength != 0) {
    arpdaVector = new (std::nothrow) CPDictionaryAssociation*[nLength];
    if (!arpdaVector) return;  // stays stale: positional reads walk instead
    VectorFill fill = {arpdaVector, 0, nLength};
    ForEachInternalContainer(&FillVector, &fill);
    for (; fill.nUsed < nLength; ++fill.nUsed) arpdaVector[fill.nUsed] = nullptr;
  }
  bRefreshVector = 0;
}

CPDictionaryAssociation* CPDictionary::EntryAt(unsigned long i) {
  RefreshParallelVector();
  if (i >= nLength) return nullptr;
  if (!bRefreshVector) return arpdaVector[i];
  unsigned long n = 0;
  return WalkUntil([&](CPDictionaryAssociation*) { return n++ == i; });
}

CPDictionaryAssociation* CPDictionary::RetrieveDAIDX(long i) { return EntryAt(static_cast<unsigned long>(i)); }

void* CPDictionary::RetrieveIDX(unsigned long idx) {
  CPDictionaryAssociation* pda = EntryAt(idx);
  return pda ? pda->pvValue : nullptr;
}

// ---- DictionaryIterationState ---------------------------------------------------

DictionaryIterationState::DictionaryIterationState(CPDictionary* pdct)
    : IterationState(pdct), pbktCursor(nullptr), nCurrentSlot(-1) {}

DictionaryIterationState::DictionaryIterationState(const DictionaryIterationState& other)
    : Createable(), IterationState(other), pbktCursor(other.pbktCursor), nCurrentSlot(other.nCurrentSlot) {}

DictionaryIterationState& DictionaryIterationState::operator=(const DictionaryIterationState& other) {
  IterationState::operator=(other);
  pbktCursor = other.pbktCursor;
  nCurrentSlot = other.nCurrentSlot;
  return *this;
}

DictionaryIterationState::~DictionaryIterationState() {}

CPDictionary* DictionaryIterationState::Dictionary() const { return static_cast<CPDictionary*>(pclAssociated); }

short DictionaryIterationState::vgotoTop() {
  CPDictionary* pdct = Dictionary();
  unsigned long s = pdct->NextNonblankSlot(0);
  if (s == kNoSlot) {
    nCurrentSlot = -1;
    pbktCursor = nullptr;
    return 0;
  }
  nCurrentSlot = static_cast<short>(s);
  pbktCursor = pdct->arplstSlots[s]->_get_pbktHead();
  return 1;
}

short DictionaryIterationState::vgotoBottom() {
  CPDictionary* pdct = Dictionary();
  if (pdct->Length() == 0) {
    vgotoTop();
    return 0;
  }
  for (long s = CPDictionary::eNumberOfSlots - 1; s >= 0; --s) {
    if (!pdct->arplstSlots[s]) continue;
    nCurrentSlot = static_cast<short>(s);
    pbktCursor = pdct->arplstSlots[s]->_get_pbktTail();
    return 1;
  }
  return 0;  // unreachable while nLength counts the entries
}

short DictionaryIterationState::vgotoIDX(unsigned long idx) {
  vgotoTop();
  for (unsigned long i = 0; i < idx; ++i)
    if (!vgotoNext()) return 0;
  return 1;
}

short DictionaryIterationState::vgotoNext() {
  CPDictionary* pdct = Dictionary();
  if (nCurrentSlot < 0 || nCurrentSlot >= CPDictionary::eNumberOfSlots) return 0;
  CPList* plst = pdct->arplstSlots[nCurrentSlot];
  if (!plst || !pbktCursor) return 0;  // off the end stays off
  pbktCursor = pbktCursor == plst->_get_pbktTail() ? nullptr : pbktCursor->_get_pbktNext();
  if (pbktCursor) return 1;
  unsigned long s = pdct->NextNonblankSlot(static_cast<unsigned long>(nCurrentSlot) + 1);
  if (s == kNoSlot) return 0;
  nCurrentSlot = static_cast<short>(s);
  pbktCursor = pdct->arplstSlots[s]->_get_pbktHead();
  return 1;
}

short DictionaryIterationState::vgotoPrev() { return 1; }

void* DictionaryIterationState::vretrieve() { return pbktCursor ? pbktCursor->_get_pvData() : nullptr; }

CPInternalContainer* DictionaryIterationState::vretrieveInternalContainer() { return pbktCursor; }
