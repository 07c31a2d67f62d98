// wordfreq: the 20 most frequent words of a text file, and the tracking
// report of the counters that counted them.
//
//   wordfreq [FILE]      (default: the sample text shipped beside this file)
//
// Words are counted in a CPDictionary (see wordfreq.h), ranked through two
// CPTrees and printed most frequent first; then Trackable's report shows
// the live counters, and again after DestroyAll has freed them.
// Exit status: 0 done, 1 the file could not be read, 2 the library reported
// a failure (out of memory).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <cpcoll/modern_text.h>
#include <util/Exceptions.h>

#include "wordfreq.h"

#ifndef WORDFREQ_SAMPLE_TEXT
#define WORDFREQ_SAMPLE_TEXT "sample.txt"
#endif

namespace {

const unsigned long kTopCount = 20;

ExceptionsSink g_pfnPreviousSink = nullptr;

// While the report is taken: the report's lines also go to the sink as
// Message and Comment diagnostics; they are printed from the text instead,
// so those two kinds are dropped here and the rest passed on.
void QuietSink(int nKind, const char* pszFile, long nLine, const char* pszText) {
  if (nKind == Exceptions::eMessage || nKind == Exceptions::eComment) return;
  if (g_pfnPreviousSink) g_pfnPreviousSink(nKind, pszFile, nLine, pszText);
}

// The tracking report as printable lines (the report ends lines with CR LF).
void PrintTrackingReport(const char* pszTitle) {
  g_pfnPreviousSink = Exceptions::SetSink(&QuietSink);
  std::string strReport;
  try {
    strReport = tarncoll::TrackingReport();
  } catch (...) {
    Exceptions::SetSink(g_pfnPreviousSink);
    throw;
  }
  Exceptions::SetSink(g_pfnPreviousSink);
  std::string strLines;
  for (char c : strReport)
    if (c != '\r') strLines += c;
  std::printf("\n%s\n%s", pszTitle, strLines.c_str());
}

bool ReadFile(const char* pszPath, std::string* pstrText) {
  std::ifstream in(pszPath, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  if (in.bad()) return false;
  *pstrText = out.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* pszPath = argc > 1 ? argv[1] : WORDFREQ_SAMPLE_TEXT;
  std::string strText;
  if (!ReadFile(pszPath, &strText)) {
    std::fprintf(stderr, "wordfreq: cannot read %s\n", pszPath);
    return 1;
  }

  try {
    wordfreq::WordCounts counts;
    counts.AddText(strText.data(), strText.size());
    std::printf("%s: %lu words, %lu different\n\n", pszPath, counts.Total(), counts.Distinct());

    std::printf("rank  count  word\n");
    unsigned long nRank = 0;
    for (const wordfreq::RankedWord& rw : counts.TopWords(kTopCount))
      std::printf("%4lu  %5lu  %s\n", ++nRank, rw.nCount, rw.strWord.c_str());

    PrintTrackingReport("Tracking report, counters live:");
    counts.Clear();
    PrintTrackingReport("Tracking report, after DestroyAll:");
  } catch (const AssertionFailure& failure) {
    std::fprintf(stderr, "wordfreq: the library reported \"%s\" (%s)\n", failure.expression, failure.file);
    return 2;
  }
  return 0;
}
