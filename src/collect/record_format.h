#pragma once
// Cutting downloaded chunks into CR-ended records and comma-separated fields,
// and turning each record into one output line and one export-store entry.
#include <cstddef>
#include <string>
#include <vector>

class Controls;
class OutputFile;

// Pieces between delimiters, after one delimiter is appended to the text.
std::vector<std::string> SplitAtDelimiter(const std::string& text, char delimiter);

// The text put between the fields of a line: "," for an empty box, TAB for
// exactly "tab", otherwise the text itself.
std::string OutputSeparator(const std::string& separatorText);

// A record still open at the end of a chunk is kept this long at most; one
// longer than that is no barcode record and is dropped up to its CR.
inline constexpr std::size_t MaxRecordCarry = 1u << 20;

// One download's formatting state: the unfinished record at the end of a chunk
// is kept and completed by the next chunk of the same download. Text still
// open when the download ends is no complete record and is dropped with it.
struct RecordCarry {
  std::string pending;
  bool overlong = false;  // inside a record longer than MaxRecordCarry
};

// Formats every complete record of the chunk (zero-terminated text). Reads the
// "Serial Number" and "Time Stamp" boxes; appends to BarcodeExport; writes the
// lines to file (when saveToFile) in one write. False when the write failed.
bool FormatChunk(Controls& dialog, const char* chunk, const std::string& separatorText,
                 bool unixLineFeeds, bool saveToFile, OutputFile* file, RecordCarry& carry);
