// The wordfreq example's counting and ranking (examples/wordfreq/wordfreq.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/trackable.h>
#include <util/Createable.h>
#include <util/Exceptions.h>

#include "../examples/wordfreq/wordfreq.h"

namespace {

using wordfreq::RankedWord;
using wordfreq::WordCounts;

std::vector<std::string> Words(const std::string& strText) {
  std::vector<std::string> v;
  wordfreq::ForEachWord(strText.data(), strText.size(), [&](const std::string& w) { v.push_back(w); });
  return v;
}

// Live counters according to the tracker (0 before the first record).
long LiveCounters() {
  if (!Trackable::pdctAllocatedObjects) return 0;
  const TrackRec* prec =
      static_cast<const TrackRec*>(Trackable::pdctAllocatedObjects->FindKeyString(wordfreq::CounterClass(), nullptr));
  return prec ? prec->nInstances : 0;
}

std::vector<std::pair<std::string, unsigned long>> AsPairs(const std::vector<RankedWord>& v) {
  std::vector<std::pair<std::string, unsigned long>> out;
  for (const RankedWord& rw : v) out.emplace_back(rw.strWord, rw.nCount);
  return out;
}

void NoDiagnostics(int, const char*, long, const char*) {}

}  // namespace

TEST(WordfreqWords, SplitsLowerCasesAndTrimsApostrophes) {
  EXPECT_EQ(Words("Don't STOP--the 'quoted' Words, 42 times;x''y ''' caf\xC3\xA9!"),
            (std::vector<std::string>{"don't", "stop", "the", "quoted", "words", "42", "times", "x''y",
                                      "caf\xC3\xA9"}));
  EXPECT_TRUE(Words("").empty());
  EXPECT_TRUE(Words(" ,.;' -- ''\n\t").empty());
  // A word at the very end of the text, with no separator after it.
  EXPECT_EQ(Words("A"), (std::vector<std::string>{"a"}));
}

TEST(WordfreqCounts, CountsWordsAndFreesEveryCounter) {
  const long nBefore = LiveCounters();
  {
    WordCounts counts;
    const std::string strText = "The cat and THE dog; the cat.";
    counts.AddText(strText.data(), strText.size());
    EXPECT_EQ(counts.Total(), 7u);
    EXPECT_EQ(counts.Distinct(), 4u);
    EXPECT_EQ(counts.Count("the"), 3u);
    EXPECT_EQ(counts.Count("cat"), 2u);
    EXPECT_EQ(counts.Count("dog"), 1u);
    EXPECT_EQ(counts.Count("The"), 0u);  // counted lower-cased only
    EXPECT_EQ(counts.Count("bird"), 0u);
    EXPECT_EQ(LiveCounters(), nBefore + 4);

    counts.Clear();
    EXPECT_EQ(counts.Distinct(), 0u);
    EXPECT_EQ(counts.Total(), 0u);
    EXPECT_EQ(counts.Count("the"), 0u);
    EXPECT_EQ(LiveCounters(), nBefore);

    counts.AddWord("again");
    EXPECT_EQ(LiveCounters(), nBefore + 1);
  }
  EXPECT_EQ(LiveCounters(), nBefore);  // the destructor freed the last one
}

TEST(WordfreqCounts, FailedAllocationLeavesCountsAsTheyWere) {
  ExceptionsSink pfnOld = Exceptions::SetSink(&NoDiagnostics);
  const long nBefore = LiveCounters();
  WordCounts counts;
  counts.AddWord("kept");
  // Fail each of the library allocations a new word makes in turn, until
  // the add no longer needs the failing one.
  int nFailures = 0;
  for (long n = 1; n <= 8; ++n) {
    const std::string strWord = "word" + std::to_string(n);
    Createable::SetAllocationFailure(n);
    try {
      counts.AddWord(strWord);
    } catch (const AssertionFailure&) {
      ++nFailures;
      EXPECT_EQ(counts.Count(strWord), 0u) << n;
    }
    Createable::SetAllocationFailure(0);
    EXPECT_EQ(counts.Count("kept"), 1u);
    EXPECT_EQ(LiveCounters(), nBefore + static_cast<long>(counts.Distinct())) << n;
    EXPECT_EQ(counts.Total(), counts.Distinct()) << n;
  }
  EXPECT_GT(nFailures, 0);
  counts.Clear();
  EXPECT_EQ(LiveCounters(), nBefore);
  Exceptions::SetSink(pfnOld);
}

TEST(WordfreqRank, MostFrequentFirstTiesInByteOrder) {
  WordCounts counts;
  const std::string strText = "b c a b c a d b e e z";
  counts.AddText(strText.data(), strText.size());
  // b 3; a, c, e 2; d, z 1.
  EXPECT_EQ(AsPairs(counts.TopWords(10)),
            (std::vector<std::pair<std::string, unsigned long>>{
                {"b", 3}, {"a", 2}, {"c", 2}, {"e", 2}, {"d", 1}, {"z", 1}}));
  // A cut inside a group of equal counts keeps the first in byte order.
  EXPECT_EQ(AsPairs(counts.TopWords(3)),
            (std::vector<std::pair<std::string, unsigned long>>{{"b", 3}, {"a", 2}, {"c", 2}}));
  EXPECT_TRUE(counts.TopWords(0).empty());
  // Ranking leaves the counts alone and can be repeated.
  EXPECT_EQ(counts.TopWords(1).front().strWord, "b");
  EXPECT_EQ(counts.Distinct(), 6u);

  WordCounts empty;
  EXPECT_TRUE(empty.TopWords(20).empty());
}

TEST(WordfreqRank, MatchesAStdMapModel) {
  for (unsigned nSeed : {1u, 2u, 3u}) {
    SCOPED_TRACE(nSeed);
    std::mt19937 rng(nSeed);
    // Few letters and a skewed length make many equal counts.
    std::geometric_distribution<int> length(0.45);
    std::uniform_int_distribution<int> letter(0, 3);
    std::map<std::string, unsigned long> model;
    WordCounts counts;
    for (int i = 0; i < 20000; ++i) {
      std::string w(1 + length(rng), 'a');
      for (char& c : w) c = static_cast<char>('a' + letter(rng));
      counts.AddWord(w);
      ++model[w];
    }
    std::vector<std::pair<std::string, unsigned long>> expected(model.begin(), model.end());
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& x, const auto& y) { return x.second > y.second; });
    ASSERT_EQ(counts.Distinct(), model.size());
    EXPECT_EQ(AsPairs(counts.TopWords(static_cast<unsigned long>(model.size()) + 5)), expected);
  }
}

TEST(WordfreqSample, CountsOfTheShippedText) {
  const std::string strPath = TARNCOLL_SOURCE_DIR "/examples/wordfreq/sample.txt";
  std::ifstream in(strPath, std::ios::binary);
  ASSERT_TRUE(in) << strPath;
  std::ostringstream text;
  text << in.rdbuf();
  const std::string strText = text.str();

  WordCounts counts;
  counts.AddText(strText.data(), strText.size());
  // Worked out independently with tr, sort and uniq.
  EXPECT_EQ(counts.Total(), 1029u);
  EXPECT_EQ(counts.Distinct(), 276u);
  EXPECT_EQ(counts.Count("miller's"), 5u);
  EXPECT_EQ(counts.Count("ferryman's"), 1u);
  const std::vector<RankedWord> vTop = counts.TopWords(20);
  ASSERT_EQ(vTop.size(), 20u);
  EXPECT_EQ(AsPairs({vTop[0], vTop[1], vTop[5], vTop[6]}),
            (std::vector<std::pair<std::string, unsigned long>>{{"the", 105}, {"and", 46}, {"of", 16}, {"you", 16}}));
  // "ferryman" and "then" both occur 10 times; byte order puts "ferryman"
  // last of the twenty.
  EXPECT_EQ(vTop[19].strWord, "ferryman");
  EXPECT_EQ(vTop[19].nCount, 10u);
  EXPECT_EQ(counts.Count("then"), 10u);
}
