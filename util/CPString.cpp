#include <util/CPString.h>

#include <cstring>

#include <util/crc16.h>

CPString::CPString() : pszBuffer(szInline), nLength(0), nBufferSize(eInline), nCRC(0) { szInline[0] = 0; }

CPString::CPString(const char* pszText) : CPString() {
  if (pszText) Assign(pszText, std::strlen(pszText));
}

CPString::CPString(const CPString& other) : Createable(other), pszBuffer(szInline), nLength(0), nBufferSize(eInline), nCRC(0) {
  szInline[0] = 0;
  Assign(other.pszBuffer, other.nLength);
}

CPString::~CPString() {
  if (pszBuffer != szInline) delete[] pszBuffer;
}

// Replaces the text with n bytes of pszText (which may lie in this
// string's own buffer) and recomputes the CRC.
void CPString::Assign(const char* pszText, unsigned long n) {
  if (n + 1 > static_cast<unsigned long>(nBufferSize)) {
    char* pszNew = new char[n + 1];
    std::memcpy(pszNew, pszText, n);
    if (pszBuffer != szInline) delete[] pszBuffer;
    pszBuffer = pszNew;
    nBufferSize = static_cast<long>(n + 1);
  } else {
    std::memmove(pszBuffer, pszText, n);
  }
  pszBuffer[n] = 0;
  nLength = n;
  nCRC = crc16::Update(0, pszBuffer, n);
}

void CPString::Copy(const CPString& other) {
  if (&other != this) Assign(other.pszBuffer, other.nLength);
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
