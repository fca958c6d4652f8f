#pragma once
// A stock count's list of what should be there, and the count against it.
//
// The list is CSV or TXT as a spreadsheet saves it: one line an item of
// barcode, expected quantity (empty: 1) and description (optional), more
// columns ignored. UTF-8 with or without a byte-order mark, or else the ANSI
// code page; fields separated by a tab, ";" or "," (the first of them in the
// first line, outside quotes, decides; a tab wins); fields in double quotes
// may hold the separator, line ends and doubled quotes. A first line whose
// quantity is not a number is a header. Empty lines are skipped; a barcode
// listed twice has its quantities added up.
//
// The count has one row a barcode: those counted, in the order given, then
// those expected and never scanned (counted 0), in the list's order.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct ExpectedItem {
  std::string barcode;        // as the scanner sends it: ANSI bytes
  std::uint64_t quantity = 0;
  std::wstring description;
};

struct ExpectedList {
  std::vector<ExpectedItem> items;  // in the list's order
  std::unordered_map<std::string, std::size_t> index;
};

struct ExpectedListError {
  std::size_t line = 0;  // from 1
  std::string why;
};

// Reads the list's bytes; false, with the line and why, when a line cannot be read.
bool ReadExpectedList(const std::string& bytes, ExpectedList& list, ExpectedListError& error);

enum class CountStatus { Match, Short, Over, NotExpected };
// "match", "short", "over", "not expected".
const char* CountStatusText(CountStatus status);

struct CountRow {
  std::string barcode;
  std::uint64_t counted = 0;
  std::uint64_t expected = 0;
  std::int64_t difference = 0;  // counted - expected
  CountStatus status = CountStatus::Match;
  std::wstring description;
  std::size_t countedAt = SIZE_MAX;  // its place in the counted barcodes; SIZE_MAX: never scanned
};

// The counted barcodes (each once, with its count) against the list.
std::vector<CountRow> CountAgainst(const ExpectedList& list,
                                   const std::vector<std::pair<std::string, std::uint64_t>>& counted);
