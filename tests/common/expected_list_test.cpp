#include "common/expected_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// An item as the test writes it: barcode, quantity, description.
struct Item {
  std::string barcode;
  std::uint64_t quantity;
  std::wstring description;
  bool operator==(const Item&) const = default;
};

TEST(ExpectedList, ReadsListsAsSpreadsheetsSaveThem) {
  const struct {
    const char* what;
    std::string bytes;
    std::vector<Item> items;
    std::size_t badLine;  // 0: it reads
  } files[] = {
      {"commas, a header, CR LF", "Barcode,Quantity,Description\r\n0004000000,2,Salt\r\n4006381333931,,\r\n",
       {{"0004000000", 2, L"Salt"}, {"4006381333931", 1, L""}}, 0},
      {"a UTF-8 byte-order mark, semicolons, text beyond ASCII",
       "\xEF\xBB\xBF" "Code;Qty;Name\n12345678901234567890;3;Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC\n",
       {{"12345678901234567890", 3, L"Gr\u00f6\u00dfe \u20ac"}}, 0},
      {"the ANSI code page, no header", "A1\t5\tK\xE4se\n", {{"A1", 5, L"K\u00e4se"}}, 0},
      {"tabs, with commas and semicolons in the fields", "a,b\t1\tx;y\n", {{"a,b", 1, L"x;y"}}, 0},
      {"quoted fields with separators, quotes and a line end",
       "\"=1+1\",\"2\",\"say \"\"hi\"\", then\r\nmore\"\r\nB\r\n",
       {{"=1+1", 2, L"say \"hi\", then\r\nmore"}, {"B", 1, L""}}, 0},
      {"a barcode listed twice adds up; empty lines and more columns",
       "A,1,first,shelf 3\n\n,,\nA,2,second\n", {{"A", 3, L"first"}}, 0},
      {"only the first line can be a header", "A,1\nB,many\n", {}, 2},
      {"a quote left open, the line it began on", "A,1\nB,1\n\"C,1\nD,1\n", {}, 3},
      {"a negative quantity", "A,1\nB,-1\n", {}, 2},
      {"a barcode saved as a number", "Code,Qty\n4.00638E+12,1\n", {}, 2},
      {"a quantity but no barcode", "A,1\n,4\n", {}, 2},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.what);
    ExpectedList list;
    ExpectedListError error;
    const bool read = ReadExpectedList(f.bytes, list, error);
    EXPECT_EQ(f.badLine == 0, read) << error.why;
    if (f.badLine) {
      EXPECT_EQ(f.badLine, error.line) << error.why;
      EXPECT_FALSE(error.why.empty());
      continue;
    }
    std::vector<Item> items;
    for (const ExpectedItem& item : list.items) items.push_back({item.barcode, item.quantity, item.description});
    EXPECT_EQ(f.items, items);
  }
}

TEST(ExpectedList, CountsShortOverNotExpectedAndNeverScanned) {
  ExpectedList list;
  ExpectedListError error;
  ASSERT_TRUE(ReadExpectedList("A,2,Apples\nB,1\nC,3\nD,1,Dates\n", list, error));
  const auto rows = CountAgainst(list, {{"X", 1}, {"C", 1}, {"A", 2}, {"B", 4}});
  std::vector<std::string> got;
  for (const CountRow& r : rows)
    got.push_back(r.barcode + " " + std::to_string(r.counted) + "/" + std::to_string(r.expected) + " " +
                  std::to_string(r.difference) + " " + CountStatusText(r.status) +
                  (r.countedAt == SIZE_MAX ? " never" : ""));
  EXPECT_EQ((std::vector<std::string>{"X 1/0 1 not expected", "C 1/3 -2 short", "A 2/2 0 match",
                                      "B 4/1 3 over", "D 0/1 -1 short never"}),
            got);
  EXPECT_EQ(L"Dates", rows.back().description);
}
}  // namespace
