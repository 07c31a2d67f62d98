// CPString: a reference-counted text with a cached CRC-16.
//
// The text is zero-terminated and owned; short texts live inside the
// object, longer ones in a heap buffer.  _get_nCRC() always equals
// crc16::Calc over the text from 0: every change of the text recomputes it.
// Comparisons are full-text and byte-exact.
#ifndef TARNCOLL_UTIL_CPSTRING_H
#define TARNCOLL_UTIL_CPSTRING_H

#include <util/Createable.h>
#include <util/export.h>

class TARNCOLL_API CPString : public Createable {
 public:
  CPString();
  CPString(const char* pszText);
  CPString(const CPString& other);
  virtual ~CPString();

  // Replaces the text with other's.
  virtual void Copy(const CPString& other);
  // Replaces the text with nCount bytes of pszText starting at nStart;
  // nCount 0 copies to the end.  Copy(text, 0, 0) replaces the whole text.
  virtual void Copy(const char* pszText, unsigned long nStart, unsigned long nCount);
  // Virtual in the classic interface, so derived strings may add to them.
  virtual CPString& operator=(const CPString& other);  // NOLINT(misc-unconventional-assign-operator)
  virtual CPString& operator=(const char* pszText);    // NOLINT(misc-unconventional-assign-operator)

  const char* GetBuffer() const { return pszBuffer; }
  unsigned long Length() const { return nLength; }
  void Clear();
  // Copies the text into pszOut, at most nMax - 1 bytes and a terminator.
  void StrCpy(char* pszOut, unsigned long nMax) const;

  unsigned short _get_nCRC() const { return nCRC; }
  long _get_nBufferSize() const { return nBufferSize; }
  long Size() const { return _get_nBufferSize(); }

 private:
  enum { eInline = 24 };
  void Assign(const char* pszText, unsigned long n);

  char* pszBuffer;
  unsigned long nLength;
  long nBufferSize;
  unsigned short nCRC;
  char szInline[eInline];
};

TARNCOLL_API int operator==(const CPString& a, const char* b);
TARNCOLL_API int operator==(const char* a, const CPString& b);
TARNCOLL_API int operator==(const CPString& a, const CPString& b);
inline int operator!=(const CPString& a, const char* b) { return !(a == b); }
inline int operator!=(const char* a, const CPString& b) { return !(a == b); }
inline int operator!=(const CPString& a, const CPString& b) { return !(a == b); }

// W32String: a CPString by another name; no data of its own.
class TARNCOLL_API W32String : public CPString {
 public:
  W32String() {}
  W32String(const char* pszText) : CPString(pszText) {}
  W32String(const W32String& other) : CPString(other) {}
  ~W32String() override;
  W32String& operator=(const W32String& other) {
    CPString::operator=(other);
    return *this;
  }
};

#endif
