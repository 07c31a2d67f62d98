// CPDictionary against a model: random adds, finds and removals of numeric
// and string keys (text, given CRC, a caller's own CRC, copied and shared
// CPStrings, the empty key, null items), every result compared, the
// invariant check after every step, full walks compared now and then.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <util/crc16.h>

#include "support/dictionary_inspector.h"
#include "support/random_steps.h"

namespace {

typedef CPDictionaryInspector Insp;

// Model: entries by (slot, order of addition), which is iteration order,
// and by key (kind, slot, text or number) to their positions.
struct ModelEntry {
  bool bString;
  std::string text;
  unsigned long nKey;
  void* pvItem;
};
typedef std::pair<unsigned long, unsigned long> Position;  // slot, sequence
typedef std::tuple<bool, unsigned long, std::string, unsigned long> ModelKey;

class Model {
 public:
  std::map<Position, ModelEntry> entries;
  std::map<ModelKey, std::set<Position>> byKey;

  static ModelKey KeyOf(const ModelEntry& e, unsigned long nSlot) {
    return e.bString ? ModelKey(true, nSlot, e.text, 0) : ModelKey(false, 0, std::string(), e.nKey);
  }
  const ModelEntry* First(const ModelKey& k, Position* ppos) const {
    auto it = byKey.find(k);
    if (it == byKey.end() || it->second.empty()) return nullptr;
    *ppos = *it->second.begin();
    return &entries.at(*ppos);
  }
  void Append(const ModelEntry& e, unsigned long nSlot) {
    Position pos(nSlot, nSeq++);
    entries[pos] = e;
    byKey[KeyOf(e, nSlot)].insert(pos);
  }
  void Erase(const Position& pos) {
    byKey[KeyOf(entries.at(pos), pos.first)].erase(pos);
    entries.erase(pos);
  }
  std::vector<void*> Items() const {
    std::vector<void*> v;
    for (auto& kv : entries) v.push_back(kv.second.pvItem);
    return v;
  }

 private:
  unsigned long nSeq = 0;
};

int g_items[40];
std::vector<void*> g_killed;
void Kill(void* pv, void*) { g_killed.push_back(pv); }

unsigned short Crc(const std::string& t) { return crc16::Update(0, t.data(), t.size()); }

// How a string key reaches the dictionary.
enum KeyForm { eText, eGivenCRC, eForeignCRC, eCopiedString, eSharedString, eForms };

class RandomRun {
 public:
  explicit RandomRun(unsigned seed) : rng(seed) {
    for (int i = 0; i < 12; ++i) {
      CPString* pstr = new CPString(("p" + std::to_string(i)).c_str());
      pstr->AddRef();
      pool.push_back(pstr);
    }
  }
  ~RandomRun() {
    for (CPString* pstr : pool) pstr->Release();
  }

  unsigned long Pick(unsigned long n) { return std::uniform_int_distribution<unsigned long>(0, n - 1)(rng); }

  void* RandomItem() { return Pick(20) == 0 ? nullptr : &g_items[Pick(40)]; }

  unsigned long RandomNumber() {
    // Few slots, many keys per slot, so slots collide and fill.
    return Pick(2) ? Pick(6) * 256 + Pick(8) : Pick(400);
  }

  // A text and a form; the shared form always uses a pool string.
  void RandomText(std::string* pText, int* pForm, CPString** ppstrShared) {
    *pForm = static_cast<int>(Pick(eForms));
    *ppstrShared = nullptr;
    if (*pForm == eSharedString) {
      *ppstrShared = pool[Pick(pool.size())];
      *pText = (*ppstrShared)->GetBuffer();
      return;
    }
    unsigned long r = Pick(100);
    *pText = r == 0 ? std::string() : r == 1 ? std::string("UnNamed") : "s" + std::to_string(Pick(100));
  }

  // The CRC the dictionary files the key under, for a form.
  static unsigned long CRCFor(const std::string& t, int nForm) {
    unsigned long n = Crc(t);
    return nForm == eForeignCRC ? (n & 0xFF00) | ((n + 1) & 0xFF) : n;
  }

  void* Find(const std::string& t, int nForm, CPString* pstrShared) {
    unsigned long nCRC = CRCFor(t, nForm);
    switch (nForm) {
      case eText: return d.FindKeyString(t.c_str(), nullptr);
      case eGivenCRC:
      case eForeignCRC: return d.FindKeyString(t.c_str(), &nCRC);
      case eCopiedString: {
        CPString str(t.c_str());
        return d.FindKeyString(&str);
      }
      default: return d.FindKeyString(pstrShared);
    }
  }

  void Step() {
    std::string t;
    int nForm;
    CPString* pstrShared;
    unsigned long r = Pick(100);
    if (r < 22) {  // add under a string key
      RandomText(&t, &nForm, &pstrShared);
      void* pv = RandomItem();
      unsigned long nCRC = CRCFor(t, nForm);
      unsigned long nSlot = nCRC & 0xFF;
      Position pos;
      const ModelEntry* pFirst = model.First(ModelKey(true, nSlot, t, 0), &pos);
      if (!pFirst || !pFirst->pvItem) model.Append(ModelEntry{true, t.empty() ? "UnNamed" : t, 0, pv}, nSlot);
      if (nForm == eText) d.AddKeyString(t.c_str(), pv, nullptr);
      if (nForm == eGivenCRC || nForm == eForeignCRC) d.AddKeyString(t.c_str(), pv, &nCRC);
      if (nForm == eCopiedString) {
        CPString str(t.c_str());
        d.AddKeyString(&str, pv);
      }
      if (nForm == eSharedString) d.AddKeyString(pstrShared, pv);
    } else if (r < 40) {  // add under a numeric key
      unsigned long k = RandomNumber();
      void* pv = RandomItem();
      bool bAdd = Pick(10) == 0 && pv;  // Add: the item's address is the key
      if (bAdd) k = static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(pv));
      Position pos;
      if (!model.First(ModelKey(false, 0, std::string(), k), &pos)) model.Append(ModelEntry{false, "", k, pv}, k & 0xFF);
      if (bAdd)
        d.Add(pv);
      else
        d.AddKeyNum(k, pv);
    } else if (r < 58) {  // find / exists by string key
      RandomText(&t, &nForm, &pstrShared);
      Position pos;
      const ModelEntry* pFirst = model.First(ModelKey(true, CRCFor(t, nForm) & 0xFF, t, 0), &pos);
      void* pvExpected = pFirst ? pFirst->pvItem : nullptr;
      ASSERT_EQ(Find(t, nForm, pstrShared), pvExpected) << "find \"" << t << "\" form " << nForm;
      if (nForm == eText) {
        ASSERT_EQ(d.ExistsKeyString(t.c_str(), nullptr), pvExpected ? 1 : 0);
      }
    } else if (r < 70) {  // find / exists by number
      unsigned long k = RandomNumber();
      Position pos;
      const ModelEntry* pFirst = model.First(ModelKey(false, 0, std::string(), k), &pos);
      ASSERT_EQ(d.FindKeyNum(k), pFirst ? pFirst->pvItem : nullptr);
      ASSERT_EQ(d.ExistsKeyNum(k), pFirst ? 1 : 0);
    } else if (r < 80) {  // detach / destroy by string key
      RandomText(&t, &nForm, &pstrShared);
      unsigned long nCRC = CRCFor(t, nForm);
      Position pos;
      const ModelEntry* pFirst = model.First(ModelKey(true, nCRC & 0xFF, t, 0), &pos);
      std::vector<void*> killed;
      if (pFirst) {
        killed.push_back(pFirst->pvItem);
        model.Erase(pos);
      }
      bool bKill = Pick(2) == 0;
      if (nForm == eSharedString) {
        if (bKill)
          d.DestroyKeyString(pstrShared, &Kill);
        else
          d.DetachKeyString(pstrShared);
      } else {
        unsigned long* pnCRC = nForm == eText ? nullptr : &nCRC;
        if (bKill)
          d.DestroyKeyString(t.c_str(), &Kill, pnCRC);
        else
          d.DetachKeyString(t.c_str(), pnCRC);
      }
      ASSERT_EQ(g_killed, bKill ? killed : std::vector<void*>());
    } else if (r < 88) {  // detach / destroy by number
      unsigned long k = RandomNumber();
      Position pos;
      const ModelEntry* pFirst = model.First(ModelKey(false, 0, std::string(), k), &pos);
      std::vector<void*> killed;
      if (pFirst) {
        killed.push_back(pFirst->pvItem);
        model.Erase(pos);
      }
      bool bKill = Pick(2) == 0;
      if (bKill)
        d.DestroyKeyNum(k, &Kill);
      else
        d.DetachKeyNum(k);
      ASSERT_EQ(g_killed, bKill ? killed : std::vector<void*>());
    } else if (r < 93) {  // detach / destroy by item
      void* pv = RandomItem();
      auto it = model.entries.begin();
      while (it != model.entries.end() && it->second.pvItem != pv) ++it;
      bool bFound = it != model.entries.end();
      if (bFound) model.Erase(it->first);
      bool bKill = Pick(2) == 0;
      char nResult = bKill ? d.Destroy(pv, &Kill) : d.Detach(pv);
      ASSERT_EQ(nResult, bFound ? 1 : 0);
      ASSERT_EQ(g_killed, bKill && bFound ? std::vector<void*>{pv} : std::vector<void*>());
    } else if (r < 99) {  // positional read
      unsigned long i = Pick(model.entries.size() + 1);
      std::vector<void*> v = model.Items();
      ASSERT_EQ(d.RetrieveIDX(i), i < v.size() ? v[i] : nullptr);
      void* pv = RandomItem();
      bool bHeld = pv && std::find(v.begin(), v.end(), pv) != v.end();
      ASSERT_EQ(d.ExistsValue(pv), bHeld ? 1 : 0);
    } else if (Pick(40) == 0) {
      model.entries.clear();
      model.byKey.clear();
      if (Pick(2))
        d.DetachAll();
      else
        d.DestroyAll(nullptr);
    } else {
      CompareWalks();
    }
    g_killed.clear();
    ASSERT_EQ(d.Length(), model.entries.size());
  }

  void CompareWalks() {
    std::vector<void*> expected = model.Items();
    std::vector<void*> walk;
    for (d.GotoTop(); d.RetrieveInternalContainer(); d.Next()) walk.push_back(d.Retrieve());
    ASSERT_EQ(walk, expected);
    walk.clear();
    d.ForEach([](void* pv, void* pvUser) { static_cast<std::vector<void*>*>(pvUser)->push_back(pv); }, &walk);
    ASSERT_EQ(walk, expected);
    walk.clear();
    DictionaryIterationState st(&d);
    for (short b = st.gotoTop(); b; b = st.gotoNext())
      walk.push_back(static_cast<CPDictionaryAssociation*>(st.retrieve())->GetValue());
    ASSERT_EQ(walk, expected);
    std::string keys;
    for (auto& kv : model.entries) keys += (kv.second.bString ? kv.second.text : std::string()) + "\r\n";
    std::vector<char> buf(keys.size() + 1);
    d.StringKeyList(buf.data());
    ASSERT_EQ(std::string(buf.data()), keys);
  }

  std::mt19937 rng;
  std::vector<CPString*> pool;
  CPDictionary d;
  Model model;
};

TEST(CPDictionaryRandom, AgreesWithTheModelStepByStep) {
  const unsigned kSeeds[] = {20261208u, 7u};
  const long kSteps = RandomSteps(60000);
  unsigned long nMaxLength = 0;
  for (unsigned nDefault : kSeeds) {
    const unsigned seed = static_cast<unsigned>(RandomSeed(nDefault));  // TARNCOLL_SEED moves it
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomRun run(seed);
    for (long i = 0; i < kSteps; ++i) {
      run.Step();
      ASSERT_FALSE(HasFatalFailure()) << "at step " << i;
      ASSERT_EQ(Insp::Check(run.d, false), "") << "after step " << i;
      nMaxLength = std::max(nMaxLength, run.d.Length());
    }
    run.CompareWalks();
  }
  EXPECT_GT(nMaxLength, 300u) << nMaxLength;  // the run reached slots of many entries
}

}  // namespace
