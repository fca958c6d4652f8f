#pragma once
// Cutting downloaded chunks into CR-ended records and comma-separated fields,
// and turning each record into one output line and one export-store entry.
#include <cstddef>
#include <string>
#include <vector>

#include "common/scan_summary.h"

class OutputFile;

// Pieces between delimiters, after one delimiter is appended to the text.
std::vector<std::string> SplitAtDelimiter(const std::string& text, char delimiter);

// The text put between the fields of a line: "," for an empty box, TAB for
// exactly "tab", otherwise the text itself.
std::string OutputSeparator(const std::string& separatorText);

// A record longer than this is not cut into fields: no barcode record is, and
// it is kept whole.
inline constexpr std::size_t MaxSplitRecord = 1u << 20;

// One download's formatting state: the unfinished record at the end of a chunk
// is kept and completed by the next chunk of the same download. Text still
// open when the download ends is no complete record: the download did not
// finish (RecordLeftOpen).
struct RecordCarry {
  std::string pending;
  // A record held the plain download's separator in its serial number or time
  // stamp: the separators were not where the data's shape put them, so the
  // record was altered. It and everything after it are left out.
  bool separatorInFields = false;
  // Every record taken so far, its fields as the scanner sent them (8-bit).
  std::vector<ScanRecord> records;
};
inline bool RecordLeftOpen(const RecordCarry& carry) { return !carry.pending.empty(); }

// How the records of one download are laid out and turned into lines: which
// fields they hold, the separator box's text and the line ends.
struct RecordLayout {
  bool serialShown = true;
  bool timeShown = true;
  std::string separatorText;  // as OutputSeparator takes it
  bool unixLineFeeds = false;
  // Plain mode: the scanner's default separator, which no serial number or
  // time stamp the scanner sends can hold. Empty: not looked for.
  std::string downloadSeparator;
  // Fields the records carry that the lines leave out.
  bool serialLeftOut = false;
  bool timeLeftOut = false;
};

// Formats every complete record of the chunk (zero-terminated text) as the
// layout says; appends it to carry.records; writes the lines to file (when
// saveToFile) in one write. False when the write failed.
// A record that cannot be cut into its fields (a comma missing where a shown
// field needs one, or longer than MaxSplitRecord) is not lost: it is written
// as it came, as one line, and stored whole as the barcode, with an empty
// serial number and time stamp. From the first record whose serial number or
// time stamp holds layout.downloadSeparator on, nothing more is taken
// (carry.separatorInFields).
bool FormatChunk(const RecordLayout& layout, const char* chunk, bool saveToFile, OutputFile* file,
                 RecordCarry& carry);
