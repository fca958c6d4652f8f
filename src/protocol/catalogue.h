#pragma once
// Every command the program sends, with how its reply is read.
#include <cstddef>
#include <cstdint>

#include "protocol/scanner_session.h"

namespace Command {
inline constexpr char DownloadBarcodes[] = "$$%^0206";
inline constexpr char ShowTimeStamp[] = "$$%^0300";
inline constexpr char HideTimeStamp[] = "$$%^0301";
inline constexpr char TimeFormatCN[] = "$$%^1000";
inline constexpr char TimeFormatEU[] = "$$%^1001";
inline constexpr char TimeFormatUS[] = "$$%^1002";
inline constexpr char GetTime[] = "$$%^1003";
inline constexpr char GetTimeFormat[] = "$$%^1004";
inline constexpr char SetTimePrefix[] = "$$%^11";  // followed by YYYY/MM/DD,w;HH:MM:SS
inline constexpr char EraseBarcodes[] = "$$%^1200";
inline constexpr char ShowSerialNumber[] = "$$%^1400";
inline constexpr char HideSerialNumber[] = "$$%^1401";
inline constexpr char GetSerialNumber[] = "$$%^5202";
inline constexpr char GetDeviceInfo[] = "$$%^5207";
inline constexpr char GetDefaultSeparator[] = "$$%^5603";
}  // namespace Command

inline constexpr std::size_t CommandLength = 8;
inline constexpr std::size_t SetTimeTextLength = 21;
inline constexpr std::size_t SetTimeCommandLength = 27;

// How one query's reply is read.
struct ReplyRead {
  std::size_t maxPayload;
  std::uint32_t totalMs;
  std::uint32_t intervalMs;
  bool bulk;
  bool stripMarker;
};

namespace Reply {
inline constexpr ReplyRead Download{10240, 500, 2000, true, false};
inline constexpr ReplyRead Time{19, 500, 0, false, true};
inline constexpr ReplyRead TimeFormat{2, 3000, 0, false, true};
inline constexpr ReplyRead SerialNumberForList{100, 1000, 20, false, true};
inline constexpr ReplyRead SerialNumberForFileName{100, 500, 50, false, true};
inline constexpr ReplyRead DeviceInfo{1000, 1000, 20, false, true};
inline constexpr ReplyRead DefaultSeparator{24, 500, 20, false, true};
}  // namespace Reply

// A setting: the command, acknowledged by the scanner.
bool SendSetting(ScannerSession& session, const char* command);

enum class QueryOutcome { Ok, SendFailed, ReplyFailed };

// A query: the command without waiting for an acknowledgement, then its reply
// read by `read` into destination (room for read.maxPayload bytes, plus
// MarkerLength without stripMarker, plus one for the zero that ends the payload).
// On Ok, *length is the payload length (> 0) and destination[*length] is zero.
QueryOutcome Query(ScannerSession& session, const char* command, const ReplyRead& read, std::uint8_t* destination,
                   std::size_t destinationCapacity, std::size_t* length);
