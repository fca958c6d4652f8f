#include "common/scan_summary.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using Order = StampDateOrder;

// One scanner's download: its date order and its records (time, barcode).
struct Download {
  Order order;
  std::vector<std::pair<std::string, std::string>> scans;
};

std::string Summarize(const std::vector<Download>& downloads) {
  ScanSummary summary;
  for (const Download& download : downloads) {
    std::vector<ScanRecord> records;
    for (const auto& [time, barcode] : download.scans)
      records.push_back({"KT5200003", time, barcode});
    AddScans(summary, records, download.order);
  }
  return SummaryCsv(summary);
}

const std::string Header = "Barcode,Count,First Scan,Last Scan\r\n";

TEST(ScanSummary, OneLineABarcode) {
  const struct {
    const char* what;
    std::vector<Download> downloads;
    std::string lines;  // after the header
  } cases[] = {
      {"nothing downloaded", {}, ""},
      {"in the order barcodes first appear, times out of order",
       {{Order::YearMonthDay,
         {{"2024/05/17,10:00:00", "B"},
          {"2024/05/17,09:00:00", "A"},
          {"2024/05/16,23:59:59", "B"},
          {"2024/05/17,11:00:00", "B"}}}},
       "B,3,\"2024/05/16,23:59:59\",\"2024/05/17,11:00:00\"\r\n"
       "A,1,\"2024/05/17,09:00:00\",\"2024/05/17,09:00:00\"\r\n"},
      {"US dates across a year's end",
       {{Order::MonthDayYear, {{"01/01/2024,00:00:00", "A"}, {"12/31/2023,23:59:59", "A"}}}},
       "A,2,\"12/31/2023,23:59:59\",\"01/01/2024,00:00:00\"\r\n"},
      {"EU dates across a month's end",
       {{Order::DayMonthYear, {{"01/06/2024,08:00:00", "A"}, {"31/05/2024,08:00:00", "A"}}}},
       "A,2,\"31/05/2024,08:00:00\",\"01/06/2024,08:00:00\"\r\n"},
      {"two scanners in other orders; equal times keep the first and take the last",
       {{Order::MonthDayYear, {{"05/17/2024,09:30:02", "A"}}},
        {Order::YearMonthDay, {{"2024/05/17,09:30:02", "A"}, {"2024/05/17,09:30:01", "C"}}}},
       "A,2,\"05/17/2024,09:30:02\",\"2024/05/17,09:30:02\"\r\n"
       "C,1,\"2024/05/17,09:30:01\",\"2024/05/17,09:30:01\"\r\n"},
      {"barcodes that need quotes",
       {{Order::YearMonthDay,
         {{"", "a,b"}, {"", "say \"hi\""}, {"", "two\r\nlines"}, {"", "line\n"}, {"", ""}}}},
       "\"a,b\",1,,\r\n\"say "
       "\"\"hi\"\"\",1,,\r\n\"two\r\nlines\",1,,\r\n\"line\n\",1,,\r\n,1,,\r\n"},
      {"barcodes a spreadsheet would run as formulas get a leading '",
       {{Order::YearMonthDay,
         {{"", "=1+1"}, {"", "+49"}, {"", "-5+A1"}, {"", "@SUM(A1)"}, {"", "\tX"}, {"", "\rX"},
          {"", "=a,b"}, {"", "5-"}, {"", "-12"}}}},
       "'=1+1,1,,\r\n'+49,1,,\r\n'-5+A1,1,,\r\n'@SUM(A1),1,,\r\n'\tX,1,,\r\n\"'\rX\",1,,\r\n"
       "\"'=a,b\",1,,\r\n5-,1,,\r\n-12,1,,\r\n"},
      {"stamps that do not read give way to one that does",
       {{Order::YearMonthDay,
         {{"05/17/2024,09:30:02", "A"},
          {"2024/13/01,09:00:00", "A"},
          {"2024/05/00,09:00:00", "A"},
          {"2024/05/17,09:3x:00", "A"},
          {"2024/05/17,12:00:00", "A"},
          {"2024/05/17,09:00:0", "A"}}}},
       "A,6,\"2024/05/17,12:00:00\",\"2024/05/17,12:00:00\"\r\n"},
      {"no stamp reads: the first and the last record's",
       {{Order::DayMonthYear, {{"later", "A"}, {"2024/05/17,09:30:02", "A"}, {"earlier", "A"}}}},
       "A,3,later,earlier\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Header + c.lines, Summarize(c.downloads)) << c.what;
}

TEST(ScanSummary, CountedAgainstAnExpectedList) {
  ExpectedList list;
  ExpectedListError error;
  ASSERT_TRUE(ReadExpectedList("A,2,Apples\nB,1\nN,1,\"Nuts, salted\"\n", list, error));
  ScanSummary summary;
  AddScans(summary, {{"S", "2024/05/17,09:00:00", "B"}, {"S", "2024/05/17,09:00:01", "X"},
                     {"S", "2024/05/17,09:00:02", "B"}, {"S", "2024/05/17,09:00:03", "A"}},
           Order::YearMonthDay);
  EXPECT_EQ("Barcode,Count,First Scan,Last Scan,Description,Expected,Difference,Status\r\n"
            "B,2,\"2024/05/17,09:00:00\",\"2024/05/17,09:00:02\",,1,1,over\r\n"
            "X,1,\"2024/05/17,09:00:01\",\"2024/05/17,09:00:01\",,0,1,not expected\r\n"
            "A,1,\"2024/05/17,09:00:03\",\"2024/05/17,09:00:03\",Apples,2,-1,short\r\n"
            "N,0,,,\"Nuts, salted\",1,-1,short\r\n",
            SummaryCsv(summary, &list));
}
}  // namespace
