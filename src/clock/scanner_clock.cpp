#include "clock/scanner_clock.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "common/ansi_text.h"
#include "common/front_end.h"
#include "common/pause.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"

namespace {
constexpr std::uint32_t FormatToTimePauseMs = 100;



struct FormatName {
  DateFormat format;
  const char* answer;   // the scanner's name in its get-time-format answer
  const char* command;  // the time-format command
};
constexpr FormatName FormatNames[] = {
    {DateFormat::US, "US", Command::TimeFormatUS},
    {DateFormat::EU, "EU", Command::TimeFormatEU},
    {DateFormat::CN, "CH", Command::TimeFormatCN},
};

const FormatName& NameOf(DateFormat format) {
  for (const FormatName& name : FormatNames)
    if (name.format == format) return name;
  return FormatNames[2];
}

// A Set Time run shows no more boxes once the window is closing.
void RunBox(FrontEnd& front, const wchar_t* text, const wchar_t* caption, unsigned icon) {
  if (!front.IsClosing()) front.ShowBox(text, caption, icon);
}

// Shows the format the scanner named; any other answer changes nothing.
void ShowScannerFormat(FrontEnd& front, const char* answer) {
  for (const FormatName& named : FormatNames) {
    if (std::strcmp(answer, named.answer) != 0) continue;
    front.ShowDateFormat(named.format);
    return;
  }
}

// One query of "Get Time"; nothing when it was answered, otherwise what
// failed, after the box that says so.
std::optional<Outcome> AskClock(ScannerSession& session, FrontEnd& front, const char* command,
                                const ReplyRead& read, char* reply, std::size_t capacity,
                                Outcome replyFailed) {
  std::optional<Outcome> failure;
  switch (Query(session, command, read, reinterpret_cast<std::uint8_t*>(reply), capacity, nullptr)) {
    case QueryOutcome::Ok: return failure;
    case QueryOutcome::SendFailed: failure = Outcome::SendGetTimeFailed; break;
    case QueryOutcome::ReplyFailed: failure = replyFailed; break;
  }
  ShowErrorBox(front, OutcomeWords(*failure));
  return failure;
}

// The time text of a time the user typed, or empty text for the PC's time
// (nothing typed in this session: a time Lumet showed itself would set the
// scanner back). False when the typed time is not valid.
bool TypedTime(const ClockChoices& choices, std::string& text) {
  const std::string typed = choices.typedTime.substr(0, TimeBoxCapacity - 1);
  const DateFormat format = choices.format;
  text.clear();
  if (typed.empty()) return true;
  CalendarTime time;
  if (!ParseTimeInput(typed, format, time)) return false;
  text = TypedTimeText(time);
  return true;
}

// The format command, the pause, the set-time command with the typed time or,
// taken only now, the PC's; the failure text, or nullptr when both were
// accepted.
Outcome SendTime(ScannerSession& session, DateFormat format, const std::string& typed) {
  if (!SendSetting(session, NameOf(format).command)) return Outcome::SetTimeFormatFailed;
  Pause(FormatToTimePauseMs);
  // After the wake-up, the format command's pauses and its acknowledgement:
  // the scanner gets the time of this moment, not of the click.
  const std::string command = Command::SetTimePrefix + (typed.empty() ? FormatLocalTime() : typed);
  if (command.size() != SetTimeCommandLength ||
      !SendCommand(session, command.c_str(), command.size(), true))
    return Outcome::SetTimeFailed;
  return Outcome::SetTimeSucceed;
}

enum class PortOutcome { Next, EndRun };

// The port's step of a run; its outcome goes to *outcome.
PortOutcome SetPortTime(Outcome* outcome, ScannerSession& session, FrontEnd& front,
                        const ClockChoices& choices, const PortList* listed, std::uint32_t i) {
  std::string text;
  if (!TypedTime(choices, text)) {
    *outcome = Outcome::TimeInputError;
    RunBox(front, OutcomeWords(*outcome), L"Error", BoxIconError);
    return PortOutcome::EndRun;
  }
  if (listed) {
    *outcome = !OpenSessionPort(session, listed->numbers[i]) ? Outcome::OpenPortsFailed
               : !WakeDevice(session)                         ? Outcome::WakeFailed
                                                              : Outcome::SetTimeSucceed;
    if (*outcome != Outcome::SetTimeSucceed) {
      front.ShowPortStatus(i, OutcomeWords(*outcome));
      return PortOutcome::Next;
    }
    front.ShowPortStatus(i, L"Setting Time...");
  }
  *outcome = SendTime(session, choices.format, text);
  const bool set = *outcome == Outcome::SetTimeSucceed;
  if (!listed) {
    if (set)
      RunBox(front, OutcomeWords(*outcome), L"Information", BoxIconInformation);
    else
      RunBox(front, OutcomeWords(*outcome), L"Error", BoxIconError);
    return set ? PortOutcome::Next : PortOutcome::EndRun;
  }
  front.ShowPortStatus(i, OutcomeWords(*outcome));
  CloseSessionPort(session);
  return PortOutcome::Next;
}
}  // namespace

Outcome SetScannerClocks(ScannerSession& session, FrontEnd& front, const ClockChoices& choices,
                         const PortList* listed) {
  std::uint32_t portCount = listed ? listed->count : 1;
  if (!listed) {
    if (!CheckPortsOpen(session, front)) return Outcome::NoPortOpen;
    if (!WakeDevice(session)) {
      if (!front.IsClosing()) ShowAppBox(front, OutcomeWords(Outcome::WakeFailed), BoxIconError);
      return Outcome::WakeFailed;
    }
  }
  Outcome overall = Outcome::SetTimeSucceed;
  // A close of the window ends the run after the current port.
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts && !front.IsClosing(); ++i) {
    Outcome outcome = Outcome::SetTimeSucceed;
    const PortOutcome next = SetPortTime(&outcome, session, front, choices, listed, i);
    if (outcome != Outcome::SetTimeSucceed) overall = outcome;
    if (next == PortOutcome::EndRun) break;
  }
  return overall;
}

Outcome ReadScannerClock(ScannerSession& session, FrontEnd& front) {
  if (!CheckPortsOpen(session, front)) return Outcome::NoPortOpen;
  if (!WakeDevice(session)) {
    ShowAppBox(front, OutcomeWords(Outcome::WakeFailed), BoxIconError);
    return Outcome::WakeFailed;
  }
  char format[Reply::TimeFormat.maxPayload + 1] = {};
  if (const std::optional<Outcome> failure =
          AskClock(session, front, Command::GetTimeFormat, Reply::TimeFormat, format,
                   sizeof format, Outcome::GetTimeFormatFailed))
    return *failure;
  ShowScannerFormat(front, format);
  char clock[Reply::Time.maxPayload + 1] = {};
  if (const std::optional<Outcome> failure = AskClock(
          session, front, Command::GetTime, Reply::Time, clock, sizeof clock, Outcome::GetTimeFailed))
    return *failure;
  // Shown as received, up to a zero byte.
  front.ShowTime(AnsiToWide(clock, std::strlen(clock)));
  front.ShowBox(OutcomeWords(Outcome::GetTimeSucceed), L"Information", BoxIconInformation);
  return Outcome::GetTimeSucceed;
}
