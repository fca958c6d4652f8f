#include "collect/record_format.h"

#include "collect/output_file.h"
#include "common/ansi_text.h"
#include "export/export_store.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {
constexpr char RecordEnd = '\r';
constexpr char FieldSeparator = ',';  // fixed by the scanner, not the user's choice

struct RecordFields {
  std::string serial;
  std::string time;
  std::string barcode;
};

// Cuts one record into its fields. False when a comma that a shown field
// needs is missing.
bool SplitRecord(const std::string& record, bool serialShown, bool timeShown,
                 RecordFields& fields) {
  std::size_t at = 0;
  if (serialShown) {
    std::size_t comma = record.find(FieldSeparator, at);
    if (comma == std::string::npos) return false;
    fields.serial = record.substr(at, comma - at);
    at = comma + 1;
  }
  if (timeShown) {
    // The time stamp is date and time with one comma between them.
    std::size_t inner = record.find(FieldSeparator, at);
    if (inner == std::string::npos) return false;
    std::size_t comma = record.find(FieldSeparator, inner + 1);
    if (comma == std::string::npos) return false;
    fields.time = record.substr(at, comma - at);
    at = comma + 1;
  }
  fields.barcode = record.substr(at);
  if (!fields.barcode.empty() && fields.barcode.back() == '\n') fields.barcode.pop_back();
  return true;
}

void AppendLine(std::string& lines, const RecordFields& fields, bool serialShown, bool timeShown,
                const std::string& separator, bool unixLineFeeds) {
  if (serialShown) lines += fields.serial + separator;
  if (timeShown) lines += fields.time + separator;
  lines += fields.barcode;
  lines += unixLineFeeds ? "\n" : "\r\n";
}

// Joins the carried tail to the chunk and cuts the text into complete records;
// the new unfinished tail stays in the carry.
std::vector<std::string> TakeCompleteRecords(const char* chunk, RecordCarry& carry) {
  std::vector<std::string> records = SplitAtDelimiter(carry.pending + chunk, RecordEnd);
  carry.pending = std::move(records.back());
  records.pop_back();
  if (carry.overlong) {
    if (records.empty()) {
      carry.pending.clear();
    } else {
      records.erase(records.begin());  // the end of the over-long record
      carry.overlong = false;
    }
  }
  if (carry.pending.size() > MaxRecordCarry) {
    carry.pending.clear();
    carry.overlong = true;
  }
  return records;
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

bool FormatChunk(Controls& dialog, const char* chunk, const std::string& separatorText,
                 bool unixLineFeeds, bool saveToFile, OutputFile* file, RecordCarry& carry) {
  if (!chunk || chunk[0] == '\0') return true;
  const std::string separator = OutputSeparator(separatorText);
  const bool serialShown = dialog.IsChecked(IDC_SHOW_SERIAL_NUMBER);
  const bool timeShown = dialog.IsChecked(IDC_SHOW_TIME_STAMP);

  std::string lines;
  for (const std::string& record : TakeCompleteRecords(chunk, carry)) {
    RecordFields fields;
    if (!SplitRecord(record, serialShown, timeShown, fields)) continue;  // only this one is lost
    BarcodeExport.AppendRecord(AnsiToWide(fields.serial), AnsiToWide(fields.time),
                               AnsiToWide(fields.barcode));
    AppendLine(lines, fields, serialShown, timeShown, separator, unixLineFeeds);
  }
  if (!saveToFile || lines.empty()) return true;
  return file && file->IsOpen() && file->Append(lines.data(), lines.size());
}
