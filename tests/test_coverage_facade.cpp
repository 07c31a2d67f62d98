// The typed add/remove/find entry points of CPCollection: the first add
// fixes the key kind, and from then on exactly the entry points of that
// kind reach their slot; every other one answers 0/null without calling it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <util/CPString.h>

#include "support/vector_collection.h"

namespace {

// Records which typed slot was reached, by kind letter: P(ointer),
// S(tring), N(umber), L (plain).
class SlotLog : public VectorCollection {
 public:
  std::string sLog;

  short vadd(void*, void*) override { return Hit('P'), 1; }
  short vadd(void*, CPString*) override { return Hit('S'), 1; }
  short vadd(void*, const char*) override { return Hit('S'), 1; }
  short vadd(void*, long) override { return Hit('N'), 1; }
  short vadd(void*) override { return Hit('L'), 1; }
  void* vremoveByProbe(void* pv) override { return Hit('L'), pv; }
  void* vremove(void* pv) override { return Hit('P'), pv; }
  void* vremove(CPString* p) override { return Hit('S'), p; }
  void* vremove(const char* psz) override { return Hit('S'), const_cast<char*>(psz); }
  void* vremove(long n) override { return Hit('N'), reinterpret_cast<void*>(n); }
  void* vfind(void* pv) override { return Hit('P'), pv; }
  void* vfind(CPString* p) override { return Hit('S'), p; }
  void* vfind(char* psz) override { return Hit('S'), psz; }
  void* vfind(long n) override { return Hit('N'), reinterpret_cast<void*>(n); }

 private:
  void Hit(char c) { sLog += c; }
};

// Calls every typed entry point once (adds, removes, finds) and returns
// how many answered non-zero.
int CallAll(SlotLog& c) {
  static char szKey[] = "k";
  CPString str("k");
  void* pv = &str;
  int n = 0;
  n += c.add(pv, pv) != 0;
  n += c.add(pv, &str) != 0;
  n += c.add(pv, "k") != 0;
  n += c.add(pv, 7L) != 0;
  n += c.add(pv) != 0;
  n += c.removeByProbe(pv) != nullptr;
  n += c.remove(pv) != nullptr;
  n += c.remove(&str) != nullptr;
  n += c.remove("k") != nullptr;
  n += c.remove(7L) != nullptr;
  n += c.find(pv) != nullptr;
  n += c.find(&str) != nullptr;
  n += c.find(szKey) != nullptr;
  n += c.find(7L) != nullptr;
  return n;
}

}  // namespace

TEST(CollectionFacade, OnlyTheCommittedKindReachesItsSlots) {
  struct Case {
    const char* pszName;
    char eKind;
    const char* pszSlots;  // the slots CallAll reaches, in call order
  };
  const std::vector<Case> cases = {
      {"pointer", ekeyPointer, "PPP"},
      {"string", ekeyString, "SSSSSS"},
      {"number", ekeyNumber, "NNN"},
      {"plain", ekeyPlain, "LL"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.pszName);
    SlotLog c;
    CPString str("k");
    int nFirst = 0;
    switch (k.eKind) {  // the first add commits the kind
      case ekeyPointer: nFirst = c.add(&str, static_cast<void*>(&str)); break;
      case ekeyString: nFirst = c.add(&str, &str); break;
      case ekeyNumber: nFirst = c.add(&str, 1L); break;
      default: nFirst = c.add(&str); break;
    }
    EXPECT_EQ(nFirst, 1);
    EXPECT_EQ(c.KeyKind(), k.eKind);
    c.sLog.clear();
    EXPECT_EQ(CallAll(c), static_cast<int>(std::string(k.pszSlots).size()));
    EXPECT_EQ(c.sLog, k.pszSlots);
    EXPECT_EQ(c.KeyKind(), k.eKind);  // later adds of another kind change nothing
  }
}

TEST(CollectionFacade, RemovesAndFindsBeforeAnyAddReachNothing) {
  SlotLog c;
  // Removes and finds do not commit a kind: all answer null, no slot runs.
  CPString str("k");
  static char szKey[] = "k";
  EXPECT_EQ(c.removeByProbe(&str), nullptr);
  EXPECT_EQ(c.remove(static_cast<void*>(&str)), nullptr);
  EXPECT_EQ(c.remove(&str), nullptr);
  EXPECT_EQ(c.remove("k"), nullptr);
  EXPECT_EQ(c.remove(7L), nullptr);
  EXPECT_EQ(c.find(static_cast<void*>(&str)), nullptr);
  EXPECT_EQ(c.find(&str), nullptr);
  EXPECT_EQ(c.find(szKey), nullptr);
  EXPECT_EQ(c.find(7L), nullptr);
  EXPECT_EQ(c.sLog, "");
  EXPECT_EQ(c.KeyKind(), ekeyNone);
}
