#pragma once
// Cutting downloaded chunks into CR-ended records and comma-separated fields,
// and turning each record into one output line and one export-store entry.
#include <string>
#include <vector>

class Controls;
class OutputFile;

// Pieces between delimiters, after one delimiter is appended to the text.
std::vector<std::string> SplitAtDelimiter(const std::string& text, char delimiter);

// The text put between the fields of a line: "," for an empty box, TAB for
// exactly "tab", otherwise the text itself.
std::string OutputSeparator(const std::string& separatorText);

// One download's formatting state: the unfinished record at the end of a chunk
// is kept and completed by the next chunk of the same download.
struct RecordCarry {
  std::string pending;
};

// Formats every complete record of the chunk (zero-terminated text). Reads the
// "Serial Number" and "Time Stamp" boxes; appends to BarcodeExport; writes the
// lines to file (when saveToFile) in one write. False when the write failed.
bool FormatChunk(Controls& dialog, const char* chunk, const std::string& separatorText,
                 bool unixLineFeeds, bool saveToFile, OutputFile* file, RecordCarry& carry);
