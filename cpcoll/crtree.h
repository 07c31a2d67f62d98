// CrTree: the ordered keyed reference-holding collection.
//
// A CPTree of Createable objects under numeric or string keys, following
// the reference rule of CrCollection.h; objects are walked in key order.
// A tree takes one kind of key only (the first keyed operation fixes it;
// a mismatch is reported by the tree).
//
//   CrTree --ptreeThe (1 ref)--> CPTree (AVL tree + key-ordered list)
//                                  node: key + object (1 ref, ours)
//
// Invariants:
//   1. ptreeThe is never null and carries exactly one reference held here.
//   2. Every object stored carries one reference held here; no node holds
//      a null object.
//   3. Length() equals the number of nodes of ptreeThe.
//
// Costs: adds, finds, removes by key O(log n) (an existence test and one
// tree operation); walks and cursor steps O(1) per object; RemoveAll and
// the destructor O(n); copies O(n log n) (every node is inserted anew).
#ifndef TARNCOLL_CPCOLL_CRTREE_H
#define TARNCOLL_CPCOLL_CRTREE_H

#include <cpcoll/CrCollection.h>
#include <util/export.h>

class CPTree;

class TARNCOLL_API CrTree : public CrKeyedCollection {
 public:
  // An empty tree.  Reports FailIfNIL "ptreeThe" when the wrapped tree
  // cannot be allocated.
  CrTree();
  // Deep copy: a new wrapped tree with the same objects under the same keys,
  // each object taking one more reference.
  CrTree(const CrTree& other);
  // Deep copy; the new content is built before the old one is released, so
  // a failed allocation leaves this tree as it was.
  CrTree& operator=(const CrTree& other);
  // Releases every object once, then the wrapped tree.
  ~CrTree() override;

  unsigned long Length() const override;  // O(1)
  void RemoveAll() override;              // releases every object once; O(n)
  // pfnAction(object, user) in key order.
  void ForEach(CPActionFunc pfnAction, void* pvUser) override;
  void GotoTop() override;
  void GotoBottom() override;
  long Next() override;
  long Prev() override;  // the tree walks backwards too
  Createable* Retrieve() override;

  // Requires: a non-null object (Assert "pcrEntry") unless the key is
  // present, whose reference count has room for one more (Assert
  // "nRefCount < 0xFFFF", before anything is stored).  Effect: stores and
  // AddRefs it when the key is absent.
  // Result: 1 when stored, 0 when the key was present (nothing changes).
  short AddKeyNum(long nKey, Createable* pcrEntry) override;
  short AddKeyString(const char* pszKey, Createable* pcrEntry, unsigned long* pnCRC) override;
  short AddKeyString(CPString* pstrKey, Createable* pcrEntry) override;
  // 1 when an object was removed and released once; 0 when absent.
  short RemoveKeyString(const char* pszKey, unsigned long* pnCRC) override;
  short RemoveKeyString(CPString* pstrKey) override;
  short RemoveKeyNum(long nKey) override;
  // Borrowed pointer or null; no reference taken.
  Createable* FindKeyNum(long nKey) override;
  Createable* FindKeyString(const char* pszKey, unsigned long* pnCRC) override;
  Createable* FindKeyString(CPString* pstrKey) override;
  // 1 when the key is present, else 0.
  short ExistsKeyNum(long nKey) override;
  short ExistsKeyString(CPString* pstrKey) override;
  short ExistsKeyString(const char* pszKey, unsigned long* pnCRC) override;
  // The action receives the tree's nodes (Leaf).
  void ForEachInternalContainer(CPActionFunc pfnAction, void* pvUser) override;
  // Not supported: reports "1==0" (the report does not return).
  CrCollection* AllThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  // The first / next node (a Leaf, itself a Createable) that the condition
  // accepts; the condition receives nodes.  The search goes on from the
  // tree's cursor.
  Createable* FirstThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  Createable* NextThatInternalContainer(CPConditionFunc pfnCond, void* pvUser) override;
  // Not supported by the tree: its report ("1==0", cpcoll\BTree).
  void ForEach(CrKeyActionFunc pfnAction, void* pvUser) override;

  // Remove the node without a release: the reference this tree held passes
  // to the caller.  An absent key changes nothing.
  void DetachKeyNum(long nKey);
  void DetachKeyString(const char* pszKey, unsigned long* pnCRC);
  void DetachKeyString(CPString* pstrKey);

  // The first object the condition accepts in key order (borrowed), or null.
  Createable* FirstThat(CPConditionFunc pfnCond, void* pvUser);
  // The object under the numeric key i (not the i-th object), as void*.
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
