// Model of CPDictionary: 256 slots of entries in order of addition, the
// slot rule (CRC-16 of the text, low byte of a number), the built-in
// cursor (a slot and an entry of it), the parallel vector and one
// DictionaryIterationState.
#ifndef TARNCOLL_TESTS_MODEL_DICTIONARY_MODEL_H
#define TARNCOLL_TESTS_MODEL_DICTIONARY_MODEL_H

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>
#include <util/CPString.h>
#include <util/crc16.h>

#include "model/harness.h"
#include "model/walks.h"
#include "support/dictionary_inspector.h"
#include "support/list_inspector.h"

namespace tarncoll::test::model {

// The entries of a dictionary by slot, and its adds and lookups.
class DictContent {
 public:
  struct Entry {
    unsigned long id;  // unique within the model
    bool bString;
    std::string text;  // the stored key text ("UnNamed" for an empty one)
    unsigned long num;
    void* item;
  };
  static unsigned long SlotOf(const std::string& text) {
    return crc16::Update(0, text.data(), static_cast<long>(text.size())) & 0xFF;
  }

  std::vector<Entry> slot[256];
  unsigned long nextId = 1;

  // The first string entry of the text in its slot, or null.
  const Entry* FindString(const std::string& text) const {
    for (const Entry& e : slot[SlotOf(text)])
      if (e.bString && e.text == text) return &e;
    return nullptr;
  }
  const Entry* FindNumber(unsigned long n) const {
    for (const Entry& e : slot[n & 0xFF])
      if (!e.bString && e.num == n) return &e;
    return nullptr;
  }
  bool ExistsString(const std::string& text) const {
    const Entry* pe = FindString(text);
    return pe && pe->item;  // an entry holding null counts as absent
  }
  // 1 when added.
  bool AddString(const std::string& text, void* pv) {
    if (ExistsString(text)) return false;
    slot[SlotOf(text)].push_back({nextId++, true, text.empty() ? "UnNamed" : text, 0, pv});
    return true;
  }
  bool AddNumber(unsigned long n, void* pv) {
    if (FindNumber(n)) return false;
    slot[n & 0xFF].push_back({nextId++, false, "", n, pv});
    return true;
  }
  std::vector<Entry> Ordered() const {
    std::vector<Entry> v;
    for (const auto& s : slot) v.insert(v.end(), s.begin(), s.end());
    return v;
  }
  unsigned long Size() const {
    unsigned long n = 0;
    for (const auto& s : slot) n += s.size();
    return n;
  }
};

// "" when the dictionary holds exactly the model's entries in iteration
// order (kind, key, item).
inline std::string SameEntries(const CPDictionary& d, const std::vector<DictContent::Entry>& expected) {
  std::vector<CPDictionaryAssociation*> real = CPDictionaryInspector::Entries(d);
  if (real.size() != expected.size())
    return std::to_string(real.size()) + " entries, the model has " + std::to_string(expected.size());
  for (std::size_t i = 0; i < real.size(); ++i) {
    CPDictionaryAssociation* pda = real[i];
    const DictContent::Entry& e = expected[i];
    bool bSame = pda->GetValue() == e.item && (pda->_get_bUseString() != 0) == e.bString;
    if (bSame && e.bString) bSame = pda->_get_pstrKey() && e.text == pda->_get_pstrKey()->GetBuffer();
    if (bSame && !e.bString) bSame = static_cast<unsigned long>(pda->GetKeyCardinal()) == e.num;
    if (!bSame)
      return "entry " + std::to_string(i) + " differs from the model's (key " + e.text + "/" + std::to_string(e.num) +
             ")";
  }
  return "";
}

class DictionaryModel : public ModelBase {
  typedef DictContent::Entry Entry;

 public:
  ~DictionaryModel() { delete pits; }

  void Step(OpSource& src) {
    void* pv = src.Chance(24) ? nullptr : Item(src.Pick(20));
    unsigned op = src.Pick(48);
    if (m.Size() > 48 && op < 12) op += 12;
    switch (op) {
      case 0:
      case 1:
      case 2:
        AddNum(Num(src), pv ? pv : Item(1));
        break;
      case 3:
      case 4:
      case 5:
        AddText(Text(src), pv, src);
        break;
      case 6:
        AddItem(pv ? pv : Item(2));
        break;
      case 7:
        AddListOp(src);
        break;
      case 8:
        AddFromList(src);
        break;
      case 9:
      case 10:
        Find(src);
        break;
      case 11:
        ExistsValue(pv);
        break;
      case 12:
      case 13:
      case 14:
        RemoveNum(Num(src), src);
        break;
      case 15:
      case 16:
      case 17:
        RemoveText(Text(src), src);
        break;
      case 18:
      case 19:
        RemoveItem(pv ? pv : Item(3), src.Chance(2));
        break;
      case 20:
        if (src.Chance(6)) ClearAll(src);
        break;
      case 21:
      case 22:
        GotoTop();
        break;
      case 23:
        GotoBottom();
        break;
      case 24:
      case 25:
      case 26:
        Next();
        break;
      case 27:
        Prev();
        break;
      case 28:
      case 29:
        Retrieve();
        break;
      case 30:
        Positional(src);
        break;
      case 31:
        ForEachAction();
        break;
      case 32:
        ForEachFns(src);
        break;
      case 33:
        FirstThats(pv);
        break;
      case 34:
        AllThats(pv, src.Chance(2));
        break;
      case 35:
        KeyCardinals(src);
        break;
      case 36:
        StringKeyListOp();
        break;
      case 37:
        BuildVectorOp();
        break;
      case 38:
        Copy(src);
        break;
      case 39:
        Typed(pv, src);
        break;
      case 40:
      case 41:
      case 42:
        StateOp(src);
        break;
      case 43:
        IteratorWalk(src);
        break;
      case 44:
        Unsupported(src);
        break;
      case 45:
        Throwing(pv, src);
        break;
      case 46:
        FailingAllocation(pv, src);
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
    TM_INV(CPDictionaryInspector::Check(dct));
    TM_INV(SameEntries(dct, m.Ordered()));
    TM_EQ(dct.Length(), m.Size());
    TM_EQ(dct._get_nXACT(), static_cast<short>(xact));
    TM_EQ(dct.IsMT(), m.Size() == 0 ? 1 : 0);
    TM_EQ(CPDictionaryInspector::CursorSlot(dct), static_cast<short>(cslot));
    TM_EQ(Position(dct.RetrieveInternalContainer()), cslot >= 0 && cid ? Position(cslot, cid) : -1L);
  }

 private:
  // ---- keys ----
  unsigned long Num(OpSource& src) {
    static const unsigned long anKeys[] = {
        0, 1, 2, 3, 255, 256, 257, 513, 769, 0x7FFFFFFFul, 0x80000000ul, 0xFFFFFFFFul, ~0ul, 0x100000001ul};
    return anKeys[src.Pick(sizeof anKeys / sizeof anKeys[0])];
  }
  std::string Text(OpSource& src) {
    if (src.Chance(4)) return SpelledText(src);
    static const char* const apszKeys[] = {"",   "a",  "b",  "c",        "key",     "k1",         "k2", "k3", "k4",
                                           "k5", "k6", "k7", "\xff\x80", "UnNamed", "longer key", "A",  "ab", "ba"};
    return apszKeys[src.Pick(sizeof apszKeys / sizeof apszKeys[0])];
  }
  static unsigned long CRC(const std::string& text) {
    return crc16::Update(0, text.data(), static_cast<long>(text.size()));
  }

  // ---- positions ----
  // Zero-based position of entry id of slot s in iteration order, or -1.
  long Position(int s, unsigned long id) const {
    long n = 0;
    for (int t = 0; t < 256; ++t)
      for (const Entry& e : m.slot[t]) {
        if (t == s && e.id == id) return n;
        ++n;
      }
    return -1;
  }
  long Position(void* pvEntry) const {
    std::vector<CPDictionaryAssociation*> v = CPDictionaryInspector::Entries(dct);
    auto i = std::find(v.begin(), v.end(), static_cast<CPDictionaryAssociation*>(pvEntry));
    return i == v.end() ? -1 : static_cast<long>(i - v.begin());
  }
  int NextNonblank(int s) const {
    for (int t = s; t < 256; ++t)
      if (!m.slot[t].empty()) return t;
    return -1;
  }
  const Entry* CursorEntry() const {
    if (cslot < 0 || !cid) return nullptr;
    for (const Entry& e : m.slot[cslot])
      if (e.id == cid) return &e;
    return nullptr;
  }

  // ---- changes ----
  // Removes entry i of slot s; the built-in cursor moves to its successor.
  void Erase(int s, std::size_t i, CPKillFunc pfnKill) {
    std::vector<Entry>& v = m.slot[s];
    if (cslot == s && cid == v[i].id) cid = i + 1 < v.size() ? v[i + 1].id : 0;
    if (pfnKill) expectedKills.push_back(v[i].item);
    v.erase(v.begin() + static_cast<long>(i));
    ++xact;
  }
  // The first entry of a key, as (slot, index); slot -1 when none.
  std::pair<int, std::size_t> LocateText(const std::string& text) const {
    int s = static_cast<int>(DictContent::SlotOf(text));
    for (std::size_t i = 0; i < m.slot[s].size(); ++i)
      if (m.slot[s][i].bString && m.slot[s][i].text == text) return {s, i};
    return {-1, 0};
  }
  std::pair<int, std::size_t> LocateNum(unsigned long n) const {
    int s = static_cast<int>(n & 0xFF);
    for (std::size_t i = 0; i < m.slot[s].size(); ++i)
      if (!m.slot[s][i].bString && m.slot[s][i].num == n) return {s, i};
    return {-1, 0};
  }
  void ExpectKills() {
    TM_EQ(Seen(), expectedKills);
    Seen().clear();
    expectedKills.clear();
  }

  void AddNum(unsigned long n, void* pv) {
    Op("AddKeyNum");
    dct.AddKeyNum(n, pv);
    if (m.AddNumber(n, pv)) ++xact;
  }
  void AddText(const std::string& text, void* pv, OpSource& src) { AddText(text, pv, src.Pick(4)); }
  // how: 0 text and CRC, 1 unshared CPString, 2 shared CPString, 3 text.
  void AddText(const std::string& text, void* pv, unsigned how) {
    switch (how) {
      case 0: {
        Op("AddKeyString(text, CRC)");
        unsigned long nCRC = CRC(text);
        dct.AddKeyString(text.c_str(), pv, &nCRC);
        break;
      }
      case 1: {
        Op("AddKeyString(unshared CPString)");
        CPString str(text.c_str());  // no reference: the entry copies it
        dct.AddKeyString(&str, pv);
        break;
      }
      case 2: {
        Op("AddKeyString(shared CPString)");
        CPString* pstr = new CPString(text.c_str());
        pstr->AddRef();
        dct.AddKeyString(pstr, pv);
        pstr->Release();
        break;
      }
      default:
        Op("AddKeyString(text)");
        dct.AddKeyString(text.c_str(), pv, nullptr);
        break;
    }
    if (m.AddString(text, pv)) ++xact;
  }
  void AddItem(void* pv) {
    Op("Add");
    dct.Add(pv);
    if (m.AddNumber(reinterpret_cast<unsigned long>(pv), pv)) ++xact;
  }
  // AddList with entries made here: each added under its key by the adds.
  void AddListOp(OpSource& src) {
    Op("AddList");
    CPList lst;
    std::vector<CPDictionaryAssociation*> entries;
    for (unsigned n = src.Pick(4); n; --n) {
      CPDictionaryAssociation* pda = new CPDictionaryAssociation;
      void* pv = Item(src.Pick(20));
      if (src.Chance(2))
        pda->SetKeyString(Text(src).c_str());
      else
        pda->SetKeyCardinal(static_cast<long>(Num(src)));
      pda->SetValue(pv);
      entries.push_back(pda);
      lst.Add(pda);
    }
    dct.AddList(&lst);
    for (CPDictionaryAssociation* pda : entries) {
      bool bAdded = pda->_get_bUseString()
                        ? m.AddString(pda->_get_pstrKey()->GetBuffer(), pda->GetValue())
                        : m.AddNumber(static_cast<unsigned long>(pda->GetKeyCardinal()), pda->GetValue());
      if (bAdded) ++xact;
      delete pda;
    }
    dct.AddList(nullptr);
  }
  void AddFromList(OpSource& src) {
    Op("AddFrom");
    CPList lst;
    for (unsigned n = src.Pick(4); n; --n) lst.Add(Item(src.Pick(20)));
    dct.AddFrom(&lst);
    for (void* pv : CPListInspector::Forward(lst))
      if (m.AddNumber(reinterpret_cast<unsigned long>(pv), pv)) ++xact;
  }
  void RemoveNum(unsigned long n, OpSource& src) {
    auto at = LocateNum(n);
    bool bKill = src.Chance(2), bNullKill = src.Chance(4);
    Seen().clear();
    if (bKill) {
      Op("DestroyKeyNum");
      dct.DestroyKeyNum(n, bNullKill ? nullptr : &Record);
    } else {
      Op("DetachKeyNum");
      dct.DetachKeyNum(n);
    }
    if (at.first >= 0) Erase(at.first, at.second, bKill && !bNullKill ? &Record : nullptr);
    ExpectKills();
  }
  void RemoveText(const std::string& text, OpSource& src) {
    auto at = LocateText(text);
    bool bKill = src.Chance(2), bNullKill = src.Chance(4);
    CPKillFunc pfnKill = bKill && !bNullKill ? &Record : nullptr;
    Seen().clear();
    switch (src.Pick(3)) {
      case 0:
        if (bKill) {
          Op("DestroyKeyString(text)");
          dct.DestroyKeyString(text.c_str(), pfnKill, nullptr);
        } else {
          Op("DetachKeyString(text)");
          dct.DetachKeyString(text.c_str(), nullptr);
        }
        break;
      case 1: {
        Op("DetachKeyString / DestroyKeyString(text, CRC)");
        unsigned long nCRC = CRC(text);
        if (bKill)
          dct.DestroyKeyString(text.c_str(), pfnKill, &nCRC);
        else
          dct.DetachKeyString(text.c_str(), &nCRC);
        break;
      }
      default: {
        Op("DetachKeyString / DestroyKeyString(CPString)");
        CPString str(text.c_str());
        if (bKill)
          dct.DestroyKeyString(&str, pfnKill);
        else
          dct.DetachKeyString(&str);
        break;
      }
    }
    if (at.first >= 0) Erase(at.first, at.second, pfnKill);
    ExpectKills();
  }
  // Detach / Destroy by item: the built-in cursor walks to the first
  // entry holding it (either key kind).
  void RemoveItem(void* pv, bool bDestroy) {
    Op(bDestroy ? "Destroy(item)" : "Detach(item)");
    Seen().clear();
    char nResult = bDestroy ? dct.Destroy(pv, &Record) : dct.Detach(pv);
    WalkToEnd();
    bool bFound = false;
    for (int s = 0; s < 256 && !bFound; ++s)
      for (std::size_t i = 0; i < m.slot[s].size(); ++i)
        if (m.slot[s][i].item == pv) {
          cslot = s;
          cid = m.slot[s][i].id;
          Erase(s, i, bDestroy ? &Record : nullptr);
          bFound = true;
          break;
        }
    TM_EQ(nResult, bFound ? 1 : 0);
    ExpectKills();
  }
  void ClearAll(OpSource& src) {
    bool bDestroy = src.Chance(2), bNullKill = src.Chance(4);
    Op(bDestroy ? "DestroyAll" : "DetachAll");
    Seen().clear();
    if (bDestroy) {
      TM_EQ(dct.DestroyAll(bNullKill ? nullptr : &Record), 1);
      if (!bNullKill)
        for (const Entry& e : m.Ordered()) expectedKills.push_back(e.item);
    } else {
      TM_EQ(dct.DetachAll(), 1);
    }
    for (auto& s : m.slot) s.clear();
    cid = 0;
    ++xact;
    ExpectKills();
  }

  // ---- lookups ----
  void Find(OpSource& src) {
    std::string text = Text(src);
    unsigned long n = Num(src);
    const Entry* pe = m.FindString(text);
    void* pvText = pe ? pe->item : nullptr;
    const Entry* pn = m.FindNumber(n);
    switch (src.Pick(3)) {
      case 0: {
        Op("FindKeyString / ExistsKeyString(text)");
        unsigned long nCRC = CRC(text);
        TM_EQ(dct.FindKeyString(text.c_str(), nullptr), pvText);
        TM_EQ(dct.FindKeyString(text.c_str(), &nCRC), pvText);
        TM_EQ(dct.ExistsKeyString(text.c_str(), nullptr), m.ExistsString(text) ? 1 : 0);
        break;
      }
      case 1: {
        Op("FindKeyString / ExistsKeyString(CPString)");
        CPString str(text.c_str());
        TM_EQ(dct.FindKeyString(&str), pvText);
        TM_EQ(dct.ExistsKeyString(&str), m.ExistsString(text) ? 1 : 0);
        break;
      }
      default:
        Op("FindKeyNum / ExistsKeyNum");
        TM_EQ(dct.FindKeyNum(n), pn ? pn->item : nullptr);
        TM_EQ(dct.ExistsKeyNum(n), pn ? 1 : 0);
        break;
    }
  }
  void ExistsValue(void* pv) {
    Op("ExistsValue");
    bool bAny = false;
    for (const Entry& e : m.Ordered()) bAny = bAny || (pv && e.item == pv);
    TM_EQ(dct.ExistsValue(pv), bAny ? 1 : 0);
  }

  // ---- built-in cursor ----
  void GotoTopModel() {
    cslot = NextNonblank(0);
    cid = cslot >= 0 ? m.slot[cslot].front().id : 0;
  }
  void GotoTop() {
    Op("GotoTop");
    dct.GotoTop();
    GotoTopModel();
  }
  void GotoBottom() {
    Op("GotoBottom");
    dct.GotoBottom();
    if (m.Size() == 0) {
      GotoTopModel();
      return;
    }
    for (int s = 255; s >= 0; --s)
      if (!m.slot[s].empty()) {
        cslot = s;
        cid = m.slot[s].back().id;
        return;
      }
  }
  long ModelNext() {
    if (cslot < 0 || m.slot[cslot].empty()) return 0;
    std::vector<Entry>& v = m.slot[cslot];
    if (cid) {
      for (std::size_t i = 0; i + 1 < v.size(); ++i)
        if (v[i].id == cid) {
          cid = v[i + 1].id;
          return 1;
        }
    }
    cid = 0;  // the slot list's cursor goes off its list
    int s = NextNonblank(cslot + 1);
    if (s < 0) return 0;
    cslot = s;
    cid = m.slot[s].front().id;
    return 1;
  }
  // A walk by GotoTop / Retrieve... / Next until nothing is retrieved.
  void WalkToEnd() {
    GotoTopModel();
    while (CursorEntry()) ModelNext();
  }
  void Next() {
    Op("Next");
    TM_EQ(dct.Next(), ModelNext());
  }
  void Prev() {
    Op("Prev");
    TM_EQ(dct.Prev(), 0);
  }
  void Retrieve() {
    Op("Retrieve");
    const Entry* pe = CursorEntry();
    TM_EQ(dct.Retrieve(), pe ? pe->item : nullptr);
  }
  void Positional(OpSource& src) {
    Op("RetrieveIDX / RetrieveDAIDX / operator[]");
    std::vector<Entry> v = m.Ordered();
    unsigned long i = src.Pick(static_cast<unsigned>(v.size()) + 2);
    void* pvExpected = i < v.size() ? v[i].item : nullptr;
    TM_EQ(dct.RetrieveIDX(i), pvExpected);
    TM_EQ(dct[i], pvExpected);
    CPDictionaryAssociation* pda = dct.RetrieveDAIDX(static_cast<long>(i));
    TM_EQ(Position(pda), i < v.size() ? static_cast<long>(i) : -1L);
    TM_TRUE(dct.RetrieveDAIDX(-1) == nullptr);
  }

  // ---- walks ----
  class KeyAction : public IteratorAction {
   public:
    short Perform() override {
      std::string key = bKeyIsString ? std::string("s:") + static_cast<CPString*>(pvKey)->GetBuffer()
                                     : "n:" + std::to_string(reinterpret_cast<unsigned long>(pvKey));
      seen.push_back(key);
      items.push_back(pvItem);
      return 0;
    }
    std::vector<std::string> seen;
    std::vector<void*> items;
  };
  static std::string KeyOf(const Entry& e) { return e.bString ? "s:" + e.text : "n:" + std::to_string(e.num); }
  std::vector<std::string> Keys() const {
    std::vector<std::string> v;
    for (const Entry& e : m.Ordered()) v.push_back(KeyOf(e));
    return v;
  }
  std::vector<void*> ItemsInOrder() const {
    std::vector<void*> v;
    for (const Entry& e : m.Ordered()) v.push_back(e.item);
    return v;
  }
  void ForEachAction() {
    Op("ForEach(action)");
    KeyAction action;
    dct.ForEach(&action);
    TM_EQ(action.seen, Keys());
    TM_EQ(action.items, ItemsInOrder());
    WalkToEnd();
  }
  void ForEachFns(OpSource& src) {
    Seen().clear();
    switch (src.Pick(3)) {
      case 0:
        Op("ForEach(fn)");
        dct.ForEach(&Record, nullptr);
        TM_EQ(Seen(), ItemsInOrder());
        break;
      case 1: {
        Op("ForEachInternalContainer");
        dct.ForEachInternalContainer(&Record, nullptr);
        std::vector<CPDictionaryAssociation*> v = CPDictionaryInspector::Entries(dct);
        TM_EQ(Seen(), std::vector<void*>(v.begin(), v.end()));
        break;
      }
      default: {
        Op("ForEach(key action)");
        static std::vector<void*> keys;
        keys.clear();
        dct.ForEach(
            [](void* pvItem, void*, void* pvKey) {
              Seen().push_back(pvItem);
              keys.push_back(pvKey);
            },
            nullptr);
        TM_EQ(Seen(), ItemsInOrder());
        std::vector<Entry> v = m.Ordered();
        TM_EQ(keys.size(), v.size());
        for (std::size_t i = 0; i < v.size(); ++i)
          TM_EQ(v[i].bString ? std::string("s:") + static_cast<CPString*>(keys[i])->GetBuffer()
                             : "n:" + std::to_string(reinterpret_cast<unsigned long>(keys[i])),
                KeyOf(v[i]));
        break;
      }
    }
    Seen().clear();
  }
  void FirstThats(void* pv) {
    Op("FirstThat / FirstThatInternalContainer");
    std::vector<Entry> v = m.Ordered();
    auto i = std::find_if(v.begin(), v.end(), [&](const Entry& e) { return e.item == pv; });
    TM_EQ(dct.FirstThat(&IsUser, pv), i == v.end() ? nullptr : pv);
    void* pvEntry = dct.FirstThatInternalContainer(
        [](void* pvE, void* pvUser) {
          return static_cast<CPDictionaryAssociation*>(pvE)->GetValue() == pvUser ? 1 : 0;
        },
        pv);
    TM_EQ(Position(pvEntry), i == v.end() ? -1L : static_cast<long>(i - v.begin()));
  }
  // AllThat: the matching items (condition exactly 1) added to a new
  // dictionary under their keys, through the adds' rules.
  void AllThats(void* pv, bool bEntries) {
    Op(bEntries ? "AllThatInternalContainer" : "AllThat");
    std::unique_ptr<CPCollection> pcl(
        bEntries ? dct.AllThatInternalContainer(
                       [](void* pvE, void* pvUser) {
                         return OneOrTwo(static_cast<CPDictionaryAssociation*>(pvE)->GetValue(), pvUser);
                       },
                       pv)
                 : dct.AllThat(&OneOrTwo, pv));
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<CPDictionary>(pcl.get()));
    DictContent expected;
    for (const Entry& e : m.Ordered())
      if (OneOrTwo(e.item, pv) == 1) e.bString ? expected.AddString(e.text, e.item) : expected.AddNumber(e.num, e.item);
    CPDictionary& d = static_cast<CPDictionary&>(*pcl);
    TM_INV(CPDictionaryInspector::Check(d));
    TM_INV(SameEntries(d, expected.Ordered()));
  }
  void KeyCardinals(OpSource& src) {
    std::vector<Entry> v = m.Ordered();
    if (src.Chance(2)) {
      Op("ForEachKeyCardinal");
      Seen().clear();
      dct.ForEachKeyCardinal(reinterpret_cast<void*>(&Record), nullptr);
      std::vector<void*> keys;
      for (const Entry& e : v) keys.push_back(reinterpret_cast<void*>(e.bString ? 0 : e.num));
      TM_EQ(Seen(), keys);
      Seen().clear();
      return;
    }
    Op("FirstThatKeyCardinal");
    unsigned long n = Num(src);
    auto i = std::find_if(v.begin(), v.end(), [&](const Entry& e) { return (e.bString ? 0 : e.num) == n; });
    int (*pfnCond)(void*, void*) = &IsUser;
    void* pvEntry = dct.FirstThatKeyCardinal(reinterpret_cast<void*>(pfnCond), reinterpret_cast<void*>(n));
    TM_EQ(Position(pvEntry), i == v.end() ? -1L : static_cast<long>(i - v.begin()));
  }
  void StringKeyListOp() {
    Op("StringKeyList");
    std::string expected;
    for (const Entry& e : m.Ordered()) expected += (e.bString ? e.text : "") + "\r\n";
    std::vector<char> buf(expected.size() + 64, 'x');
    dct.StringKeyList(buf.data());
    TM_EQ(std::string(buf.data()), expected);
  }
  void BuildVectorOp() {
    Op("BuildVector");
    // The walk stops at a null item; the cells after it are null.
    std::vector<void*> items = ItemsInOrder();
    std::fill(std::find(items.begin(), items.end(), nullptr), items.end(), nullptr);
    TM_EQ(ItemsOf(dct), items);
    if (items.empty()) return;  // nothing walked
    GotoTopModel();
    while (CursorEntry() && CursorEntry()->item) ModelNext();
  }

  // ---- copies and the rest of the interface ----
  void Copy(OpSource& src) {
    if (src.Chance(2)) {
      Op("copy constructor");
      CPDictionary copy(dct);
      TM_INV(CPDictionaryInspector::Check(copy));
      TM_INV(SameEntries(copy, m.Ordered()));
      copy.DetachAll();
      TM_EQ(dct.Length(), m.Size());
      return;
    }
    Op("operator=");
    CPDictionary other;
    DictContent mOther;
    for (unsigned n = src.Pick(6); n; --n) {
      void* pv = Item(src.Pick(20));
      if (src.Chance(2)) {
        std::string text = Text(src);
        other.AddKeyString(text.c_str(), pv, nullptr);
        mOther.AddString(text, pv);
      } else {
        unsigned long k = Num(src);
        other.AddKeyNum(k, pv);
        mOther.AddNumber(k, pv);
      }
    }
    if (src.Chance(4)) {
      dct = static_cast<CPDictionary&>(dct);  // self-assignment changes nothing
      return;
    }
    dct = other;
    TM_INV(SameEntries(other, mOther.Ordered()));
    for (int s = 0; s < 256; ++s) m.slot[s] = mOther.slot[s];
    m.nextId = std::max(m.nextId, mOther.nextId) + 1000;
    // Fresh ids, and the cursor as the assignment left it.
    for (auto& s : m.slot)
      for (Entry& e : s) e.id = m.nextId++;
    xact = dct._get_nXACT();
    TakeCursor();
    delete pits;
    pits = nullptr;
    other.DetachAll();
  }
  void Typed(void* pv, OpSource& src) {
    Op("typed entry points / CreateInstance");
    switch (src.Pick(3)) {
      case 0:
        TM_EQ(dct.add(pv, 5L), 0);
        break;
      case 1:
        TM_EQ(dct.add(pv, "k1"), 0);
        break;
      default:
        TM_EQ(dct.remove(5L), nullptr);
        break;
    }
    TM_EQ(dct.find(5L), nullptr);
    std::unique_ptr<CPCollection> pcl(dct.CreateInstance());
    TM_TRUE(pcl != nullptr);
    TM_TRUE(SameClass<CPDictionary>(pcl.get()));
    TM_EQ(pcl->Length(), 0u);
    TM_EQ(dct._get_nNumberOfSlots(), 256u);
  }
  void Unsupported(OpSource& src) {
    Op("unsupported");
    if (src.Chance(2))
      TM_REPORTS(dct.NextThat(&IsUser, nullptr), "1==0");
    else
      TM_REPORTS(dct.NextThatInternalContainer(&IsUser, nullptr), "1==0");
  }

  // ---- a DictionaryIterationState ----
  // Its position: a slot and an entry id (0: no node).
  void StateTop() {
    sslot = NextNonblank(0);
    sid = sslot >= 0 ? m.slot[sslot].front().id : 0;
  }
  short StateNextModel() {
    if (sslot < 0 || m.slot[sslot].empty() || !sid) return 0;
    std::vector<Entry>& v = m.slot[sslot];
    for (std::size_t i = 0; i + 1 < v.size(); ++i)
      if (v[i].id == sid) {
        sid = v[i + 1].id;
        return 1;
      }
    sid = 0;
    int s = NextNonblank(sslot + 1);
    if (s < 0) return 0;
    sslot = s;
    sid = m.slot[s].front().id;
    return 1;
  }
  void StateOp(OpSource& src) {
    if (!pits || src.Chance(16)) {
      Op("CreateIterationState");
      delete pits;
      pits = dct.CreateIterationState();
      TM_TRUE(pits != nullptr);
      TM_EQ(pits->gotoTop(), m.Size() ? 1 : 0);
      StateTop();
      nStateSnap = xact;
      return;
    }
    bool bStale = nStateSnap != xact;
    switch (src.Pick(5)) {
      case 0:
        Op("state gotoTop");
        TM_EQ(pits->gotoTop(), m.Size() ? 1 : 0);
        StateTop();
        nStateSnap = xact;
        break;
      case 1:
        Op("state gotoBottom");
        TM_EQ(pits->gotoBottom(), m.Size() ? 1 : 0);
        StateTop();
        for (int s = 255; s >= 0 && m.Size(); --s)
          if (!m.slot[s].empty()) {
            sslot = s;
            sid = m.slot[s].back().id;
            break;
          }
        nStateSnap = xact;
        break;
      case 2: {
        Op("state gotoIDX");
        unsigned long n = src.Pick(static_cast<unsigned>(m.Size()) + 2);
        StateTop();
        short nExpected = 1;
        for (unsigned long i = 0; i < n && nExpected; ++i) nExpected = StateNextModel();
        TM_EQ(pits->gotoIDX(n), nExpected);
        nStateSnap = xact;
        break;
      }
      case 3:
        Op("state gotoNext / gotoPrev");
        if (bStale) {
          TM_STALE(pits->gotoNext());
          break;
        }
        TM_EQ(pits->gotoNext(), StateNextModel());
        TM_EQ(pits->gotoPrev(), 1);
        break;
      default: {
        Op("state retrieve");
        if (bStale) {
          TM_STALE(pits->retrieve());
          break;
        }
        long nAt = sslot >= 0 && sid ? Position(sslot, sid) : -1;
        TM_EQ(Position(pits->retrieve()), nAt);
        CPBucket* pbkt = static_cast<CPBucket*>(pits->retrieveInternalContainer());
        TM_EQ(Position(pbkt ? pbkt->_get_pvData() : nullptr), nAt);
        break;
      }
    }
  }
  // The Iterator algorithms hand entries, not items, to their callbacks.
  void IteratorWalk(OpSource& src) {
    Op("Iterator algorithms");
    std::vector<CPDictionaryAssociation*> v = CPDictionaryInspector::Entries(dct);
    std::vector<void*> walk(v.begin(), v.end());
    void* pvEntry = walk.empty() || src.Chance(4) ? Item(0) : walk[src.Pick(static_cast<unsigned>(walk.size()))];
    IteratorChecks(dct, walk, pvEntry, src, eAllThatSorted);
  }

  // The built-in cursor as the dictionary has it (an entry it holds, or none).
  void TakeCursor() {
    cslot = CPDictionaryInspector::CursorSlot(dct);
    long nAt = Position(dct.RetrieveInternalContainer());
    cid = 0;
    if (nAt >= 0) cid = m.Ordered()[static_cast<std::size_t>(nAt)].id;
  }
  // Removes the model's entry at walk position n.
  void EraseAt(std::size_t n, CPKillFunc pfnKill) {
    for (int s = 0; s < 256; ++s) {
      if (n < m.slot[s].size()) return Erase(s, n, pfnKill);
      n -= m.slot[s].size();
    }
  }

  // ---- caller code that throws ----
  // One callback-taking operation whose kth callback call throws.  The
  // exception reaches the caller unchanged; a kill walk has removed exactly
  // the entries whose items it handed to kill (the one whose call threw
  // included), in walk order; other walks and searches change no entry.
  // The cursor and the change count are taken from the dictionary.
  void Throwing(void* pv, OpSource& src) {
    const long k = 1 + static_cast<long>(src.Pick(10));
    const std::vector<void*> before = ItemsInOrder();
    const std::size_t nHanded = std::min<std::size_t>(static_cast<std::size_t>(k), before.size());
    const std::vector<void*> prefix(before.begin(), before.begin() + static_cast<long>(nHanded));
    bool threw = false;
    Seen().clear();
    switch (src.Pick(8)) {
      case 0:
        Op("DestroyAll, kill throws");
        threw = TM_THROWS_AT(k, dct.DestroyAll(&Record));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        for (std::size_t i = 0; i < nHanded; ++i) EraseAt(0, nullptr);
        if (!threw) ++xact;
        break;
      case 1: {
        Op("DestroyKeyNum, kill throws");
        unsigned long n = Num(src);
        auto at = LocateNum(n);
        threw = TM_THROWS_AT(k, dct.DestroyKeyNum(n, &Record));
        TM_EQ(threw, at.first >= 0 && k == 1);
        if (at.first >= 0) Erase(at.first, at.second, nullptr);
        break;
      }
      case 2: {
        Op("Destroy(item), kill throws");
        std::size_t i = std::find(before.begin(), before.end(), pv) - before.begin();
        threw = TM_THROWS_AT(k, dct.Destroy(pv, &Record));
        TM_EQ(threw, i < before.size() && k == 1);
        if (i < before.size()) EraseAt(i, nullptr);
        break;
      }
      case 3:
        Op("ForEach(fn), action throws");
        threw = TM_THROWS_AT(k, dct.ForEach(&Record, nullptr));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(Seen(), prefix);
        break;
      case 4: {
        Op("ForEach(IteratorAction), Perform throws");
        MatchAction action(nullptr);
        threw = TM_THROWS_AT(k, dct.ForEach(&action));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        TM_EQ(action.visited, prefix);
        break;
      }
      case 5:
        Op("FirstThat, condition throws");
        threw = TM_THROWS_AT(k, dct.FirstThat(&IsUser, pv));
        break;
      case 6: {
        Op("AllThat, condition throws");
        CPCollection* pcl = nullptr;
        threw = TM_THROWS_AT(k, pcl = dct.AllThat(&OneOrTwo, pv));
        TM_EQ(pcl == nullptr, threw);
        delete pcl;
        break;
      }
      default: {
        Op("Iterator forEach, action throws");
        std::unique_ptr<Iterator> pit(dct.GetIterator());
        TM_TRUE(pit != nullptr);
        threw = TM_THROWS_AT(k, pit->forEach(&Record, nullptr));
        TM_EQ(threw, k <= static_cast<long>(before.size()));
        break;
      }
    }
    Seen().clear();
    xact += static_cast<short>(dct._get_nXACT() - static_cast<short>(xact));
    TakeCursor();
  }

  // ---- allocations that fail ----
  // An add, a copy or a result builder whose nth library-object or key
  // index allocation fails: it completes (the failure came later, or the
  // key index did without the table) or ends in its report with the
  // entries, the cursor and the change count as they were.
  void FailingAllocation(void* pv, OpSource& src) {
    const AllocKind kind = src.Chance(3) ? eAllocIndex : eAllocObject;
    const long nth = 1 + static_cast<long>(src.Pick(4));
    const unsigned which = src.Pick(5);
    bool done = SurvivesAllocationFailure(kind, nth, [&] {
      switch (which) {
        case 0:
          AddNum(Num(src), pv ? pv : Item(1));
          break;
        case 1: {
          unsigned how = src.Pick(3);  // not through a CPString made here
          AddText(Text(src), pv, how == 2 ? 3 : how);
          break;
        }
        case 2:
          AddItem(pv ? pv : Item(2));
          break;
        case 3:
          Copy(src);
          break;
        default:
          AllThats(pv, src.Chance(2));
          break;
      }
    });
    Op(done ? "(allocation failure absorbed or not reached)" : "(allocation failure reported)");
  }

  CPDictionary dct;
  DictContent m;
  std::vector<void*> expectedKills;
  int cslot = -1;         // built-in cursor's slot, -1: none
  unsigned long cid = 0;  // its entry, 0: off the slot's list
  long xact = 0;
  IterationState* pits = nullptr;
  int sslot = -1;
  unsigned long sid = 0;
  long nStateSnap = 0;
};

}  // namespace tarncoll::test::model

#endif
