// Test support: capture what reaches the Exceptions sink, and check that a
// statement reports exactly one given text.
#ifndef TARNCOLL_TESTS_SUPPORT_REPORT_CAPTURE_H
#define TARNCOLL_TESTS_SUPPORT_REPORT_CAPTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <util/Exceptions.h>

struct CapturedReport {
  int kind;
  std::string file;
  long line;
  std::string text;
};

// Installs a recording sink for its lifetime; restores the previous sink.
class ReportCapture {
 public:
  ReportCapture() : pfnPrevious(Exceptions::SetSink(&Record)) { Reports().clear(); }
  ~ReportCapture() { Exceptions::SetSink(pfnPrevious); }
  ReportCapture(const ReportCapture&) = delete;
  ReportCapture& operator=(const ReportCapture&) = delete;

  static std::vector<CapturedReport>& Reports() {
    static std::vector<CapturedReport> reports;
    return reports;
  }
  void Clear() { Reports().clear(); }

 private:
  static void Record(int kind, const char* file, long line, const char* text) {
    Reports().push_back({kind, file ? file : "", line, text ? text : ""});
  }
  ExceptionsSink pfnPrevious;
};

// Runs stmt, which must throw AssertionFailure of the given kind
// (Exceptions::eAssert or eFailIfNIL) from source with text, after the
// sink received that same report.
#define EXPECT_REPORT(stmt, kind_, source_, text_)                                   \
  do {                                                                               \
    ReportCapture capture_;                                                          \
    bool thrown_ = false;                                                            \
    try {                                                                            \
      stmt;                                                                          \
    } catch (const AssertionFailure& e_) {                                           \
      thrown_ = true;                                                                \
      EXPECT_STREQ(e_.expression, text_);                                            \
      EXPECT_STREQ(e_.file, source_);                                                \
      EXPECT_EQ(e_.failIfNil, (kind_) == Exceptions::eFailIfNIL);                    \
    }                                                                                \
    EXPECT_TRUE(thrown_) << "no report from: " #stmt;                               \
    ASSERT_EQ(ReportCapture::Reports().size(), 1u);                                  \
    EXPECT_EQ(ReportCapture::Reports()[0].kind, (kind_));                            \
    EXPECT_EQ(ReportCapture::Reports()[0].file, std::string(source_));               \
    EXPECT_EQ(ReportCapture::Reports()[0].text, std::string(text_));                 \
  } while (0)

#define EXPECT_ASSERT_REPORT(stmt, source_, text_) EXPECT_REPORT(stmt, Exceptions::eAssert, source_, text_)
#define EXPECT_NIL_REPORT(stmt, source_, text_) EXPECT_REPORT(stmt, Exceptions::eFailIfNIL, source_, text_)

// Runs stmt, which must throw the cursor exception 0xDEADF0CC.
#define EXPECT_CURSOR_EXCEPTION(stmt)                  \
  do {                                                 \
    bool thrown_ = false;                              \
    try {                                              \
      stmt;                                            \
    } catch (unsigned int v_) {                        \
      thrown_ = true;                                  \
      EXPECT_EQ(v_, 0xDEADF0CCu);                      \
    }                                                  \
    EXPECT_TRUE(thrown_) << "no cursor exception from: " #stmt; \
  } while (0)

#endif
