// The base layer: CRC-16, strings, reference counts, allocation failure
// injection and the diagnostics sink.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include <util/CPString.h>
#include <util/Createable.h>
#include <util/Exceptions.h>
#include <util/crc16.h>

#include "support/alloc_sweep.h"
#include "support/counted.h"
#include "support/report_capture.h"

namespace alloc_sweep = tarncoll::test::alloc_sweep;

namespace {

// Bit-by-bit CRC-16/ARC, the definition the table-driven code must match.
unsigned short ReferenceCrc(unsigned short crc, const std::string& s) {
  for (unsigned char c : s) {
    crc ^= c;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

TEST(Crc16, CheckValueOfTheStandardText) {
  crc16 c;
  unsigned short crc = 0;
  EXPECT_EQ(c.Calc("123456789", &crc, nullptr), 1);
  EXPECT_EQ(crc, 0xBB3D);
}

TEST(Crc16, NullTextOrAccumulatorIsTheOnlyZeroResult) {
  crc16 c;
  unsigned short crc = 0x1234;
  EXPECT_EQ(c.Calc(nullptr, &crc, nullptr), 0);
  EXPECT_EQ(crc, 0x1234);
  EXPECT_EQ(c.Calc("abc", nullptr, nullptr), 0);
  EXPECT_EQ(c.Calc("", &crc, nullptr), 1);  // empty text: success, CRC unchanged
  EXPECT_EQ(crc, 0x1234);
}

TEST(Crc16, ContinuesFromTheGivenValueAndReportsLength) {
  crc16 c;
  unsigned short whole = 0, pieces = 0;
  long len = -1;
  c.Calc("hello, world", &whole, &len);
  EXPECT_EQ(len, 12);
  c.Calc("hello, ", &pieces, nullptr);
  c.Calc("world", &pieces, nullptr);
  EXPECT_EQ(whole, pieces);
}

TEST(Crc16, MatchesBitwiseDefinitionAtEveryLengthAndAlignment) {
  std::mt19937 rng(7);
  crc16 c;
  for (int len = 0; len < 80; ++len) {
    std::string s;
    for (int i = 0; i < len; ++i) s += char(1 + rng() % 255);  // no NUL inside
    for (unsigned short start : {0, 0xFFFF, 0x8005}) {
      unsigned short crc = start;
      c.Calc(s.c_str(), &crc, nullptr);
      ASSERT_EQ(crc, ReferenceCrc(start, s)) << "length " << len;
    }
  }
}

TEST(CPStringText, CrcFollowsEveryChangeOfTheText) {
  CPString s;
  EXPECT_EQ(s.Length(), 0u);
  EXPECT_EQ(s._get_nCRC(), 0);
  s = "123456789";
  EXPECT_EQ(s._get_nCRC(), 0xBB3D);
  s.Copy("xx123456789yy", 2, 9);
  EXPECT_STREQ(s.GetBuffer(), "123456789");
  EXPECT_EQ(s._get_nCRC(), 0xBB3D);
  std::string longText(1000, 'q');
  s = longText.c_str();
  EXPECT_EQ(s.Length(), 1000u);
  EXPECT_EQ(s._get_nCRC(), ReferenceCrc(0, longText));
  EXPECT_GE(s.Size(), 1001);
  s.Clear();
  EXPECT_STREQ(s.GetBuffer(), "");
  EXPECT_EQ(s._get_nCRC(), 0);
  CPString t("abc");
  s.Copy(t);
  EXPECT_EQ(s._get_nCRC(), ReferenceCrc(0, "abc"));
}

TEST(CPStringText, CopyRangesAndSelfAssignment) {
  CPString s;
  s.Copy("abcdef", 0, 0);
  EXPECT_STREQ(s.GetBuffer(), "abcdef");
  s.Copy("abcdef", 4, 0);  // to the end
  EXPECT_STREQ(s.GetBuffer(), "ef");
  s.Copy("abcdef", 10, 3);  // start past the end: empty
  EXPECT_STREQ(s.GetBuffer(), "");
  s.Copy(nullptr, 0, 0);
  EXPECT_STREQ(s.GetBuffer(), "");
  s = "a long text that does not fit the inline buffer of the string";
  CPString& alias = s;
  s = alias;
  EXPECT_STREQ(s.GetBuffer(), "a long text that does not fit the inline buffer of the string");
  s.Copy(s.GetBuffer(), 2, 4);  // a range of its own text
  EXPECT_STREQ(s.GetBuffer(), "long");
}

TEST(CPStringText, EqualityIsFullTextAndStrCpyIsBounded) {
  CPString a("abc"), b("abc"), c("abcd");
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
  EXPECT_TRUE(a != c);
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE("abc" == a);
  EXPECT_FALSE(a == "ab");
  EXPECT_FALSE(a == static_cast<const char*>(nullptr));
  char out[3] = {'x', 'x', 'x'};
  a.StrCpy(out, sizeof out);
  EXPECT_STREQ(out, "ab");
  char big[16];
  c.StrCpy(big, 0xFFFFFFFF);
  EXPECT_STREQ(big, "abcd");
}

// A text of nLen bytes that differs from one length to the next.
std::string TextOfLength(std::size_t nLen) {
  std::string text;
  for (std::size_t i = 0; i < nLen; ++i) text += static_cast<char>('a' + (i * 7 + nLen) % 26);
  return text;
}

// NewInOneBlock: exactly one library allocation and no standard one at
// every length; a long text lies right after the object.
TEST(CPStringOneBlock, OneLibraryAllocationAndNoOtherAtEveryLength) {
  for (std::size_t nLen : {0u, 1u, 22u, 23u, 24u, 25u, 100u, 5000u}) {
    SCOPED_TRACE("length " + std::to_string(nLen));
    const std::string text = TextOfLength(nLen);
    const unsigned short nCRC = ReferenceCrc(0, text);
    for (int bGivenCRC = 0; bGivenCRC < 2; ++bGivenCRC) {
      alloc_sweep::Arm(alloc_sweep::eStandard, 1L << 30);  // counts, never fails
      Createable::SetAllocationFailure(2);                 // a second library allocation would fail
      CPString* pstr = bGivenCRC ? CPString::NewInOneBlock(text.data(), nLen, nCRC)
                                 : CPString::NewInOneBlock(text.data(), nLen);
      const long nStd = alloc_sweep::Hook().nCalls;
      EXPECT_FALSE(alloc_sweep::Disarm(alloc_sweep::eLibrary, 1)) << "more than one library allocation";
      alloc_sweep::Disarm(alloc_sweep::eStandard, 0);
      ASSERT_NE(pstr, nullptr);
      EXPECT_EQ(nStd, 0);
      EXPECT_EQ(pstr->_get_nRefCount(), 0);
      EXPECT_EQ(std::string(pstr->GetBuffer()), text);
      EXPECT_EQ(pstr->Length(), nLen);
      EXPECT_EQ(pstr->_get_nCRC(), nCRC);
      EXPECT_EQ(pstr->Size(), nLen < 24 ? 24 : static_cast<long>(nLen + 1));
      if (nLen >= 24) {
        EXPECT_EQ(pstr->GetBuffer(), reinterpret_cast<const char*>(pstr) + sizeof(CPString));
      }
      pstr->AddRef();
      pstr->Release();  // frees the one block (ASan: no leak, no mismatched free)
    }
  }
}

// A trailing text keeps its place for texts that fit and moves to a heap
// buffer of its own for a longer one; copies are independent strings.
TEST(CPStringOneBlock, ReassignShorterLongerAndCopy) {
  const std::string text = TextOfLength(40);
  CPString* pstr = CPString::NewInOneBlock(text.data(), text.size());
  ASSERT_NE(pstr, nullptr);
  const char* pszTrailing = pstr->GetBuffer();
  // shorter: same bytes, same room, CRC of the new text
  *pstr = "short";
  EXPECT_EQ(pstr->GetBuffer(), pszTrailing);
  EXPECT_STREQ(pstr->GetBuffer(), "short");
  EXPECT_EQ(pstr->Size(), 41);
  EXPECT_EQ(pstr->_get_nCRC(), ReferenceCrc(0, "short"));
  // exactly the room: still in place
  const std::string text40 = TextOfLength(39) + "!";
  pstr->Copy(text40.c_str(), 0, 0);
  EXPECT_EQ(pstr->GetBuffer(), pszTrailing);
  EXPECT_EQ(std::string(pstr->GetBuffer()), text40);
  // a copy made now is an ordinary string with its own buffer
  CPString copy(*pstr);
  EXPECT_NE(copy.GetBuffer(), pstr->GetBuffer());
  EXPECT_TRUE(copy == *pstr);
  EXPECT_EQ(copy._get_nCRC(), pstr->_get_nCRC());
  // longer: moves to a heap buffer; the old trailing bytes are not freed
  // on their own (ASan/valgrind would report a bad free)
  const std::string longer = TextOfLength(300);
  *pstr = longer.c_str();
  EXPECT_NE(pstr->GetBuffer(), pszTrailing);
  EXPECT_EQ(std::string(pstr->GetBuffer()), longer);
  EXPECT_GE(pstr->Size(), 301);
  EXPECT_EQ(pstr->_get_nCRC(), ReferenceCrc(0, longer));
  // and back to shorter texts in that buffer, then the copy's text
  pstr->Clear();
  EXPECT_STREQ(pstr->GetBuffer(), "");
  pstr->Copy(copy);
  EXPECT_TRUE(*pstr == copy);
  EXPECT_STREQ(copy.GetBuffer(), text40.c_str());  // the copy never changed
  delete pstr;
  // A copy of a one-block string into an existing short string.
  CPString* pstr2 = CPString::NewInOneBlock(longer.data(), longer.size());
  ASSERT_NE(pstr2, nullptr);
  CPString target("x");
  target = *pstr2;
  delete pstr2;  // the target's text does not live in pstr2's block
  EXPECT_EQ(std::string(target.GetBuffer()), longer);
}

// The one block is a library allocation: a failure returns null and
// leaves nothing behind.
TEST(CPStringOneBlock, FailedAllocationIsNull) {
  const std::string text = TextOfLength(64);
  for (std::size_t nLen : {5u, 64u}) {
    Createable::SetAllocationFailure(1);
    EXPECT_EQ(CPString::NewInOneBlock(text.data(), nLen), nullptr);
    Createable::SetAllocationFailure(1);
    EXPECT_EQ(CPString::NewInOneBlock(text.data(), nLen, 0x1234), nullptr);
    Createable::SetAllocationFailure(0);
  }
}

TEST(CreateableRefs, LastReleaseDeletesAndCopiesStartUnreferenced) {
  Counted::Live() = 0;
  Counted* p = new Counted(1);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->_get_nRefCount(), 0);
  p->AddRef();
  p->AddRef();
  Counted copy(*p);
  EXPECT_EQ(copy._get_nRefCount(), 0);
  copy = *p;
  EXPECT_EQ(copy._get_nRefCount(), 0);
  EXPECT_EQ(p->Release(), 1);
  EXPECT_EQ(Counted::Live(), 2);
  EXPECT_EQ(p->Release(), 0);
  EXPECT_EQ(Counted::Live(), 1);  // only the stack copy remains
}

TEST(CreateableRefs, CountSaturationIsReportedNotWrapped) {
  Counted c;
  for (int i = 0; i < 0xFFFF; ++i) c.AddRef();
  EXPECT_EQ(c._get_nRefCount(), 0xFFFF);
  EXPECT_ASSERT_REPORT(c.AddRef(), "util\\createable", "nRefCount < 0xFFFF");
  EXPECT_EQ(c._get_nRefCount(), 0xFFFF);
}

TEST(CreateableAllocation, NthAllocationFailsOnce) {
  Createable::SetAllocationFailure(2);
  CPString* a = new CPString("a");
  CPString* b = new CPString("b");
  CPString* c = new CPString("c");
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  delete a;
  delete c;
  Createable::SetAllocationFailure(1);
  Createable::SetAllocationFailure(0);  // switched off again
  CPString* d = new CPString("d");
  EXPECT_NE(d, nullptr);
  delete d;
}

TEST(ExceptionsService, ReportsReachTheSinkThenThrow) {
  ReportCapture capture;
  Exceptions* ex = Exceptions::_get_gexeptnsThe();
  ex->Message("line\r\n");
  ex->Comment("cpcoll\\trackable", 42, "total\r\n");
  bool thrown = false;
  try {
    ex->FailIfNIL("cpcoll\\cplist", 7, "pbktNew");
  } catch (const AssertionFailure& e) {
    thrown = true;
    EXPECT_TRUE(e.failIfNil);
    EXPECT_EQ(e.line, 7);
    EXPECT_STREQ(e.expression, "pbktNew");
    EXPECT_NE(std::string(e.what()).find("pbktNew"), std::string::npos);
  }
  EXPECT_TRUE(thrown);
  auto& r = ReportCapture::Reports();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].kind, Exceptions::eMessage);
  EXPECT_EQ(r[0].text, "line\r\n");
  EXPECT_EQ(r[1].kind, Exceptions::eComment);
  EXPECT_EQ(r[1].file, "cpcoll\\trackable");
  EXPECT_EQ(r[1].line, 42);
  EXPECT_EQ(r[2].kind, Exceptions::eFailIfNIL);
  EXPECT_EQ(r[2].text, "pbktNew");
}

void OtherSink(int, const char*, long, const char*) {}

TEST(ExceptionsService, SetSinkReturnsThePreviousAndNullRestoresDefault) {
  ExceptionsSink original = Exceptions::SetSink(&OtherSink);
  EXPECT_EQ(Exceptions::SetSink(nullptr), &OtherSink);
  EXPECT_EQ(Exceptions::SetSink(original), original);  // null installed the default
}

// The default sink writes a Message as it is and a Comment after its source
// and line to stderr; the reports reach the caller as exceptions only.
TEST(ExceptionsService, DefaultSinkWritesMessagesAndCommentsToStderr) {
  ExceptionsSink pfnOld = Exceptions::SetSink(nullptr);
  Exceptions* ex = Exceptions::_get_gexeptnsThe();
  testing::internal::CaptureStderr();
  ex->Message("one\r\n");
  ex->Message(nullptr);
  ex->Comment("cpcoll\\trackable", 42, "two\r\n");
  EXPECT_THROW(ex->Assert("cpcoll\\cplist", 7, "pbkt != 0"), AssertionFailure);
  EXPECT_THROW(ex->FailIfNIL("cpcoll\\cplist", 8, "pbktNew"), AssertionFailure);
  std::string sErr = testing::internal::GetCapturedStderr();
  Exceptions::SetSink(pfnOld);
  EXPECT_EQ(sErr, "one\r\ncpcoll\\trackable(42): two\r\n");
}

}  // namespace
