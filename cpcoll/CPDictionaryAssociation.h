/// \file
/// CPDictionaryAssociation: one dictionary entry, a key and an item.
///
/// The key is either a number or a CPString; both live in one pointer-wide
/// cell, read as pstrKey when bUseString is 1 and as nKeyCardinal when it is
/// 0.  The entry holds one reference on its key string.  An empty key text
/// is stored as "UnNamed".  The item is never dereferenced.
///
/// Besides the key and the item the entry carries fields that only the
/// dictionary holding it uses: the CRC that chose its slot, whether the
/// dictionary's key index knows it, and its node in the slot list.  They are
/// not part of the entry's value: copies start outside any dictionary.  The
/// two small ones sit in the padding after bUseString, so the entry stays 40
/// bytes and the other fields keep their places.
///
/// Storage: an entry is one 40-byte block of the node pool (no allocator
/// header).  A key string that the entry makes itself (from a text, or as
/// the copy of an unreferenced string) is one allocation: a text that fits
/// inside the CPString (up to 23 bytes) takes one pooled block of the
/// string's size, a longer one a single block holding string and text.
/// Either is an ordinary CPString to its holders, freed by its last
/// Release.
///
/// Costs: every operation is O(1) apart from the text copies and compares.
///
/// Reports: FailIfNIL `"pstrKey" (cpcoll\Cpdict)`.  The entry reports under
/// its dictionary's source; a report leaves the entry as it was.
#ifndef TARNCOLL_CPCOLL_CPDICTIONARYASSOCIATION_H
#define TARNCOLL_CPCOLL_CPDICTIONARYASSOCIATION_H

#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

class CPBucket;

/// One dictionary entry: a numeric or string key and an item pointer (see
/// CPDictionaryAssociation.h).
class TARNCOLL_API CPDictionaryAssociation : public Createable {
  friend class CPDictionary;
  friend struct CPDictionaryInspector;

 public:
  /// A string entry without a key string and with a null item.
  CPDictionaryAssociation();
  /// Copies the key (taking its own reference on a key string), its CRC
  /// and the item; the copy is in no dictionary.
  CPDictionaryAssociation(const CPDictionaryAssociation& other);
  /// As the copy constructor; the target's former key string is released
  /// (after the new one is referenced, so a shared string is safe).  The
  /// target's slot node and index flag stay; its CRC becomes other's.
  CPDictionaryAssociation& operator=(const CPDictionaryAssociation& other);
  /// Releases the key string of a string entry.
  ~CPDictionaryAssociation() override;

  /// \name Allocation
  /// Entries are 40-byte blocks of the node pool (null on failure, counted
  /// by Createable's allocation failure hook); a larger derived entry comes
  /// from Createable's allocation.  Either may be freed by any thread.
  //@{
  /// A pool block for the entry; null when it cannot be had.
  static void* operator new(std::size_t nSize) noexcept;
  /// Returns the block to the pool (or to Createable's allocation).
  static void operator delete(void* pv, std::size_t nSize) noexcept;
  //@}

  /// \name Setting the key
  //@{
  /// Replaces the key by a new string holding pszText ("UnNamed" when the
  /// text is empty or null).  Reports FailIfNIL "pstrKey" (source
  /// "cpcoll\Cpdict") when the string cannot be allocated; the entry is
  /// then unchanged.
  void SetKeyString(const char* pszText);
  /// Replaces the key by pstrKey itself when somebody holds a reference on
  /// it (shared: later changes of its text show here), else by a copy of
  /// it.  An empty string is set to "UnNamed" (for its other holders too).
  /// A null pstrKey acts as the null text.  Reports FailIfNIL "pstrKey"
  /// when a copy cannot be allocated (the entry unchanged).
  void SetKeyString(CPString* pstrKey);
  /// Replaces the key by the number n (releasing a key string).
  void SetKeyCardinal(long n);
  //@}

  /// \name Matching and reading the key
  //@{
  /// 1 when this is a string entry whose key text equals pszText; else 0
  /// (also for a null pszText).
  short MatchKeyString(const char* pszText) const;
  /// 1 when this is a numeric entry with the key n; else 0.
  short MatchKeyCardinal(long n) const;

  /// String entry: copies the key into pstrOut and returns the key's text.
  /// Numeric entry: clears pstrOut, returns "".  String entry without a key
  /// string: returns "", pstrOut untouched.  pstrOut may be null.
  const char* GetKeyString(CPString* pstrOut);
  /// String entry: copies the key text into pszOut (no length limit; null
  /// allowed) and returns the key's text.  Otherwise writes "" into pszOut
  /// and returns "".
  const char* GetKeyString(char* pszOut);
  long GetKeyCardinal() const { return bUseString ? 0 : nKeyCardinal; }      ///< the numeric key; 0 for a string entry
  CPString* _get_pstrKey() const { return bUseString ? pstrKey : nullptr; }  ///< the key string (borrowed); null for a numeric entry
  char _get_bUseString() const { return bUseString; }                        ///< 1: string entry, 0: numeric entry
  /// Plain store: the key cell is not converted, released or referenced,
  /// so it is then read as the other kind of key.
  void _set_bUseString(char b) { bUseString = b; }
  //@}

  /// \name The item
  //@{
  void SetValue(void* pv) { pvValue = pv; }  ///< stores the item pointer
  void* GetValue() const { return pvValue; }  ///< the item
  //@}

 protected:
  char bUseString;  ///< 1: string key (pstrKey), 0: numeric key

 private:
  unsigned char bfFlags;   // eflagIndexed, eflagShared
  unsigned short nKeyCRC;  // the CRC whose low byte chose the entry's slot

 protected:
  union {
    CPString* pstrKey;  ///< key string, one reference held; may be null
    long nKeyCardinal;  ///< numeric key
  };
  void* pvValue;  ///< the item; never dereferenced

 private:
  enum { eflagIndexed = 1, eflagShared = 2 };
  // Drops the key string (if any); the key cell becomes 0.
  void DropKey();
  // Makes pstr (already referenced once for this entry) the key string.
  void TakeKeyString(CPString* pstr);
  // A new referenced key string for pszText ("UnNamed" when empty); null
  // when out of memory.
  static CPString* NewKeyString(const char* pszText);
  // The same for the nLength bytes of pszText, whose CRC is *pnCRC when
  // pnCRC is not null (the text's own CRC, not a caller's filing CRC), so
  // the text is neither measured nor hashed again.
  static CPString* NewKeyString(const char* pszText, unsigned long nLength, const unsigned long* pnCRC);
  // The string an entry keeps for pstrKey: pstrKey itself when referenced
  // elsewhere (*pbShared set), else a referenced copy; null when a copy
  // cannot be allocated.  The empty text becomes "UnNamed".
  static CPString* KeepKeyString(CPString* pstrKey, bool* pbShared);

  CPBucket* pbktNode;  // the entry's node in its dictionary's slot list, or null
};

#endif
