#include "cli/stock_count.h"

#include <cstdio>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <unordered_map>

#include "cli/cli_options.h"
#include "cli/cli_platform.h"
#include "common/ansi_text.h"
#include "export/scan_database.h"

namespace {
// A list far longer than any stock count's is refused, not read into memory.
constexpr std::size_t MaxListBytes = 64u << 20;
}  // namespace

int ReadExpectedFile(const std::wstring& path, ExpectedList& list) {
  if (path.empty()) return -1;
  std::ifstream file(PathText(path), std::ios::binary);
  std::string bytes;
  if (file) {
    bytes.resize(MaxListBytes + 1);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
  }
  if (!file && !file.eof()) {
    std::fprintf(stderr, "cannot read the expected list %s\n", PathText(path).c_str());
    return ExitUsage;
  }
  if (bytes.size() > MaxListBytes) {
    std::fprintf(stderr, "the expected list %s is longer than %zu MiB\n", PathText(path).c_str(),
                 MaxListBytes >> 20);
    return ExitUsage;
  }
  ExpectedListError error;
  if (ReadExpectedList(bytes, list, error)) return -1;
  std::fprintf(stderr, "the expected list %s, line %zu: %s\n", PathText(path).c_str(), error.line,
               error.why.c_str());
  return ExitUsage;
}

std::vector<std::vector<std::wstring>> CountLines(const std::vector<std::vector<std::wstring>>& counts,
                                                  const ExpectedList& list) {
  std::vector<std::pair<std::string, std::uint64_t>> counted;
  for (std::size_t k = 1; k < counts.size(); ++k)
    if (counts[k].size() == 2)
      counted.emplace_back(WideToAnsi(counts[k][0]), std::wcstoull(counts[k][1].c_str(), nullptr, 10));
  std::vector<std::vector<std::wstring>> lines = {
      {L"barcode", L"count", L"description", L"expected", L"difference", L"status"}};
  for (const CountRow& row : CountAgainst(list, counted)) {
    const char* status = CountStatusText(row.status);
    lines.push_back({AnsiToWide(row.barcode), std::to_wstring(row.counted), row.description,
                     std::to_wstring(row.expected), std::to_wstring(row.difference),
                     std::wstring(status, status + std::char_traits<char>::length(status))});
  }
  return lines;
}

bool RunWorkbook::AddDownload(const std::vector<ScanRecord>& records, const std::wstring& port,
                              const std::wstring& pc, StampDateOrder order) {
  for (const ScanRecord& r : records)
    scans_.push_back(ScanOfRecord(AnsiToWide(r.serialNumber), AnsiToWide(r.timeStamp), AnsiToWide(r.barcode),
                                  order, port, pc));
  return Write();
}

void RunWorkbook::AddStored(const std::vector<std::wstring>& row) {
  const std::vector<std::wstring>& columns = ScanTableColumns();
  if (row.size() != columns.size()) return;
  const auto at = [&](const wchar_t* name) {
    return row[static_cast<std::size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin())];
  };
  WorkbookScan scan{at(L"serial_number"), at(L"scan_date") + L"," + at(L"scan_time"), 0,
                    at(L"barcode"), at(L"port"), at(L"pc_name")};
  // scanned_at in ISO 8601 reads as a stamp in CN order once its separators are the scanner's.
  std::string iso = WideToAnsi(at(L"scanned_at"));
  if (iso.size() == 19 && iso[4] == '-' && iso[7] == '-' && iso[10] == 'T') {
    iso[4] = iso[7] = '/';
    iso[10] = ',';
    if (!ReadStamp(iso, StampDateOrder::YearMonthDay, scan.at)) scan.at = 0;
  }
  if (at(L"scan_date").empty() && at(L"scan_time").empty()) scan.time.clear();
  scans_.push_back(std::move(scan));
}

bool RunWorkbook::Write() {
  std::vector<CountRow> count;
  if (expected_) {
    std::vector<std::pair<std::string, std::uint64_t>> counted;
    std::unordered_map<std::string, std::size_t> index;
    for (const WorkbookScan& scan : scans_) {
      const std::string barcode = WideToAnsi(scan.barcode);
      auto [it, added] = index.try_emplace(barcode, counted.size());
      if (added) counted.emplace_back(barcode, 0);
      ++counted[it->second].second;
    }
    count = CountAgainst(*expected_, counted);
  }
  std::wstring why;
  if (WriteScanWorkbook(path_, scans_, expected_ ? &count : nullptr, why)) return true;
  std::fprintf(stderr, "cannot write the workbook %s: %s\n", PathText(path_).c_str(), PathText(why).c_str());
  return false;
}
