#include "cli/cli_commands.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include "cli/cli_platform.h"
#include "cli/clock_check.h"
#include "cli/console_front_end.h"
#include "cli/console_text.h"
#include "cli/port_choice.h"
#include "cli/parallel_run.h"
#include "cli/progress_board.h"
#include "cli/stock_count.h"
#include "clock/scanner_clock.h"
#include "clock/time_text.h"
#include "collect/collection_job.h"
#include "collect/delete_barcodes.h"
#include "collect/output_naming.h"
#include "common/ansi_text.h"
#include "common/ascii_fold.h"
#include "common/local_time.h"
#include "common/output_file.h"
#include "common/scan_summary.h"
#include "export/export_store.h"
#include "export/scan_database.h"
#include "export/xlsx_workbook.h"
#include "protocol/catalogue.h"
#include "protocol/device_info.h"
#include "protocol/exchange.h"
#include "transport/port_discovery.h"

namespace {
// Why a scanner that held no records is not erased; no failure.
constexpr char NothingToErase[] = "nothing to erase";
constexpr char DatabaseFailed[] = "Database Write Failed!";
constexpr int WatchPollMs = 1000;

std::string Text(const std::wstring& wide) { return PathText(wide); }

// A JSON object on one line, its members in the order they are added.
class JsonLine {
 public:
  JsonLine& Add(const char* key, const std::string& value) {
    Key(key);
    text_ += '"';
    for (unsigned char c : value) {
      if (c == '"' || c == '\\') {
        text_ += '\\';
        text_ += static_cast<char>(c);
      } else if (c < 0x20 || c == 0x7F) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", c);
        text_ += escape;
      } else {
        text_ += static_cast<char>(c);
      }
    }
    text_ += '"';
    return *this;
  }
  JsonLine& Add(const char* key, std::uint64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
  }
  JsonLine& Add(const char* key, std::int64_t value) {
    Key(key);
    text_ += std::to_string(value);
    return *this;
  }
  JsonLine& Add(const char* key, bool value) {
    Key(key);
    text_ += value ? "true" : "false";
    return *this;
  }
  std::string Done() const { return text_ + "}"; }

 private:
  void Key(const char* key) {
    text_ += text_.size() > 1 ? ",\"" : "\"";
    text_ += key;
    text_ += "\":";
  }
  std::string text_ = "{";
};

// Records as stored, byte for byte: CSV quotes their line ends itself.
void PrintExact(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Print(const std::string& line) { PrintExact(OneLine(line)); }

// Why a port did not open, in the words of the outcome table.
std::string OpenWords(PortOpen opened) {
  return Text(OutcomeWords(opened == PortOpen::InUse ? Outcome::PortInUse : Outcome::OpenPortsFailed));
}

// Whether files can be made in the folder: one is made and removed again,
// named for this run, as another lumet-cli may be probing the same folder.
bool FolderTakesFiles(const std::wstring& folder) {
  std::wstring probe = folder + L"\\.lumet-cli-probe-";
  probe += std::to_wstring(std::random_device{}());
  OutputFile file;
  if (!file.OpenForAppend(probe)) return false;
  file.Close();
  RemoveFile(probe);
  return true;
}

std::wstring FolderOrCurrent(const std::wstring& folder) {
  return folder.empty() ? CurrentFolder() : folder;
}

int CheckFolders(const CliOptions& o) {
  for (const std::wstring* folder : {&o.choices.outDir, &o.archiveDir}) {
    if (folder == &o.archiveDir && folder->empty()) continue;
    // A folder not there yet is made, as mkdir -p would.
    if (MakeFolders(FolderOrCurrent(*folder)) && FolderTakesFiles(FolderOrCurrent(*folder))) continue;
    std::fprintf(stderr, "cannot write files in %s\n", Text(FolderOrCurrent(*folder)).c_str());
    return ExitUsage;
  }
  return -1;
}

StampDateOrder OrderOf(const std::string& name) {
  if (name == "US") return StampDateOrder::MonthDayYear;
  if (name == "EU") return StampDateOrder::DayMonthYear;
  return StampDateOrder::YearMonthDay;
}

// The scanner's date format as its get-time-format answer names it ("CH" when unknown).
std::string AskDateFormat(ScannerSession& session) {
  std::uint8_t reply[Reply::TimeFormat.maxPayload + 1] = {};
  std::size_t length = 0;
  if (Query(session, Command::GetTimeFormat, Reply::TimeFormat, reply, sizeof reply, &length) !=
      QueryOutcome::Ok)
    return "CH";
  return std::string(reinterpret_cast<const char*>(reply), length);
}

// "<serial>_<YYYYMMDD>_<HHMMSS>.kt52", with _2, _3 ... when taken.
std::wstring ArchivePath(const std::wstring& folder, const std::wstring& serial) {
  const LocalTime now = CurrentLocalTime();
  wchar_t stamp[32] = {};
  std::swprintf(stamp, sizeof stamp / sizeof stamp[0], L"_%04d%02d%02d_%02d%02d%02d", now.year,
                now.month, now.day, now.hour, now.minute, now.second);
  const std::wstring base = FolderOrCurrent(folder) + L"\\" +
                            SafeFileName((serial.empty() ? L"KT52" : serial) + stamp);
  std::wstring path = base + L".kt52";
  for (int n = 2; PathExists(path) && n < 1000; ++n) path = base + L"_" + std::to_wstring(n) + L".kt52";
  return path;
}

bool WriteArchive(const std::wstring& path, const std::string& bytes) {
  OutputFile file;
  if (!file.OpenForAppend(path)) return false;
  if (!bytes.empty() && !file.Append(bytes.data(), bytes.size())) {
    file.Close();
    return false;
  }
  return file.FlushAndClose();
}

// Why a downloaded scanner must not be erased; empty when it may be: the
// download completed, its file was flushed and closed, and read back it
// holds exactly what the download wrote of the records it received.
std::string EraseDoubt(const DownloadReport& report) {
  if (!report.succeeded)
    return "the download did not finish (" + Text(OutcomeWords(report.outcome)) + ")";
  if (report.outcome == Outcome::NoData) return NothingToErase;
  if (report.filePath.empty()) return "no file was written";
  if (!FileHoldsWhatWasWritten(report)) return "the file does not hold what the download wrote";
  return {};
}

struct ScannerLine {
  std::string port;
  bool bluetooth = false;
  std::string serial;
  std::string outcome;
  bool succeeded = false;
  std::uint64_t records = 0;  // whole records in the file
  std::vector<ScanRecord> taken;  // every record the download took
  std::string file;
  std::string archive;
  bool eraseAsked = false;
  bool erased = false;
  std::string notErased;  // why, when asked and not erased
  bool stored = false;       // the records went into the database
  std::uint64_t added = 0;   // of them, not stored before
  std::string databaseError; // the driver's text, when they did not
  StampDateOrder order = StampDateOrder::YearMonthDay;  // the scanner's, as it said
  bool clockChecked = false;
  ClockCheck clock;
  bool clockSetAsked = false;
  bool clockSet = false;
  std::string clockNotSet;  // why, when asked and not set
  std::string note;         // what happens next (watch: tried again when plugged in again)
};

void PrintLine(const ScannerLine& s, bool json, const std::string& when = {}) {
  if (json) {
    JsonLine line;
    if (!when.empty()) line.Add("time", when);
    line.Add("port", s.port).Add("kind", std::string(s.bluetooth ? "bluetooth" : "usb"));
    line.Add("serial", s.serial).Add("outcome", s.outcome).Add("records", s.records);
    line.Add("file", s.file);
    if (!s.archive.empty()) line.Add("archive", s.archive);
    if (s.stored) line.Add("added", s.added);
    if (!s.databaseError.empty()) line.Add("databaseError", s.databaseError);
    if (s.eraseAsked) {
      line.Add("erased", s.erased);
      if (!s.notErased.empty()) line.Add("notErased", s.notErased);
    }
    if (s.clockChecked && s.clock.read) {
      line.Add("clockOffset", s.clock.offset).Add("clockReset", s.clock.reset);
    } else if (s.clockChecked) {
      line.Add("clockRead", false);
    }
    if (s.clockSetAsked) {
      line.Add("clockSet", s.clockSet);
      if (!s.clockNotSet.empty()) line.Add("clockNotSet", s.clockNotSet);
    }
    if (!s.note.empty()) line.Add("note", s.note);
    Print(line.Done());
    return;
  }
  std::string text = (when.empty() ? "" : when + " ") + s.port +
                     (s.serial.empty() ? "" : " " + s.serial) + ": " + s.outcome;
  if (!s.file.empty()) text += ", " + std::to_string(s.records) + " records in " + s.file;
  if (!s.archive.empty()) text += ", data kept in " + s.archive;
  if (s.stored) text += ", " + std::to_string(s.added) + " new in the database";
  if (!s.databaseError.empty()) text += " (" + s.databaseError + ")";
  if (s.eraseAsked) text += s.erased ? "; erased" : "; not erased: " + s.notErased;
  if (s.clockChecked && !ClockWords(s.clock).empty()) text += "; " + ClockWords(s.clock);
  if (s.clockSetAsked) text += s.clockSet ? "; clock set" : "; clock not set: " + s.clockNotSet;
  if (!s.note.empty()) text += "; " + s.note;
  Print(text);
}

// Whether the scanner's line is a success: downloaded, and erased when asked
// (or holding nothing to erase).
bool LineSucceeded(const CliOptions& o, const ScannerLine& line) {
  return line.succeeded && (!o.erase || line.erased || line.notErased == NothingToErase);
}

// Connects to the database the options name and makes its table when it is
// missing; -1 when it can be used, otherwise the exit status, after saying why.
int OpenDatabase(const CliOptions& o, ScanDatabase& database, bool create) {
  if (const DbResult opened = database.Open(o.database, create); !opened.Ok()) {
    // Not the connection string itself: it may hold a password.
    std::string why = Text(opened.error);
    constexpr wchar_t SqlitePrefix[] = L"sqlite:";
    if (!create && o.database.rfind(SqlitePrefix, 0) == 0 && !PathExists(o.database.substr(7)))
      why += " (there is no database file " + Text(o.database.substr(7)) + ")";
    std::fprintf(stderr, "cannot connect to the database: %s\n", why.c_str());
    return ExitUsage;
  }
  std::vector<std::wstring> columns;
  switch (database.CheckTable(columns)) {
    case TableState::Ready: return -1;
    case TableState::OtherColumns: {
      std::string have;
      for (const std::wstring& column : columns) have += (have.empty() ? "" : ", ") + Text(column);
      std::fprintf(stderr,
                   "the table kt52_scans in the database has other columns (%s): it is left as it "
                   "is; use another database or rename that table\n",
                   have.c_str());
      return ExitUsage;
    }
    case TableState::Earlier:
      std::fprintf(stderr,
                   "the table kt52_scans was made by an earlier lumet-cli, whose key compares scan "
                   "times as text in the scanner's date order: it is left as it is. Rename it (SQL: "
                   "ALTER TABLE kt52_scans RENAME TO kt52_scans_earlier) and run again: a new "
                   "kt52_scans is made beside it, and the earlier rows stay there to read\n");
      return ExitUsage;
    case TableState::Missing: break;
  }
  if (!create) {
    std::fprintf(stderr, "the database holds no table kt52_scans: nothing was downloaded into it\n");
    return ExitUsage;
  }
  if (const DbResult made = database.CreateTable(); !made.Ok()) {
    std::fprintf(stderr, "cannot make the table kt52_scans: %s\n", Text(made.error).c_str());
    return ExitUsage;
  }
  return -1;
}

// The download's records into the database, connecting again when an earlier
// write lost the connection.
void StoreRecords(const CliOptions& o, ScanDatabase& database, const std::vector<ScanRecord>& records,
                  const std::wstring& serial, StampDateOrder order, const CliPort& port,
                  ScannerLine& line) {
  std::vector<ScanRow> rows;
  for (const ScanRecord& r : records)
    rows.push_back(RowOfRecord(AnsiToWide(r.serialNumber), AnsiToWide(r.timeStamp),
                               AnsiToWide(r.barcode), serial, order));
  const DownloadOrigin origin{PathFromArgument(UtcNowText()), o.pcName, PathFromArgument(port.name)};
  DbResult result = database.IsOpen() ? DbResult{} : database.Open(o.database);
  if (result.Ok()) result = database.Store(rows, origin, line.added);
  if (result.Ok()) {
    line.stored = true;
    return;
  }
  database.Close();
  line.outcome = DatabaseFailed;
  line.succeeded = false;
  line.databaseError = Text(result.error.empty() ? L"the driver gave no reason" : result.error);
  for (char& c : line.databaseError)
    if (c == '\n' || c == '\r') c = ' ';
}

// --set-clock: only after a complete download, to this PC's time, in the
// scanner's own date order.
void SetClockAfterDownload(ScannerSession& session, ConsoleFrontEnd& front, const std::string& dateFormat, ScannerLine& line) {
  line.clockSetAsked = true;
  if (!line.succeeded) {
    line.clockNotSet = "the download did not finish";
    return;
  }
  ClockChoices clock;  // no time typed: the PC's
  clock.format = dateFormat == "US" ? DateFormat::US : dateFormat == "EU" ? DateFormat::EU : DateFormat::CN;
  const Outcome set = SetScannerClocks(session, front, clock, nullptr);
  line.clockSet = set == Outcome::SetTimeSucceed;
  if (!line.clockSet) {
    line.clockNotSet = Text(OutcomeWords(set));
    line.succeeded = false;
  }
}

// What the scanners of one run share, each part behind a lock of its own.
struct SharedRun {
  explicit SharedRun(const CliOptions& options) : o(options) {}
  const CliOptions& o;
  ScanSummary* summary = nullptr;
  ScanDatabase* database = nullptr;  // one connection, taken in turn
  std::mutex summaryLock;
  std::mutex databaseLock;
  std::mutex archiveLock;  // ArchivePath's free name and its file made as one step
  // Per output name: one scanner at a time names, writes and reads back its
  // file, so numbered names never collide and each scanner's lines lie
  // together, where its read-back check finds exactly them.
  KeyedLocks files;
  ProgressBoard progress{StderrIsTerminal()};  // one line a scanner downloading
};

// The lock of the file the scanner's download goes into: its custom name, or
// its serial number, which begins its automatic names, as a file name (two
// serial numbers may make the same one) in one case (as Windows finds files).
std::mutex& FileLock(SharedRun& shared, const std::wstring& serial) {
  const CliChoices& c = shared.o.choices;
  return shared.files.For(FoldedAscii(c.autoName ? L"auto:" + SafeFileName(serial)
                                                  : L"name:" + c.name));
}

void KeepArchive(SharedRun& shared, const std::wstring& serial, const DownloadReport& report,
                 ScannerLine& line) {
  std::lock_guard<std::mutex> guard(shared.archiveLock);
  const std::wstring path = ArchivePath(shared.o.archiveDir, serial);
  if (WriteArchive(path, report.received)) {
    line.archive = Text(path);
  } else {
    line.outcome = Text(OutcomeWords(Outcome::WriteFileFailed));
    line.succeeded = false;
  }
}

// The loss-proof erase, when asked for: only after a download that finished,
// was stored and read back, and never once the run was asked to stop.
void EraseAfterDownload(ScannerSession& session, ConsoleFrontEnd& front, ScannerLine& line) {
  if (line.notErased.empty() && StopRequested) line.notErased = "stopped before the erase";
  if (line.succeeded && line.notErased.empty()) {
    front.AnswerQuestions(true);
    // Each scanner stands on its own here: the erase trusts only this
    // download's own checks (EraseDoubt), so no history is kept.
    const Outcome erase = EraseScanners(session, front, DownloadHistory{}, nullptr);
    line.erased = erase == Outcome::DeleteSucceed;
    if (!line.erased) {
      line.notErased = Text(OutcomeWords(erase));
      line.succeeded = false;
    }
  } else if (line.notErased.empty()) {
    line.notErased = "the download did not finish";
  }
}

// One scanner's download, its archive, its summary records, its records in
// the database and its erase; several may run at once, sharing shared.
ScannerLine DownloadScanner(SharedRun& shared, const CliPort& port) {
  const CliOptions& o = shared.o;
  ScannerLine line;
  line.port = port.name;
  line.bluetooth = port.bluetooth;
  line.eraseAsked = o.erase;
  if (StopRequested) {
    line.outcome = Text(OutcomeWords(Outcome::Stopped));
    line.notErased = "the download did not start";
    return line;
  }
  ConsoleFrontEnd front(o.choices);
  front.ShowProgress(port.name, false);
  front.ShowProgressOn(&shared.progress);
  SerialPort link;
  link.SetStop(&StopRequested);
  ScannerSession session{&link};
  session.stop = &StopRequested;
  if (const PortOpen opened = OpenCliPort(link, port); opened != PortOpen::Opened) {
    const bool inUse = opened == PortOpen::InUse;
    line.outcome = OpenWords(opened);
    line.notErased = inUse ? "another program has the port open" : "the port could not be opened";
    return line;
  }
  OutputNames names;
  names.folder = FolderOrCurrent(o.choices.outDir);
  names.customName = o.choices.name;
  std::wstring serial;
  std::string dateFormat = "CH";
  if (WakeDevice(session)) {
    if (QuerySerialNumber(session, serial, Reply::SerialNumberForFileName)) line.serial = Text(serial);
    if (shared.summary || shared.database || !o.xlsxFile.empty() || o.checkClock)
      dateFormat = AskDateFormat(session);
    line.order = OrderOf(dateFormat);
    if (o.checkClock) {
      line.clockChecked = true;
      line.clock = CheckScannerClock(session, line.order);
    }
  }
  std::unique_lock<std::mutex> fileTurn(FileLock(shared, serial));
  DownloadRun run;
  run.keepReceived = !o.archiveDir.empty();
  if (!StopRequested) DownloadScanners(session, front, front.ChosenForDownload(), names, nullptr, &run);
  if (run.reports.empty()) {  // the port was not open, or the run was stopped meanwhile
    line.outcome = Text(OutcomeWords(StopRequested ? Outcome::Stopped : Outcome::NoPortOpen));
    line.notErased = "the download did not start";
    CloseSessionPort(session);
    return line;
  }
  DownloadReport& report = run.reports.front();
  line.outcome = Text(OutcomeWords(report.outcome));
  line.succeeded = report.succeeded;
  line.records = report.recordsInFile;
  line.file = Text(report.filePath);
  if (!o.archiveDir.empty() && !report.received.empty()) KeepArchive(shared, serial, report, line);
  if (shared.summary) {
    std::lock_guard<std::mutex> guard(shared.summaryLock);
    AddScans(*shared.summary, report.records, line.order);
  }
  if (shared.database && line.succeeded && line.records > 0) {
    std::lock_guard<std::mutex> guard(shared.databaseLock);
    StoreRecords(o, *shared.database, report.records, serial, line.order, port, line);
  }
  if (o.erase)
    line.notErased = line.databaseError.empty() ? EraseDoubt(report)
                                                : "the database did not take the records";
  fileTurn.unlock();  // the file was read back: other scanners may append to it now
  if (o.erase) EraseAfterDownload(session, front, line);
  line.taken = std::move(report.records);
  if (o.setClock && !StopRequested) SetClockAfterDownload(session, front, dateFormat, line);
  CloseSessionPort(session);
  return line;
}

// --xlsx: a build without the workbook library says so before any scanner is touched.
int CheckWorkbook(const CliOptions& o) {
  if (o.xlsxFile.empty() || WorkbooksSupported()) return -1;
  std::fprintf(stderr, "this lumet-cli cannot write workbooks (built without libxlsxwriter)\n");
  return ExitUsage;
}

// A downloaded scanner's records into the run's workbook; false when it could not be written.
bool AddToWorkbook(const CliOptions& o, RunWorkbook& workbook, const CliPort& port,
                   const ScannerLine& line) {
  return workbook.AddDownload(line.taken, PathFromArgument(port.name), o.pcName, line.order);
}

// report --xlsx: the stored records (and their count) as a workbook.
int ReportWorkbook(const CliOptions& o, ScanDatabase& database, const ExpectedList& expected) {
  RunWorkbook workbook(o.xlsxFile, o.expectedFile.empty() ? nullptr : &expected);
  bool header = true;
  const DbResult result = database.Report(o.since, false, [&](const std::vector<std::wstring>& row) {
    if (!header) workbook.AddStored(row);
    header = false;
  });
  if (!result.Ok()) {
    std::fprintf(stderr, "cannot read the database: %s\n", Text(result.error).c_str());
    return ExitFailed;
  }
  if (!workbook.Write()) return ExitFailed;
  Print(std::to_string(workbook.Rows()) + " records in " + Text(o.xlsxFile));
  return ExitSucceeded;
}

int RunDownload(const CliOptions& o) {
  ExpectedList expected;
  if (int stop = ReadExpectedFile(o.expectedFile, expected); stop >= 0) return stop;
  if (int stop = CheckWorkbook(o); stop >= 0) return stop;
  RunWorkbook workbook(o.xlsxFile, o.expectedFile.empty() ? nullptr : &expected);
  std::vector<CliPort> ports;
  if (int stop = ChoosePorts(o, ports); stop >= 0) return stop;
  if (int stop = CheckFolders(o); stop >= 0) return stop;
  ScanDatabase database;
  if (!o.database.empty())
    if (int stop = OpenDatabase(o, database, true); stop >= 0) return stop;
  ScanSummary summary;
  SharedRun shared(o);
  if (!o.summaryFile.empty()) shared.summary = &summary;
  if (!o.database.empty()) shared.database = &database;
  std::mutex printLock;  // a line, the workbook and the verdict, one scanner at a time
  bool allSucceeded = true;
  RunEach(ports.size(), o.jobs, [&](std::size_t i) {
    const ScannerLine line = DownloadScanner(shared, ports[i]);
    std::lock_guard<std::mutex> guard(printLock);
    shared.progress.PrintAbove([&] { PrintLine(line, o.json); }, line.port);
    if (!o.xlsxFile.empty() && line.succeeded && !AddToWorkbook(o, workbook, ports[i], line))
      allSucceeded = false;
    allSucceeded = allSucceeded && LineSucceeded(o, line);
  });
  if (!o.summaryFile.empty()) {
    RemoveFile(o.summaryFile);
    const std::string csv = SummaryCsv(summary, o.expectedFile.empty() ? nullptr : &expected);
    if (!WriteArchive(o.summaryFile, csv)) {
      std::fprintf(stderr, "cannot write the summary %s\n", Text(o.summaryFile).c_str());
      return ExitFailed;
    }
  }
  return allSucceeded ? ExitSucceeded : ExitFailed;
}

int RunList(const CliOptions& o) {
  const std::vector<CliPort> ports = FindCliPorts();
  bool anyInUse = false;
  for (const CliPort& port : ports) {
    std::string mode, serial;
    if (!o.noQuery) {
      SerialPort link;
      ScannerSession session{&link};
      if (const PortOpen opened = OpenCliPort(link, port); opened != PortOpen::Opened) {
        serial = OpenWords(opened);
        anyInUse = anyInUse || opened == PortOpen::InUse;
      } else if (const ScannerIdentity scanner = IdentifyScanner(session); !scanner.woken) {
        serial = Text(OutcomeWords(Outcome::WakeFailed));
      } else {
        // Silent to the wake-up and to the question too: nothing is there to answer.
        const bool silent = !scanner.answered && !scanner.serial;
        mode = silent ? "" : scanner.framed ? "framed" : "plain";
        serial = scanner.serial ? Text(*scanner.serial)
                 : silent       ? "no answer"
                                : Text(OutcomeWords(Outcome::GetSerialNumberFailed));
      }
      CloseSessionPort(session);
    }
    const std::string kind = port.bluetooth ? "bluetooth" : "usb";
    if (o.json) {
      JsonLine line;
      line.Add("port", port.name).Add("kind", kind);
      if (!o.noQuery) line.Add("mode", mode).Add("serial", serial);
      Print(line.Done());
    } else {
      std::string text = port.name;
      text.append(" ").append(kind);
      if (!o.noQuery) text.append(" ").append(mode.empty() ? "-" : mode).append(" ").append(serial);
      Print(text);
    }
  }
  if (ports.empty()) {
    std::fprintf(stderr, "no scanner found\n");
    return ExitNoScanner;
  }
  return anyInUse ? ExitFailed : ExitSucceeded;
}

// "time set". Without --format the scanner keeps its date order, read from it
// first, and a time given (in CN order) is sent in that order.
bool SetClock(const CliOptions& o, ScannerSession& session, ConsoleFrontEnd& front) {
  DateFormat format = o.format;
  std::string typed = o.time;
  if (!o.formatGiven) {
    if (ReadScannerClock(session, front) != Outcome::GetTimeSucceed) return false;
    front.Forget();
    format = front.ShownFormat();
    CalendarTime time;
    if (!typed.empty() && ParseTimeInput(typed, DateFormat::CN, time))
      typed = TypedTimeInOrder(time, format);
  }
  return SetScannerClocks(session, front, ClockChoices{typed, format}, nullptr) ==
         Outcome::SetTimeSucceed;
}

// Info, time and erase: one port, one operation, its boxes as lines.
int RunOnePort(const CliOptions& o) {
  std::vector<CliPort> ports;
  if (int stop = ChoosePorts(o, ports); stop >= 0) return stop;
  const CliPort& port = ports.front();
  if (o.command == CliCommand::Erase && !o.yes) {
    std::fprintf(stderr, "%s: nothing erased: add --yes to erase the scanner's barcodes\n",
                 port.name.c_str());
    return ExitUsage;
  }
  ConsoleFrontEnd front(o.choices);
  SerialPort link;
  ScannerSession session{&link};
  if (const PortOpen opened = OpenCliPort(link, port); opened != PortOpen::Opened) {
    Print(port.name + ": " + OpenWords(opened));
    return ExitFailed;
  }
  bool ok = false;
  switch (o.command) {
    case CliCommand::Info:
      ok = ReportDeviceInfo(session, front);
      break;
    case CliCommand::TimeGet:
      ok = ReadScannerClock(session, front) == Outcome::GetTimeSucceed;
      if (ok) {
        const char* names[] = {"US", "EU", "CN"};
        Print(port.name + ": " + Text(front.ShownTime()) + " " +
              names[static_cast<int>(front.ShownFormat())]);
      }
      break;
    case CliCommand::TimeSet:
      ok = SetClock(o, session, front);
      break;
    case CliCommand::Erase:
      front.AnswerQuestions(true);
      ok = EraseScanners(session, front, DownloadHistory{}, nullptr) == Outcome::DeleteSucceed;
      break;
    default:
      break;
  }
  CloseSessionPort(session);
  for (const ShownBox& box : front.Boxes()) {
    if (o.command == CliCommand::TimeGet && ok) break;  // said above, as one line
    if (o.command == CliCommand::Erase && (box.flags & 0x0F) != BoxOk) continue;  // the question
    Print(BoxLine(port.name, Text(box.text)));
  }
  return ok ? ExitSucceeded : ExitFailed;
}

void PrintEvent(const CliOptions& o, const std::string& port, const char* event) {
  const std::string when = UtcNowText();
  if (o.json)
    Print(JsonLine().Add("time", when).Add("port", port).Add("event", std::string(event)).Done());
  else
    Print(when + " " + port + " " + event);
}

// Looks for scanners every second and starts each one's download, on a
// worker of its own, as soon as it appears, whatever else runs. A scanner is
// downloaded once each time it appears: one that failed is tried again only
// once it has been away, or another device took its name.
int RunWatch(const CliOptions& o) {
  if (int stop = CheckFolders(o); stop >= 0) return stop;
  ExpectedList expected;
  if (int stop = ReadExpectedFile(o.expectedFile, expected); stop >= 0) return stop;
  if (int stop = CheckWorkbook(o); stop >= 0) return stop;
  RunWorkbook workbook(o.xlsxFile, o.expectedFile.empty() ? nullptr : &expected);
  ScanDatabase database;
  if (!o.database.empty())
    if (int stop = OpenDatabase(o, database, true); stop >= 0) return stop;
  SharedRun shared(o);
  if (!o.database.empty()) shared.database = &database;
  std::mutex printLock;
  bool anyFailed = false;  // under printLock
  const auto serve = [&](const CliPort& port) {
    ScannerLine line = DownloadScanner(shared, port);
    const bool failed = !LineSucceeded(o, line);
    if (failed) line.note = "tried again when plugged in again";
    std::lock_guard<std::mutex> guard(printLock);
    shared.progress.PrintAbove([&] { PrintLine(line, o.json, UtcNowText()); }, line.port);
    if (!o.xlsxFile.empty() && line.succeeded) AddToWorkbook(o, workbook, port, line);
    anyFailed = anyFailed || failed;
  };
  WorkerSet workers;
  std::map<std::string, std::string> present;  // port name: the device behind it
  while (!StopRequested) {
    const std::vector<CliPort> ports = FindCliPorts();
    for (auto it = present.begin(); it != present.end();) {
      const auto same = [&](const CliPort& p) { return p.name == it->first && p.identity == it->second; };
      if (std::any_of(ports.begin(), ports.end(), same)) {
        ++it;
        continue;
      }
      std::lock_guard<std::mutex> guard(printLock);
      shared.progress.PrintAbove([&] { PrintEvent(o, it->first, "went"); });
      it = present.erase(it);
    }
    for (const CliPort& port : ports) {
      if (present.count(port.name) || StopRequested) continue;
      present[port.name] = port.identity;
      {
        std::lock_guard<std::mutex> guard(printLock);
        shared.progress.PrintAbove([&] { PrintEvent(o, port.name, "came"); });
      }
      if (!workers.Start([&serve, port] { serve(port); })) serve(port);
    }
    workers.Reap();
    for (int waited = 0; waited < WatchPollMs && !StopRequested; waited += 50)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  workers.JoinAll();
  return anyFailed ? ExitFailed : ExitSucceeded;
}
// The stored records, or the counts per barcode, as CSV on stdout.
int RunReport(const CliOptions& o) {
  ExpectedList expected;
  if (int stop = ReadExpectedFile(o.expectedFile, expected); stop >= 0) return stop;
  ScanDatabase database;
  if (int stop = OpenDatabase(o, database, false); stop >= 0) return stop;
  const auto print = [](const std::vector<std::wstring>& row) {
    std::string line;
    for (std::size_t k = 0; k < row.size(); ++k) {
      if (k) line += ',';
      line += CsvField(Text(row[k]));
    }
    PrintExact(line);
  };
  if (!o.xlsxFile.empty()) return ReportWorkbook(o, database, expected);
  // Counted against a list, the counts are all read first.
  std::vector<std::vector<std::wstring>> counts;
  const bool against = !o.expectedFile.empty();
  const DbResult result = database.Report(o.since, o.counts, [&](const std::vector<std::wstring>& row) {
    if (against) counts.push_back(row);
    else print(row);
  });
  if (result.Ok() && against)
    for (const std::vector<std::wstring>& line : CountLines(counts, expected)) print(line);
  if (result.Ok()) return ExitSucceeded;
  std::fprintf(stderr, "cannot read the database: %s\n", Text(result.error).c_str());
  return ExitFailed;
}
}  // namespace

int RunCli(const CliOptions& o) {
  switch (o.command) {
    case CliCommand::List: return RunList(o);
    case CliCommand::Download: return RunDownload(o);
    case CliCommand::Watch: return RunWatch(o);
    case CliCommand::Report: return RunReport(o);
    case CliCommand::Info:
    case CliCommand::TimeGet:
    case CliCommand::TimeSet:
    case CliCommand::Erase: return RunOnePort(o);
    case CliCommand::None: break;
  }
  return ExitUsage;
}
