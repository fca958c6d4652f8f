#include "collect/collection_job.h"

#include <atomic>
#include <mutex>
#include <set>

#include "collect/output_file.h"
#include "collect/output_naming.h"
#include "collect/record_format.h"
#include "export/export_store.h"
#include "protocol/catalogue.h"
#include "protocol/download.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"
#include "ui/worker_job.h"

namespace {
constexpr std::size_t SeparatorTextCapacity = 100;  // the "Separator:" box, read as 8-bit text

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
  PlainSeparator plain;  // the scanner's default separator and its answer
};

void ErrorBox(Controls& dialog, const std::wstring& text) {
  dialog.ShowMessage(text, L"Error", BoxIconError);
}

void InformationBox(Controls& dialog, const std::wstring& text) {
  dialog.ShowMessage(text, L"Information", BoxIconInformation);
}

bool Stopping() { return IsJobStopping(); }

std::atomic<std::uint64_t> LimitBytes{MaxDownloadBytes};
std::atomic<std::uint64_t> LimitMs{MaxDownloadMs};

// The ports whose last download of this session failed.
std::mutex FailedPortsLock;
std::set<std::uint32_t> FailedPorts;

void NoteDownload(std::uint32_t port, bool failed) {
  std::lock_guard<std::mutex> lock(FailedPortsLock);
  if (failed)
    FailedPorts.insert(port);
  else
    FailedPorts.erase(port);
}

// The port a step of this job serves: entry i in auto mode, the open one otherwise.
std::uint32_t PortOf(const Job& job, std::uint32_t i) {
  return job.manual ? OpenedPortNumber() : PortNumbers.numbers[i];
}

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
  if (!FramedMode &&
      !QueryDefaultSeparator(job.plain.separator, &job.plain.answer)) {
    *failure = L"Get KT52 Default Separator Failed!";
    return false;
  }
  return true;
}

// The file name could not be made: what the user is told, and whether the
// job goes on. An empty custom name ends even an auto-mode job.
PortOutcome ReportNamingFailure(Job& job, std::uint32_t i) {
  IsAutoNaming = job.dialog.IsChecked(IDC_AUTO_NAMING);
  NoteDownload(PortOf(job, i), true);
  if (!job.manual && IsAutoNaming) {
    SetPortStatus(job.dialog, i, L"Get File Name Failed!");
    ClosePorts(job.dialog, true);
    return PortOutcome::Next;
  }
  ErrorBox(job.dialog, IsAutoNaming ? L"Get File Name Failed!" : L"Please Enter File Name!");
  if (!job.manual) ClosePorts(job.dialog, true);
  return PortOutcome::EndJob;
}

// The bytes without their zero bytes: a zero byte is no text, and left in it
// would end a record's text early.
void CopyWithoutZeroBytes(const char* bytes, std::size_t count, std::string& text) {
  text.clear();
  for (std::size_t i = 0; i < count; ++i)
    if (bytes[i] != '\0') text.push_back(bytes[i]);
}

struct DownloadOutcome {
  DownloadEnd end = DownloadEnd::Unclear;
  bool anyText = false;   // some record text came
  bool leftOpen = false;  // text after the last record's CR
  bool written = true;    // every line that was to be written was
};

// The download: each run of data is formatted into the file and the store as
// it comes and shown in the "Barcode Data" box. After a failed write the
// download still runs to its end so the store gets every record.
DownloadOutcome Download(Job& job, bool saveToFile, OutputFile& file) {
  const bool unixLineFeeds = job.dialog.IsChecked(IDC_LINE_UNIX);
  const std::string separatorText = job.dialog.GetTextAnsi(IDC_SEPARATOR, SeparatorTextCapacity);
  RecordCarry carry;
  DownloadOutcome outcome;
  std::string text;
  const DownloadData take = [&](const char* bytes, std::size_t count) {
    CopyWithoutZeroBytes(bytes, count, text);
    if (text.empty()) return;
    outcome.anyText = true;
    if (!FormatChunk(job.dialog, text.c_str(), separatorText, unixLineFeeds,
                     saveToFile && outcome.written, &file, carry))
      outcome.written = false;
    job.dialog.AppendAnsi(IDC_BARCODE_DATA, text);
  };
  outcome.end = RunDownload(job.plain, take, {LimitBytes.load(), LimitMs.load()}).end;
  outcome.leftOpen = RecordLeftOpen(carry);
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

// What the download's end says to the user; nullptr for success or no data.
// It is judged by what was received and stored, never by the window.
const wchar_t* FailureOf(const DownloadOutcome& got) {
  if (got.end != DownloadEnd::Complete || got.leftOpen) return GetDataFailedText;
  if (!got.written) return WriteFailedText;
  return nullptr;
}

PortOutcome CollectPort(Job& job, std::uint32_t i) {
  Controls& dialog = job.dialog;
  if (!job.manual) {
    const wchar_t* failure = L"Open Ports Failed!";
    if (!OpenDevicePort(PortNumbers.numbers[i]) || !PrepareScanner(job, &failure)) {
      NoteDownload(PortNumbers.numbers[i], true);
      SetPortStatus(dialog, i, failure);
      return PortOutcome::Next;
    }
  }
  const std::uint32_t port = PortOf(job, i);
  const bool saveToFile = dialog.IsChecked(IDC_SAVE_TO_FILE);
  const bool textType = dialog.IsChecked(IDC_TYPE_TXT);
  if (saveToFile && !MakeOutputFileName(dialog, textType)) return ReportNamingFailure(job, i);
  const std::wstring path = OutputFilePath();

  OutputFile file;
  if (saveToFile && !file.OpenForAppend(path)) {
    NoteDownload(port, true);
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

  const wchar_t* failure = FailureOf(got);
  const bool noData = !failure && !got.anyText;
  if (saveToFile) {
    if (file.Length() == 0)
      CloseDroppingEmptyFile(dialog, file, path, saveToFile);
    else if (!file.FlushAndClose() && !failure)
      failure = WriteFailedText;  // only data on the disk are saved
  }
  NoteDownload(port, failure != nullptr);
  if (!job.manual) {
    SetPortStatus(dialog, i, failure      ? failure
                             : noData     ? L"No Data!"
                             : saveToFile ? L"Save Data Succeed!"
                                          : L"Get Data Succeed!");
    ClosePorts(dialog, true);
    return PortOutcome::Next;
  }
  if (quiet) return PortOutcome::EndJob;
  if (failure)
    ErrorBox(dialog, failure);
  else if (noData)
    InformationBox(dialog, L"No Data!");
  else
    InformationBox(dialog, saveToFile ? L"Save Data Succeed!Barcodes in:\r\n" + path
                                      : std::wstring(L"Get Data Succeed!"));
  return PortOutcome::EndJob;
}

void RunJob(Controls& dialog) {
  Job job{dialog, AutoMode == 0, {}};
  std::uint32_t portCount = PortNumbers.count;
  if (job.manual) {
    if (!CheckPortsOpen(dialog)) return;
    const wchar_t* failure = nullptr;
    if (!PrepareScanner(job, &failure)) {
      NoteDownload(OpenedPortNumber(), true);
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

bool QueryDefaultSeparator(std::string& separator, std::string* answer) {
  SendCommand(Command::GetDefaultSeparator, CommandLength, false);  // the reply decides
  std::uint8_t reply[DefaultSeparatorCapacity + 1] = {};
  int n = ReceiveWholeReply(reply, Reply::DefaultSeparator.maxPayload,
                            Reply::DefaultSeparator.totalMs, Reply::DefaultSeparator.intervalMs,
                            false, true);
  if (n <= 0) return false;
  std::string text(reinterpret_cast<const char*>(reply), static_cast<std::size_t>(n));
  std::size_t colon = text.find(':');
  separator = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  if (answer) *answer = text;
  return true;
}

bool LastDownloadFailed(std::uint32_t port) {
  std::lock_guard<std::mutex> lock(FailedPortsLock);
  return FailedPorts.count(port) != 0;
}

void SetDownloadLimits(const DownloadLimits& limits) {
  LimitBytes = limits.maxBytes;
  LimitMs = limits.maxMs;
}

void ForgetDownloads() {
  std::lock_guard<std::mutex> lock(FailedPortsLock);
  FailedPorts.clear();
}

namespace {
constexpr WorkerJob Collection{&RunJob, &SetJobControls, IDC_GET_BARCODES};
}  // namespace

void CollectionJob(Controls& dialog) { RunWorkerJob(dialog, Collection); }

bool StartCollection(Controls& dialog) { return StartWorkerJob(dialog, Collection); }

// One worker job runs at a time, this one or "Set Time".
bool IsCollectionRunning() { return IsWorkerJobRunning(); }
