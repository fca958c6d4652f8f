#pragma once
// Read-only queries about the scanner itself.
#include <optional>
#include <string>

#include "protocol/scanner_session.h"

class FrontEnd;

// "Get Device Info": shows the open scanner's information, one group a line.
bool ReportDeviceInfo(ScannerSession& session, FrontEnd& front);
struct ReplyRead;

// The scanner's serial number (port open, scanner woken), read with the device
// list's read times. False on no reply. The text ends at a zero byte, if any.
bool QuerySerialNumber(ScannerSession& session, std::wstring& out);
// The same with other read times (file naming uses its own).
bool QuerySerialNumber(ScannerSession& session, std::wstring& out, const ReplyRead& read);
// A scanner as a list of scanners shows it: woken on its open port, then
// asked for its serial number (with the list's read times).
struct ScannerIdentity {
  bool woken = false;     // the wake-up was written
  bool answered = false;  // and the scanner answered it
  bool framed = false;    // with ACK
  std::optional<std::wstring> serial;  // none when it gave no serial number
};
ScannerIdentity IdentifyScanner(ScannerSession& session);
// One group ("...}" or "...};") a line, each ending with CR LF; text after the
// last group is dropped.
void FormatDeviceInfo(std::wstring& text);
