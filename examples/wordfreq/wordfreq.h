// Word counting for the wordfreq example: a CPDictionary of counters keyed
// by word, ranked through two CPTrees.
//
//   text --ForEachWord--> "the" "river" "the" ...
//        --WordCounts::Add--> CPDictionary  "the"   -> WordCounter{2}
//                                           "river" -> WordCounter{1}
//        --TopWords--> CPTree (string keys)  words in byte order: rank r
//                      CPTree (numeric keys) count << 32 | (0xFFFFFFFE - r)
//                      walked from the largest key down (GotoBottom/Prev)
//
// A word is a run of ASCII letters, digits, apostrophes and bytes of 0x80
// and above (so UTF-8 letters stay inside words); ASCII letters are
// lower-cased, apostrophes at either end of a run are dropped, and every
// other byte separates words.
//
// The counters belong to WordCounts: each one is allocated with the
// standard new, recorded with Trackable under the class name
// "WordCounter", and freed by the kill function that CPDictionary's
// DestroyAll hands each item to.
#ifndef TARNCOLL_EXAMPLES_WORDFREQ_H
#define TARNCOLL_EXAMPLES_WORDFREQ_H

#include <cstddef>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/trackable.h>
#include <util/CPString.h>
#include <util/crc16.h>

namespace wordfreq {

// The Trackable class name of the counters.
inline const char* CounterClass() { return "WordCounter"; }

// One counted word: the dictionary's item.
struct WordCounter {
  unsigned long nCount;  // occurrences so far
  const char* pszWord;   // the dictionary's key text; set by TopWords
};

// One line of the ranking.
struct RankedWord {
  std::string strWord;
  unsigned long nCount;
};

inline bool IsWordByte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '\'' || c >= 0x80;
}

// Calls fnWord(const std::string&) for every word of text[0..nBytes), in
// order.  O(nBytes).
template <class Fn>
void ForEachWord(const char* pText, std::size_t nBytes, Fn fnWord) {
  std::string strWord;
  std::size_t i = 0;
  while (i < nBytes) {
    while (i < nBytes && !IsWordByte(static_cast<unsigned char>(pText[i]))) ++i;
    std::size_t nStart = i;
    while (i < nBytes && IsWordByte(static_cast<unsigned char>(pText[i]))) ++i;
    std::size_t nEnd = i;
    while (nStart < nEnd && pText[nStart] == '\'') ++nStart;
    while (nEnd > nStart && pText[nEnd - 1] == '\'') --nEnd;
    if (nStart == nEnd) continue;
    strWord.assign(pText + nStart, nEnd - nStart);
    for (char& c : strWord)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    fnWord(static_cast<const std::string&>(strWord));
  }
}

// The words of a text and how often each occurs.  Not copyable: it owns
// the counters its dictionary points to.
class WordCounts {
 public:
  WordCounts() : nTotal(0) {}
  WordCounts(const WordCounts&) = delete;
  WordCounts& operator=(const WordCounts&) = delete;
  ~WordCounts() { Clear(); }

  // Counts every word of text[0..nBytes).
  void AddText(const char* pText, std::size_t nBytes) {
    ForEachWord(pText, nBytes, [this](const std::string& strWord) { AddWord(strWord); });
  }

  // Counts one occurrence of strWord (taken as it is).  One CRC and one
  // dictionary lookup; a new word also records and allocates its counter.
  // A report from the dictionary or the tracker (out of memory) leaves
  // the counts as they were.
  void AddWord(const std::string& strWord) {
    unsigned long nCRC = crc16::Update(0, strWord.data(), strWord.size());
    WordCounter* pwc = static_cast<WordCounter*>(dct.FindKeyString(strWord.c_str(), &nCRC));
    if (pwc == nullptr) {
      Trackable::AllocateObject(CounterClass(), sizeof(WordCounter));
      try {
        pwc = new WordCounter{0, nullptr};
        dct.AddKeyString(strWord.c_str(), pwc, &nCRC);
      } catch (...) {
        delete pwc;
        Trackable::DeAllocateObject(CounterClass(), sizeof(WordCounter));
        throw;
      }
    }
    ++pwc->nCount;
    ++nTotal;
  }

  // How often strWord was counted; 0 when never.
  unsigned long Count(const std::string& strWord) {
    const WordCounter* pwc = static_cast<const WordCounter*>(dct.FindKeyString(strWord.c_str(), nullptr));
    return pwc != nullptr ? pwc->nCount : 0;
  }

  unsigned long Distinct() const { return dct.Length(); }  // different words
  unsigned long Total() const { return nTotal; }           // words counted

  // Frees every counter (through the kill function) and empties the
  // dictionary.
  void Clear() {
    dct.DestroyAll(&KillCounter);
    nTotal = 0;
  }

  // The nMax most frequent words, most frequent first; words of equal
  // count in byte order.  O(d log d) for d distinct words.
  std::vector<RankedWord> TopWords(unsigned long nMax) {
    std::vector<RankedWord> vTop;
    if (nMax == 0 || dct.IsMT()) return vTop;

    // Each counter learns its word, and the words go into a string-keyed
    // tree (the keys are the dictionary's own key texts, which stay put
    // while the dictionary is unchanged).
    CPTree treeByWord;
    dct.ForEach(&NoteWord, &treeByWord);

    // Byte order gives each word its rank r; the numeric key puts higher
    // counts above lower ones and, within a count, lower ranks above
    // higher ones.  The low half never reaches all ones, so no key is the
    // all-ones "item is its own key" value.  (Ranks stay below 2^32 - 1:
    // that many counters would not fit in memory.)
    CPTree treeByCount;
    unsigned long nRank = 0;
    for (treeByWord.GotoTop(); treeByWord.Retrieve() != nullptr; treeByWord.Next(), ++nRank) {
      const WordCounter* pwc = static_cast<const WordCounter*>(treeByWord.Retrieve());
      const unsigned long nHigh = pwc->nCount < kLowMask ? pwc->nCount : kLowMask;
      treeByCount.AddKeyNum(nHigh << 32 | (kLowMask - 1 - nRank), treeByWord.Retrieve());
    }

    for (treeByCount.GotoBottom(); treeByCount.Retrieve() != nullptr && vTop.size() < nMax; treeByCount.Prev()) {
      const WordCounter* pwc = static_cast<const WordCounter*>(treeByCount.Retrieve());
      vTop.push_back(RankedWord{pwc->pszWord, pwc->nCount});
    }
    return vTop;  // both trees free their nodes here; the items stay
  }

 private:
  static constexpr unsigned long kLowMask = 0xFFFFFFFFul;
  static_assert(sizeof(unsigned long) == 8, "the ranking key packs two 32-bit halves");

  // Kill function of DestroyAll: the counter leaves the tracker and goes.
  static void KillCounter(void* pvItem, void*) {
    Trackable::DeAllocateObject(CounterClass(), sizeof(WordCounter));
    delete static_cast<WordCounter*>(pvItem);
  }

  // Key action of CPDictionary::ForEach: every key here is a CPString.
  static void NoteWord(void* pvItem, void* pvUser, void* pvKey) {
    WordCounter* pwc = static_cast<WordCounter*>(pvItem);
    pwc->pszWord = static_cast<CPString*>(pvKey)->GetBuffer();
    static_cast<CPTree*>(pvUser)->AddKeyString(pwc->pszWord, pwc, nullptr);
  }

  CPDictionary dct;      // word -> WordCounter* (owned through KillCounter)
  unsigned long nTotal;  // words counted since the last Clear
};

}  // namespace wordfreq

#endif
