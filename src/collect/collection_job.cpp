#include "collect/collection_job.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <set>

#include "collect/output_naming.h"
#include "collect/record_format.h"
#include "common/front_end.h"
#include "common/output_file.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"

namespace {

enum class PortOutcome { Next, EndJob };

struct Job {
  FrontEnd& front;
  const DownloadChoices& choices;
  ScannerSession& session;
  OutputNames& names;
  const PortList* listed;  // nullptr: manual mode, the open port
  DownloadRun* run;        // gets a report of each scanner, when given
  PlainSeparator plain;    // the scanner's default separator and its answer
  bool manual() const { return listed == nullptr; }
};

void InformationBox(FrontEnd& front, const std::wstring& text) {
  front.ShowBox(text, L"Information", BoxIconInformation);
}

// The port a step of this job serves: entry i in auto mode, the open one otherwise.
std::uint32_t PortOf(const Job& job, std::uint32_t i) {
  return job.manual() ? job.session.port.number : job.listed->numbers[i];
}

// How entry i's download ended, reported to whoever ran the job.
void Settle(Job& job, std::uint32_t i, Outcome outcome, bool failed,
            DownloadReport report = {}) {
  if (!job.run) return;
  report.entry = i;
  report.port = PortOf(job, i);
  report.outcome = outcome;
  report.succeeded = !failed;
  job.run->reports.push_back(std::move(report));
}

// Wakes the scanner and prepares its records; on failure names what failed.
bool PrepareScanner(Job& job, Outcome* failure) {
  ScannerSession& session = job.session;
  if (!WakeDevice(session)) {
    *failure = Outcome::WakeFailed;
    return false;
  }
  if (!SetDisplayItems(session, job.choices)) {
    *failure = Outcome::SetDisplayItemsFailed;
    return false;
  }
  if (!session.framed &&
      !QueryDefaultSeparator(session, job.plain.separator, &job.plain.answer)) {
    *failure = Outcome::GetSeparatorFailed;
    return false;
  }
  return true;
}

// The file name could not be made: what the user is told, and whether the
// job goes on. An empty custom name ends even an auto-mode job.
PortOutcome ReportNamingFailure(Job& job, std::uint32_t i) {
  ScannerSession& session = job.session;
  const bool autoNaming = job.names.autoNaming = job.choices.autoNaming;
  const Outcome failure = autoNaming ? Outcome::GetFileNameFailed : Outcome::EnterFileName;
  Settle(job, i, failure, true);
  if (!job.manual() && autoNaming) {
    job.front.ShowPortStatus(i, OutcomeWords(failure));
    CloseSessionPort(session);
    return PortOutcome::Next;
  }
  ShowErrorBox(job.front, OutcomeWords(failure));
  if (!job.manual()) CloseSessionPort(session);
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
  bool altered = false;   // a separator stood where no shape puts one
  bool written = true;    // every line that was to be written was
};

// The download: each run of data is formatted into the file and the store as
// it comes and shown in the "Barcode Data" box. After a failed write the
// download still runs to its end so the store gets every record.
DownloadOutcome Download(Job& job, bool saveToFile, OutputFile& file, DownloadReport& report,
                         bool keepReceived) {
  RecordLayout layout;
  const DownloadChoices& chosen = job.choices;
  layout.unixLineFeeds = chosen.unixLineFeeds;
  layout.separatorText = chosen.separatorText.substr(0, SeparatorTextCapacity - 1);
  const bool whole = chosen.wholeRecords;
  const bool serialChosen = chosen.showSerialNumber;
  const bool timeChosen = chosen.showTimeStamp;
  layout.serialShown = serialChosen || whole;
  layout.timeShown = timeChosen || whole;
  layout.serialLeftOut = !serialChosen && whole;
  layout.timeLeftOut = !timeChosen && whole;
  if (!job.session.framed) layout.downloadSeparator = job.plain.separator;
  RecordCarry carry;
  DownloadOutcome outcome;
  std::string text;
  const DownloadData take = [&](const char* bytes, std::size_t count) {
    if (keepReceived) report.received.append(bytes, count);
    CopyWithoutZeroBytes(bytes, count, text);
    if (text.empty()) return;
    outcome.anyText = true;
    if (!FormatChunk(layout, text.c_str(), saveToFile && outcome.written, &file, carry))
      outcome.written = false;
    job.front.ShowReceived(text);
  };
  outcome.end = RunDownload(job.session, job.plain, take).end;
  outcome.leftOpen = RecordLeftOpen(carry);
  outcome.altered = carry.separatorInFields;
  report.records = std::move(carry.records);
  return outcome;
}

// No empty files are left behind by a download that brought nothing.
void CloseDroppingEmptyFile(FrontEnd& front, OutputFile& file, const std::wstring& path,
                            bool saveToFile) {
  if (!saveToFile) return;
  std::uint64_t length = file.Length();
  file.Close();
  if (length == 0) {
    RemoveFile(path);
    front.ShowFileName(L"");
  }
}

// How the download failed; nothing for success or no data. It is judged by
// what was received and stored, never by the window.
std::optional<Outcome> FailureOf(const DownloadOutcome& got) {
  // Not finished: the line failed, the scanner went silent or could not vouch
  // for the end, the command was not taken, or text was left open.
  if (got.end == DownloadEnd::Stopped) return Outcome::Stopped;
  if (got.end != DownloadEnd::Complete || got.leftOpen || got.altered) return Outcome::GetDataFailed;
  if (!got.written) return Outcome::WriteFileFailed;
  return std::nullopt;
}

PortOutcome CollectPort(Job& job, std::uint32_t i) {
  FrontEnd& front = job.front;
  ScannerSession& session = job.session;
  if (!job.manual()) {
    Outcome failure = Outcome::OpenPortsFailed;
    if (!OpenSessionPort(session, job.listed->numbers[i]) || !PrepareScanner(job, &failure)) {
      Settle(job, i, failure, true);
      front.ShowPortStatus(i, OutcomeWords(failure));
      return PortOutcome::Next;
    }
  }
  const bool saveToFile = job.choices.saveToFile;
  if (saveToFile && !MakeOutputFileName(session, front, job.names, job.choices))
    return ReportNamingFailure(job, i);
  const std::wstring path = OutputFilePath(job.names);

  OutputFile file;
  if (saveToFile && !file.OpenForAppend(path)) {
    Settle(job, i, Outcome::OpenFileFailed, true);
    if (job.manual()) {
      ShowErrorBox(front, OutcomeWords(Outcome::OpenFileFailed));
      return PortOutcome::EndJob;
    }
    front.ShowPortStatus(i, OutcomeWords(Outcome::OpenFileFailed));
    CloseSessionPort(session);
    return PortOutcome::Next;
  }

  DownloadReport report;
  if (saveToFile) {
    report.filePath = path;
    report.fileStart = file.Length();
  }
  front.ClearReceived();
  if (!job.manual()) front.ShowPortStatus(i, L"Getting Data...");
  const DownloadOutcome got =
      Download(job, saveToFile, file, report, job.run && job.run->keepReceived);
  const bool quiet = front.IsClosing();  // the window is closing: no boxes
  report.bytesWritten = file.AppendedBytes();
  report.writtenHash = file.AppendedHash();

  std::optional<Outcome> failure = FailureOf(got);
  const bool noData = !failure && !got.anyText;
  report.recordsInFile = report.records.size();
  if (saveToFile) {
    if (file.Length() == 0) {
      CloseDroppingEmptyFile(front, file, path, saveToFile);
      report.filePath.clear();
    } else {
      // Only data on the disk, in the file at its path, are saved: a write
      // can fail, and a folder removed meanwhile takes the file with it.
      const bool closed = file.FlushAndClose();
      FileDigest digest;
      const bool there = FileHoldsWhatWasWritten(report, &digest);
      if (!closed || !there) {
        if (!failure) failure = Outcome::WriteFileFailed;
        report.recordsInFile = std::min<std::uint64_t>(digest.lineFeeds, report.records.size());
      }
    }
  }
  const Outcome outcome = failure      ? *failure
                          : noData     ? Outcome::NoData
                          : saveToFile ? Outcome::SaveDataSucceed
                                       : Outcome::GetDataSucceed;
  Settle(job, i, outcome, failure.has_value(), std::move(report));
  if (!job.manual()) {
    front.ShowPortStatus(i, OutcomeWords(outcome));
    CloseSessionPort(session);
    return PortOutcome::Next;
  }
  if (quiet) return PortOutcome::EndJob;
  if (failure)
    ShowErrorBox(front, OutcomeWords(*failure));
  else if (saveToFile && !noData)
    InformationBox(front, OutcomeWords(outcome) + std::wstring(L"Barcodes in:\r\n") + path);
  else
    InformationBox(front, OutcomeWords(outcome));
  return PortOutcome::EndJob;
}

}  // namespace

void DownloadScanners(ScannerSession& session, FrontEnd& front, const DownloadChoices& choices,
                      OutputNames& names, const PortList* listed, DownloadRun* run) {
  Job job{front, choices, session, names, listed, run, {}};
  std::uint32_t portCount = 1;
  if (job.manual()) {
    if (!CheckPortsOpen(session, front)) return;
    Outcome failure = Outcome::WakeFailed;
    if (!PrepareScanner(job, &failure)) {
      Settle(job, 0, failure, true);
      ShowAppBox(front, OutcomeWords(failure), BoxIconError);
      return;
    }
  } else {
    portCount = listed->count;
  }
  if (run) run->started = true;
  for (std::uint32_t i = 0; i < portCount && i < MaxPorts && !front.IsClosing(); ++i) {
    if (CollectPort(job, i) == PortOutcome::EndJob) return;
  }
}

bool FileHoldsWhatWasWritten(const DownloadReport& report, FileDigest* digest) {
  FileDigest read;
  const bool readBack = DigestFileFrom(report.filePath, report.fileStart, read);
  if (digest) *digest = readBack ? read : FileDigest{};
  return readBack && read.length == report.bytesWritten && read.hash == report.writtenHash;
}

bool SetDisplayItems(ScannerSession& session, const DownloadChoices& choices) {
  const bool whole = choices.wholeRecords;
  const char* serial = whole || choices.showSerialNumber ? Command::ShowSerialNumber
                                                         : Command::HideSerialNumber;
  if (!SendSetting(session, serial)) return false;
  const char* time = whole || choices.showTimeStamp ? Command::ShowTimeStamp
                                                    : Command::HideTimeStamp;
  return SendSetting(session, time);
}

bool QueryDefaultSeparator(ScannerSession& session, std::string& separator, std::string* answer) {
  SendCommand(session, Command::GetDefaultSeparator, CommandLength, false);  // the reply decides
  std::uint8_t reply[DefaultSeparatorCapacity + 1] = {};
  int n = ReceiveWholeReply(session, reply, Reply::DefaultSeparator.maxPayload,
                            Reply::DefaultSeparator.totalMs, Reply::DefaultSeparator.intervalMs,
                            false, true);
  if (n <= 0) return false;
  std::string text(reinterpret_cast<const char*>(reply), static_cast<std::size_t>(n));
  std::size_t colon = text.find(':');
  separator = colon == std::string::npos ? std::string() : text.substr(colon + 1);
  if (answer) *answer = text;
  return true;
}

void DownloadHistory::Note(const DownloadRun& run) {
  std::lock_guard<std::mutex> hold(lock_);
  for (const DownloadReport& report : run.reports) {
    if (report.succeeded)
      failed_.erase(report.port);
    else
      failed_.insert(report.port);
  }
}

void DownloadHistory::Forget() {
  std::lock_guard<std::mutex> hold(lock_);
  failed_.clear();
}

bool DownloadHistory::LastFailed(std::uint32_t port) const {
  std::lock_guard<std::mutex> hold(lock_);
  return failed_.count(port) != 0;
}
