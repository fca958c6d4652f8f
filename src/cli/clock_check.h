#pragma once
// download and watch --check-clock: the scanner's clock read before the
// download and set against this PC's. A scanner whose battery ran flat
// starts again at its reset date and stamps every scan wrong.
#include <cstdint>
#include <string>

#include "common/scan_summary.h"
#include "protocol/scanner_session.h"

struct ClockCheck {
  bool read = false;        // the clock answered in the scanner's date order
  std::int64_t offset = 0;  // seconds the scanner is ahead of this PC (behind: negative)
  bool reset = false;       // it shows a time before 2001
  std::string shown;        // its answer, as sent
};

// More off than this is said.
inline constexpr std::int64_t ClockTolerance = 120;

// Asks the woken scanner for its clock.
ClockCheck CheckScannerClock(ScannerSession& session, StampDateOrder order);
// The words for the scanner's line: "clock 3 h 12 min behind this PC",
// "clock reset (2000/01/01,00:00:05)", "clock not read"; empty when in time.
std::string ClockWords(const ClockCheck& check);
// Seconds from 1970-01-01 00:00:00 of a YYYYMMDDhhmmss number (no time zone).
std::int64_t StampSeconds(std::uint64_t stamp);
