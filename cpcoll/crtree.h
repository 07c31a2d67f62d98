/// \file
/// CrTree: the ordered keyed reference-holding collection.
///
/// A CPTree of Createable objects under numeric or string keys, following
/// the reference rule of CrCollection.h; objects are walked in key order.
/// A tree takes one kind of key only (the first keyed operation fixes it;
/// a mismatch is reported by the tree).
///
/// ~~~
///   CrTree --ptreeThe (1 ref)--> CPTree (AVL tree + key-ordered list)
///                                  node: key + object (1 ref, ours)
/// ~~~
///
/// Invariants:
///   1. ptreeThe is never null and carries exactly one reference held here.
///   2. Every object stored carries one reference held here; no node holds
///      a null object.
///   3. Length() equals the number of nodes of ptreeThe.
///
/// Costs: adds, finds, removes by key O(log n) (an existence test and one
/// tree operation); walks and cursor steps O(1) per object; RemoveAll and
/// the destructor O(n); copies O(n log n) (every node is inserted anew).
///
/// Reports (source "cpcoll\crtree"): "pcrEntry", "nRefCount < 0xFFFF",
/// "1==0"; FailIfNIL "ptreeThe"; and from the wrapped tree
/// "etdsState == etreeNumber", "etdsState == etreeString",
/// "pfnCondFunc !=0", `"1==0" (cpcoll\BTree)`; FailIfNIL "plfNew",
/// `"pcrdctStringKeys" (cpcoll\BTree)`.  A report leaves the collection's
/// content and every reference count as they were.
#ifndef TARNCOLL_CPCOLL_CRTREE_H
#define TARNCOLL_CPCOLL_CRTREE_H

#include <cpcoll/CrCollection.h>
#include <util/export.h>

class CPTree;

/// The ordered keyed reference-holding collection: Createable objects
/// under numeric or string keys in a wrapped CPTree (see crtree.h).
class TARNCOLL_API CrTree : public CrKeyedCollection {
 public:
  /// An empty tree.  Reports FailIfNIL "ptreeThe" when the wrapped tree
  /// cannot be allocated.
  CrTree();
  /// Deep copy: a new wrapped tree with the same objects under the same keys,
  /// each object taking one more reference.  Reports FailIfNIL "ptreeThe",
  /// "plfNew" (nothing leaks, no reference stays taken).
  CrTree(const CrTree& other);
  /// Deep copy; the new content is built before the old one is released, so
  /// a failed allocation leaves this tree as it was.
  CrTree& operator=(const CrTree& other);
  /// Releases every object once, then the wrapped tree.
  ~CrTree() override;

  unsigned long Length() const override;  ///< the number of objects; O(1)
  void RemoveAll() override;              ///< releases every object once; O(n)
  /// pfnAction(object, user) in key order; the callback must not remove
  /// the object it is given.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  /// \name Built-in cursor
  /// The wrapped tree's cursor, in key order; O(1) each.
  //@{
  void GotoTop() override;     ///< onto the first object (off when empty)
  void GotoBottom() override;  ///< onto the last object (off when empty)
  long Next() override;        ///< one object on; 1 when on one afterwards
  long Prev() override;        ///< one object back (the tree walks backwards too)
  Createable* Retrieve() override;  ///< the cursor's object (borrowed), or null
  //@}

  /// \name Keyed adds
  /// Requires: a non-null object (Assert "pcrEntry") unless the key is
  /// present, whose reference count has room for one more (Assert
  /// "nRefCount < 0xFFFF", before anything is stored).  Effect: stores and
  /// AddRefs it when the key is absent.
  /// Result: 1 when stored, 0 when the key was present (nothing changes).
  /// A key of the other kind is reported by the tree.
  //@{
  /// Under the number nKey; the key -1 files the object under its own
  /// address instead (so FindKeyNum(-1) does not find it, and a second add
  /// of the same object stores nothing and gives 0).
  short AddKeyNum(long nKey, Createable* pcrEntry) override;
  /// Under the text pszKey, which is kept by pointer, uncopied: it must
  /// outlive the entry.  A null text stores nothing (0).  pnCRC is not used.
  short AddKeyString(const char* pszKey, Createable* pcrEntry, unsigned long* pnCRC) override;
  /// Under pstrKey's text, kept alive by the trees' string-key registry
  /// (see CPTree::AddKeyString).  A null pstrKey stores nothing (0).
  short AddKeyString(CPString* pstrKey, Createable* pcrEntry) override;
  //@}
  /// \name Removing by key
  /// 1 when an object was removed and released once; 0 when absent.  A
  /// key of the other kind (or before any keyed add) is reported by the
  /// tree.
  //@{
  short RemoveKeyString(const char* pszKey, unsigned long* pnCRC) override;  ///< by text; pnCRC is not used
  short RemoveKeyString(CPString* pstrKey) override;                         ///< by pstrKey's text
  short RemoveKeyNum(long nKey) override;                                    ///< by number
  //@}
  /// \name Finding by key
  /// Borrowed pointer or null; no reference taken.  A key of the other
  /// kind (or before any keyed add) is reported by the tree.
  //@{
  Createable* FindKeyNum(long nKey) override;                                       ///< by number
  Createable* FindKeyString(const char* pszKey, unsigned long* pnCRC) override;  ///< by text; pnCRC is not used
  Createable* FindKeyString(CPString* pstrKey) override;                          ///< by pstrKey's text
  //@}
  /// \name Testing for a key
  /// 1 when the key is present, else 0 (also for a key of the other kind,
  /// without a report); the first keyed operation fixes the kind.
  //@{
  short ExistsKeyNum(long nKey) override;                                    ///< by number
  short ExistsKeyString(CPString* pstrKey) override;                         ///< by pstrKey's text
  short ExistsKeyString(const char* pszKey, unsigned long* pnCRC) override;  ///< by text; pnCRC is not used
  //@}
  /// The action receives the tree's nodes (Leaf, as CPInternalContainer*),
  /// in key order; the next link is read before each call.
  void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) override;
  /// Not supported: reports "1==0" (the report does not return).
  CrCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  /// \name Node searches
  /// The first / next node (a Leaf, itself a Createable) that the condition
  /// accepts, or null; the condition receives nodes.  The search goes on
  /// from the tree's cursor.  A null condition: null.
  //@{
  Createable* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;  ///< from the first node
  Createable* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;   ///< from the cursor's node
  //@}
  /// Not supported by the tree: its report "1==0" (source "cpcoll\BTree").
  void ForEach(CrKeyActionFunc pfnAction, void* pvUser) override;

  /// \name Detaching by key
  /// Remove the node without a release: the reference this tree held passes
  /// to the caller.  An absent key changes nothing; a key of the other
  /// kind is reported by the tree.
  //@{
  void DetachKeyNum(long nKey);                                  ///< by number
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC);  ///< by text; pnCRC is not used
  /// By pstrKey's text; the registry entry goes when no tree uses it.
  void DetachKeyString(CPString* pstrKey);
  //@}

  /// The first object the condition accepts in key order (borrowed), or
  /// null; the tree's cursor ends after it.  Reports "pfnCondFunc !=0" (the
  /// tree's) for a null condition.
  Createable* FirstThat(CPConditionFunc pfnCond, void* pvUser);
  /// The object under the numeric key i (not the i-th object), as void*;
  /// null when absent.  Reports "etdsState == etreeNumber" unless the keys
  /// are numbers.
  void* operator[](unsigned long i);

 private:
  friend struct CrTreeInspector;

  // A new referenced copy of ptreeFrom, one more reference taken on every
  // object; a report or an AddRef that throws leaves no copy and no
  // reference behind.
  static CPTree* CopyOf(const CPTree* ptreeFrom);
  // Adds one reference to every object of ptree; when an AddRef throws,
  // the references taken so far are released again.
  static void AddRefAll(CPTree* ptree);
  // Releases every object of ptree once, then ptree itself.
  static void ReleaseAll(CPTree* ptree);

  CPTree* ptreeThe;  // the wrapped tree; owned (one reference)
};

#endif
