#pragma once
// The scanner clock: "Get Time" reads the scanner's date format and time and
// shows them; "Set Time" sends the checked format and the typed time (or the
// PC's, when none was typed) to the open scanner or to every listed one.
#include <cstddef>
#include <string>

#include "clock/time_text.h"
#include "common/outcome.h"

class FrontEnd;
struct ScannerSession;
struct PortList;

// The time box is read as 8-bit text, at most 99 characters (as it is saved).
inline constexpr std::size_t TimeBoxCapacity = 100;

// "Get Time", on the open scanner: GetTimeSucceed, or what failed (a box says it too).
Outcome ReadScannerClock(ScannerSession& session, FrontEnd& front);

// What "Set Time" sends, as chosen when the run starts.
struct ClockChoices {
  // The time the user typed in this session (8-bit, at most TimeBoxCapacity - 1
  // bytes); empty for the PC's time at the moment it is sent.
  std::string typedTime;
  DateFormat format = DateFormat::CN;  // the checked date format
};

// One "Set Time" run: on the open scanner (listed nullptr), or on every listed
// one in turn, each outcome in its "Status". SetTimeSucceed when every scanner
// served took the time; otherwise why the (last) one did not.
Outcome SetScannerClocks(ScannerSession& session, FrontEnd& front, const ClockChoices& choices,
                         const PortList* listed);
