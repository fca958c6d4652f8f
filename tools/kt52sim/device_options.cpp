#include "kt52sim/device_options.h"

#include <cstdio>

namespace kt52 {
namespace {
constexpr std::size_t MaxFramePayload = 10240;
constexpr std::size_t MaxCount = 100000000;
constexpr std::size_t MaxBaud = 9999999;
constexpr std::int64_t SecondsBetweenScans = 37;

bool ParseCount(const std::string& text, std::size_t limit, std::size_t& value) {
  if (text.empty() || text.size() > 12) return false;
  std::size_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<std::size_t>(c - '0');
  }
  if (v > limit) return false;
  value = v;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseWake(const std::string& text, WakeAnswer& wake) {
  if (text == "usual") wake = {WakeAnswer::Usual, 0};
  else if (text == "silent") wake = {WakeAnswer::Silence, 0};
  else if (text == "ack") wake = {WakeAnswer::Byte, 0x06};
  else if (text == "nak") wake = {WakeAnswer::Byte, 0x15};
  else if (text.size() == 2 && HexDigit(text[0]) >= 0 && HexDigit(text[1]) >= 0)
    wake = {WakeAnswer::Byte,
            static_cast<std::uint8_t>(HexDigit(text[0]) * 16 + HexDigit(text[1]))};
  else return false;
  return true;
}

std::string WakeName(const WakeAnswer& wake) {
  if (wake.kind == WakeAnswer::Usual) return "usual";
  if (wake.kind == WakeAnswer::Silence) return "silent";
  char text[4];
  std::snprintf(text, sizeof text, "%02X", wake.byte);
  return text;
}

void AddRefused(const std::string& list, std::vector<std::string>& refused) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    if (comma > start) refused.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
}

// One "--name value" option of the device; false when name is not one.
bool ApplyDeviceValue(const std::string& name, const std::string& value, DeviceOptions& d,
                      std::string& error) {
  bool ok = true;
  std::size_t n = 0;
  if (name == "--mode") {
    if (value == "framed") d.transport = Transport::Framed;
    else if (value == "plain") d.transport = Transport::Plain;
    else ok = false;
  } else if (name == "--wake") {
    ok = ParseWake(value, d.wake);
  } else if (name == "--serial") {
    d.serialNumber = UnescapeText(value);
  } else if (name == "--records") {
    ok = ParseCount(value, MaxCount, d.generatedRecords);
  } else if (name == "--info") {
    d.deviceInfo = UnescapeText(value);
  } else if (name == "--clock") {
    ok = ParseDeviceTime(value, d.clock);
  } else if (name == "--date-format") {
    ok = ParseDateFormat(value, d.dateFormat);
  } else if (name == "--separator") {
    d.separator = UnescapeText(value);
  } else if (name == "--frame-size") {
    ok = ParseCount(value, MaxFramePayload, n) && n > 0;
    if (ok) d.frameSize = n;
  } else if (name == "--piece-size") {
    d.plainShape = value == "all" ? PlainShape::OneRun : PlainShape::Pieces;
    ok = d.plainShape == PlainShape::OneRun || ParseCount(value, MaxCount, d.pieceSize);
  } else if (name == "--bad-xor") {
    ok = ParseCount(value, MaxCount, d.badXorFrame);
  } else if (name == "--late-tail") {
    ok = ParseCount(value, MaxCount, d.lateTailFrame);
  } else if (name == "--late-tail-ms") {
    ok = ParseCount(value, MaxCount, d.lateTailMs);
  } else if (name == "--refuse") {
    AddRefused(value, d.refused);
  } else if (name == "--silent-after") {
    ok = ParseCount(value, MaxCount, n);
    if (ok) d.silentAfter = n;
  } else if (name == "--close-after") {
    ok = ParseCount(value, MaxCount, n);
    if (ok) d.closeAfter = n;
  } else if (name == "--garbage") {
    d.garbage = UnescapeText(value);
  } else if (name == "--hang-up-after-bytes" || name == "--silent-after-bytes") {
    ok = ParseCount(value, MaxCount, n);
    if (ok) (name[2] == 'h' ? d.hangUpAfterBytes : d.silentAfterBytes) = n;
  } else if (name == "--pause-before") {
    ok = ParseCount(value, MaxCount, n);
    if (ok) d.pauseBefore = n;
  } else if (name == "--pause-ms") {
    ok = ParseCount(value, MaxCount, d.pauseMs);
  } else if (name == "--stray-before-ack") {
    d.strayBeforeAck = UnescapeText(value);
  } else if (name == "--ignore") {
    AddRefused(value, d.ignored);
  } else {
    return false;
  }
  if (!ok) error = "bad value for " + name + ": " + value;
  return true;
}

std::string Number(std::size_t n) { return std::to_string(n); }
}  // namespace

bool ParseSimArguments(const std::vector<std::string>& arguments, SimOptions& options,
                       std::string& error) {
  error.clear();
  for (std::size_t i = 0; i < arguments.size() && error.empty(); ++i) {
    const std::string& name = arguments[i];
    if (name == "--help" || name == "-h") options.help = true;
    else if (name == "--bad-xor-always") options.device.badXorAlways = true;
    else if (name == "--hide-serial") options.device.showSerial = false;
    else if (name == "--hide-time") options.device.showTime = false;
    else if (name == "--endless") options.device.endless = true;
    else if (i + 1 >= arguments.size()) error = "unknown option or missing value: " + name;
    else {
      const std::string& value = arguments[++i];
      if (name == "--link") options.linkPath = value;
      else if (name == "--device") options.devicePath = value;
      else if (name == "--log") options.logPath = value;
      else if (name == "--state") options.statePath = value;
      else if (name == "--records-file") options.recordsFile = value;
      else if (name == "--baud") {
        std::size_t baud = 0;
        if (ParseCount(value, MaxBaud, baud)) options.baud = static_cast<std::uint32_t>(baud);
        else error = "bad value for --baud: " + value;
      }
      else if (!ApplyDeviceValue(name, value, options.device, error))
        error = "unknown option: " + name;
    }
  }
  return error.empty();
}

std::vector<std::string> DeviceArguments(const DeviceOptions& d, const std::string& recordsFile) {
  std::vector<std::string> a = {"--mode", d.transport == Transport::Plain ? "plain" : "framed",
                                "--wake", WakeName(d.wake),
                                "--serial", EscapeText(d.serialNumber),
                                "--records", Number(d.generatedRecords),
                                "--clock", ClockText(d.clock, DateFormat::CH),
                                "--date-format", DateFormatName(d.dateFormat),
                                "--separator", EscapeText(d.separator),
                                "--frame-size", Number(d.frameSize),
                                "--piece-size",
                                d.plainShape == PlainShape::OneRun ? "all" : Number(d.pieceSize),
                                "--bad-xor", Number(d.badXorFrame),
                                "--late-tail", Number(d.lateTailFrame),
                                "--late-tail-ms", Number(d.lateTailMs)};
  if (!recordsFile.empty()) a.insert(a.end(), {"--records-file", recordsFile});
  if (!d.deviceInfo.empty()) a.insert(a.end(), {"--info", EscapeText(d.deviceInfo)});
  if (!d.showSerial) a.push_back("--hide-serial");
  if (!d.showTime) a.push_back("--hide-time");
  if (d.badXorAlways) a.push_back("--bad-xor-always");
  for (const std::string& code : d.refused) a.insert(a.end(), {"--refuse", code});
  if (d.silentAfter) a.insert(a.end(), {"--silent-after", Number(*d.silentAfter)});
  if (d.closeAfter) a.insert(a.end(), {"--close-after", Number(*d.closeAfter)});
  if (!d.garbage.empty()) a.insert(a.end(), {"--garbage", EscapeText(d.garbage)});
  if (d.hangUpAfterBytes) a.insert(a.end(), {"--hang-up-after-bytes", Number(*d.hangUpAfterBytes)});
  if (d.silentAfterBytes) a.insert(a.end(), {"--silent-after-bytes", Number(*d.silentAfterBytes)});
  if (d.pauseBefore)
    a.insert(a.end(), {"--pause-before", Number(*d.pauseBefore), "--pause-ms", Number(d.pauseMs)});
  if (!d.strayBeforeAck.empty())
    a.insert(a.end(), {"--stray-before-ack", EscapeText(d.strayBeforeAck)});
  for (const std::string& code : d.ignored) a.insert(a.end(), {"--ignore", code});
  if (d.endless) a.push_back("--endless");
  return a;
}

const char* UsageText() {
  return "kt52sim: a simulated KT52 barcode scanner on a pseudo-terminal.\n"
         "Prints the pty slave's path on the first line, then serves the host until\n"
         "SIGTERM or SIGINT.\n"
         "\n"
         "Line:\n"
         "  --link PATH          also make PATH a symlink to the pty slave\n"
         "  --device PATH        serve this serial device instead of a new pty\n"
         "  --log FILE           write every received read in hex, one line each\n"
         "  --state FILE         keep FILE holding the device's clock, date format, last\n"
         "                       given weekday and record count, rewritten after every\n"
         "                       command and before its answer goes out\n"
         "  --baud N             send no faster than N baud 8N1 (N/10 bytes a second)\n"
         "Device:\n"
         "  --mode framed|plain  transport (default framed)\n"
         "  --wake usual|silent|ack|nak|HH  answer to \"*\" (usual: ACK framed, NAK plain)\n"
         "  --serial TEXT        serial number (default KT5200001)\n"
         "  --records N          N generated records\n"
         "  --records-file FILE  records to store, one per line: barcode, or\n"
         "                       YYYY/MM/DD,HH:MM:SS<TAB>barcode\n"
         "  --info TEXT          device information text ({...};{...})\n"
         "  --clock YYYY/MM/DD,HH:MM:SS   clock at start (default 2024/05/17,09:30:00)\n"
         "  --date-format US|EU|CH        date order (default CH)\n"
         "  --separator TEXT     default separator, plain mode (default END)\n"
         "  --hide-serial, --hide-time    records start without these fields\n"
         "  --frame-size N       payload bytes per data frame, 1..10240 (default 10240)\n"
         "  --piece-size N|all   plain download: N bytes of record text, then the\n"
         "                       separator, again and again (default 0: a piece and its\n"
         "                       separator fill 10250 bytes); all: the records in one\n"
         "                       run, the separator once, at the end\n"
         "Faults:\n"
         "  --bad-xor N          the N-th data frame has a wrong XOR (once)\n"
         "  --bad-xor-always     ... and every frame after it\n"
         "  --late-tail N        the N-th data frame's second half comes late\n"
         "  --late-tail-ms MS    ... by MS milliseconds (default 500)\n"
         "  --refuse CODES       refuse these commands (1400,11,... or all)\n"
         "  --silent-after N     answer N commands, then nothing\n"
         "  --close-after N      close the line after N download frames or pieces\n"
         "  --garbage TEXT       send TEXT before every answer to a command\n"
         "  --hang-up-after-bytes N   close the line after N bytes of download data\n"
         "  --silent-after-bytes N    fall silent after N bytes of download data (the\n"
         "                       line stays open; nothing more is answered)\n"
         "  --pause-before K     busy before the download's K-th frame or piece (0: its\n"
         "                       acknowledgement); what comes meanwhile is taken after\n"
         "  --pause-ms MS        ... for MS milliseconds (default 1500)\n"
         "  --stray-before-ack TEXT   send TEXT in front of the download's acknowledgement\n"
         "  --ignore CODES       take these commands and never answer them\n"
         "  --endless            the download never ends: generated records follow for ever\n"
         "Texts take the escapes \\r \\n \\t \\\\ and \\xHH.\n";
}

bool ParseRecordLines(const std::string& text, const DeviceTime& firstScan,
                      std::vector<StoredRecord>& records, std::string& error) {
  std::int64_t next = ToSeconds(firstScan);
  std::size_t start = 0;
  std::size_t lineNumber = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    StoredRecord record;
    record.scanned = FromSeconds(next);
    std::size_t tab = line.find('\t');
    if (tab != std::string::npos) {
      if (!ParseDeviceTime(line.substr(0, tab), record.scanned)) {
        error = "line " + std::to_string(lineNumber) + ": bad scan time";
        return false;
      }
      line = line.substr(tab + 1);
    }
    record.barcode = UnescapeText(line);
    next = ToSeconds(record.scanned) + SecondsBetweenScans;
    records.push_back(record);
  }
  return true;
}

std::string FormatRecordLines(const std::vector<StoredRecord>& records) {
  std::string text;
  for (const StoredRecord& r : records)
    text += ClockText(r.scanned, DateFormat::CH) + "\t" + EscapeText(r.barcode) + "\n";
  return text;
}

std::string UnescapeText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\' || i + 1 >= text.size()) {
      out += c;
      continue;
    }
    char e = text[i + 1];
    if (e == 'r') out += '\r';
    else if (e == 'n') out += '\n';
    else if (e == 't') out += '\t';
    else if (e == '\\') out += '\\';
    else if (e == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
             HexDigit(text[i + 3]) >= 0) {
      out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
      i += 2;
    } else {
      out += c;
      continue;
    }
    ++i;
  }
  return out;
}

std::string EscapeText(const std::string& text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '\\') out += "\\\\";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kt52
