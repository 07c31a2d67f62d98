// Trackable: allocation statistics per class name and the text report.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <cpcoll/Cpdict.h>
#include <cpcoll/trackable.h>
#include <util/crc16.h>

#include "support/report_capture.h"
#include "support/trackable_inspector.h"

namespace {

class TrackableTest : public ::testing::Test {
 protected:
  void SetUp() override { TrackableInspector::Reset(); }
  void TearDown() override { TrackableInspector::Reset(); }

  // Runs Report; checks that the text equals the Message lines followed by
  // the one Comment line, and returns the text.
  static std::string RunReport() {
    ReportCapture capture;
    char szOut[4096] = "junk";
    EXPECT_EQ(Trackable::Report(szOut), 1);
    std::string sJoined;
    const std::vector<CapturedReport>& reports = ReportCapture::Reports();
    EXPECT_FALSE(reports.empty());
    for (unsigned long i = 0; i < reports.size(); ++i) {
      bool bLast = i + 1 == reports.size();
      EXPECT_EQ(reports[i].kind, bLast ? Exceptions::eComment : Exceptions::eMessage);
      if (bLast) {
        EXPECT_EQ(reports[i].file, "cpcoll\\trackable");
      }
      sJoined += reports[i].text;
    }
    EXPECT_EQ(sJoined, szOut);
    return szOut;
  }
};

unsigned Slot(const char* psz) { return crc16::Update(0, psz, std::char_traits<char>::length(psz)) & 0xFF; }

TEST_F(TrackableTest, TwoAllocationsOneReleaseOneClassLine) {
  EXPECT_EQ(Trackable::AllocateObject("CPList", 10), 1);
  EXPECT_EQ(Trackable::AllocateObject("CPList", 20), 1);
  EXPECT_EQ(Trackable::DeAllocateObject("CPList", 10), 1);
  EXPECT_EQ(RunReport(),
            "Class: CPList.  Instances 1.  Size: 20.  Avg Size: 20\r\n"
            "Total Number of Objects: 1, Cumulative Size: 20\r\n");
}

TEST_F(TrackableTest, AveragesTruncateAndZeroInstancesStayListed) {
  const char* pszA = "Seven";
  const char* pszB = "Gone";
  ASSERT_NE(Slot(pszA), Slot(pszB));
  Trackable::AllocateObject(pszA, 3);
  Trackable::AllocateObject(pszA, 4);
  Trackable::AllocateObject(pszB, 8);
  EXPECT_EQ(Trackable::DeAllocateObject(pszB, 8), 1);
  EXPECT_EQ(Trackable::DeAllocateObject(pszB, 8), 0);  // no live instance
  std::string sA = "Class: Seven.  Instances 2.  Size: 7.  Avg Size: 3\r\n";
  std::string sB = "Class: Gone.  Instances 0.  Size: 0.  Avg Size: 0\r\n";
  std::string sLines = Slot(pszA) < Slot(pszB) ? sA + sB : sB + sA;
  EXPECT_EQ(RunReport(), sLines + "Total Number of Objects: 2, Cumulative Size: 7\r\n");
}

TEST_F(TrackableTest, MismatchedSizesGoNegativeAndAverageAsUnsigned) {
  Trackable::AllocateObject("Neg", 5);
  Trackable::DeAllocateObject("Neg", 10);  // 0 instances, size -5
  EXPECT_EQ(RunReport(),
            "Class: Neg.  Instances 0.  Size: -5.  Avg Size: 0\r\n"
            "Total Number of Objects: 0, Cumulative Size: -5\r\n");
  Trackable::AllocateObject("Neg", 1);
  Trackable::AllocateObject("Neg", 1);
  Trackable::AllocateObject("Neg", 1);
  Trackable::DeAllocateObject("Neg", 3);  // 2 instances, size -5 + 3 - 3 = -5
  // The average divides the bits of -5 as an unsigned number by 2.
  EXPECT_EQ(RunReport(),
            "Class: Neg.  Instances 2.  Size: -5.  Avg Size: 2147483645\r\n"
            "Total Number of Objects: 2, Cumulative Size: -5\r\n");
}

TEST_F(TrackableTest, ReleasesWithNothingToTakeFromReturnZero) {
  EXPECT_EQ(Trackable::DeAllocateObject("Never", 4), 0);  // before any allocation
  EXPECT_EQ(Trackable::pdctAllocatedObjects, nullptr);
  EXPECT_EQ(RunReport(), "Total Number of Objects: 0, Cumulative Size: 0\r\n");
  Trackable::AllocateObject("Once", 4);
  EXPECT_EQ(Trackable::DeAllocateObject("Unknown", 4), 0);
  EXPECT_EQ(TrackableInspector::TotalObjects(), 1);
  EXPECT_EQ(TrackableInspector::TotalSize(), 4);
}

TEST_F(TrackableTest, SwitchedOffRecordsNothingButSaysDone) {
  Trackable::AllocateObject("Kept", 6);
  std::string sBefore = RunReport();
  Trackable::bDisableTracking = 1;
  EXPECT_EQ(Trackable::AllocateObject("Kept", 6), 1);
  EXPECT_EQ(Trackable::AllocateObject("New", 6), 1);
  EXPECT_EQ(Trackable::DeAllocateObject("Kept", 6), 1);
  Trackable::bDisableTracking = 0;
  EXPECT_EQ(RunReport(), sBefore);
  EXPECT_EQ(Trackable::pdctAllocatedObjects->Length(), 1u);
}

TEST_F(TrackableTest, LongNamesAreCutAndLinesFitTheirBuffer) {
  std::string sName(300, 'x');
  Trackable::AllocateObject(sName.c_str(), 1);
  EXPECT_EQ(Trackable::DeAllocateObject(sName.c_str(), 1), 1);  // found by the full name
  Trackable::AllocateObject(sName.c_str(), 1);
  std::string sFull = "Class: " + std::string(254, 'x') + ".  Instances 1.  Size: 1.  Avg Size: 1\r\n";
  EXPECT_EQ(RunReport(), sFull.substr(0, 255) + "Total Number of Objects: 1, Cumulative Size: 1\r\n");

  // Lines at their longest fill the documented buffer size and stay inside
  // it: the appends copy the cut line, not the length it would have had.
  Trackable::AllocateObject((std::string(300, 'y') + "1").c_str(), 1);
  Trackable::AllocateObject((std::string(300, 'z') + "2").c_str(), 1);
  const unsigned long nNeeded = 256 * (Trackable::pdctAllocatedObjects->Length() + 1);
  std::vector<char> vOut(nNeeded + 64, '#');
  EXPECT_EQ(Trackable::Report(vOut.data()), 1);
  const std::string sText = vOut.data();
  EXPECT_EQ(sText.size(), 3 * 255 + std::string("Total Number of Objects: 3, Cumulative Size: 3\r\n").size());
  EXPECT_EQ(std::string(vOut.begin() + static_cast<long>(sText.size()) + 1, vOut.end()),
            std::string(vOut.size() - sText.size() - 1, '#'));
}

TEST_F(TrackableTest, EmptyNameIsTrackedAsUnNamed) {
  Trackable::AllocateObject("", 2);
  Trackable::AllocateObject(nullptr, 2);
  EXPECT_EQ(Trackable::DeAllocateObject("", 2), 1);
  EXPECT_EQ(Trackable::pdctAllocatedObjects->Length(), 1u);
  EXPECT_EQ(RunReport(),
            "Class: UnNamed.  Instances 1.  Size: 2.  Avg Size: 2\r\n"
            "Total Number of Objects: 1, Cumulative Size: 2\r\n");
}

TEST_F(TrackableTest, FailedAllocationRecordsNothingAndKeepsTrackingOn) {
  Createable::SetAllocationFailure(1);  // the dictionary
  EXPECT_NIL_REPORT(Trackable::AllocateObject("A", 1), "cpcoll\\trackable", "pdctAllocatedObjects");
  EXPECT_EQ(Trackable::pdctAllocatedObjects, nullptr);
  EXPECT_EQ(Trackable::bDisableTracking, 0);
  EXPECT_EQ(TrackableInspector::TotalObjects(), 0);
  Trackable::AllocateObject("A", 1);
  Createable::SetAllocationFailure(1);  // the new class's dictionary entry
  EXPECT_NIL_REPORT(Trackable::AllocateObject("B", 5), "cpcoll\\Cpdict", "pdaThis");
  Createable::SetAllocationFailure(0);
  EXPECT_EQ(Trackable::bDisableTracking, 0);
  EXPECT_EQ(RunReport(),
            "Class: A.  Instances 1.  Size: 1.  Avg Size: 1\r\n"
            "Total Number of Objects: 1, Cumulative Size: 1\r\n");
}

}  // namespace

// A sink that records a new class for every Message it receives: the
// report still writes every class line present at its start, then the
// totals (which count the sink's allocations), and returns 1.
TEST_F(TrackableTest, ASinkThatTracksObjectsDoesNotDerailTheReport) {
  for (const char* psz : {"Alpha", "Beta", "Gamma"}) Trackable::AllocateObject(psz, 4);
  static int s_nMessages;
  s_nMessages = 0;
  ExceptionsSink pfnPrevious = Exceptions::SetSink([](int kind, const char*, long, const char*) {
    if (kind != Exceptions::eMessage) return;
    std::string sName = "Sink" + std::to_string(++s_nMessages);
    Trackable::AllocateObject(sName.c_str(), 1);
  });
  char szOut[4096];
  short nResult = Trackable::Report(szOut);
  Exceptions::SetSink(pfnPrevious);
  EXPECT_EQ(nResult, 1);
  EXPECT_EQ(s_nMessages, 3);
  std::string sOut = szOut;
  for (const char* psz : {"Alpha", "Beta", "Gamma"})
    EXPECT_NE(sOut.find(std::string("Class: ") + psz + ".  Instances 1.  Size: 4."), std::string::npos) << psz;
  EXPECT_NE(sOut.find("Total Number of Objects: 6, Cumulative Size: 15\r\n"), std::string::npos) << sOut;
}
