// Models of CPTree (numeric or text keys: a std::map in key order) and of
// CPQueue (a std::deque in arrival order), with the built-in cursor, the
// searches that move it, Merge, removals that keep their nodes
// (bDeleteLeaves 0), one TreeIterationState, and steps whose callbacks
// throw or whose allocations fail.
#ifndef TARNCOLL_TESTS_MODEL_TREE_MODEL_H
#define TARNCOLL_TESTS_MODEL_TREE_MODEL_H

#include <algorithm>
#include <cstdint>
#include <deque>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/CPQueue.h>
#include <util/CPString.h>

#include "model/harness.h"
#include "model/walks.h"
#include "support/tree_inspector.h"

namespace tarncoll::test::model {

inline Leaf* AsLeaf(void* pvNode) { return static_cast<Leaf*>(static_cast<CPInternalContainer*>(pvNode)); }
inline int NodeHoldsUser(void* pvNode, void* pvUser) { return AsLeaf(pvNode)->pvData == pvUser ? 1 : 0; }

// Numeric keys: unsigned at pointer width; all ones makes the item its
// own key.
struct NumberKeys {
  typedef unsigned long Key;
  struct Holder {};
  static const enumTreeDataState kKind = etreeNumber;
  static Key Pick(OpSource& src) {
    static const unsigned long anKeys[] = {0,
                                           1,
                                           2,
                                           3,
                                           4,
                                           5,
                                           6,
                                           7,
                                           8,
                                           9,
                                           10,
                                           11,
                                           12,
                                           13,
                                           14,
                                           15,
                                           16,
                                           17,
                                           0x7FFFFFFFul,
                                           0x80000000ul,
                                           0xFFFFFFFFul,
                                           0x100000000ul,
                                           ~0ul - 1,
                                           ~0ul};
    return anKeys[src.Pick(sizeof anKeys / sizeof anKeys[0])];
  }
  // The key a node gets for (key, item).
  static Key Stored(Key k, void* pv) { return k == ~0ul ? reinterpret_cast<unsigned long>(pv) : k; }
  static void* Ptr(Key k) { return reinterpret_cast<void*>(k); }
  static Key ItemKey(void* pv) { return reinterpret_cast<unsigned long>(pv); }
  static Key Of(const Leaf* plf) { return reinterpret_cast<unsigned long>(plf->pvKey); }
  static void Add(CPTree& t, Key k, void* pv, OpSource&) { t.AddKeyNum(k, pv); }
  static void* Find(CPTree& t, Key k, OpSource& src) { return src.Chance(2) ? t.FindKeyNum(k) : t.RetrieveIDX(k); }
  static long Exists(CPTree& t, Key k, OpSource&) { return t.ExistsKeyNum(k); }
  static void Detach(CPTree& t, Key k, OpSource&) { t.DetachKeyNum(k); }
  static void Destroy(CPTree& t, Key k, CPKillFunc pfn, OpSource&) { t.DestroyKeyNum(k, pfn); }
  static void WrongKind(CPTree& t) { t.AddKeyString("a", Item(0), nullptr); }
  static const char* WrongKindText() { return "etdsState == etreeString"; }
  static const char* KindText() { return "etdsState == etreeNumber"; }
};

// Text keys: static texts (a key pointer stays valid), compared byte by
// byte as unsigned; CPString keys go through the shared key registry.
struct TextKeys {
  typedef std::string Key;
  static const enumTreeDataState kKind = etreeString;
  static const char* Text(unsigned i) {
    static const char* const apsz[] = {"",   "a",  "ab", "b",    "ba",   "c",    "k1",       "k2",      "k3",
                                       "k4", "zz", "A",  "\x7f", "\x80", "\xff", "\xff\x01", "UnNamed", "m"};
    return apsz[i % (sizeof apsz / sizeof apsz[0])];
  }
  // Spelled texts stay stored while any text-key model lives, so that the
  // trees may keep pointers to them; the last model to go drops them.
  static std::set<std::string>& Spelled() {
    static std::set<std::string> texts;
    return texts;
  }
  struct Holder {
    Holder() { ++Users(); }
    ~Holder() {
      if (--Users() == 0) Spelled().clear();
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    static long& Users() {
      static long n = 0;
      return n;
    }
  };
  static Key Pick(OpSource& src) {
    if (!src.Chance(4)) return Text(src.Pick(18));
    return *Spelled().insert(SpelledText(src)).first;
  }
  static Key Stored(const Key& k, void*) { return k; }
  static Key ItemKey(void*) { return Key(); }  // text trees take no Add(item)
  static void* Ptr(const Key& k) {
    for (unsigned i = 0; i < 18; ++i)
      if (k == Text(i)) return const_cast<char*>(Text(i));
    auto i = Spelled().find(k);
    return i == Spelled().end() ? nullptr : const_cast<char*>(i->c_str());
  }
  static Key Of(const Leaf* plf) { return static_cast<const char*>(plf->pvKey); }
  static void Add(CPTree& t, const Key& k, void* pv, OpSource& src) {
    if (src.Chance(2)) {
      t.AddKeyString(static_cast<const char*>(Ptr(k)), pv, nullptr);
      return;
    }
    CPString* pstr = new CPString(k.c_str());
    if (!pstr) {  // an allocation failure armed by the model
      t.AddKeyString(static_cast<const char*>(Ptr(k)), pv, nullptr);
      return;
    }
    pstr->AddRef();
    try {
      t.AddKeyString(pstr, pv);
    } catch (...) {  // a report: the text is ours alone
      pstr->Release();
      throw;
    }
    pstr->Release();  // the registry keeps the text alive
  }
  static void* Find(CPTree& t, const Key& k, OpSource& src) {
    if (src.Chance(2)) return t.FindKeyString(static_cast<const char*>(Ptr(k)), nullptr);
    CPString str(k.c_str());
    return t.FindKeyString(&str);
  }
  static long Exists(CPTree& t, const Key& k, OpSource& src) {
    if (src.Chance(2)) return t.ExistsKeyString(static_cast<const char*>(Ptr(k)), nullptr);
    CPString str(k.c_str());
    return t.ExistsKeyString(&str);
  }
  static void Detach(CPTree& t, const Key& k, OpSource& src) {
    if (src.Chance(2)) {
      t.DetachKeyString(static_cast<const char*>(Ptr(k)), nullptr);
      return;
    }
    CPString str(k.c_str());
    t.DetachKeyString(&str);
  }
  static void Destroy(CPTree& t, const Key& k, CPKillFunc pfn, OpSource& src) {
    if (src.Chance(2)) {
      t.DestroyKeyString(static_cast<const char*>(Ptr(k)), pfn, nullptr);
      return;
    }
    CPString str(k.c_str());
    t.DestroyKeyString(&str, pfn);
  }
  static void WrongKind(CPTree& t) { t.AddKeyNum(1, Item(0)); }
  static const char* WrongKindText() { return "etdsState == etreeNumber"; }
  static const char* KindText() { return "etdsState == etreeString"; }
};

template <class K>
class TreeModel : public ModelBase, private K::Holder {  // the holder outlives the tree
  typedef typename K::Key Key;
  typedef std::map<Key, void*> Map;

 public:
  ~TreeModel() { delete pits; }

  void Step(OpSource& src) {
    void* pv = src.Chance(16) ? nullptr : Item(src.Pick(20));
    Key k = K::Pick(src);
    unsigned op = src.Pick(40);
    if (m.size() > 20 && op < 8) op += 8;
    switch (op) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
        AddKey(k, pv, src);
        break;
      case 5:
        if (!bText) AddItem(pv);
        break;
      case 6:
        if (src.Chance(3) && (bKind || !bText)) MergeOp(src);
        break;
      case 8:
      case 9:
      case 10:
        RemoveKey(k, src);
        break;
      case 11:
      case 12:
        RemoveByItemKey(k, src);
        break;
      case 13:
        KeepNodes(k, src);
        break;
      case 14:
        if (src.Chance(6)) ClearAll(src);
        break;
      case 15:
      case 16:
        FindOp(k, src);
        break;
      case 17:
        GotoEnd(src.Chance(2));
        break;
      case 18:
      case 19:
        Step1(src.Chance(3));
        break;
      case 20:
        Retrieve();
        break;
      case 21:
        Searches(pv, src);
        break;
      case 22:
        Walks(src);
        break;
      case 23:
        AllThats(pv, src.Chance(2));
        break;
      case 24:
        Copy(src);
        break;
      case 25:
        Typed(pv);
        break;
      case 26:
      case 27:
      case 28:
        StateOp(src);
        break;
      case 29:
        IteratorWalk(pv, src);
        break;
      case 30:
        BadInput(src);
        break;
      case 31:
        BuildVectorOp();
        break;
      case 32:
        Throwing(pv, k, src);
        break;
      case 33:
        FailingAllocation(k, pv, src);
        break;
      default:
        Retrieve();
        break;
    }
    if (pits && xact - nStateSnap > 30000) {
      delete pits;
      pits = nullptr;
    }
  }

  void Check() {
    TM_INV(CPTreeInspector::Check(t));
    std::vector<std::pair<Key, void*>> real;
    for (Leaf* plf = t._get_plfHead(); plf && real.size() <= m.size(); plf = plf->plfNext)
      real.emplace_back(K::Of(plf), plf->pvData);
    TM_TRUE(real == std::vector<std::pair<Key, void*>>(m.begin(), m.end()));
    TM_EQ(t.Length(), m.size());
    TM_EQ(t._get_nXACT(), static_cast<short>(xact));
    TM_EQ(t._get_bDeleteLeaves(), 1);
    TM_EQ(static_cast<int>(t._get_etdsState()), bKind ? static_cast<int>(K::kKind) : static_cast<int>(etreeNone));
    if (cvalid) {
      Leaf* plf = t.RetrieveLeaf();
      TM_EQ(plf != nullptr, ccur != m.end());
      if (plf && ccur != m.end()) TM_TRUE(K::Of(plf) == ccur->first);
    }
  }

 private:
  typedef typename Map::iterator It;
  static const bool bText = K::kKind == etreeString;

  void Fix() { bKind = true; }
  void* At(It i) { return i == m.end() ? nullptr : i->second; }
  // A node is about to go: cursors on it dangle.
  void Gone(It i) {
    if (ccur == i) {
      cvalid = false;
      ccur = m.end();
    }
    if (spos == i) spos = m.end();  // the state is stale now anyway
    ++xact;
    m.erase(i);
  }
  void Added(const Key& k, void* pv) {
    auto r = m.insert({k, pv});
    if (r.second) {
      ++xact;
    } else {
      r.first->second = pv;  // a present key gets the new item only
    }
  }

  void AddKey(const Key& k, void* pv, OpSource& src) {
    Op("AddKey");
    K::Add(t, k, pv, src);
    Fix();
    Added(K::Stored(k, pv), pv);
  }
  void AddItem(void* pv) {
    Op("Add");
    t.Add(pv);
    Added(K::ItemKey(pv), pv);
  }
  void MergeOp(OpSource& src) {
    Op("Merge");
    CPTree other;
    Map mo;
    for (unsigned n = src.Pick(8); n; --n) {
      Key k = K::Pick(src);
      void* pv = Item(src.Pick(20));
      K::Add(other, k, pv, src);
      mo[K::Stored(k, pv)] = pv;
    }
    short nBefore = t._get_nXACT();
    t.Merge(&other);
    TM_EQ(other.Length(), 0u);
    TM_INV(CPTreeInspector::Check(other));
    for (auto& kv : mo) m.insert(kv);  // equal keys keep this tree's node
    TM_TRUE(t._get_nXACT() != nBefore || m.empty());
    xact = t._get_nXACT();
    ccur = m.end();
    cvalid = true;
    delete pits;
    pits = nullptr;
  }
  void RemoveKey(const Key& k, OpSource& src) {
    It i = m.find(k);
    if (!bKind) {
      Op("remove by key before the kind is fixed");
      TM_REPORTS(K::Detach(t, k, src), K::KindText());
      return;
    }
    Seen().clear();
    if (src.Chance(2)) {
      Op("DetachKey");
      K::Detach(t, k, src);
      TM_TRUE(Seen().empty());
    } else {
      Op("DestroyKey");
      K::Destroy(t, k, &Record, src);
      bool bKill = i != m.end() && i->second;
      TM_EQ(Seen(), bKill ? std::vector<void*>{i->second} : std::vector<void*>{});
    }
    if (i != m.end()) Gone(i);
  }
  // Detach / Destroy / DeleteBalance with the key as a pointer.
  void RemoveByItemKey(const Key& k, OpSource& src) {
    It i = m.find(k);
    void* pvItem = At(i);
    Seen().clear();
    switch (src.Pick(3)) {
      case 0:
        Op("Detach(key)");
        TM_EQ(t.Detach(K::Ptr(k)), pvItem ? 1 : 0);
        break;
      case 1:
        Op("Destroy(key)");
        TM_EQ(t.Destroy(K::Ptr(k), &Record), i != m.end() ? 1 : 0);
        TM_EQ(Seen(), pvItem ? std::vector<void*>{pvItem} : std::vector<void*>{});
        break;
      default:
        Op("DeleteBalance");
        TM_EQ(t.DeleteBalance(K::Ptr(k)), pvItem);
        break;
    }
    if (i != m.end()) Gone(i);
  }
  // With bDeleteLeaves 0 a removed node stays with the caller.
  void KeepNodes(const Key& k, OpSource& src) {
    t._set_bDeleteLeaves(0);
    if (src.Chance(2)) {
      Op("Destroy with bDeleteLeaves 0");
      TM_EQ(t.Destroy(K::Ptr(k), &Record), 0);
    } else if (src.Chance(4)) {
      Op("DetachAll with bDeleteLeaves 0");
      std::vector<Leaf*> nodes;
      for (Leaf* plf = t._get_plfHead(); plf; plf = plf->plfNext) nodes.push_back(plf);
      TM_EQ(t.DetachAll(), 1);
      for (Leaf* plf : nodes) delete plf;
      Cleared();
    } else {
      Op("DetachLeaf with bDeleteLeaves 0");
      Leaf* plf = t.FindLeaf(K::Ptr(k), 0);
      It i = m.find(k);
      TM_EQ(plf != nullptr, i != m.end());
      if (plf) {
        t.DetachLeaf(plf);
        delete plf;
        Gone(i);
      }
    }
    t._set_bDeleteLeaves(1);
  }
  void Cleared() {
    m.clear();
    ccur = m.end();
    cvalid = true;
    spos = m.end();
    ++xact;
  }
  void ClearAll(OpSource& src) {
    Seen().clear();
    if (src.Chance(2)) {
      Op("DestroyAll");
      std::vector<void*> items;
      for (auto& kv : m) items.push_back(kv.second);
      TM_EQ(t.DestroyAll(&Record), 1);
      TM_EQ(Seen(), items);
    } else {
      Op("DetachAll");
      TM_EQ(t.DetachAll(), 1);
    }
    Cleared();
  }
  void FindOp(const Key& k, OpSource& src) {
    It i = m.find(k);
    if (src.Chance(2)) {
      Op("Exists");
      TM_EQ(K::Exists(t, k, src), reinterpret_cast<long>(At(i)));
      Fix();
      return;
    }
    if (!bKind) {
      Op("Find before the kind is fixed");
      TM_REPORTS(K::Find(t, k, src), K::KindText());
      return;
    }
    Op("Find");
    TM_EQ(K::Find(t, k, src), At(i));
    TM_EQ(t.Find(K::Ptr(k)), At(i));
    TM_EQ(t.Smallest(), m.empty() ? nullptr : m.begin()->second);
    TM_EQ(t.Largest(), m.empty() ? nullptr : m.rbegin()->second);
  }

  // ---- built-in cursor ----
  void GotoEnd(bool bTop) {
    Op(bTop ? "GotoTop" : "GotoBottom");
    bTop ? t.GotoTop() : t.GotoBottom();
    ccur = m.empty() ? m.end() : bTop ? m.begin() : std::prev(m.end());
    cvalid = true;
  }
  void Step1(bool bBack) {
    Op(bBack ? "Prev" : "Next");
    if (!cvalid) return;  // the cursor's node is gone
    long nExpected = 0;
    if (ccur != m.end()) {
      if (bBack)
        ccur = ccur == m.begin() ? m.end() : std::prev(ccur);
      else
        ++ccur;
      nExpected = ccur != m.end() ? 1 : 0;
    }
    TM_EQ(bBack ? t.Prev() : t.Next(), nExpected);
  }
  void Retrieve() {
    Op("Retrieve");
    if (cvalid) TM_EQ(t.Retrieve(), At(ccur));
  }
  // FirstThat / NextThat and their node forms: the cursor ends after the
  // match, or off the tree.
  void Searches(void* pv, OpSource& src) {
    bool bNode = src.Chance(2), bNext = src.Chance(2);
    Op(bNode ? (bNext ? "NextThatInternalContainer" : "FirstThatInternalContainer")
             : (bNext ? "NextThat" : "FirstThat"));
    if (bNext && !cvalid) return;
    It from = bNext ? ccur : m.begin();
    It i = from;
    while (i != m.end() && i->second != pv) ++i;
    if (bNode) {
      void* pvNode =
          bNext ? t.NextThatInternalContainer(&NodeHoldsUser, pv) : t.FirstThatInternalContainer(&NodeHoldsUser, pv);
      TM_EQ(pvNode != nullptr, i != m.end());
      if (pvNode) TM_TRUE(K::Of(AsLeaf(pvNode)) == i->first);
    } else {
      TM_EQ(bNext ? t.NextThat(&IsUser, pv) : t.FirstThat(&IsUser, pv), At(i));
    }
    ccur = i == m.end() ? i : std::next(i);
    cvalid = true;
  }
  std::vector<void*> Items() const {
    std::vector<void*> v;
    for (auto& kv : m) v.push_back(kv.second);
    return v;
  }
  void Walks(OpSource& src) {
    Seen().clear();
    switch (src.Pick(4)) {
      case 0:
        Op("ForEach(fn)");
        t.ForEach(&Record, nullptr);
        TM_EQ(Seen(), Items());
        break;
      case 1: {
        Op("ForEachLeaf / ForEachInternalContainer");
        bool bLeaf = src.Chance(2);
        bLeaf ? t.ForEachLeaf(&Record, nullptr) : t.ForEachInternalContainer(&Record, nullptr);
        TM_EQ(Seen().size(), m.size());
        std::size_t n = 0;
        for (auto& kv : m) {
          Leaf* plf = bLeaf ? static_cast<Leaf*>(Seen()[n]) : AsLeaf(Seen()[n]);
          TM_TRUE(K::Of(plf) == kv.first);
          ++n;
        }
        break;
      }
      case 2: {
        Op("ForEach(action)");
        MatchAction action(nullptr);
        t.ForEach(&action);
        TM_EQ(action.visited, Items());
        TM_EQ(action.bKeyIsString, 0);
        break;
      }
      default:
        Op("ForEach(key action)");
        TM_REPORTS(t.ForEach([](void*, void*, void*) { Seen().push_back(nullptr); }, nullptr), "1==0");
        TM_TRUE(Seen().empty());
        break;
    }
    Seen().clear();
  }
  void AllThats(void* pv, bool bNodes) {
    Op(bNodes ? "AllThatInternalContainer" : "AllThat");
    CPCollection* pcl =
        bNodes ? t.AllThatInternalContainer(
                     [](void* pvNode, void* pvUser) { return OneOrTwo(AsLeaf(pvNode)->pvData, pvUser); }, pv)
               : t.AllThat(&OneOrTwo, pv);
    TM_TRUE(pcl != nullptr);
    struct Free {  // AllThatInternalContainer's result comes with a reference
      bool bRelease;
      void operator()(CPCollection* p) const {
        if (bRelease)
          p->Release();
        else
          delete p;
      }
    };
    std::unique_ptr<CPCollection, Free> hold(pcl, Free{bNodes});
    TM_TRUE(SameClass<CPTree>(pcl));
    CPTree& r = static_cast<CPTree&>(*pcl);
    TM_INV(CPTreeInspector::Check(r));
    std::vector<std::pair<Key, void*>> got, expected;
    for (Leaf* plf = r._get_plfHead(); plf; plf = plf->plfNext) got.emplace_back(K::Of(plf), plf->pvData);
    for (auto& kv : m)
      if (OneOrTwo(kv.second, pv)) expected.push_back(kv);  // any non-zero result counts
    TM_TRUE(got == expected);
  }
  void BuildVectorOp() {
    Op("BuildVector");
    // The walk stops at a null item; the cells after it are null.
    std::vector<void*> items = Items();
    auto stop = std::find(items.begin(), items.end(), nullptr);
    std::fill(stop, items.end(), nullptr);
    TM_EQ(ItemsOf(t), items);
    if (m.empty()) return;  // nothing walked
    cvalid = true;
    ccur = std::next(m.begin(), stop - items.begin());
  }

  // ---- copies and the rest ----
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CPTree copy(t);
      TM_INV(CPTreeInspector::Check(copy));
      std::vector<std::pair<Key, void*>> got;
      for (Leaf* plf = copy._get_plfHead(); plf; plf = plf->plfNext) got.emplace_back(K::Of(plf), plf->pvData);
      TM_TRUE(got == std::vector<std::pair<Key, void*>>(m.begin(), m.end()));
      TM_TRUE(m.empty() || copy._get_plfHead() != t._get_plfHead());
      return;
    }
    Op("operator=");
    CPTree other;
    Map mo;
    for (unsigned n = src.Pick(6); n; --n) {
      Key k = K::Pick(src);
      void* pv = Item(src.Pick(20));
      K::Add(other, k, pv, src);
      mo[K::Stored(k, pv)] = pv;
    }
    t = other;
    TM_INV(CPTreeInspector::Check(other));
    m = mo;
    bKind = t._get_etdsState() != etreeNone;
    xact = t._get_nXACT();
    ccur = m.end();
    cvalid = t.RetrieveLeaf() == nullptr;
    delete pits;
    pits = nullptr;
  }
  void Typed(void* pv) {
    Op("typed entry points / CreateInstance");
    TM_EQ(t.vadd(pv), 0);
    TM_EQ(t.vadd(pv, 5L), 0);
    TM_EQ(t.vadd(pv, "k1"), 0);
    TM_TRUE(t.vfind(5L) == nullptr);
    TM_TRUE(t.vremove(5L) == nullptr);
    TM_TRUE(t.vremoveByProbe(pv) == nullptr);
    TM_TRUE(t.RetrieveInternalContainer() == nullptr);
    std::unique_ptr<CPCollection> pcl(t.CreateInstance());
    TM_TRUE(SameClass<CPTree>(pcl.get()));
    TM_EQ(pcl->Length(), 0u);
  }
  void BadInput(OpSource& src) {
    Op("bad input");
    switch (src.Pick(5)) {
      case 0:
        TM_REPORTS(t.FirstThat(nullptr, nullptr), "pfnCondFunc !=0");
        break;
      case 1:
        TM_REPORTS(t.NextThat(nullptr, nullptr), "pfnCondFunc !=0");
        break;
      case 2:
        TM_REPORTS(t.AllThat(nullptr, nullptr), "pfnCondFunc !=0");
        break;
      case 3:
        TM_REPORTS(t.Merge(nullptr), "ptreeFrom !=0");
        break;
      default:
        if (bKind) TM_REPORTS(K::WrongKind(t), K::WrongKindText());
        break;
    }
  }

  // ---- a TreeIterationState ----
  void StateOp(OpSource& src) {
    if (!pits || src.Chance(16)) {
      Op("CreateIterationState");
      delete pits;
      pits = t.CreateIterationState();
      TM_TRUE(pits != nullptr);
      TM_EQ(pits->gotoTop(), 1);
      spos = m.begin();
      nStateSnap = xact;
      return;
    }
    bool bStale = nStateSnap != xact;
    switch (src.Pick(5)) {
      case 0:
      case 1: {
        bool bTop = src.Chance(2);
        Op(bTop ? "state gotoTop" : "state gotoBottom");
        TM_EQ(bTop ? pits->gotoTop() : pits->gotoBottom(), 1);
        spos = m.empty() ? m.end() : bTop ? m.begin() : std::prev(m.end());
        nStateSnap = xact;
        break;
      }
      case 2: {
        Op("state gotoIDX");
        unsigned long n = src.Pick(static_cast<unsigned>(m.size()) + 2);
        TM_EQ(pits->gotoIDX(n), 1);
        spos = m.begin();
        for (unsigned long i = 0; i < n && spos != m.end(); ++i) ++spos;
        nStateSnap = xact;
        break;
      }
      case 3: {
        bool bBack = src.Chance(2);
        Op(bBack ? "state gotoPrev" : "state gotoNext");
        if (bStale) {
          TM_STALE(bBack ? pits->gotoPrev() : pits->gotoNext());
          break;
        }
        short nExpected = 0;
        if (spos != m.end()) {
          spos = bBack ? (spos == m.begin() ? m.end() : std::prev(spos)) : std::next(spos);
          nExpected = spos != m.end() ? 1 : 0;
        }
        TM_EQ(bBack ? pits->gotoPrev() : pits->gotoNext(), nExpected);
        break;
      }
      default:
        Op("state retrieve");
        if (bStale) {
          TM_STALE(pits->retrieve());
          break;
        }
        TM_EQ(pits->retrieve(), At(spos));
        CPInternalContainer* pic = pits->retrieveInternalContainer();
        TM_EQ(pic != nullptr, spos != m.end());
        if (pic) TM_TRUE(K::Of(static_cast<Leaf*>(pic)) == spos->first);
        break;
    }
  }
  // ---- caller code that throws ----
  // One callback-taking operation whose kth callback call throws.  The
  // exception reaches the caller unchanged; a kill walk has removed exactly
  // the nodes whose items it handed to kill (the one whose call threw
  // included), in key order; other walks and searches change no node.
  // The cursor and the change count are taken from the tree: the cursor
  // must be on a node it holds, or off the tree.
  void Throwing(void* pv, const Key& k, OpSource& src) {
    const long n = 1 + static_cast<long>(src.Pick(10));
    const std::vector<void*> before = Items();
    const std::size_t nHanded = std::min<std::size_t>(static_cast<std::size_t>(n), before.size());
    const std::vector<void*> prefix(before.begin(), before.begin() + static_cast<long>(nHanded));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(7)) {
      case 0:
        Op("DestroyAll, kill throws");
        threw = TM_THROWS_AT(n, t.DestroyAll(&Record));
        TM_EQ(threw, n <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        for (std::size_t i = 0; i < nHanded; ++i) Gone(m.begin());
        break;
      case 1: {
        if (!bKind) return;
        Op("DestroyKey, kill throws");
        It i = m.find(k);
        threw = TM_THROWS_AT(n, K::Destroy(t, k, &Record, src));
        TM_EQ(threw, i != m.end() && i->second && n == 1);
        if (i != m.end()) Gone(i);
        break;
      }
      case 2:
        Op("ForEach(fn), action throws");
        threw = TM_THROWS_AT(n, t.ForEach(&Record, nullptr));
        TM_EQ(threw, n <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        break;
      case 3: {
        Op("ForEach(IteratorAction), Perform throws");
        MatchAction action(nullptr);
        threw = TM_THROWS_AT(n, t.ForEach(&action));
        TM_EQ(threw, n <= static_cast<long>(before.size()));
        TM_EQ(action.visited, prefix);
        break;
      }
      case 4:
        Op("FirstThat, condition throws");
        threw = TM_THROWS_AT(n, t.FirstThat(&IsUser, pv));
        break;
      case 5: {
        Op("AllThat, condition throws");
        CPCollection* pcl = nullptr;
        threw = TM_THROWS_AT(n, pcl = t.AllThat(&OneOrTwo, pv));
        TM_EQ(pcl == nullptr, threw);
        delete pcl;
        break;
      }
      default: {
        Op("Iterator forEach, action throws");
        std::unique_ptr<Iterator> pit(t.GetIterator());
        TM_TRUE(pit != nullptr);
        threw = TM_THROWS_AT(n, pit->forEach(&Record, nullptr));
        std::vector<void*> walk = before;
        walk.erase(std::find(walk.begin(), walk.end(), nullptr), walk.end());  // a walk ends at a null item
        TM_EQ(threw, n <= static_cast<long>(walk.size()));
        TM_EQ(Seen(), std::vector<void*>(walk.begin(), walk.begin() + std::min<long>(n, walk.size())));
        break;
      }
    }
    Seen().clear();
    xact += static_cast<short>(t._get_nXACT() - static_cast<short>(xact));
    if (cvalid) TakeCursor();  // not when it was on a node that went (as without a throw)
  }
  void TakeCursor() {
    Leaf* plf = t.RetrieveLeaf();
    ccur = plf ? m.find(K::Of(plf)) : m.end();
    TM_TRUE(plf == nullptr || (ccur != m.end() && ccur->second == plf->pvData));
    cvalid = true;
  }

  // ---- allocations that fail ----
  // An add, a copy or a result builder whose nth library-object allocation
  // fails: it completes, or ends in its report with the nodes as they were
  // (the cursor is taken from the tree then).
  void FailingAllocation(const Key& k, void* pv, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(4));
    const unsigned which = src.Pick(4);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      switch (which) {
        case 0:
          AddKey(k, pv, src);
          break;
        case 1:
          Copy(src);
          break;
        case 2:
          AllThats(pv, src.Chance(2));
          break;
        default:
          BuildVectorOp();
          break;
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
    if (done) return;
    if (which == 0) Fix();  // the first keyed add fixes the key kind, as a lookup does
    if (cvalid) TakeCursor();
  }

  void IteratorWalk(void* pv, OpSource& src) {
    Op("Iterator algorithms");
    std::vector<void*> walk = Items();
    walk.erase(std::find(walk.begin(), walk.end(), nullptr), walk.end());  // a walk ends at a null item
    IteratorChecks(t, walk, pv ? pv : Item(0), src, eAllThatSorted);
  }

  CPTree t;
  Map m;
  bool bKind = false;  // the tree's key kind is fixed
  long xact = 0;
  It ccur = m.end();   // built-in cursor; end(): off the tree
  bool cvalid = true;  // false while the cursor's node is gone
  IterationState* pits = nullptr;
  It spos = m.end();
  long nStateSnap = 0;
};

// CPQueue: distinct items (each its own key) or explicit numeric keys, in
// arrival order; Insert puts at the front.
class QueueModel : public ModelBase {
 public:
  void Step(OpSource& src) {
    void* pv = Item(src.Pick(20));
    unsigned op = src.Pick(16);
    if (q.size() > 20 && op < 5) op += 5;
    switch (op) {
      case 0:
      case 1:
        Op("Add");
        qu.Add(pv);
        Arrive(reinterpret_cast<unsigned long>(pv), pv, false);
        break;
      case 2:
      case 3:
        Op("Insert");
        qu.Insert(pv);
        Arrive(reinterpret_cast<unsigned long>(pv), pv, true);
        break;
      case 4: {
        Op("AddKeyNum");
        unsigned long k = src.Pick(6);
        qu.AddKeyNum(k, pv);
        Arrive(k, pv, false);
        break;
      }
      case 5:
      case 6:
      case 7:
        Op("DetachTop");
        TM_EQ(qu.DetachTop(), q.empty() ? nullptr : q.front().second);
        if (!q.empty()) {
          q.pop_front();
          ++xact;
        }
        break;
      case 8: {
        Op("Detach(item)");
        auto i = Locate(reinterpret_cast<unsigned long>(pv));
        TM_EQ(qu.Detach(pv), i != q.end() ? 1 : 0);
        if (i != q.end()) {
          q.erase(i);
          ++xact;
        }
        break;
      }
      case 9:
        if (!src.Chance(6)) break;
        Op("DetachAll");
        qu.DetachAll();
        q.clear();
        ++xact;
        break;
      case 10: {
        Op("walks");
        std::vector<void*> v;
        for (auto& kv : q) v.push_back(kv.second);
        TM_EQ(CursorItems(), v);
        Seen().clear();
        qu.ForEach(&Record, nullptr);
        TM_EQ(Seen(), v);
        Seen().clear();
        TM_EQ(qu.Smallest(), v.empty() ? nullptr : v.front());
        TM_EQ(qu.Largest(), v.empty() ? nullptr : v.back());
        break;
      }
      case 11:
        Op("Find");
        TM_EQ(qu.Find(pv), Locate(reinterpret_cast<unsigned long>(pv)) != q.end() ? pv : nullptr);
        break;
      case 12:
        if (src.Chance(2)) {
          Op("copy constructor");
          CPQueue copy(qu);
          TM_INV(CPTreeInspector::Check(copy, false));
          copy.Add(Item(src.Pick(20)));  // the copy appends on its own
          TM_EQ(qu.Length(), q.size());
        } else {
          Op("operator=");
          CPQueue other;
          std::deque<std::pair<unsigned long, void*>> qo;
          for (unsigned n = src.Pick(5); n; --n) {
            void* pvo = Item(src.Pick(20));
            other.Add(pvo);
            if (std::none_of(qo.begin(), qo.end(),
                             [&](const std::pair<unsigned long, void*>& e) { return e.second == pvo; }))
              qo.push_back({reinterpret_cast<unsigned long>(pvo), pvo});
          }
          qu = other;
          q = qo;
          xact = qu._get_nXACT();
        }
        break;
      case 13: {
        Op("CreateInstance");
        std::unique_ptr<CPCollection> pcl(qu.CreateInstance());
        TM_TRUE(SameClass<CPQueue>(pcl.get()));
        break;
      }
      case 14:
        Throwing(pv, src);
        break;
      case 15:
        FailingAllocation(pv, src);
        break;
      default:
        Op("Length");
        TM_EQ(qu.Length(), q.size());
        break;
    }
  }
  void Check() {
    TM_INV(CPTreeInspector::Check(qu, false));
    std::vector<std::pair<unsigned long, void*>> real;
    for (Leaf* plf = qu._get_plfHead(); plf && real.size() <= q.size(); plf = plf->plfNext)
      real.emplace_back(reinterpret_cast<unsigned long>(plf->pvKey), plf->pvData);
    TM_TRUE(real == std::vector<std::pair<unsigned long, void*>>(q.begin(), q.end()));
    TM_EQ(qu._get_nXACT(), static_cast<short>(xact));
  }

 private:
  std::deque<std::pair<unsigned long, void*>>::iterator Locate(unsigned long k) {
    return std::find_if(q.begin(), q.end(), [&](const std::pair<unsigned long, void*>& e) { return e.first == k; });
  }
  // A present key keeps its place and takes the item.
  void Arrive(unsigned long k, void* pv, bool bFront) {
    auto i = Locate(k);
    if (i != q.end()) {
      i->second = pv;
      return;
    }
    if (bFront)
      q.push_front({k, pv});
    else
      q.push_back({k, pv});
    ++xact;
  }
  std::vector<void*> Items() const {
    std::vector<void*> v;
    for (auto& kv : q) v.push_back(kv.second);
    return v;
  }

  // ---- caller code that throws ----
  // One callback-taking operation whose kth callback call throws; the
  // exception reaches the caller unchanged.  A throwing DestroyAll has
  // removed exactly the items it handed to kill (the one whose call threw
  // included) from the front; a throwing Destroy has removed its item; the
  // other walks and searches change nothing.  A removal must count as a
  // change (iteration states go stale); the count is taken from the queue.
  void Throwing(void* pv, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(10));
    const std::vector<void*> before = Items();
    const long n = static_cast<long>(before.size());
    const std::vector<void*> prefix(before.begin(), before.begin() + std::min(k, n));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(6)) {
      case 0:
        Op("DestroyAll, kill throws");
        threw = TM_THROWS_AT(k, qu.DestroyAll(&Record));
        TM_EQ(threw, k <= n);
        TM_EQ(Seen(), prefix);
        q.erase(q.begin(), q.begin() + static_cast<long>(prefix.size()));
        break;
      case 1: {
        Op("Destroy, kill throws");
        auto i = Locate(reinterpret_cast<unsigned long>(pv));
        threw = TM_THROWS_AT(k, qu.Destroy(pv, &Record));
        TM_EQ(threw, i != q.end() && k == 1);
        TM_EQ(Seen(), i != q.end() ? std::vector<void*>{i->second} : std::vector<void*>{});
        if (i != q.end()) q.erase(i);
        break;
      }
      case 2:
        Op("ForEach(fn), action throws");
        threw = TM_THROWS_AT(k, qu.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= n);
        TM_EQ(Seen(), prefix);
        break;
      case 3: {
        Op("ForEach(IteratorAction), Perform throws");
        MatchAction action(nullptr);
        threw = TM_THROWS_AT(k, qu.ForEach(&action));
        TM_EQ(threw, k <= n);
        TM_EQ(action.visited, prefix);
        break;
      }
      case 4: {
        Op("FirstThat, condition throws");
        // The search asks the condition up to the first match.
        long nAsked = std::find(before.begin(), before.end(), pv) - before.begin();
        threw = TM_THROWS_AT(k, qu.FirstThat(&IsUser, pv));
        TM_EQ(threw, k <= std::min(nAsked + 1, n));
        break;
      }
      default: {
        Op("AllThat, condition throws");
        CPCollection* pcl = nullptr;
        threw = TM_THROWS_AT(k, pcl = qu.AllThat(&OneOrTwo, pv));
        TM_EQ(threw, k <= n);
        TM_EQ(pcl == nullptr, threw);
        delete pcl;
        break;
      }
    }
    Seen().clear();
    if (q.size() != before.size()) TM_TRUE(qu._get_nXACT() != static_cast<short>(xact));
    xact = qu._get_nXACT();
  }

  // ---- allocations that fail ----
  // An add, a copy or an assignment whose nth library-object allocation
  // fails completes, or ends in its report with the queue as it was (items,
  // order and change count); CreateInstance answers null, and only when the
  // allocation failed.
  void FailingAllocation(void* pv, OpSource& src) {
    const long nth = 1 + static_cast<long>(src.Pick(3));
    const unsigned which = src.Pick(6);
    const unsigned long k = src.Pick(6);
    CPQueue other;  // the source of an assignment, made before arming
    std::deque<std::pair<unsigned long, void*>> qo;
    if (which == 4) {
      for (unsigned c = src.Pick(5); c; --c) {
        void* pvo = Item(src.Pick(20));
        other.Add(pvo);
        if (std::none_of(qo.begin(), qo.end(), [&](const std::pair<unsigned long, void*>& e) { return e.second == pvo; }))
          qo.push_back({reinterpret_cast<unsigned long>(pvo), pvo});
      }
    }
    std::unique_ptr<CPCollection> pcl;
    static const char* const apszOps[] = {"Add, allocation fails",       "Insert, allocation fails",
                                          "AddKeyNum, allocation fails", "copy constructor, allocation fails",
                                          "operator=, allocation fails", "CreateInstance, allocation fails"};
    Op(apszOps[which]);
    bool done = SurvivesAllocationFailure(eAllocObject, nth, [&] {
      switch (which) {
        case 0:
          qu.Add(pv);
          Arrive(reinterpret_cast<unsigned long>(pv), pv, false);
          break;
        case 1:
          qu.Insert(pv);
          Arrive(reinterpret_cast<unsigned long>(pv), pv, true);
          break;
        case 2:
          qu.AddKeyNum(k, pv);
          Arrive(k, pv, false);
          break;
        case 3: {
          CPQueue copy(qu);
          TM_INV(CPTreeInspector::Check(copy, false));
          std::vector<void*> v;
          for (Leaf* plf = copy._get_plfHead(); plf && v.size() <= q.size(); plf = plf->plfNext) v.push_back(plf->pvData);
          TM_EQ(v, Items());
          break;
        }
        case 4:
          qu = other;
          q = qo;
          xact = qu._get_nXACT();
          break;
        default:
          pcl.reset(qu.CreateInstance());
          if (!pcl) TM_TRUE(ObjectFailureFired(nth));
          break;
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
    if (pcl) TM_TRUE(SameClass<CPQueue>(pcl.get()));
  }

  std::vector<void*> CursorItems() {
    std::vector<void*> v;
    qu.GotoTop();
    for (void* p = qu.Retrieve(); p && v.size() <= q.size(); p = qu.Retrieve()) {
      v.push_back(p);
      qu.Next();
    }
    return v;
  }

  CPQueue qu;
  std::deque<std::pair<unsigned long, void*>> q;
  long xact = 0;
};

}  // namespace tarncoll::test::model

#endif
