#include "clock/scanner_clock.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "common/ansi_text.h"
#include "common/pause.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/worker_job.h"

std::string ShownTimeText;

namespace {
constexpr std::uint32_t FormatToTimePauseMs = 100;
// The time box is read as 8-bit text, at most 99 characters (as it is saved).
constexpr std::size_t TimeBoxCapacity = 100;

constexpr wchar_t SendWakeFailed[] = L"Send '*' Failed!";

constexpr wchar_t InputErrorText[] = L"Time Input Error,Please Follow the Format!";

// "Delete Barcodes", "Get Barcodes", the three format buttons, the time box,
// "Set Time", "Auto>>", "Refresh": what a Set Time run keeps from the user.
constexpr int ClockSwitched[] = {IDC_DELETE_BARCODES, IDC_GET_BARCODES, IDC_FORMAT_US,
                                 IDC_FORMAT_EU,       IDC_FORMAT_CN,    IDC_TIME_BOX,
                                 IDC_SET_TIME,        IDC_AUTO_MODE,    IDC_REFRESH};

struct FormatButton {
  DateFormat format;
  int id;
  const char* answer;   // the scanner's name in its get-time-format answer
  const char* command;  // the time-format command
};
constexpr FormatButton FormatButtons[] = {
    {DateFormat::US, IDC_FORMAT_US, "US", Command::TimeFormatUS},
    {DateFormat::EU, IDC_FORMAT_EU, "EU", Command::TimeFormatEU},
    {DateFormat::CN, IDC_FORMAT_CN, "CH", Command::TimeFormatCN},
};

const FormatButton& ButtonOf(DateFormat format) {
  for (const FormatButton& button : FormatButtons)
    if (button.format == format) return button;
  return FormatButtons[2];
}

void ErrorBox(Controls& dialog, const wchar_t* text) {
  dialog.ShowMessage(text, L"Error", BoxIconError);
}

// A Set Time run shows no more boxes once the window is closing.
void RunBox(Controls& dialog, const wchar_t* text, const wchar_t* caption, unsigned icon) {
  if (!IsJobStopping()) dialog.ShowMessage(text, caption, icon);
}

// Checks the button the scanner named; any other answer changes nothing.
void ShowScannerFormat(Controls& dialog, const char* answer) {
  for (const FormatButton& named : FormatButtons) {
    if (std::strcmp(answer, named.answer) != 0) continue;
    for (const FormatButton& button : FormatButtons)
      dialog.SetChecked(button.id, button.id == named.id);
    return;
  }
}

// One query of "Get Time"; false after the box that says what failed.
bool AskClock(Controls& dialog, const char* command, const ReplyRead& read, char* reply,
              std::size_t capacity, const wchar_t* replyFailed) {
  switch (Query(command, read, reinterpret_cast<std::uint8_t*>(reply), capacity, nullptr)) {
    case QueryOutcome::Ok: return true;
    case QueryOutcome::SendFailed: ErrorBox(dialog, L"Send Get KT52 Time Command Failed!"); break;
    case QueryOutcome::ReplyFailed: ErrorBox(dialog, replyFailed); break;
  }
  return false;
}

// The time text of a time typed into the box, or empty text for the PC's time:
// the box is empty or still holds what Lumet put there (a saved time restored
// at start, the answer of "Get Time"), which would set the scanner back. False
// when the typed time is not valid.
bool TypedTime(Controls& dialog, DateFormat format, std::string& text) {
  const std::string typed = dialog.GetTextAnsi(IDC_TIME_BOX, TimeBoxCapacity);
  text.clear();
  if (typed.empty() || typed == ShownTimeText) return true;
  CalendarTime time;
  if (!ParseTimeInput(typed, format, time)) return false;
  text = TypedTimeText(time);
  return true;
}

// The format command, the pause, the set-time command with the typed time or,
// taken only now, the PC's; the failure text, or nullptr when both were
// accepted.
const wchar_t* SendTime(DateFormat format, const std::string& typed) {
  if (!SendSetting(ButtonOf(format).command)) return L"Set Time Format Failed!";
  Pause(FormatToTimePauseMs);
  // After the wake-up, the format command's pauses and its acknowledgement:
  // the scanner gets the time of this moment, not of the click.
  const std::string command = Command::SetTimePrefix + (typed.empty() ? FormatLocalTime() : typed);
  if (command.size() != SetTimeCommandLength ||
      !SendCommand(command.c_str(), command.size(), true))
    return L"Set Time Failed!";
  return nullptr;
}

enum class PortOutcome { Next, EndRun };

PortOutcome SetPortTime(Controls& dialog, bool manual, DateFormat format, std::uint32_t i) {
  std::string text;
  if (!TypedTime(dialog, format, text)) {
    RunBox(dialog, InputErrorText, L"Error", BoxIconError);
    return PortOutcome::EndRun;
  }
  if (!manual) {
    if (!OpenDevicePort(PortNumbers.numbers[i])) {
      SetPortStatus(dialog, i, L"Open Ports Failed!");
      return PortOutcome::Next;
    }
    if (!WakeDevice()) {
      SetPortStatus(dialog, i, SendWakeFailed);
      return PortOutcome::Next;
    }
    SetPortStatus(dialog, i, L"Setting Time...");
  }
  const wchar_t* failure = SendTime(format, text);
  if (manual) {
    if (failure)
      RunBox(dialog, failure, L"Error", BoxIconError);
    else
      RunBox(dialog, L"Set Time Succeed!", L"Information", BoxIconInformation);
    return failure ? PortOutcome::EndRun : PortOutcome::Next;
  }
  SetPortStatus(dialog, i, failure ? failure : L"Set Time Succeed!");
  ClosePorts(dialog, true);
  return PortOutcome::Next;
}

void SetTimeRun(Controls& dialog) {
  const bool manual = AutoMode == 0;
  std::uint32_t portCount = PortNumbers.count;
  if (manual) {
    if (!CheckPortsOpen(dialog)) return;
    if (!WakeDevice()) {
      if (!IsJobStopping()) ShowAppMessage(dialog, SendWakeFailed, BoxIconError);
      return;
    }
    portCount = 1;
  }
  const DateFormat format = CheckedDateFormat(dialog);
  // A close of the window ends the run after the current port.
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts && !IsJobStopping(); ++i)
    if (SetPortTime(dialog, manual, format, i) == PortOutcome::EndRun) return;
}

constexpr WorkerJob SetTimeJob{&SetTimeRun, &EnableClockControls, IDC_SET_TIME};
}  // namespace

DateFormat CheckedDateFormat(Controls& dialog) {
  return SelectedDateFormat(dialog.IsChecked(IDC_FORMAT_US), dialog.IsChecked(IDC_FORMAT_EU),
                            dialog.IsChecked(IDC_FORMAT_CN));
}

void EnableClockControls(Controls& dialog, bool enable) {
  SwitchJobControls(dialog, ClockSwitched, enable);
}

int GetDeviceTime(Controls& dialog) {
  if (!CheckPortsOpen(dialog)) return 0;
  if (!WakeDevice()) {
    ShowAppMessage(dialog, SendWakeFailed, BoxIconError);
    return 0;
  }
  char format[Reply::TimeFormat.maxPayload + 1] = {};
  if (!AskClock(dialog, Command::GetTimeFormat, Reply::TimeFormat, format, sizeof format,
                L"Get Time Format Failed!"))
    return 0;
  ShowScannerFormat(dialog, format);
  char clock[Reply::Time.maxPayload + 1] = {};
  if (!AskClock(dialog, Command::GetTime, Reply::Time, clock, sizeof clock, L"Get Time Failed!"))
    return 0;
  // Shown as received, up to a zero byte.
  dialog.SetText(IDC_TIME_BOX, AnsiToWide(clock, std::strlen(clock)));
  NoteShownTime(dialog);
  dialog.ShowMessage(L"Get Time Succeed!", L"Information", BoxIconInformation);
  return 1;
}

void NoteShownTime(Controls& dialog) {
  ShownTimeText = dialog.GetTextAnsi(IDC_TIME_BOX, TimeBoxCapacity);
}

int StartSetTime(Controls& dialog) { return StartWorkerJob(dialog, SetTimeJob) ? 1 : 0; }

void SetTimeWorker(Controls& dialog) { RunWorkerJob(dialog, SetTimeJob); }
