#include "collect/collection_job.h"

#include <cstring>
#include <vector>

#include "collect/output_file.h"
#include "collect/output_naming.h"
#include "collect/record_format.h"
#include "export/export_store.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"
#include "ui/worker_job.h"

namespace {
constexpr std::size_t SeparatorTextCapacity = 100;  // the "Separator:" box, read as 8-bit text
constexpr char RecordEnd = '\r';

// Controls that start scanner work or change an output choice, in the order
// they are switched. "Export" is among them so the store is never read while
// the job fills it.
constexpr int AlwaysSwitched[] = {
    IDC_SET_TIME,     IDC_SAVE_TO_FILE, IDC_CHOOSE_FOLDER, IDC_AUTO_NAMING,        IDC_FILE_NAME,
    IDC_TYPE_TXT,     IDC_TYPE_CSV,     IDC_LINE_WINDOWS,  IDC_LINE_UNIX,          IDC_DELETE_BARCODES,
    IDC_SEPARATOR,    IDC_GET_BARCODES, IDC_AUTO_MODE,     IDC_REFRESH,            IDC_SHOW_SERIAL_NUMBER,
    IDC_SHOW_TIME_STAMP, IDC_EXPORT};

enum class PortOutcome { Next, EndJob };

struct Job {
  Controls& dialog;
  bool manual;
  std::string defaultSeparator;
  std::vector<char> chunk = std::vector<char>(ChunkCapacity + 1, 0);
};

void ErrorBox(Controls& dialog, const std::wstring& text) {
  dialog.ShowMessage(text, L"Error", BoxIconError);
}

void InformationBox(Controls& dialog, const std::wstring& text) {
  dialog.ShowMessage(text, L"Information", BoxIconInformation);
}

bool Stopping() { return IsJobStopping(); }

// Wakes the scanner and prepares its records; on failure names what failed.
bool PrepareScanner(Job& job, const wchar_t** failure) {
  if (!WakeDevice()) {
    *failure = L"Send '*' Failed!";
    return false;
  }
  if (!SetDisplayItems(job.dialog)) {
    *failure = L"Set KT52 Display Items Failed!";
    return false;
  }
  if (!FramedMode && !QueryDefaultSeparator(job.defaultSeparator)) {
    *failure = L"Get KT52 Default Separator Failed!";
    return false;
  }
  return true;
}

// The file name could not be made: what the user is told, and whether the
// job goes on. An empty custom name ends even an auto-mode job.
PortOutcome ReportNamingFailure(Job& job, std::uint32_t i) {
  IsAutoNaming = job.dialog.IsChecked(IDC_AUTO_NAMING);
  if (!job.manual && IsAutoNaming) {
    SetPortStatus(job.dialog, i, L"Get File Name Failed!");
    ClosePorts(job.dialog, true);
    return PortOutcome::Next;
  }
  ErrorBox(job.dialog, IsAutoNaming ? L"Get File Name Failed!" : L"Please Enter File Name!");
  if (!job.manual) ClosePorts(job.dialog, true);
  return PortOutcome::EndJob;
}

// Moves the non-zero bytes to the front and zero-fills the rest; returns how
// many were kept.
std::size_t RemoveZeroBytes(char* bytes, std::size_t count) {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < count; ++i)
    if (bytes[i] != '\0') bytes[kept++] = bytes[i];
  std::memset(bytes + kept, 0, count - kept);
  return kept;
}

struct DownloadOutcome {
  bool written = true;    // false when a write to the file failed
  bool complete = true;   // false when a frame kept failing its check
};

// Receives chunks until a read window passes empty or the scanner's frames
// keep failing their check. After a failed write the download still runs to
// its end so the store gets every record.
DownloadOutcome Download(Job& job, bool saveToFile, OutputFile& file) {
  const bool unixLineFeeds = job.dialog.IsChecked(IDC_LINE_UNIX);
  const std::string separatorText = job.dialog.GetTextAnsi(IDC_SEPARATOR, SeparatorTextCapacity);
  // Received anyway. A plain OK that came too late for its read stands in
  // front of the data instead, and is no record.
  bool markerMayLead = !SendCommand(Command::DownloadBarcodes, CommandLength, true) && !FramedMode;
  RecordCarry carry;
  DownloadOutcome outcome;
  char* chunk = job.chunk.data();
  for (;;) {
    std::memset(chunk, 0, job.chunk.size());
    int n = ReceiveWholeReply(reinterpret_cast<std::uint8_t*>(chunk), Reply::Download.maxPayload,
                              Reply::Download.totalMs, Reply::Download.intervalMs, true, false);
    if (n == ReplyGivenUp) outcome.complete = false;
    if (n < 0) n = 0;
    // A zero byte is no text: left in, it would end the chunk early.
    chunk[RemoveZeroBytes(chunk, static_cast<std::size_t>(n))] = '\0';
    if (markerMayLead && chunk[0] != '\0') {
      markerMayLead = false;
      if (std::strncmp(chunk, OkMarker, MarkerLength) == 0)
        std::memmove(chunk, chunk + MarkerLength, std::strlen(chunk + MarkerLength) + 1);
    }
    if (!FramedMode) CutAtDefaultSeparator(chunk, job.defaultSeparator);
    if (!FormatChunk(job.dialog, chunk, separatorText, unixLineFeeds,
                     saveToFile && outcome.written, &file, carry))
      outcome.written = false;
    if (chunk[0] != '\0') job.dialog.AppendAnsi(IDC_BARCODE_DATA, chunk);
    if (n == 0 || Stopping()) break;
  }
  return outcome;
}

// No empty files are left behind by a download that brought nothing.
void CloseDroppingEmptyFile(Controls& dialog, OutputFile& file, const std::wstring& path,
                            bool saveToFile) {
  if (!saveToFile) return;
  std::uint64_t length = file.Length();
  file.Close();
  if (length == 0) {
    RemoveFile(path);
    dialog.SetText(IDC_FILE_NAME, L"");
  }
}

PortOutcome CollectPort(Job& job, std::uint32_t i) {
  Controls& dialog = job.dialog;
  if (!job.manual) {
    const wchar_t* failure = L"Open Ports Failed!";
    if (!OpenDevicePort(PortNumbers.numbers[i]) || !PrepareScanner(job, &failure)) {
      SetPortStatus(dialog, i, failure);
      return PortOutcome::Next;
    }
  }
  const bool saveToFile = dialog.IsChecked(IDC_SAVE_TO_FILE);
  const bool textType = dialog.IsChecked(IDC_TYPE_TXT);
  if (saveToFile && !MakeOutputFileName(dialog, textType)) return ReportNamingFailure(job, i);
  const std::wstring path = OutputFilePath();

  OutputFile file;
  if (saveToFile && !file.OpenForAppend(path)) {
    if (job.manual) {
      ErrorBox(dialog, L"Open File Failed!");
      return PortOutcome::EndJob;
    }
    SetPortStatus(dialog, i, L"Open File Failed!");
    ClosePorts(dialog, true);
    return PortOutcome::Next;
  }

  dialog.ClearEdit(IDC_BARCODE_DATA);
  if (!job.manual) SetPortStatus(dialog, i, L"Getting Data...");
  const DownloadOutcome got = Download(job, saveToFile, file);
  const bool quiet = Stopping();  // the window is closing: no boxes

  const bool hasData = dialog.TextLength(IDC_BARCODE_DATA) > 0;
  if (hasData || !got.complete) {
    if (hasData)
      file.Close();
    else
      CloseDroppingEmptyFile(dialog, file, path, saveToFile);
    // A partial download is a failure, so nobody erases the scanner after it.
    const wchar_t* failure = !got.complete ? GetDataFailedText
                             : !got.written ? WriteFailedText
                                            : nullptr;
    const wchar_t* outcome = failure      ? failure
                             : saveToFile ? L"Save Data Succeed!"
                                          : L"Get Data Succeed!";
    if (!job.manual) {
      SetPortStatus(dialog, i, outcome);
      ClosePorts(dialog, true);
    } else if (failure && !quiet) {
      ErrorBox(dialog, failure);
    } else if (!quiet) {
      InformationBox(dialog, saveToFile ? L"Save Data Succeed!Barcodes in:\r\n" + path
                                        : std::wstring(L"Get Data Succeed!"));
    }
    return PortOutcome::Next;
  }

  CloseDroppingEmptyFile(dialog, file, path, saveToFile);
  if (!job.manual) {
    SetPortStatus(dialog, i, L"No Data!");
    ClosePorts(dialog, true);
    return PortOutcome::Next;
  }
  if (!quiet) InformationBox(dialog, L"No Data!");
  return PortOutcome::EndJob;
}

void RunJob(Controls& dialog) {
  Job job{dialog, AutoMode == 0, {}};
  std::uint32_t portCount = PortNumbers.count;
  if (job.manual) {
    if (!CheckPortsOpen(dialog)) return;
    const wchar_t* failure = nullptr;
    if (!PrepareScanner(job, &failure)) {
      ShowAppMessage(dialog, failure, BoxIconError);
      return;
    }
    portCount = 1;
  }
  BarcodeExport.Reset();
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts && !Stopping(); ++i) {
    if (CollectPort(job, i) == PortOutcome::EndJob) return;
  }
}
}  // namespace

void SetJobControls(Controls& dialog, bool enable) {
  SwitchJobControls(dialog, AlwaysSwitched, enable);
}

bool SetDisplayItems(Controls& dialog) {
  const char* serial = dialog.IsChecked(IDC_SHOW_SERIAL_NUMBER) ? Command::ShowSerialNumber
                                                                 : Command::HideSerialNumber;
  if (!SendSetting(serial)) return false;
  const char* time = dialog.IsChecked(IDC_SHOW_TIME_STAMP) ? Command::ShowTimeStamp
                                                             : Command::HideTimeStamp;
  return SendSetting(time);
}

bool QueryDefaultSeparator(std::string& separator) {
  SendCommand(Command::GetDefaultSeparator, CommandLength, false);  // the reply decides
  std::uint8_t reply[DefaultSeparatorCapacity + 1] = {};
  int n = ReceiveWholeReply(reply, Reply::DefaultSeparator.maxPayload,
                            Reply::DefaultSeparator.totalMs, Reply::DefaultSeparator.intervalMs,
                            false, true);
  if (n <= 0) return false;
  std::string text(reinterpret_cast<const char*>(reply), static_cast<std::size_t>(n));
  std::size_t colon = text.find(':');
  separator = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  return true;
}

void CutAtDefaultSeparator(char* chunk, const std::string& separator) {
  if (separator.empty()) return;
  std::string_view text(chunk);
  std::size_t last = std::string_view::npos;
  for (std::size_t at = text.find(separator, 1); at != std::string_view::npos;
       at = text.find(separator, at + 1))
    last = at;
  if (last == std::string_view::npos) return;
  // The separator ends the data: an occurrence with a record after it is a
  // barcode's own text (LEGEND under END), and nothing is cut there.
  if (text.find(RecordEnd, last + separator.size()) != std::string_view::npos) return;
  // A chunk that begins with the separator is empty only when it holds no
  // record before the end (ENDIVE at the start is a barcode).
  const bool startsWithSeparator = text.substr(0, separator.size()) == separator;
  if (startsWithSeparator && text.substr(0, last).find(RecordEnd) == std::string_view::npos)
    std::memset(chunk, 0, text.size());
  else
    chunk[last] = '\0';
}

namespace {
constexpr WorkerJob Collection{&RunJob, &SetJobControls, IDC_GET_BARCODES};
}  // namespace

void CollectionJob(Controls& dialog) { RunWorkerJob(dialog, Collection); }

bool StartCollection(Controls& dialog) { return StartWorkerJob(dialog, Collection); }

// One worker job runs at a time, this one or "Set Time".
bool IsCollectionRunning() { return IsWorkerJobRunning(); }
