#include "support/hostile_records.h"

#include <algorithm>

namespace {
constexpr std::size_t PieceText = 10250 - 3;  // a host read less the separator
const kt52::DeviceTime Scanned{2024, 5, 17, 9, 0, 0};

void Add(std::vector<kt52::StoredRecord>& records, const std::string& barcode) {
  records.push_back({Scanned, barcode});
}
}  // namespace

std::vector<kt52::StoredRecord> SeparatorLookalikeRecords(std::size_t fullPieces) {
  std::vector<kt52::StoredRecord> records;
  for (std::size_t piece = 0; piece < fullPieces; ++piece) {
    std::size_t left = PieceText;
    for (std::string barcode : {"ENDIVE", "LEGEND-0042"}) {
      Add(records, barcode);
      left -= barcode.size() + 1;
    }
    while (left > 2 * 12) {
      Add(records, "LEGEND-0042");
      left -= 12;
    }
    Add(records, "END-" + std::string(left - 5, 'X'));  // fills the piece to its end
  }
  Add(records, "ENDIVE");
  Add(records, "LEGEND-0042");
  return records;
}

std::vector<kt52::StoredRecord> ZeroByteRecords(std::size_t count) {
  const std::string barcodes[] = {std::string("AB\0CD", 5), std::string("\0LEAD", 5),
                                  std::string("TAIL\0", 5), std::string("\0\0", 2), "PLAIN"};
  std::vector<kt52::StoredRecord> records;
  for (std::size_t i = 0; i < count; ++i) Add(records, barcodes[i % 5] + std::to_string(i));
  return records;
}

std::string WithoutZeroBytes(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

std::string WindowsLines(const std::string& downloadText) {
  std::string lines;
  for (char c : downloadText) {
    lines += c;
    if (c == '\r') lines += '\n';
  }
  return lines;
}

kt52::DeviceOptions HiddenFieldsScanner(const std::string& serial,
                                        std::vector<kt52::StoredRecord> records,
                                        kt52::Transport transport) {
  kt52::DeviceOptions o;
  o.serialNumber = serial;
  o.records = std::move(records);
  o.transport = transport;
  o.showSerial = false;
  o.showTime = false;
  return o;
}

kt52::DeviceOptions Scanner(const std::string& serial, std::size_t records,
                            kt52::Transport transport) {
  kt52::DeviceOptions o;
  o.serialNumber = serial;
  o.generatedRecords = records;
  o.transport = transport;
  return o;
}
