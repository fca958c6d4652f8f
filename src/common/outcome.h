#pragma once
// How an operation on one scanner ended: one code for each ending, and the
// one table of the words the user is shown for it, in the dialog's boxes and
// Status cells and on the command line's lines alike.
#include <string>

enum class Outcome {
  // Succeeded.
  SaveDataSucceed,
  GetDataSucceed,
  NoData,
  DeleteSucceed,
  SetTimeSucceed,
  GetTimeSucceed,
  // The port.
  NoPortOpen,
  OpenPortsFailed,
  PortInUse,
  // The scanner.
  WakeFailed,
  SetDisplayItemsFailed,
  GetSeparatorFailed,
  GetDataFailed,
  DeleteFailed,
  NotDeleted,
  GetSerialNumberFailed,
  SendGetTimeFailed,
  GetTimeFormatFailed,
  GetTimeFailed,
  SetTimeFormatFailed,
  SetTimeFailed,
  TimeInputError,
  // The file.
  GetFileNameFailed,
  EnterFileName,
  OpenFileFailed,
  WriteFileFailed,
  // The user said no.
  Cancelled,
  // Asked to stop (Ctrl-C, a service stop) while it ran: unfinished.
  Stopped,
};

// The words of the code, letter for letter as the user sees them.
const wchar_t* OutcomeWords(Outcome code);

// An outcome with what it is about: a path, the driver's text, a count.
struct OperationOutcome {
  Outcome code = Outcome::Cancelled;
  std::wstring detail;
};
