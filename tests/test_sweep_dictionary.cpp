// Allocation-failure sweeps over the dictionary family: CPDictionary (its
// entries, key strings, slot lists, key index and parallel vector),
// Trackable, CrDictionary and CPSymmetricMap.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <cpcoll/CPSymmetricMap.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <cpcoll/trackable.h>
#include <util/crc16.h>

#include "support/alloc_sweep.h"
#include "support/counted.h"
#include "support/crdict_inspector.h"
#include "support/dictionary_inspector.h"
#include "support/symmetricmap_inspector.h"

namespace alloc_sweep = tarncoll::test::alloc_sweep;

using alloc_sweep::Asrt;
using alloc_sweep::Case;
using alloc_sweep::Nil;
using alloc_sweep::Probe;
using alloc_sweep::Sweep;

namespace {
const char kDict[] = "cpcoll\\Cpdict";
const char kList[] = "cpcoll\\cplist";
const char kCollec[] = "cpcoll\\Cpcollec";
const char kIterate[] = "cpcoll\\iterate";
const char kTrack[] = "cpcoll\\trackable";
const char kMap[] = "cpcoll\\CPSymmetricMap";
const char kCrDict[] = "cpcoll\\crdict";

// Longer than any inline string buffer, so the key text needs a block.
const char kLongKey[] = "a key text long enough to need a buffer of its own";

int g_anItems[64];
void* Item(int i) { return &g_anItems[i]; }
int IndexOf(const void* pv) { return pv ? static_cast<int>(static_cast<const int*>(pv) - g_anItems) : -1; }

// The reports an add may end in: the entry, its slot list, the list node.
const std::vector<alloc_sweep::Report> kAddReports = {Nil(kDict, "pdaThis"), Nil(kDict, "plstSlot"),
                                                      Asrt(kList, "pbktNew !=0")};

// A dictionary and what the last positional reads gave.
struct Dict {
  std::unique_ptr<CPDictionary> d{new CPDictionary(256)};
  void* apvRead[8] = {};
};

// Numbers 1, 257 (same slot), 2 ... and texts, one of them long.
std::unique_ptr<Dict> Filled() {
  std::unique_ptr<Dict> p(new Dict);
  p->d->AddKeyNum(1, Item(1));
  p->d->AddKeyNum(257, Item(2));
  p->d->AddKeyNum(2, Item(3));
  p->d->AddKeyString("alpha", Item(4), nullptr);
  p->d->AddKeyString("beta", Item(5), nullptr);
  p->d->AddKeyString(kLongKey, Item(6), nullptr);
  p->d->GotoTop();
  p->d->Next();  // built-in cursor on the second entry
  return p;
}

std::string DictState(Dict& f) {
  CPDictionary& d = *f.d;
  std::ostringstream os;
  CPDictionaryAssociation* pdaCursor = static_cast<CPDictionaryAssociation*>(d.RetrieveInternalContainer());
  os << "len " << d.Length() << " xact " << d._get_nXACT() << " cursor " << CPDictionaryInspector::CursorSlot(d) << '/'
     << (pdaCursor ? IndexOf(pdaCursor->GetValue()) : -1) << " [";
  for (CPDictionaryAssociation* pda : CPDictionaryInspector::Entries(d)) {
    if (pda->_get_bUseString())
      os << '"' << pda->_get_pstrKey()->GetBuffer() << '"';
    else
      os << pda->GetKeyCardinal();
    os << "->" << IndexOf(pda->GetValue()) << ' ';
  }
  os << "] read";
  for (void* pv : f.apvRead) os << ' ' << IndexOf(pv);
  return os.str();
}

const Probe<Dict> kDictProbe = {[](Dict& f) { return DictState(f); },
                                [](Dict& f) { return CPDictionaryInspector::Check(*f.d); }};

Case<Dict> DictCase(const char* name, std::function<void(Dict&)> op,
                    std::vector<alloc_sweep::Report> reports = kAddReports, bool bBadAlloc = false) {
  Case<Dict> c;
  c.name = name;
  c.make = Filled;
  c.op = std::move(op);
  c.reports = std::move(reports);
  c.bBadAlloc = bBadAlloc;
  c.bFallback = true;  // the key index does without a cell it cannot get
  return c;
}

int Odd(void* pv, void*) { return IndexOf(pv) % 2; }
}  // namespace

// ---- adds ---------------------------------------------------------------------------

TEST(SweepDictionary, AddsReportAndLeaveDictionaryAsItWas) {
  long n = 0;
  n += Sweep(DictCase("AddKeyNum into a used slot", [](Dict& f) { f.d->AddKeyNum(513, Item(9)); }), kDictProbe);
  n += Sweep(DictCase("AddKeyNum into a new slot", [](Dict& f) { f.d->AddKeyNum(77, Item(9)); }), kDictProbe);
  n += Sweep(DictCase("Add", [](Dict& f) { f.d->Add(Item(9)); }), kDictProbe);
  n += Sweep(DictCase("AddKeyString", [](Dict& f) { f.d->AddKeyString("gamma", Item(9), nullptr); }), kDictProbe);
  // The key string's buffer is a standard allocation: std::bad_alloc.
  n += Sweep(DictCase("AddKeyString with a long text",
                      [](Dict& f) { f.d->AddKeyString("another key text well past the inline size", Item(9), nullptr); },
                      kAddReports, true),
             kDictProbe);
  EXPECT_GE(n, 5 * 3 + 1);
}

TEST(SweepDictionary, StringObjectAddsReportAndLeaveDictionaryAsItWas) {
  // An unreferenced string is copied; a long one needs a buffer too.
  struct Keys {
    CPString strShort{"delta"};
    CPString strLong{"yet another key text well past the inline size"};
    CPString strShared{"epsilon"};
    Keys() { strShared.AddRef(); }
  };
  static Keys keys;
  long n = 0;
  n += Sweep(DictCase("AddKeyString(CPString) copied", [](Dict& f) { f.d->AddKeyString(&keys.strShort, Item(9)); }),
             kDictProbe);
  n += Sweep(DictCase("AddKeyString(CPString) copied, long",
                      [](Dict& f) { f.d->AddKeyString(&keys.strLong, Item(9)); }, kAddReports, true),
             kDictProbe);
  n += Sweep(DictCase("AddKeyString(CPString) shared", [](Dict& f) { f.d->AddKeyString(&keys.strShared, Item(9)); }),
             kDictProbe);
  EXPECT_EQ(keys.strShared._get_nRefCount(), 1);  // every failed add gave its reference back
  EXPECT_GE(n, 3 * 3);
}

// The dictionary's copy of a key is a new CPString of the text, or of an
// unreferenced key string: one library allocation, and no standard one
// while the text fits inside the string (up to 23 bytes).
TEST(SweepDictionary, KeyCopyOfAShortTextIsOneAllocation) {
  for (std::size_t nLen : {0u, 1u, 14u, 22u, 23u, 24u, 25u, 60u}) {
    std::string text;
    for (std::size_t i = 0; i < nLen; ++i) text += static_cast<char>('a' + (i * 7) % 26);
    const CPString strSource(text.c_str());
    const unsigned short nCRC = crc16::Update(0, text.data(), text.size());
    const long nStdExpected = nLen < 24 ? 0 : 1;
    for (int bFromString = 0; bFromString < 2; ++bFromString) {
      SCOPED_TRACE("length " + std::to_string(nLen) + (bFromString ? ", copy of a string" : ", from the text"));
      alloc_sweep::Arm(alloc_sweep::eStandard, 1L << 30);  // counts, never fails
      Createable::SetAllocationFailure(2);                 // a second library allocation would fail
      CPString* pstr = bFromString ? new CPString(strSource) : new CPString(text.c_str());
      const long nStd = alloc_sweep::Hook().nCalls;
      EXPECT_FALSE(alloc_sweep::Disarm(alloc_sweep::eLibrary, 1)) << "more than one library allocation";
      alloc_sweep::Disarm(alloc_sweep::eStandard, 0);
      ASSERT_NE(pstr, nullptr);
      EXPECT_EQ(nStd, nStdExpected);
      EXPECT_EQ(std::string(pstr->GetBuffer()), text);
      EXPECT_EQ(pstr->Length(), nLen);
      EXPECT_EQ(pstr->_get_nCRC(), nCRC);
      EXPECT_EQ(pstr->Size(), nLen < 24 ? 24 : static_cast<long>(nLen + 1));
      EXPECT_TRUE(*pstr == strSource);
      // A heap text keeps its block for shorter texts; an inline one moves
      // out only when the text outgrows it.
      alloc_sweep::Arm(alloc_sweep::eStandard, 1L << 30);
      pstr->Copy("short", 0, 0);
      EXPECT_EQ(alloc_sweep::Hook().nCalls, 0);
      alloc_sweep::Disarm(alloc_sweep::eStandard, 0);
      EXPECT_STREQ(pstr->GetBuffer(), "short");
      EXPECT_EQ(pstr->Size(), nLen < 24 ? 24 : static_cast<long>(nLen + 1));
      EXPECT_EQ(pstr->_get_nCRC(), crc16::Update(0, "short", 5));
      delete pstr;
    }
  }
}

// ---- results, copies, positional reads ------------------------------------------------------

TEST(SweepDictionary, ResultsAndCopiesLeaveTheSourceAlone) {
  long n = 0;
  std::vector<alloc_sweep::Report> allThat(kAddReports);
  allThat.push_back(Nil(kDict, "pdctNew"));
  n += Sweep(DictCase("AllThat", [](Dict& f) { delete f.d->AllThat(&Odd, nullptr); }, allThat, true), kDictProbe);
  n += Sweep(DictCase("AllThatInternalContainer",
                      [](Dict& f) { delete f.d->AllThatInternalContainer([](void*, void*) { return 1; }, nullptr); },
                      allThat, true),
             kDictProbe);
  n += Sweep(DictCase("copy construction", [](Dict& f) { CPDictionary copy(*f.d); }, kAddReports, true), kDictProbe);
  n += Sweep(DictCase("BuildVector", [](Dict& f) { delete[] f.d->BuildVector(); }, {Nil(kCollec, "ppvVector")}),
             kDictProbe);
  n += Sweep(DictCase("GetIterator", [](Dict& f) { delete f.d->GetIterator(); },
                      {Nil(kIterate, "piterA"), Nil(kIterate, "pitsA")}),
             kDictProbe);
  EXPECT_GE(n, 6 * 3);
}

TEST(SweepDictionary, AssignmentIsAllOrNothing) {
  struct Two {
    std::unique_ptr<Dict> from = Filled();
    std::unique_ptr<Dict> to{new Dict};
    Two() {
      to->d->AddKeyNum(5, Item(7));
      to->d->AddKeyString("zeta", Item(8), nullptr);
    }
  };
  Case<Two> c;
  c.name = "operator=";
  c.make = [] { return std::unique_ptr<Two>(new Two); };
  c.op = [](Two& t) { *t.to->d = *t.from->d; };
  c.reports = kAddReports;
  c.bBadAlloc = true;
  c.bFallback = true;
  Probe<Two> probe = {[](Two& t) { return DictState(*t.from) + " | " + DictState(*t.to); },
                      [](Two& t) { return kDictProbe.check(*t.from) + kDictProbe.check(*t.to); }};
  EXPECT_GE(Sweep(c, probe), 5 * 3);
}

// A positional read that cannot get its vector walks instead: same answers.
TEST(SweepDictionary, PositionalReadsDoWithoutTheirVector) {
  long n = Sweep(DictCase("RetrieveIDX and RetrieveDAIDX",
                          [](Dict& f) {
                            for (int i = 0; i < 7; ++i) f.apvRead[i] = f.d->RetrieveIDX(static_cast<unsigned long>(i));
                            CPDictionaryAssociation* pda = f.d->RetrieveDAIDX(5);
                            f.apvRead[7] = pda ? pda->GetValue() : nullptr;
                          },
                          {}),
                 kDictProbe);
  EXPECT_EQ(n, 1);
}

// Removals of entries with distinct keys allocate nothing, so they cannot
// fail for want of memory.
TEST(SweepDictionary, RemovalsAllocateNothing) {
  long n = 0;
  n += Sweep(DictCase("DetachKeyNum", [](Dict& f) { f.d->DetachKeyNum(1); }, {}), kDictProbe);
  n += Sweep(DictCase("DetachKeyString", [](Dict& f) { f.d->DetachKeyString(kLongKey, nullptr); }, {}), kDictProbe);
  n += Sweep(DictCase("Detach by item", [](Dict& f) { f.d->Detach(Item(4)); }, {}), kDictProbe);
  n += Sweep(DictCase("DetachAll", [](Dict& f) { f.d->DetachAll(); }, {}), kDictProbe);
  EXPECT_EQ(n, 0);
}

// ---- object tracking -----------------------------------------------------------------------------

namespace {
char g_szReport[1 << 16];

std::string TrackState() {
  Trackable::Report(g_szReport);
  return std::string(g_szReport) + " disabled " + std::to_string(Trackable::bDisableTracking);
}

// Each fixture names a class never recorded before.
struct TrackFixture {
  char szClass[32];
  TrackFixture() {
    static int n = 0;
    std::snprintf(szClass, sizeof szClass, "SweepClass%d", ++n);
  }
};
}  // namespace

TEST(SweepTrackable, FirstRecordAndNewClassesReportAndRecordNothing) {
  if (Trackable::pdctAllocatedObjects == nullptr) {
    // The dictionary is made by the first recorded allocation only.
    Createable::SetAllocationFailure(1);
    bool bReported = false;
    try {
      Trackable::AllocateObject("First", 8);
    } catch (const AssertionFailure& af) {
      bReported = std::strcmp(af.expression, "pdctAllocatedObjects") == 0 && std::strcmp(af.file, kTrack) == 0;
    }
    Createable::SetAllocationFailure(0);
    EXPECT_TRUE(bReported);
    EXPECT_EQ(Trackable::pdctAllocatedObjects, nullptr);
    EXPECT_EQ(Trackable::bDisableTracking, 0);
    EXPECT_EQ(Trackable::DeAllocateObject("First", 8), 0);
  }
  Probe<TrackFixture> probe = {[](TrackFixture&) { return TrackState(); },
                               [](TrackFixture&) {
                                 return Trackable::pdctAllocatedObjects
                                            ? CPDictionaryInspector::Check(*Trackable::pdctAllocatedObjects)
                                            : std::string();
                               }};
  Case<TrackFixture> c;
  c.name = "AllocateObject of a new class";
  c.make = [] { return std::unique_ptr<TrackFixture>(new TrackFixture); };
  c.op = [](TrackFixture& f) { Trackable::AllocateObject(f.szClass, 16); };
  c.reports = {Nil(kTrack, "pdctAllocatedObjects"), Nil(kTrack, "ptrkrecA"), Nil(kDict, "pdaThis"),
               Nil(kDict, "plstSlot"), Asrt(kList, "pbktNew !=0")};
  c.bFallback = true;
  // Every run names a new class, so an absorbed failure shows as its own
  // class line; compare the totals instead.
  c.partial = nullptr;
  long n = Sweep(c, {[](TrackFixture&) {
                       std::string s = TrackState();
                       return s.substr(s.find("Total Number"));
                     },
                     probe.check});
  EXPECT_GE(n, 3);
}

// ---- reference dictionary ----------------------------------------------------------------------------

namespace {
struct RefDict {
  std::vector<Counted*> objects;
  std::unique_ptr<CrDictionary> d{new CrDictionary};
  RefDict() {
    for (int i = 0; i < 6; ++i) {
      objects.push_back(new Counted(i));
      objects.back()->AddRef();
    }
    d->AddKeyNum(1, objects[0]);
    d->AddKeyString("one", objects[1], nullptr);
    d->AddKeyString(kLongKey, objects[2], nullptr);
  }
  ~RefDict() {
    d.reset();
    for (Counted* p : objects) p->Release();
  }
};

std::string RefDictState(RefDict& f) {
  std::ostringstream os;
  CPDictionary* pdct = CrDictionaryInspector::Wrapped(*f.d);
  os << "len " << pdct->Length() << " xact " << pdct->_get_nXACT() << " [";
  for (CPDictionaryAssociation* pda : CPDictionaryInspector::Entries(*pdct)) {
    if (pda->_get_bUseString())
      os << '"' << pda->_get_pstrKey()->GetBuffer() << '"';
    else
      os << pda->GetKeyCardinal();
    os << "->" << static_cast<Counted*>(pda->GetValue())->Id() << ' ';
  }
  os << "] refs";
  for (Counted* p : f.objects) os << ' ' << p->_get_nRefCount();
  return os.str();
}

const Probe<RefDict> kRefDict = {[](RefDict& f) { return RefDictState(f); },
                                 [](RefDict& f) {
                                   ::testing::AssertionResult r = CrDictionaryInspector::Check(*f.d);
                                   return r ? std::string() : std::string(r.message());
                                 }};

Case<RefDict> RefCase(const char* name, std::function<void(RefDict&)> op, bool bBadAlloc = false) {
  Case<RefDict> c;
  c.name = name;
  c.make = [] { return std::unique_ptr<RefDict>(new RefDict); };
  c.op = std::move(op);
  c.reports = kAddReports;
  c.reports.push_back(Nil(kCrDict, "pdctThe"));
  c.bBadAlloc = bBadAlloc;
  c.bFallback = true;
  return c;
}
}  // namespace

TEST(SweepCrDictionary, AddsTakeNoReferenceWhenTheyFail) {
  long n = 0;
  n += Sweep(RefCase("AddKeyNum", [](RefDict& f) { f.d->AddKeyNum(2, f.objects[4]); }), kRefDict);
  n += Sweep(RefCase("AddKeyString", [](RefDict& f) { f.d->AddKeyString("two", f.objects[4], nullptr); }), kRefDict);
  n += Sweep(RefCase("AddKeyString long",
                     [](RefDict& f) { f.d->AddKeyString("a second long key text past the inline size", f.objects[4],
                                                        nullptr); },
                     true),
             kRefDict);
  n += Sweep(RefCase("copy construction", [](RefDict& f) { CrDictionary copy(*f.d); }, true), kRefDict);
  n += Sweep(RefCase("construction", [](RefDict&) { CrDictionary d; }), kRefDict);
  EXPECT_GE(n, 3 * 3 + 1 + 1);
}

// ---- symmetric map ------------------------------------------------------------------------------------

namespace {
struct MapFixture {
  std::vector<Counted*> payloads;
  std::unique_ptr<CPSymmetricMap> map{new CPSymmetricMap};
  MapFixture() {
    for (int i = 0; i < 4; ++i) {
      payloads.push_back(new Counted(i));
      payloads.back()->AddRef();
    }
    map->AddMapping("x", "1", payloads[0]);  // x: a single pair
    map->AddMapping("y", "2", payloads[1]);  // y and 2: a list of two
    map->AddMapping("y", "2", payloads[2]);
  }
  ~MapFixture() {
    map.reset();
    for (Counted* p : payloads) p->Release();
  }
};

void Side(std::ostringstream& os, CPSymmetricMap& map, const char* psz, bool bA) {
  CrList out;
  CPString str(psz);
  if (bA)
    map.GetAllThatMatchKeyA(str, out);
  else
    map.GetAllThatMatchKeyB(str, out);
  os << psz << ":";
  out.GotoTop();
  while (Createable* pcr = out.Retrieve()) {
    MapKeyPair* pmkp = static_cast<MapKeyPair*>(pcr);
    Counted* pc = static_cast<Counted*>(pmkp->_get_pcreateableTxData());
    os << '(' << pmkp->_get_strA().GetBuffer() << ',' << pmkp->_get_strB().GetBuffer() << ','
       << (pc ? pc->Id() : -1) << ')';
    out.Next();
  }
  os << ' ';
}

std::string MapState(MapFixture& f) {
  std::ostringstream os;
  for (const char* psz : {"x", "y", "z"}) Side(os, *f.map, psz, true);
  for (const char* psz : {"1", "2", "3"}) Side(os, *f.map, psz, false);
  os << "mappings " << CPSymmetricMapInspector::Mappings(*f.map) << " refs";
  for (Counted* p : f.payloads) os << ' ' << p->_get_nRefCount();
  return os.str();
}

Case<MapFixture> MapCase(const char* name, std::function<void(MapFixture&)> op) {
  Case<MapFixture> c;
  c.name = name;
  c.make = [] { return std::unique_ptr<MapFixture>(new MapFixture); };
  c.op = std::move(op);
  c.reports = kAddReports;
  c.reports.push_back(Nil(kMap, "pmkpNew"));
  c.reports.push_back(Nil(kMap, "pcrlstNew"));
  c.reports.push_back(Nil("cpcoll\\crlist", "plstThe"));
  c.bBadAlloc = true;  // the pair's copies of long texts
  c.bFallback = true;
  return c;
}

const Probe<MapFixture> kMapProbe = {[](MapFixture& f) { return MapState(f); },
                                     [](MapFixture& f) {
                                       ::testing::AssertionResult r = CPSymmetricMapInspector::Check(*f.map);
                                       return r ? std::string() : std::string(r.message());
                                     }};
}  // namespace

TEST(SweepSymmetricMap, AddMappingIsAllOrNothing) {
  long n = 0;
  n += Sweep(MapCase("new texts on both sides", [](MapFixture& f) { f.map->AddMapping("z", "3", f.payloads[3]); }),
             kMapProbe);
  n += Sweep(MapCase("appended to lists", [](MapFixture& f) { f.map->AddMapping("y", "2", f.payloads[3]); }),
             kMapProbe);
  n += Sweep(MapCase("appended on side A, new on side B",
                     [](MapFixture& f) { f.map->AddMapping("y", "3", f.payloads[3]); }),
             kMapProbe);
  n += Sweep(MapCase("long texts",
                     [](MapFixture& f) {
                       f.map->AddMapping("a side A text long enough for a buffer", "a side B text long enough too",
                                         nullptr);
                     }),
             kMapProbe);
  EXPECT_GE(n, 4 * 3);
}

// Turning a single pair into a list switches the index entry in place, so
// no failure can leave the earlier mapping out of the index.
TEST(SweepSymmetricMap, AddMappingTurningAPairIntoAListIsAllOrNothing) {
  long n = Sweep(MapCase("a pair turns into a list on side A",
                         [](MapFixture& f) { f.map->AddMapping("x", "3", f.payloads[3]); }),
                 kMapProbe);
  n += Sweep(MapCase("a pair turns into a list on side B",
                     [](MapFixture& f) { f.map->AddMapping("z", "1", f.payloads[3]); }),
             kMapProbe);
  n += Sweep(MapCase("both sides turn into lists", [](MapFixture& f) { f.map->AddMapping("x", "1", f.payloads[3]); }),
             kMapProbe);
  EXPECT_GE(n, 3 * 5);
}
