/// \file
/// The reference-holding collection interfaces.
///
/// A reference collection holds Createable objects instead of untyped
/// pointers and counts them in and out:
///
/// ~~~
///   caller --Add/AddKey*--> [ Cr* wrapper ] --forwards--> CPList / CPDictionary
///                               |   one reference on the wrapped container
///                               `-- one reference on every object it stores
/// ~~~
///
/// Three abstract classes fix the interface: CrCollection (what every
/// reference collection offers), CrFlatCollection (sequences: add and remove
/// by object) and CrKeyedCollection (numeric and string keys).  They are not
/// CPCollections: no iteration-state objects, no typed entry points; callers
/// walk them with the built-in cursor or the callback walks.
///
/// The reference rule every concrete class follows:
///   1. An object entering through Add/AddKeyNum/AddKeyString takes one
///      AddRef, after it was actually stored; an add that stores nothing
///      (key present) takes none and returns 0.
///   2. Remove, RemoveKey*, RemoveAll and the destructor take the object out
///      through the wrapped container's destroy operation with
///      itReleaseCreateable as kill function: one Release per stored object.
///      The collection never deletes an object itself.
///   3. The keyed detaches (DetachKeyNum, DetachKeyString) take the object
///      out without a Release: the collection's reference passes to the
///      caller.
///   4. Everything else (finds, exists tests, Retrieve, walks, cursor moves)
///      hands out borrowed pointers and changes no count.
///   5. The collection holds one reference on its wrapped container, taken
///      in the constructor and dropped in the destructor after every object
///      has been released.
///
/// Objects cross the wrapped containers as void* holding a Createable*:
/// callbacks receive that pointer and convert it back to Createable* before
/// casting further.  The Createable part's virtual slots (destructor, AddRef,
/// Release) come first; the slots below follow in the order declared.
#ifndef TARNCOLL_CPCOLL_CRCOLLECTION_H
#define TARNCOLL_CPCOLL_CRCOLLECTION_H

#include <cpcoll/cpcollec.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/export.h>

/// Three-argument action of the keyed walks: (object, user, key), where key
/// is the CPString* of a string key or the numeric key itself.
typedef void (*CrKeyActionFunc)(void* object, void* user, void* key);

/// What every reference-holding collection offers: length, removal of
/// everything, the callback walk and the built-in cursor (see CrCollection.h).
class TARNCOLL_API CrCollection : public Createable {
 public:
  CrCollection() {}                                                   ///< empty
  CrCollection(const CrCollection& other) = default;                   ///< nothing to copy here
  CrCollection& operator=(const CrCollection& other) = default;        ///< nothing to copy here
  ~CrCollection() override;

  /// Number of objects held (a list counts an object once per node).
  virtual unsigned long Length() const = 0;
  /// Removes every object, releasing it once per time it is held.
  virtual void RemoveAll() = 0;
  /// Calls pfnAction(object, user) for every object in the container's order.
  virtual void ForEach(CPActionFunc pfnAction, void* pvUser) = 0;
  /// \name Built-in cursor
  //@{
  /// Built-in cursor to the first / last object.
  virtual void GotoTop() = 0;
  virtual void GotoBottom() = 0;
  //@}
  /// Cursor one object on; non-zero when it is on an object afterwards.
  virtual long Next() = 0;
  /// Cursor one object back where the wrapped container supports it.
  virtual long Prev() = 0;
  /// The object at the cursor (borrowed), or null.
  virtual Createable* Retrieve() = 0;

 protected:
  /// Kill function handed to the wrapped containers: Release on the object
  /// (a Createable* passed as void*); the second argument plays no part.
  static void itReleaseCreateable(void* pvObject, void* pvUser);
};

/// A reference-holding collection in an order of its own (CrList): objects
/// go in through Add and leave through Remove.
class TARNCOLL_API CrFlatCollection : public CrCollection {
 public:
  CrFlatCollection() {}
  CrFlatCollection(const CrFlatCollection& other) = default;             ///< nothing to copy here
  CrFlatCollection& operator=(const CrFlatCollection& other) = default;  ///< nothing to copy here
  ~CrFlatCollection() override;

  /// Appends the object and takes one reference on it.
  virtual void Add(Createable* pcrEntry) = 0;
  /// Removes the object and releases it; 1 when removed, 0 when not held.
  virtual short Remove(Createable* pcrEntry) = 0;
};

/// A reference-holding collection of objects under numeric or string keys
/// (CrDictionary, CrTree).
class TARNCOLL_API CrKeyedCollection : public CrCollection {
 public:
  CrKeyedCollection() {}
  CrKeyedCollection(const CrKeyedCollection& other) = default;             ///< nothing to copy here
  CrKeyedCollection& operator=(const CrKeyedCollection& other) = default;  ///< nothing to copy here
  ~CrKeyedCollection() override;

  /// 1: stored under the key and referenced; 0: key present, nothing done.
  virtual short AddKeyNum(long nKey, Createable* pcrEntry) = 0;
  /// \name Adding under a text key
  //@{
  /// As AddKeyNum, under a text key; pnCRC: null, or the CRC-16 of the key
  /// text already known to the caller.
  virtual short AddKeyString(const char* pszKey, Createable* pcrEntry, unsigned long* pnCRC) = 0;
  virtual short AddKeyString(CPString* pstrKey, Createable* pcrEntry) = 0;
  //@}
  /// \name Removing by key
  //@{
  /// 1: the object under the key was removed and released; 0: key absent.
  virtual short RemoveKeyString(const char* pszKey, unsigned long* pnCRC) = 0;
  virtual short RemoveKeyString(CPString* pstrKey) = 0;
  virtual short RemoveKeyNum(long nKey) = 0;
  //@}
  /// \name Finding by key
  //@{
  /// The object under the key (borrowed), or null.
  virtual Createable* FindKeyNum(long nKey) = 0;
  virtual Createable* FindKeyString(const char* pszKey, unsigned long* pnCRC) = 0;
  virtual Createable* FindKeyString(CPString* pstrKey) = 0;
  //@}
  /// \name Testing for a key
  //@{
  /// 1 when the key is present, else 0.
  virtual short ExistsKeyNum(long nKey) = 0;
  virtual short ExistsKeyString(CPString* pstrKey) = 0;
  virtual short ExistsKeyString(const char* pszKey, unsigned long* pnCRC) = 0;
  //@}
  /// pfnAction(node, user) for every node of the wrapped container (an entry
  /// or a tree node, not the object).
  virtual void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) = 0;
  /// Not supported by the keyed classes: reports, result null.
  virtual CrCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  /// \name Node searches
  //@{
  /// The first / next node of the wrapped container the condition accepts.
  virtual Createable* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  virtual Createable* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) = 0;
  //@}
  /// pfnAction(object, user, key) for every object.
  virtual void ForEach(CrKeyActionFunc pfnAction, void* pvUser) = 0;
  using CrCollection::ForEach;
};

#endif
