/// \file
/// CPString: a reference-counted text with a cached CRC-16.
///
/// The text is zero-terminated and owned; short texts live inside the
/// object, longer ones in a heap buffer.  _get_nCRC() always equals
/// crc16::Calc over the text from 0: every change of the text recomputes it.
/// Comparisons are full-text and byte-exact.
///
/// Layout (64-bit): the CRC sits in the padding after Createable's count, and
/// the inline text shares its bytes with the heap buffer's size, which only a
/// heap text needs.  A text of up to 23 bytes therefore costs one allocation
/// of 56 bytes (a 64-byte heap chunk) for the whole string:
///
/// ~~~
///    0 vptr | 8 nRefCount | 10 nCRC | 16 pszBuffer | 24 nLength
///   32 szInline[24]  (a heap text: nBufferSize in its first 8 bytes)
/// ~~~
///
/// NewInOneBlock makes a string whose longer text lies right after the
/// object, in the same allocation (the "trailing" text; a mark byte after
/// nBufferSize tells it from a heap buffer).  Texts that fit stay there; a
/// longer one moves to a heap buffer of its own, as for any string.
///
/// A text change that needs a larger heap buffer allocates it (new[])
/// before touching the string: std::bad_alloc leaves the string as it was.
/// Nothing here reports.
#ifndef TARNCOLL_UTIL_CPSTRING_H
#define TARNCOLL_UTIL_CPSTRING_H

#include <util/Createable.h>
#include <util/export.h>

/// A reference-counted, owned, zero-terminated text with its CRC-16 (see
/// CPString.h).  A new string has reference count 0.
class TARNCOLL_API CPString : public Createable {
 public:
  CPString();  ///< the empty text (inline, CRC 0)
  /// A copy of the zero-terminated pszText; a null pszText gives the empty
  /// text.  O(length).
  CPString(const char* pszText);
  /// A new string (count 0) with other's text and CRC.  O(length).
  CPString(const CPString& other);
  virtual ~CPString();  ///< frees a heap buffer of the string's own

  /// A new string (reference count 0) holding the nLength bytes of pszText,
  /// whose CRC-16 is nCRCOfText, made by one allocation through Createable's
  /// operator new: a text longer than the inline room lies right after the
  /// object.  Null when that allocation fails.  O(nLength).
  static CPString* NewInOneBlock(const char* pszText, unsigned long nLength, unsigned short nCRCOfText);
  /// The same, with the CRC computed from the text.
  static CPString* NewInOneBlock(const char* pszText, unsigned long nLength);

  /// Replaces the text (and CRC) with other's; copying a string onto
  /// itself does nothing.  O(length).
  virtual void Copy(const CPString& other);
  /// Replaces the text with nCount bytes of pszText starting at nStart;
  /// nCount 0 (or more than there is) copies to the end, an nStart past
  /// the end gives the empty text, and so does a null pszText.
  /// Copy(text, 0, 0) replaces the whole text.  O(strlen(pszText)).
  virtual void Copy(const char* pszText, unsigned long nStart, unsigned long nCount);
  /// \name Assignment
  /// Virtual in the classic interface, so derived strings may add to them.
  //@{
  /// Copy(other); the reference count stays.
  virtual CPString& operator=(const CPString& other);  // NOLINT(misc-unconventional-assign-operator)
  /// Copy(pszText, 0, 0).
  virtual CPString& operator=(const char* pszText);    // NOLINT(misc-unconventional-assign-operator)
  //@}

  const char* GetBuffer() const { return pszBuffer; }  ///< the text, zero-terminated; valid until the next change
  unsigned long Length() const { return nLength; }     ///< the text's length in bytes, terminator excluded
  /// Makes the text empty (the buffer is kept).
  void Clear();
  /// Copies the text into pszOut, at most nMax - 1 bytes and a terminator.
  /// A null pszOut or an nMax of 0 writes nothing.
  void StrCpy(char* pszOut, unsigned long nMax) const;

  unsigned short _get_nCRC() const { return nCRC; }  ///< the CRC-16 of the text
  /// Bytes the text may use, terminator included: eInline while the text is
  /// inline, else the heap buffer's size.
  long _get_nBufferSize() const { return IsInline() ? static_cast<long>(eInline) : u.nBufferSize; }
  long Size() const { return _get_nBufferSize(); }  ///< as _get_nBufferSize()

  /// Bytes a text may have, terminator included, to be kept inside the
  /// string itself with no buffer of its own.
  static unsigned long InlineCapacity() { return eInline; }

 protected:
  /// For derived strings whose text's CRC is already known: the first
  /// nLength bytes of pszText (not null), CRC nCRCOfText.  A text of
  /// InlineCapacity() bytes or more gets a buffer of its own (throws
  /// std::bad_alloc when there is none).
  CPString(const char* pszText, unsigned long nLength, unsigned short nCRCOfText);

 private:
  enum { eInline = 24 };
  bool IsInline() const { return pszBuffer == u.szInline; }
  // The byte after nBufferSize: kTrailingMark while the text is trailing.
  enum { kTrailingMark = 0x5A };
  unsigned char& TrailingMark() { return reinterpret_cast<unsigned char*>(&u)[sizeof(long)]; }
  unsigned char TrailingMark() const { return reinterpret_cast<const unsigned char*>(&u)[sizeof(long)]; }
  // True when the text lies right after the object, in its allocation.
  bool IsTrailing() const {
    return pszBuffer == reinterpret_cast<const char*>(this) + sizeof(CPString) && TrailingMark() == kTrailingMark;
  }
  // True when pszBuffer is a heap block of the string's own (delete[]).
  bool HasOwnBuffer() const { return !IsInline() && !IsTrailing(); }
  void Assign(const char* pszText, unsigned long n, unsigned short nCRCOfText);
  void Assign(const char* pszText, unsigned long n);

  unsigned short nCRC;  // first, so that it fits in the padding after the count
  char* pszBuffer;      // u.szInline, or a heap block of u.nBufferSize bytes
  unsigned long nLength;
  union {
    char szInline[eInline];
    long nBufferSize;
  } u;
};

/// \name Text comparisons
/// 1 when the texts are equal byte for byte, else 0 (!= the opposite).  A
/// null const char* equals no string; a text with an embedded zero byte
/// is compared up to it against a const char*.  O(length).
//@{
TARNCOLL_API int operator==(const CPString& a, const char* b);     ///< a's text equals b
TARNCOLL_API int operator==(const char* a, const CPString& b);     ///< a equals b's text
TARNCOLL_API int operator==(const CPString& a, const CPString& b);  ///< same length and bytes
inline int operator!=(const CPString& a, const char* b) { return !(a == b); }     ///< !(a == b)
inline int operator!=(const char* a, const CPString& b) { return !(a == b); }     ///< !(a == b)
inline int operator!=(const CPString& a, const CPString& b) { return !(a == b); }  ///< !(a == b)
//@}

/// W32String: a CPString by another name; no data of its own.
class TARNCOLL_API W32String : public CPString {
 public:
  W32String() {}                                               ///< the empty text
  W32String(const char* pszText) : CPString(pszText) {}        ///< as CPString(const char*)
  W32String(const W32String& other) : CPString(other) {}       ///< as CPString's copy
  ~W32String() override;                                       ///< as CPString's
  /// As CPString::operator=(const CPString&).
  W32String& operator=(const W32String& other) {
    CPString::operator=(other);
    return *this;
  }
};

#endif
