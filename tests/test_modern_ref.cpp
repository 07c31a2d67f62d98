// Ref<T> reference counting, and the std::string forms of the text outputs.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>
#include <cpcoll/modern_ref.h>
#include <cpcoll/modern_text.h>
#include <cpcoll/trackable.h>
#include <util/Exceptions.h>

#include "support/counted.h"

namespace {

using tarncoll::Ref;

static_assert(sizeof(Ref<Counted>) == sizeof(Counted*), "a Ref is one pointer");

class RefCounts : public ::testing::Test {
 protected:
  void SetUp() override { nLiveBefore = Counted::Live(); }
  void TearDown() override { EXPECT_EQ(Counted::Live(), nLiveBefore); }
  int nLiveBefore = 0;
};

TEST_F(RefCounts, CopyAddsMoveKeepsAndTheLastReleaseDeletes) {
  Counted* p = new Counted(1);
  {
    Ref<Counted> a(p);
    Ref<Counted> b = a;
    EXPECT_EQ(p->_get_nRefCount(), 2);
    Ref<Counted> c = std::move(b);
    EXPECT_EQ(p->_get_nRefCount(), 2);
    EXPECT_FALSE(b);
    EXPECT_EQ(c->Id(), 1);
    Ref<Counted>& rSame = a;
    a = rSame;  // self-assignment keeps the object
    c.reset();
    EXPECT_EQ(p->_get_nRefCount(), 1);
    Ref<Counted> d(new Counted(2));
    d = a;  // the second object goes, the first has two holders
    EXPECT_EQ(Counted::Live(), nLiveBefore + 1);
    EXPECT_EQ(p->_get_nRefCount(), 2);
    Ref<Counted> e(new Counted(9));
    e.reset(e.get());  // resetting to the only held object keeps it
    EXPECT_EQ(Counted::Live(), nLiveBefore + 2);
    EXPECT_EQ(e->_get_nRefCount(), 1);
  }
  EXPECT_EQ(Counted::Live(), nLiveBefore);
}

TEST_F(RefCounts, AdoptTakesAnExistingReferenceAndDetachGivesItBack) {
  Counted* p = new Counted(3);
  {
    CrDictionary crd;
    crd.AddKeyNum(1, p);
    crd.DetachKeyNum(1);  // crd's reference passes to us...
    Ref<Counted> a = Ref<Counted>::Adopt(p);
    EXPECT_EQ(p->_get_nRefCount(), 1);
    Ref<Createable> base = a;  // converting copy
    EXPECT_EQ(p->_get_nRefCount(), 2);
    EXPECT_TRUE(base == a);
  }
  EXPECT_EQ(Counted::Live(), nLiveBefore);  // ...and goes with the Refs

  Ref<Counted> b = tarncoll::MakeRef<Counted>(4);
  Counted* pOut = b.Detach();
  EXPECT_FALSE(b);
  EXPECT_EQ(pOut->_get_nRefCount(), 1);
  pOut->Release();

  Createable::SetAllocationFailure(1);
  EXPECT_THROW(tarncoll::MakeRef<Counted>(6), std::bad_alloc);
  Createable::SetAllocationFailure(0);
}

// ---- text outputs ----

TEST(ModernText, StringKeyListHoldsEveryKeyWhateverItsLength) {
  CPDictionary dct;
  EXPECT_EQ(tarncoll::StringKeyList(dct), "");
  std::string sLong(5000, 'k');
  int n = 0;
  dct.AddKeyString(sLong.c_str(), &n, nullptr);
  dct.AddKeyNum(3, &n);               // an empty line
  dct.AddKeyString("", &n, nullptr);  // stored as "UnNamed"
  std::string sKeys = tarncoll::StringKeyList(dct);
  EXPECT_EQ(sKeys.size(), 5000u + 2 + 2 + 7 + 2);
  std::vector<char> v(sKeys.size() + 1, 'x');  // the classic call writes the same
  dct.StringKeyList(v.data());
  EXPECT_EQ(sKeys, std::string(v.data()));
}

std::string* gpsSink = nullptr;
void CollectSink(int, const char*, long, const char* pszText) { *gpsSink += pszText; }

TEST(ModernText, TrackingReportEqualsWhatReachesTheSink) {
  // Many classes with long names: far more than a line's worth each.
  for (int i = 0; i < 40; ++i) Trackable::AllocateObject((std::string(300, 'C') + std::to_string(i)).c_str(), 10);
  std::string sSeen;
  gpsSink = &sSeen;
  ExceptionsSink pfnOld = Exceptions::SetSink(&CollectSink);
  std::string sReport = tarncoll::TrackingReport();
  Exceptions::SetSink(pfnOld);
  EXPECT_EQ(sReport, sSeen);
  EXPECT_GT(sReport.size(), 40u * 200);  // every class line is there
  for (int i = 0; i < 40; ++i) Trackable::DeAllocateObject((std::string(300, 'C') + std::to_string(i)).c_str(), 10);
}

// == and != ask whether the same object is held, for every pair of forms.
TEST_F(RefCounts, ComparisonsAskWhetherTheSameObjectIsHeld) {
  Ref<Counted> a(new Counted(1));
  Ref<Counted> aAgain = a;
  Ref<Createable> aBase = a;
  Ref<Counted> b(new Counted(2));
  Ref<Counted> none;
  auto expectSame = [](const auto& x, const auto& y, bool bSame) {
    EXPECT_EQ(x == y, bSame);
    EXPECT_EQ(x != y, !bSame);
  };
  expectSame(a, aAgain, true);
  expectSame(a, aBase, true);
  expectSame(a, b, false);
  expectSame(aBase, b, false);
  expectSame(a, none, false);
  expectSame(none, Ref<Counted>(), true);
  expectSame(a, static_cast<const Counted*>(a.get()), true);
  expectSame(a, static_cast<const Counted*>(b.get()), false);
  expectSame(a, nullptr, false);
  expectSame(none, nullptr, true);
}

}  // namespace
