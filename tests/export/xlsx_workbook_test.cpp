// Workbooks as Excel reads them: written here, read back with openpyxl
// (tests/support/read_xlsx.py) for cell types, dates and sheet names.
#include "export/xlsx_workbook.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "support/workbook_reader.h"

namespace {
std::size_t FilesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) count += entry.is_regular_file();
  return count;
}

TEST(XlsxWorkbook, BarcodesAsTextTimesAsDatesAndTheCountBeside) {
  if (!WorkbooksSupported()) GTEST_SKIP() << "built without libxlsxwriter";
  using Order = StampDateOrder;
  const std::vector<WorkbookScan> scans = {
      ScanOfRecord(L"KTA", L"2024/05/17,09:30:02", L"0004000000", Order::YearMonthDay, L"COM3", L"PC-1"),
      ScanOfRecord(L"KTB", L"05/17/2024,09:30:03", L"4006381333931", Order::MonthDayYear, L"COM4", L"PC-1"),
      ScanOfRecord(L"KTC", L"31/12/2024,23:59:59", L"12345678901234567890", Order::DayMonthYear, L"COM5",
                   L"PC-1"),
      ScanOfRecord(L"KTA", L"2024/13/17,09:30:05", L"=SUM(A1)", Order::YearMonthDay, L"COM3", L"PC-1"),
      ScanOfRecord(L"KTA", L"", L"\u00c6r\u00f8sk\u00f8bing \u20ac", Order::YearMonthDay, L"COM3", L"PC-1"),
  };
  ExpectedList list;
  ExpectedListError error;
  ASSERT_TRUE(ReadExpectedList("0004000000,2,Salt\nN,1,Nuts\n", list, error));
  const std::vector<CountRow> count =
      CountAgainst(list, {{"0004000000", 1}, {"4006381333931", 1}});
  TempFolder folder;
  std::wstring why;
  ASSERT_TRUE(WriteScanWorkbook(folder.Wide() + L"\\Z\u00e4hlung \u20ac.xlsx", scans, &count, why))
      << std::string(why.begin(), why.end());
  EXPECT_EQ("sheet Scans frozen=A2 filter=A1:E6 bold=True\n"
            "s:Serial Number\ts:Scan Time\ts:Barcode\ts:Port\ts:PC\n"
            "s:KTA\td:2024-05-17T09:30:02\ts:0004000000\ts:COM3\ts:PC-1\n"
            "s:KTB\td:2024-05-17T09:30:03\ts:4006381333931\ts:COM4\ts:PC-1\n"
            "s:KTC\td:2024-12-31T23:59:59\ts:12345678901234567890\ts:COM5\ts:PC-1\n"
            "s:KTA\ts:2024/13/17,09:30:05\ts:=SUM(A1)\ts:COM3\ts:PC-1\n"
            "s:KTA\t-:\ts:\u00c6r\u00f8sk\u00f8bing \u20ac\ts:COM3\ts:PC-1\n"
            "sheet Count frozen=A2 filter=A1:F4 bold=True\n"
            "s:Barcode\ts:Description\ts:Expected\ts:Counted\ts:Difference\ts:Status\n"
            "s:0004000000\ts:Salt\tn:2\tn:1\tn:-1\ts:short\n"
            "s:4006381333931\t-:\tn:0\tn:1\tn:1\ts:not expected\n"
            "s:N\ts:Nuts\tn:1\tn:0\tn:-1\ts:short\n",
            ReadWorkbook(folder.Path() / "Z\u00e4hlung \u20ac.xlsx"));
  EXPECT_EQ(1u, FilesIn(folder.Path())) << "no temporary file left";
}

// Whole, or not there: an earlier workbook stays until the new one is complete.
TEST(XlsxWorkbook, AWorkbookIsWholeOrNotThere) {
  if (!WorkbooksSupported()) GTEST_SKIP() << "built without libxlsxwriter";
  TempFolder folder;
  const std::wstring path = folder.Wide() + L"\\count.xlsx";
  std::wstring why;
  const std::vector<WorkbookScan> one = {
      ScanOfRecord(L"KTA", L"", L"A", StampDateOrder::YearMonthDay, L"COM3", L"PC")};
  ASSERT_TRUE(WriteScanWorkbook(path, one, nullptr, why));
  ASSERT_TRUE(WriteScanWorkbook(path, {one[0], one[0]}, nullptr, why));
  EXPECT_EQ("sheet Scans rows=3\n", ReadWorkbook(folder.Path() / "count.xlsx", true));
  EXPECT_FALSE(WriteScanWorkbook(folder.Wide() + L"\\no-such-folder\\count.xlsx", one, nullptr, why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(1u, FilesIn(folder.Path()));
}

TEST(XlsxWorkbook, HundredThousandRows) {
  if (!WorkbooksSupported()) GTEST_SKIP() << "built without libxlsxwriter";
  std::vector<WorkbookScan> scans;
  for (int i = 0; i < 100000; ++i)
    scans.push_back(ScanOfRecord(L"KT5200001", L"2024/05/17,09:30:02", L"400638" + std::to_wstring(1000000 + i),
                                 StampDateOrder::YearMonthDay, L"COM3", L"PC-1"));
  TempFolder folder;
  std::wstring why;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(WriteScanWorkbook(folder.Wide() + L"\\big.xlsx", scans, nullptr, why));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start).count();
  std::printf("[ figures ] 100,000 rows written in %lld ms\n", static_cast<long long>(ms));
  EXPECT_EQ("sheet Scans rows=100001\n", ReadWorkbook(folder.Path() / "big.xlsx", true));
}
}  // namespace
