#include <cpcoll/CPDictionaryAssociation.h>

#include <cstring>

#include <cpcoll/detail/node_pool.h>
#include <cpcoll/detail/report.h>
#include <util/crc16.h>

namespace {
const char kSource[] = "cpcoll\\Cpdict";
const char kUnNamed[] = "UnNamed";

// An entry's own copy of a key whose text fits inside the string: a
// CPString in every respect but where it lives, a block of the node pool
// instead of malloc's (no header, and no malloc or free per key).  Its
// class's deallocation takes the block back, whoever releases the string
// last.
class PooledKeyString final : public CPString {
 public:
  PooledKeyString(const char* pszText, unsigned long nLength, unsigned short nCRC)
      : CPString(pszText, nLength, nCRC) {}
  static void* operator new(std::size_t nSize) noexcept {
    return tarncoll::detail::pool::New(nSize, tarncoll::detail::kStringBlockSize, tarncoll::detail::TakeStringBlock);
  }
  static void operator delete(void* pv, std::size_t nSize) noexcept {
    tarncoll::detail::pool::Delete(pv, nSize, tarncoll::detail::kStringBlockSize, tarncoll::detail::GiveStringBlock);
  }
};
static_assert(sizeof(PooledKeyString) == tarncoll::detail::kStringBlockSize, "a pooled key string fills its block");

// A new, unreferenced key string of the nLength bytes of pszText whose CRC
// is nCRC, in one allocation; null when out of memory.
CPString* NewOwnKey(const char* pszText, unsigned long nLength, unsigned short nCRC) {
  if (nLength < CPString::InlineCapacity()) return new PooledKeyString(pszText, nLength, nCRC);
  return CPString::NewInOneBlock(pszText, nLength, nCRC);
}
}  // namespace

#if defined(__x86_64__) || defined(__aarch64__)
static_assert(sizeof(CPDictionaryAssociation) == 40, "an entry keeps its 40 bytes");
#endif
static_assert(sizeof(CPDictionaryAssociation) <= tarncoll::detail::kEntryBlockSize, "an entry must fit a pool block");

void* CPDictionaryAssociation::operator new(std::size_t nSize) noexcept {
  return tarncoll::detail::pool::New(nSize, tarncoll::detail::kEntryBlockSize, tarncoll::detail::TakeEntryBlock);
}

void CPDictionaryAssociation::operator delete(void* pv, std::size_t nSize) noexcept {
  tarncoll::detail::pool::Delete(pv, nSize, tarncoll::detail::kEntryBlockSize, tarncoll::detail::GiveEntryBlock);
}

CPDictionaryAssociation::CPDictionaryAssociation()
    : Createable(), bUseString(1), bfFlags(0), nKeyCRC(0), pstrKey(nullptr), pvValue(nullptr), pbktNode(nullptr) {}

CPDictionaryAssociation::CPDictionaryAssociation(const CPDictionaryAssociation& other)
    : Createable(other), bUseString(other.bUseString), bfFlags(0), nKeyCRC(other.nKeyCRC), pstrKey(nullptr),
      pvValue(other.pvValue), pbktNode(nullptr) {
  if (bUseString) {
    pstrKey = other.pstrKey;
    if (pstrKey) pstrKey->AddRef();
  } else {
    nKeyCardinal = other.nKeyCardinal;
  }
}

CPDictionaryAssociation& CPDictionaryAssociation::operator=(const CPDictionaryAssociation& other) {
  if (&other == this) return *this;
  if (other.bUseString && other.pstrKey) other.pstrKey->AddRef();  // before DropKey: may be ours
  DropKey();
  bUseString = other.bUseString;
  if (bUseString)
    pstrKey = other.pstrKey;
  else
    nKeyCardinal = other.nKeyCardinal;
  pvValue = other.pvValue;
  nKeyCRC = other.nKeyCRC;
  return *this;
}

CPDictionaryAssociation::~CPDictionaryAssociation() { DropKey(); }

void CPDictionaryAssociation::DropKey() {
  if (bUseString && pstrKey) pstrKey->Release();
  pstrKey = nullptr;
  nKeyCardinal = 0;
}

void CPDictionaryAssociation::TakeKeyString(CPString* pstr) {
  DropKey();
  pstrKey = pstr;
  bUseString = 1;
}

CPString* CPDictionaryAssociation::NewKeyString(const char* pszText) {
  return NewKeyString(pszText, pszText ? std::strlen(pszText) : 0, nullptr);
}

CPString* CPDictionaryAssociation::NewKeyString(const char* pszText, unsigned long nLength, const unsigned long* pnCRC) {
  if (nLength == 0 || pszText == nullptr) {
    pszText = kUnNamed;
    nLength = sizeof kUnNamed - 1;
    pnCRC = nullptr;
  }
  const unsigned short nCRC =
      pnCRC ? static_cast<unsigned short>(*pnCRC) : static_cast<unsigned short>(crc16::Update(0, pszText, nLength));
  CPString* pstr = NewOwnKey(pszText, nLength, nCRC);
  if (pstr) pstr->AddRef();
  return pstr;
}

CPString* CPDictionaryAssociation::KeepKeyString(CPString* pstrKey, bool* pbShared) {
  *pbShared = false;
  if (!pstrKey) return NewKeyString(nullptr);
  CPString* pstr = pstrKey;
  if (pstrKey->_get_nRefCount() == 0) {
    pstr = NewOwnKey(pstrKey->GetBuffer(), pstrKey->Length(), pstrKey->_get_nCRC());
    if (!pstr) return nullptr;
  } else {
    *pbShared = true;
  }
  pstr->AddRef();
  if (pstr->Length() == 0) pstr->Copy(kUnNamed, 0, 0);
  return pstr;
}

void CPDictionaryAssociation::SetKeyString(const char* pszText) {
  CPString* pstr = NewKeyString(pszText);
  TARNCOLL_FAIL_IF_NIL(pstr, kSource, "pstrKey");
  TakeKeyString(pstr);
}

void CPDictionaryAssociation::SetKeyString(CPString* pstrKeyIn) {
  bool bShared;
  CPString* pstr = KeepKeyString(pstrKeyIn, &bShared);
  TARNCOLL_FAIL_IF_NIL(pstr, kSource, "pstrKey");
  TakeKeyString(pstr);
}

void CPDictionaryAssociation::SetKeyCardinal(long n) {
  DropKey();
  nKeyCardinal = n;
  bUseString = 0;
}

short CPDictionaryAssociation::MatchKeyString(const char* pszText) const {
  return bUseString && pstrKey && *pstrKey == pszText ? 1 : 0;
}

short CPDictionaryAssociation::MatchKeyCardinal(long n) const { return !bUseString && nKeyCardinal == n ? 1 : 0; }

const char* CPDictionaryAssociation::GetKeyString(CPString* pstrOut) {
  if (bUseString && pstrKey) {
    if (pstrOut) pstrOut->Copy(*pstrKey);
    return pstrKey->GetBuffer();
  }
  if (!bUseString && pstrOut) pstrOut->Clear();
  return "";
}

const char* CPDictionaryAssociation::GetKeyString(char* pszOut) {
  if (bUseString && pstrKey) {
    if (pszOut) pstrKey->StrCpy(pszOut, 0xFFFFFFFFul);
    return pstrKey->GetBuffer();
  }
  if (pszOut) *pszOut = 0;
  return "";
}
