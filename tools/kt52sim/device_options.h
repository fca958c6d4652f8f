#pragma once
// Everything a simulated KT52 can be told: what it stores, how it talks and
// which faults it shows. One struct serves the kt52sim command line, the
// in-process SimulatedScannerLink of the tests and SimProcess (which turns it
// back into a command line).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kt52sim/device_clock.h"

namespace kt52 {

// Framed: the wake-up is answered with ACK and commands travel in checked
// frames. Plain: bare command text, replies ending with the OK or ER marker.
enum class Transport { Framed, Plain };

// How a plain download lays its separator into the record text: after every
// piece, or once, after the last one (the pieces then only say how the text
// goes out: in units that the faults count).
enum class PlainShape { Pieces, OneRun };

// What the wake-up "*" gets: the transport's usual answer (ACK framed, NAK
// plain), silence, or one given byte.
struct WakeAnswer {
  enum Kind { Usual, Silence, Byte } kind = Usual;
  std::uint8_t byte = 0;
};

struct StoredRecord {
  DeviceTime scanned;
  std::string barcode;
};

struct DeviceOptions {
  Transport transport = Transport::Framed;
  WakeAnswer wake;
  std::string serialNumber = "KT5200001";
  // Made-up records stored first: EAN-13 codes and part numbers, one scan
  // every 37 seconds from a day before the clock.
  std::size_t generatedRecords = 0;
  // Stored after the generated ones.
  std::vector<StoredRecord> records;
  // Device information text (groups ending "}", ";" between). Empty: made from
  // the model, serial number, firmware and record count.
  std::string deviceInfo;
  DeviceTime clock{2024, 5, 17, 9, 30, 0};
  DateFormat dateFormat = DateFormat::CH;
  // Plain mode: follows every download piece; the get-default-separator reply
  // is "Separator:" + this.
  std::string separator = "END";
  bool showSerial = true;
  bool showTime = true;
  // Framed: payload bytes per data frame (1 .. 10240).
  std::size_t frameSize = 10240;
  // Plain: record text per piece; 0 makes a piece and its separator exactly
  // the 10250 bytes the host reads at a time.
  std::size_t pieceSize = 0;
  PlainShape plainShape = PlainShape::Pieces;

  // Faults.
  std::size_t badXorFrame = 0;  // the n-th data frame sent (from 1) has a wrong XOR; 0 none
  bool badXorAlways = false;    // ... and so does every frame after it, resends too
  // The n-th data frame sent (from 1) goes out in two halves, the second
  // lateTailMs after the first; what is sent meanwhile follows it. 0 none.
  std::size_t lateTailFrame = 0;
  std::size_t lateTailMs = 500;
  // Commands refused (device ack NAK, or the ER marker): codes after "$$%^",
  // matched as a prefix ("1400", "11" for set-time), or "all".
  std::vector<std::string> refused;
  // Answer this many commands, then nothing more (not even wake-ups).
  std::optional<std::size_t> silentAfter;
  // Close the line after this many frames or pieces of a download.
  std::optional<std::size_t> closeAfter;
  // Sent before every answer to a command.
  std::string garbage;
  // The download's frames or pieces stop after this many of their bytes (the
  // acknowledgement not counted, resent frames counted), cut where the count
  // ends: the line is then closed (hang-up) or stays open with nothing more
  // said, not even to a wake-up (silence, as a scanner out of Bluetooth range).
  std::optional<std::size_t> hangUpAfterBytes;
  std::optional<std::size_t> silentAfterBytes;
  // Busy for pauseMs before the download's unit pauseBefore (1: its first frame
  // or piece; 0: the acknowledgement of the download command): that unit and
  // everything after it wait, and what the host sends meanwhile is taken only
  // once the unit has gone out, as a device that reads its memory between units.
  std::optional<std::size_t> pauseBefore;
  std::size_t pauseMs = 1500;
  // Sent in front of the download command's acknowledgement (a stray byte).
  std::string strayBeforeAck;
  // Commands taken but never answered, matched as for refused.
  std::vector<std::string> ignored;
  // The download never ends: generated records follow the stored ones for ever.
  bool endless = false;
};

// kt52sim's own settings around the device.
struct SimOptions {
  DeviceOptions device;
  std::string linkPath;     // --link: a symlink to the pty slave
  std::string devicePath;   // --device: a serial device instead of a pty
  std::string logPath;      // --log: received bytes in hex, one read per line
  std::string statePath;    // --state: the device's StateText after every command
  std::string recordsFile;  // --records-file: loaded by the program
  std::uint32_t baud = 0;   // --baud: output paced as that many baud, 8N1; 0 unpaced
  bool help = false;
};

// Parses kt52sim's arguments (without the program name). False with a message
// in error on an unknown option or a bad value.
bool ParseSimArguments(const std::vector<std::string>& arguments, SimOptions& options,
                       std::string& error);
// The arguments that give a kt52sim these device options. The stored records
// cannot travel on a command line: pass recordsFile (written with
// FormatRecordLines) to have them loaded.
std::vector<std::string> DeviceArguments(const DeviceOptions& options,
                                         const std::string& recordsFile = "");
const char* UsageText();

// Records files: one record per line, "barcode" or "YYYY/MM/DD,HH:MM:SS" TAB
// "barcode", with the escapes of UnescapeText. Lines without a time get one
// after the previous record's. Empty lines are skipped.
bool ParseRecordLines(const std::string& text, const DeviceTime& firstScan,
                      std::vector<StoredRecord>& records, std::string& error);
std::string FormatRecordLines(const std::vector<StoredRecord>& records);

// \r \n \t \\ and \xHH in option texts; anything else stays as it is.
std::string UnescapeText(const std::string& text);
std::string EscapeText(const std::string& text);

}  // namespace kt52
