#include <util/CPString.h>

#include <cstring>
#include <new>

#include <util/crc16.h>

#if defined(__x86_64__) || defined(__aarch64__)
static_assert(sizeof(CPString) == 56, "a short text and its string fit one 64-byte heap chunk");
#endif

CPString::CPString() : nCRC(0), pszBuffer(u.szInline), nLength(0) { u.szInline[0] = 0; }

CPString::CPString(const char* pszText) : CPString() {
  if (pszText) Assign(pszText, std::strlen(pszText));
}

CPString::CPString(const char* pszText, unsigned long nLength, unsigned short nCRCOfText) : CPString() {
  Assign(pszText, nLength, nCRCOfText);
}

// The copy takes the source's CRC along with its text: the CRC depends on
// the text alone.
CPString::CPString(const CPString& other) : Createable(other), nCRC(0), pszBuffer(u.szInline), nLength(0) {
  u.szInline[0] = 0;
  Assign(other.pszBuffer, other.nLength, other.nCRC);
}

CPString::~CPString() {
  if (HasOwnBuffer()) delete[] pszBuffer;
}

CPString* CPString::NewInOneBlock(const char* pszText, unsigned long nLength, unsigned short nCRCOfText) {
  const bool bTrailing = nLength + 1 > static_cast<unsigned long>(eInline);
  void* pv = Createable::operator new(sizeof(CPString) + (bTrailing ? nLength + 1 : 0));
  if (pv == nullptr) return nullptr;
  CPString* pstr = ::new (pv) CPString();
  if (bTrailing) {
    char* pszTrailing = static_cast<char*>(pv) + sizeof(CPString);
    std::memcpy(pszTrailing, pszText, nLength);
    pszTrailing[nLength] = 0;
    pstr->pszBuffer = pszTrailing;
    pstr->u.nBufferSize = static_cast<long>(nLength + 1);
    pstr->TrailingMark() = kTrailingMark;
    pstr->nLength = nLength;
    pstr->nCRC = nCRCOfText;
  } else {
    pstr->Assign(pszText, nLength, nCRCOfText);  // inline: allocates nothing
  }
  return pstr;
}

CPString* CPString::NewInOneBlock(const char* pszText, unsigned long nLength) {
  return NewInOneBlock(pszText, nLength, crc16::Update(0, pszText, nLength));
}

// Replaces the text with n bytes of pszText (which may lie in this
// string's own buffer) whose CRC is nCRCOfText.  A text that does not fit
// gets a new heap block first, so a failed allocation (std::bad_alloc)
// leaves the string as it was.
void CPString::Assign(const char* pszText, unsigned long n, unsigned short nCRCOfText) {
  if (n + 1 > static_cast<unsigned long>(_get_nBufferSize())) {
    char* pszNew = new char[n + 1];
    std::memcpy(pszNew, pszText, n);
    if (HasOwnBuffer()) delete[] pszBuffer;
    pszBuffer = pszNew;
    u.nBufferSize = static_cast<long>(n + 1);
    TrailingMark() = 0;  // an own buffer from now on
  } else {
    std::memmove(pszBuffer, pszText, n);
  }
  pszBuffer[n] = 0;
  nLength = n;
  nCRC = nCRCOfText;
}

void CPString::Assign(const char* pszText, unsigned long n) { Assign(pszText, n, crc16::Update(0, pszText, n)); }

void CPString::Copy(const CPString& other) {
  if (&other != this) Assign(other.pszBuffer, other.nLength, other.nCRC);
}

void CPString::Copy(const char* pszText, unsigned long nStart, unsigned long nCount) {
  if (!pszText) {
    Clear();
    return;
  }
  unsigned long nAll = std::strlen(pszText);
  if (nStart > nAll) nStart = nAll;
  unsigned long nAvail = nAll - nStart;
  if (nCount == 0 || nCount > nAvail) nCount = nAvail;
  Assign(pszText + nStart, nCount);
}

// NOLINTNEXTLINE(misc-unconventional-assign-operator)
CPString& CPString::operator=(const CPString& other) {
  Copy(other);
  return *this;
}

CPString& CPString::operator=(const char* pszText) {
  Copy(pszText, 0, 0);
  return *this;
}

void CPString::Clear() { Assign("", 0); }

void CPString::StrCpy(char* pszOut, unsigned long nMax) const {
  if (!pszOut || nMax == 0) return;
  unsigned long n = nLength < nMax - 1 ? nLength : nMax - 1;
  std::memcpy(pszOut, pszBuffer, n);
  pszOut[n] = 0;
}

int operator==(const CPString& a, const char* b) {
  if (!b) return 0;
  return std::strcmp(a.GetBuffer(), b) == 0;
}

int operator==(const char* a, const CPString& b) { return b == a; }

int operator==(const CPString& a, const CPString& b) {
  return a.Length() == b.Length() && std::memcmp(a.GetBuffer(), b.GetBuffer(), a.Length()) == 0;
}

W32String::~W32String() {}
