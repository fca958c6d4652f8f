#include "common/scan_summary.h"

#include <cstddef>

#include "common/ansi_text.h"

namespace {
// "date,HH:MM:SS" with a 10-character date.
constexpr std::size_t StampLength = 19;

// The number of `width` digits at text[at], or -1 when one is no digit.
int Digits(const std::string& text, std::size_t at, std::size_t width) {
  int value = 0;
  for (std::size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Where the year, month and day stand in the date, and its two slashes, in
// the order of StampDateOrder.
struct DateLayout {
  std::size_t year, month, day, slash1, slash2;
};
constexpr DateLayout Layouts[] = {{0, 5, 8, 4, 7}, {6, 0, 3, 2, 5}, {6, 3, 0, 2, 5}};

void Count(BarcodeTally& tally, const std::string& stamp, StampDateOrder order) {
  std::uint64_t time = 0;
  const bool reads = ReadStamp(stamp, order, time);
  if (reads && (!tally.timed || time < tally.firstTime)) {
    tally.first = stamp;
    tally.firstTime = time;
  }
  if (reads && (!tally.timed || time >= tally.lastTime)) {
    tally.last = stamp;
    tally.lastTime = time;
  }
  if (!reads && !tally.timed) {
    if (tally.count == 0) tally.first = stamp;
    tally.last = stamp;
  }
  tally.timed = tally.timed || reads;
  ++tally.count;
}
}  // namespace

bool ReadStamp(const std::string& stamp, StampDateOrder order, std::uint64_t& time) {
  if (stamp.size() != StampLength) return false;
  const DateLayout& at = Layouts[static_cast<int>(order)];
  if (stamp[at.slash1] != '/' || stamp[at.slash2] != '/' || stamp[10] != ',' || stamp[13] != ':' ||
      stamp[16] != ':')
    return false;
  const int year = Digits(stamp, at.year, 4), month = Digits(stamp, at.month, 2),
            day = Digits(stamp, at.day, 2), hour = Digits(stamp, 11, 2),
            minute = Digits(stamp, 14, 2), second = Digits(stamp, 17, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || minute < 0 ||
      second < 0)
    return false;
  // YYYYMMDDhhmmss: at most 14 digits, well inside 64 bits.
  time = ((((static_cast<std::uint64_t>(year) * 100 + month) * 100 + day) * 100 + hour) * 100 +
          minute) *
             100 +
         second;
  return true;
}

bool StampIso8601(const std::string& stamp, StampDateOrder order, std::string& iso) {
  std::uint64_t time = 0;
  if (!ReadStamp(stamp, order, time)) return false;
  const std::string digits = std::to_string(time);  // YYYYMMDDhhmmss, the year of 4 digits
  if (digits.size() != 14) return false;
  iso = digits.substr(0, 4) + '-' + digits.substr(4, 2) + '-' + digits.substr(6, 2) + 'T' +
        digits.substr(8, 2) + ':' + digits.substr(10, 2) + ':' + digits.substr(12, 2);
  return true;
}

std::string CsvField(const std::string& given) {
  const bool negative = given.size() > 1 && given[0] == '-' &&
                        given.find_first_not_of("0123456789", 1) == std::string::npos;
  const bool formula = !given.empty() && !negative &&
                       std::string("=+-@\t\r").find(given[0]) != std::string::npos;
  const std::string text = formula ? "'" + given : given;
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

void AddScans(ScanSummary& summary, const std::vector<ScanRecord>& records, StampDateOrder order) {
  for (const ScanRecord& record : records) {
    auto [at, added] = summary.index.try_emplace(record.barcode, summary.barcodes.size());
    if (added) {
      summary.barcodes.emplace_back();
      summary.barcodes.back().barcode = record.barcode;
    }
    Count(summary.barcodes[at->second], record.timeStamp, order);
  }
}

std::string SummaryCsv(const ScanSummary& summary, const ExpectedList* expected) {
  const auto line = [](const BarcodeTally& tally) {
    return CsvField(tally.barcode) + ',' + std::to_string(tally.count) + ',' +
           CsvField(tally.first) + ',' + CsvField(tally.last);
  };
  std::string csv = "Barcode,Count,First Scan,Last Scan";
  if (!expected) {
    csv += "\r\n";
    for (const BarcodeTally& tally : summary.barcodes) csv += line(tally) + "\r\n";
    return csv;
  }
  csv += ",Description,Expected,Difference,Status\r\n";
  std::vector<std::pair<std::string, std::uint64_t>> counted;
  for (const BarcodeTally& tally : summary.barcodes) counted.emplace_back(tally.barcode, tally.count);
  for (const CountRow& row : CountAgainst(*expected, counted)) {
    BarcodeTally never;
    never.barcode = row.barcode;
    csv += line(row.countedAt < summary.barcodes.size() ? summary.barcodes[row.countedAt] : never) +
           ',' + CsvField(WideToAnsi(row.description)) + ',' + std::to_string(row.expected) + ',' +
           std::to_string(row.difference) + ',' + CountStatusText(row.status) + "\r\n";
  }
  return csv;
}
