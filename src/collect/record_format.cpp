#include "collect/record_format.h"

#include <cstring>
#include <string_view>

#include "common/output_file.h"
#include "common/ansi_text.h"

namespace {
constexpr char RecordEnd = '\r';
constexpr char FieldSeparator = ',';  // fixed by the scanner, not the user's choice

// Views into the record being cut.
struct RecordFields {
  std::string_view serial;
  std::string_view time;
  std::string_view barcode;
};

// Cuts one record into its fields. False when a comma that a shown field
// needs is missing, or the record is too long to be one.
bool SplitRecord(std::string_view record, bool serialShown, bool timeShown,
                 RecordFields& fields) {
  if (record.size() > MaxSplitRecord) return false;
  std::size_t at = 0;
  if (serialShown) {
    std::size_t comma = record.find(FieldSeparator, at);
    if (comma == std::string_view::npos) return false;
    fields.serial = record.substr(at, comma - at);
    at = comma + 1;
  }
  if (timeShown) {
    // The time stamp is date and time with one comma between them.
    std::size_t inner = record.find(FieldSeparator, at);
    if (inner == std::string_view::npos) return false;
    std::size_t comma = record.find(FieldSeparator, inner + 1);
    if (comma == std::string_view::npos) return false;
    fields.time = record.substr(at, comma - at);
    at = comma + 1;
  }
  fields.barcode = record.substr(at);
  if (!fields.barcode.empty() && fields.barcode.back() == '\n') fields.barcode.remove_suffix(1);
  return true;
}

void AppendLine(std::string& lines, const RecordFields& fields, bool serialShown, bool timeShown,
                const std::string& separator, bool unixLineFeeds) {
  if (serialShown) lines.append(fields.serial).append(separator);
  if (timeShown) lines.append(fields.time).append(separator);
  lines.append(fields.barcode);
  lines.append(unixLineFeeds ? "\n" : "\r\n");
}

// Joins the carried tail to the chunk and calls take for each complete record
// (a view that lives until take returns); the new unfinished tail stays in
// the carry.
bool Holds(std::string_view field, const std::string& text) {
  return !text.empty() && field.find(text) != std::string_view::npos;
}

template <typename Take>
void TakeCompleteRecords(const char* chunk, RecordCarry& carry, Take take) {
  std::string joined;
  std::string_view text(chunk);
  if (!carry.pending.empty()) {
    joined = carry.pending + chunk;
    text = joined;
  }
  const std::size_t lastEnd = text.rfind(RecordEnd);
  std::string_view complete, tail = text;
  if (lastEnd != std::string_view::npos) {
    complete = text.substr(0, lastEnd + 1);
    tail = text.substr(lastEnd + 1);
  }
  for (std::size_t start = 0; start < complete.size();) {
    const std::size_t end = complete.find(RecordEnd, start);
    take(complete.substr(start, end - start));
    start = end + 1;
  }
  carry.pending.assign(tail.data(), tail.size());
}
}  // namespace

std::vector<std::string> SplitAtDelimiter(const std::string& text, char delimiter) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(delimiter, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));  // the piece before the appended delimiter
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string OutputSeparator(const std::string& separatorText) {
  if (separatorText.empty()) return ",";
  if (separatorText == "tab") return "\t";
  return separatorText;
}

bool FormatChunk(const RecordLayout& layout, const char* chunk, bool saveToFile, OutputFile* file,
                 RecordCarry& carry) {
  if (!chunk || chunk[0] == '\0' || carry.separatorInFields) return true;
  const std::string separator = OutputSeparator(layout.separatorText);
  const bool serialShown = layout.serialShown;
  const bool timeShown = layout.timeShown;
  const bool unixLineFeeds = layout.unixLineFeeds;

  std::string lines;
  lines.reserve(std::strlen(chunk) * 2);
  TakeCompleteRecords(chunk, carry, [&](std::string_view record) {
    if (carry.separatorInFields) return;
    RecordFields fields;
    if (SplitRecord(record, serialShown, timeShown, fields)) {
      if (Holds(fields.serial, layout.downloadSeparator) ||
          Holds(fields.time, layout.downloadSeparator)) {
        carry.separatorInFields = true;
        return;
      }
      carry.records.push_back(
          {std::string(fields.serial), std::string(fields.time), std::string(fields.barcode)});
      AppendLine(lines, fields, serialShown && !layout.serialLeftOut,
                 timeShown && !layout.timeLeftOut, separator, unixLineFeeds);
      return;
    }
    carry.records.push_back({{}, {}, std::string(record)});
    AppendLine(lines, RecordFields{{}, {}, record}, false, false, separator, unixLineFeeds);
  });
  if (!saveToFile || lines.empty()) return true;
  return file && file->IsOpen() && file->Append(lines.data(), lines.size());
}
