#include "cli/stock_count.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "cli/cli_options.h"
#include "cli/cli_platform.h"
#include "common/ansi_text.h"

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
