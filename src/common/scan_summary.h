#pragma once
// The stock-count summary of one or more downloads: one CSV line a barcode
// with how often it was scanned and its first and last scan time.
//
// The CSV (RFC 4180): the header line "Barcode,Count,First Scan,Last Scan",
// then one line a barcode in the order the barcodes first appear, every line
// ended by CR LF. A field holding ",", '"', CR or LF is put in double quotes,
// a '"' inside doubled; the time stamps hold a comma, so they are always
// quoted. Texts are the bytes as the scanner sent them, except that one
// beginning as a formula would (see CsvField) gets a leading "'".
//
// Times. The scanner writes a time stamp in its date order, "date,time" with
// the time HH:MM:SS. Its CN order (YYYY/MM/DD) sorts as text; US (MM/DD/YYYY)
// and EU (DD/MM/YYYY) do not, so every stamp is read by the date order of the
// scanner it came from, and stamps of scanners in different orders compare
// correctly. First and last are written as that scanner sent them. A stamp
// that does not read in its scanner's order (a wrong layout, a month outside
// 1..12, a day outside 1..31, none at all when the scanner left time stamps
// out) takes no part in first and last; a barcode none of whose stamps reads
// shows the stamps of its first and last record as they came. Of equal
// times, first keeps the earliest record and last takes the latest.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/expected_list.h"

// The scanner's date orders (its CN, US and EU formats).
enum class StampDateOrder { YearMonthDay, MonthDayYear, DayMonthYear };

struct ScanRecord {
  std::string serialNumber;
  std::string timeStamp;  // as the scanner sent it: "2024/05/17,09:30:02"
  std::string barcode;
};

struct BarcodeTally {
  std::string barcode;
  std::uint64_t count = 0;
  std::string first, last;  // the chosen stamps, as sent
  bool timed = false;       // first and last are stamps that read
  std::uint64_t firstTime = 0, lastTime = 0;
};

struct ScanSummary {
  std::vector<BarcodeTally> barcodes;  // in the order they first appear
  std::unordered_map<std::string, std::size_t> index;
};

// Adds one scanner's records, its stamps read in that scanner's date order.
void AddScans(ScanSummary& summary, const std::vector<ScanRecord>& records, StampDateOrder order);
// The summary as CSV text. Counted against an expected list, each line also
// has Description, Expected, Difference and Status, and the barcodes expected
// and never scanned follow (count 0, no scan times).
std::string SummaryCsv(const ScanSummary& summary, const ExpectedList* expected = nullptr);

// A time stamp as one number that orders by time (YYYYMMDDhhmmss); false when
// the stamp does not read in that order.
bool ReadStamp(const std::string& stamp, StampDateOrder order, std::uint64_t& time);
// The stamp as ISO 8601, "YYYY-MM-DDTHH:MM:SS"; false when it does not read
// in that order.
bool StampIso8601(const std::string& stamp, StampDateOrder order, std::string& iso);
// The field as RFC 4180 writes it: quoted when it holds ",", '"', CR or LF.
// A field beginning with "=", "+", "-", "@", TAB or CR gets a leading "'"
// first, so a spreadsheet shows it as text and never runs it as a formula
// (a negative whole number, "-2", stays a number).
std::string CsvField(const std::string& text);
