// lumet_bench: how fast a download, its formatting and its store are, each set
// against its floor. A plain harness, run by scripts/bench.sh; every figure of
// one run goes to stdout.
//
// Download: kt52sim on a pty, the host side the program's own download
// (a session on a SerialPort, WakeDevice, RunDownload), against the same bytes copied raw
// through a pty plus the protocol's fixed costs: one empty 500 ms window at
// the end, one acknowledgement round trip per frame, the end check (framed: a
// wake-up round trip; plain: one command's two 1000 ms pauses), and in plain
// mode the two 1000 ms pauses of the download command and the two windows the
// last piece waits out (plain data state no length).
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_scanners.h"
#include "common/output_file.h"
#include "collect/record_format.h"
#include "export/export_store.h"
#include "export/scan_database.h"
#include "kt52sim/kt52_device.h"
#include "protocol/catalogue.h"
#include "protocol/download.h"
#include "protocol/exchange.h"
#include "support/memory_controls.h"
#include "support/pg_cluster.h"
#include "support/sim_process.h"
#include "support/temp_folder.h"
#include "transport/serial_port.h"
#include "ui/control_ids.h"
#include "ui/data_controls.h"
#include "ui/window_front_end.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr double EndWindowSeconds = 0.5;
constexpr double PlainPausesSeconds = 2.0;
constexpr double LineBytesPerSecond = 11520.0;  // 115200 baud, 8N1
constexpr int UnpacedRuns = 3;                  // each unpaced download: the best of these

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A raw pty pair: the master and the slave, both raw and the slave non-blocking.
struct PtyPair {
  int master = -1;
  int slave = -1;
  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    termios t{};
    for (int fd : {master, slave}) {
      if (fd < 0 || tcgetattr(fd, &t) != 0) continue;
      cfmakeraw(&t);
      tcsetattr(fd, TCSANOW, &t);
    }
  }
  ~PtyPair() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
  }
};

void WriteAll(int fd, const char* bytes, std::size_t length) {
  while (length) {
    ssize_t n = write(fd, bytes, length);
    if (n <= 0) return;
    bytes += n;
    length -= static_cast<std::size_t>(n);
  }
}

std::size_t ReadExactly(int fd, char* buffer, std::size_t length) {
  std::size_t got = 0;
  while (got < length) {
    ssize_t n = read(fd, buffer + got, length - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

// Runs work in a process of its own, as kt52sim is: a turn between two
// processes costs more than one between two threads.
template <typename Work>
pid_t InChild(Work work) {
  const pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  return child;
}

// The floor: the bytes copied through a pty as fast as a capture program
// could, the fastest of as many runs as the downloads get.
double RawCopySeconds(std::size_t bytes) {
  double best = 0;
  for (int run = 0; run < UnpacedRuns; ++run) {
    PtyPair pty;
    std::vector<char> data(bytes, 'x'), in(bytes);
    auto start = Clock::now();
    const pid_t writer = InChild([&] { WriteAll(pty.master, data.data(), data.size()); });
    ReadExactly(pty.slave, in.data(), in.size());
    const double seconds = SecondsSince(start);
    waitpid(writer, nullptr, 0);
    if (run == 0 || seconds < best) best = seconds;
  }
  return best;
}

// One host acknowledgement out and a frame's head back, through a pty, from
// another process.
double RoundTripSeconds() {
  PtyPair pty;
  constexpr int Trips = 300;
  const pid_t echo = InChild([&] {
    char b[6];
    for (int i = 0; i < Trips; ++i) {
      if (ReadExactly(pty.master, b, 6) != 6) return;
      WriteAll(pty.master, b, 6);
    }
  });
  const char ack[6] = {2, 1, 6, 0, 0x3B, 3};
  char back[6];
  std::vector<double> trips;
  for (int i = 0; i < Trips; ++i) {
    auto start = Clock::now();
    WriteAll(pty.slave, ack, 6);
    ReadExactly(pty.slave, back, 6);
    trips.push_back(SecondsSince(start));
  }
  waitpid(echo, nullptr, 0);
  // The median: the machine is shared, and a few trips wait for a core.
  std::nth_element(trips.begin(), trips.begin() + Trips / 2, trips.end());
  return trips[Trips / 2];
}

// Plain mode's fixed costs: the pause before the download command, of the
// pause after it whatever the transfer does not overlap (the scanner sends
// while the host still pauses), three windows at the end, since plain data
// state no length: the last piece's read waits out its window for a full
// read, then one silent window tells it the piece is over, then the end
// window; and the end check's two pauses.
double PlainFixedSeconds(double floorSeconds) {
  const double pause = PlainPausesSeconds / 2;
  return pause + (floorSeconds < pause ? pause - floorSeconds : 0) + 3 * EndWindowSeconds +
         PlainPausesSeconds;
}

struct DownloadRun {
  double seconds = 0;
  std::size_t bytes = 0;   // payload received
  std::size_t frames = 0;  // reads that brought data
  bool whole = false;      // byte for byte what the scanner holds
};

DownloadRun Download(const kt52::DeviceOptions& options, const std::vector<std::string>& extra) {
  DownloadRun run;
  ComFolder com;
  SimProcess sim(options, extra);
  SerialPort port;
  ScannerSession session{&port};
  if (!sim.Started() || !sim.LinkAsCom(com.Path(), 3) || !port.Open(3, 115200, 8, 0, 0, 0))
    return run;
  WakeDevice(session);
  const kt52::Kt52Device device(options);
  const std::string expected = device.DownloadText();
  std::string received;
  received.reserve(expected.size());
  const PlainSeparator plain{options.separator, "Separator:" + options.separator};
  auto start = Clock::now();
  const DownloadResult result = RunDownload(session, plain, [&](const char* bytes, std::size_t count) {
    received.append(bytes, count);
    ++run.frames;
  });
  run.seconds = SecondsSince(start);
  port.Close();
  run.bytes = received.size();
  run.whole = result.end == DownloadEnd::Complete && received == expected;
  return run;
}

// The fastest of a few runs, each of which must bring every byte: the machine
// is shared, and a run that waits for a core says nothing of the program.
DownloadRun BestDownload(const kt52::DeviceOptions& options, int runs) {
  DownloadRun best;
  for (int i = 0; i < runs; ++i) {
    DownloadRun run = Download(options, {});
    if (!run.whole) return run;
    if (i == 0 || run.seconds < best.seconds) best = run;
  }
  return best;
}

void PrintDownload(const char* label, std::size_t records, std::size_t frame,
                   const DownloadRun& run, double floorSeconds, double fixedSeconds) {
  const double bound = floorSeconds + fixedSeconds;
  std::printf("%-7s %8zu %7zu %10zu %6zu %8.3f %12.0f %8.3f %8.3f %6.2f%s\n", label, records,
              frame, run.bytes, run.frames, run.seconds,
              run.seconds > 0 ? run.bytes / run.seconds : 0.0, floorSeconds, fixedSeconds,
              bound > 0 ? run.seconds / bound : 0.0, run.whole ? "" : "  INCOMPLETE");
  std::fflush(stdout);
}

void PlainDownloads(std::size_t records, kt52::PlainShape shape, const char* label) {
  kt52::DeviceOptions o;
  o.generatedRecords = records;
  o.transport = kt52::Transport::Plain;
  o.plainShape = shape;
  DownloadRun run = BestDownload(o, UnpacedRuns);
  const double floor = RawCopySeconds(run.bytes);
  PrintDownload(label, records, 10250, run, floor, PlainFixedSeconds(floor));
}

// mostRecords leaves out the larger downloads (a host that waits out a window
// per frame would take hours over 100,000 records in small frames).
void DownloadTable(double roundTrip, std::size_t mostRecords) {
  std::printf("\n== Download from kt52sim on a pty (host: the program's exchange; best of %d)"
              " ==\n", UnpacedRuns);
  std::printf("pty round trip (ack out, answer back; median): %.1f us; fixed costs = 0.5 s end window"
              " + one round trip per frame + the end check's wake-up round trip; plain: 1 s pause, the"
              " 1 s pause after the command as far as the transfer does not overlap it, the last piece's"
              " window, the silent window that ends it, the end window, the end check's two 1 s pauses\n",
              roundTrip * 1e6);
  std::printf("%-7s %8s %7s %10s %6s %8s %12s %8s %8s %6s\n", "mode", "records", "frame",
              "bytes", "reads", "seconds", "bytes/s", "floor_s", "fixed_s", "ratio");
  for (std::size_t records : {1000u, 10000u, 100000u}) {
    if (records > mostRecords) continue;
    for (std::size_t frame : {256u, 1024u, 10240u}) {
      kt52::DeviceOptions o;
      o.generatedRecords = records;
      o.frameSize = frame;
      DownloadRun run = BestDownload(o, UnpacedRuns);
      const std::size_t wire = run.bytes + run.frames * 11;
      PrintDownload("framed", records, frame, run, RawCopySeconds(wire),
                    EndWindowSeconds + (run.frames + 1) * roundTrip);
    }
    PlainDownloads(records, kt52::PlainShape::Pieces, "plain");
  }
  // Both shapes of plain data, of a size between those above.
  for (kt52::PlainShape shape : {kt52::PlainShape::Pieces, kt52::PlainShape::OneRun})
    PlainDownloads(30000, shape, shape == kt52::PlainShape::Pieces ? "pieces" : "one-run");

  std::printf("\n== The same, kt52sim pacing its output at 115200 baud 8N1 (11,520 bytes/s) ==\n");
  std::printf("floor = bytes on the wire / 11,520; sizes kept to 1,000 records per frame size"
              " and 10,000 with 10,240-byte frames, so the run stays within about a minute\n");
  std::printf("%-7s %8s %7s %10s %6s %8s %12s %8s %8s %6s\n", "mode", "records", "frame",
              "bytes", "reads", "seconds", "bytes/s", "floor_s", "fixed_s", "ratio");
  const std::vector<std::string> paced = {"--baud", "115200"};
  const std::pair<std::size_t, std::size_t> pacedRuns[] = {
      {1000, 256}, {1000, 1024}, {1000, 10240}, {10000, 10240}};
  for (auto [records, frame] : pacedRuns) {
    if (records > mostRecords) continue;
    kt52::DeviceOptions o;
    o.generatedRecords = records;
    o.frameSize = frame;
    DownloadRun run = Download(o, paced);
    const std::size_t wire = run.bytes + run.frames * 11;
    PrintDownload("framed", records, frame, run, wire / LineBytesPerSecond,
                  EndWindowSeconds + (run.frames + 1) * roundTrip);
  }
  kt52::DeviceOptions o;
  o.generatedRecords = 1000;
  o.transport = kt52::Transport::Plain;
  DownloadRun run = Download(o, paced);
  PrintDownload("plain", 1000, 10250, run, run.bytes / LineBytesPerSecond,
                PlainFixedSeconds(run.bytes / LineBytesPerSecond));
}

// The download text of records with both fields on, in chunks of one frame.
std::vector<std::string> Chunks(std::size_t records, std::size_t barcodeLength) {
  kt52::DeviceOptions o;
  for (std::size_t i = 0; i < records; ++i) {
    std::string code = std::to_string(6900000000000ull + i);
    if (barcodeLength > code.size()) code += std::string(barcodeLength - code.size(), 'B');
    o.records.push_back({{2024, 5, 16, 9, 30, 0}, code.substr(0, barcodeLength)});
  }
  const std::string text = kt52::Kt52Device(o).DownloadText();
  std::vector<std::string> chunks;
  for (std::size_t at = 0; at < text.size(); at += 10240) chunks.push_back(text.substr(at, 10240));
  return chunks;
}

// Both fields on, separator ",", Windows line ends.
const RecordLayout BothFields{true, true, ",", false, {}, false, false};

void FormattingTable() {
  std::printf("\n== Formatting: cut, format, store (both fields on, separator \",\", Windows;"
              " best of 3) ==\n");
  std::printf("%-10s %5s %8s %10s %8s %10s %10s\n", "barcode", "file", "records", "bytes",
              "seconds", "MB/s", "ns/record");
  TempFolder folder;
  const std::pair<const char*, std::size_t> kinds[] = {{"EAN-13", 13}, {"200 chars", 200}};
  for (auto [name, length] : kinds) {
    const std::size_t records = length == 13 ? 200000 : 50000;
    const std::vector<std::string> chunks = Chunks(records, length);
    std::size_t bytes = 0;
    for (const std::string& c : chunks) bytes += c.size();
    for (bool toFile : {false, true}) {
      double seconds = 1e9;  // the best of three runs: the machine is shared
      std::size_t taken = 0;
      for (int run = 0; run < 3; ++run) {
        OutputFile file;
        if (toFile) file.OpenForAppend((folder.Path() / (std::string(name, 3) + ".txt")).wstring());
        RecordCarry carry;
        auto start = Clock::now();
        for (const std::string& c : chunks)
          FormatChunk(BothFields, c.c_str(), toFile, &file, carry);
        seconds = std::min(seconds, SecondsSince(start));
        taken = carry.records.size();
        file.Close();
      }
      std::printf("%-10s %5s %8zu %10zu %8.3f %10.1f %10.0f\n", name, toFile ? "on" : "off",
                  taken, bytes, seconds, bytes / seconds / 1e6,
                  seconds * 1e9 / static_cast<double>(taken));
    }
  }
}

long StatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, std::strlen(key), key) == 0) return std::atol(line.c_str() + std::strlen(key));
  return -1;
}

// In a child of its own, so the peak belongs to the store alone.
void MemoryFigures() {
  std::printf("\n== Memory: 100,000 EAN-13 records in the store ==\n");
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    const std::vector<std::string> chunks = Chunks(100000, 13);
    std::size_t bytes = 0;
    for (const std::string& c : chunks) bytes += c.size();
    // The peak so far belongs to making the chunks: start it anew.
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKb("VmRSS:");
    RecordCarry carry;
    for (const std::string& c : chunks) FormatChunk(BothFields, c.c_str(), false, nullptr, carry);
    const long peak = StatusKb("VmHWM:"), after = StatusKb("VmRSS:");
    std::printf("downloaded bytes %zu; RSS before %ld kB, after %ld kB, peak %ld kB; store"
                " growth %.2f x the downloaded bytes (peak over the start: %.2f x)\n",
                bytes, before, after, peak, (after - before) * 1024.0 / bytes,
                (peak - before) * 1024.0 / bytes);
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
}
#ifdef LUMET_EXCEL_SHIM
// The bench's own odbcinst.ini: the machine's drivers and the Excel driver's
// stand-in. Made before the first ODBC call, as the driver manager reads the
// file only once.
std::filesystem::path OdbcFolder() {
  namespace fs = std::filesystem;
  static const fs::path folder = [] {
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path folder = base / ("lumet-bench-odbc-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const char excel[] = "Microsoft Excel Driver (*.xls, *.xlsx, *.xlsm, *.xlsb)";
    // The machine's drivers too: the driver manager reads this file once, and
    // the scan database's figures follow with the SQLite and PostgreSQL ones.
    std::ifstream machine("/etc/odbcinst.ini");
    const std::string drivers((std::istreambuf_iterator<char>(machine)), std::istreambuf_iterator<char>());
    std::ofstream(folder / "odbcinst.ini")
        << (drivers.find("[SQLite3]") == std::string::npos
                ? "[SQLite3]\nDriver = " + std::string(LUMET_SQLITE_ODBC) + "\n\n"
                : drivers + "\n")
        << "[" << excel << "]\nDriver = " << LUMET_EXCEL_SHIM << "\n";
    ::setenv("ODBCSYSINI", folder.c_str(), 1);
    return folder;
  }();
  return folder;
}

// Export: 10,000 records into the Excel driver's stand-in (unixODBC, the SQLite
// ODBC driver behind tests/support/excel_driver_shim.c), one INSERT a record.
void ExportFigures() {
  std::printf("\n== Export: 10,000 records into the ODBC stand-in driver ==\n");
  namespace fs = std::filesystem;
  const fs::path folder = OdbcFolder();
  const fs::path base = folder.parent_path();
  std::setlocale(LC_CTYPE, "C.UTF-8");
  MemoryControls dialog;
  ExportODBC store;
  FillColumnSlots(dialog);
  dialog.SetSaveFileResult((folder / "bench.xls").wstring());
  constexpr int Rows = 10000;
  for (int k = 0; k < Rows; ++k)
    store.AppendRecord(L"KT5200001", L"2024/05/16,09:30:00", std::to_wstring(6900000000000ll + k));
  auto start = Clock::now();
  WindowFrontEnd window(dialog);
  const int result = store.Export(window, window.TickedColumns());
  const double seconds = SecondsSince(start);
  const bool success = result == 1 && dialog.Messages().size() == 1;
  std::printf("%d rows in %.3f s: %.0f rows/s%s (workbook on %s)\n", Rows, seconds, Rows / seconds,
              success ? "" : "  FAILED", base.c_str());
}
#endif

// The scan database: 100,000 records of one download into an empty table, one
// transaction, bound parameters one row a call against arrays of them.
void ScanDatabaseFigures(std::size_t rowCount) {
  std::printf("\n== Scan database: %zu records of one download, one transaction ==\n", rowCount);
  std::vector<ScanRow> rows;
  for (std::size_t i = 0; i < rowCount; ++i) {
    const std::wstring n = std::to_wstring(i);
    const std::wstring date = L"2024/05/" + std::to_wstring(1 + i / 86400 % 28);
    const std::wstring time = L"09:" + std::to_wstring(i / 60 % 60) + L":" + std::to_wstring(i % 60);
    rows.push_back({L"KT5200001", date, time,
                    L"400638" + std::wstring(7 - std::min<std::size_t>(7, n.size()), L'0') + n,
                    date + L"," + time});
  }
  const DownloadOrigin origin{L"2026-12-09T10:15:02Z", L"BENCH", L"/dev/ttyACM0"};
  TempFolder folder;
  for (const char* engine : {"SQLite", "PostgreSQL"}) {
    for (OdbcConnection::Binding binding : {OdbcConnection::Binding::RowByRow, OdbcConnection::Binding::Arrays}) {
      const char* how = binding == OdbcConnection::Binding::Arrays ? "arrays of 512" : "one row a call";
      const std::string given = TestDatabase(engine, folder.Path().string());
      ScanDatabase db;
      std::wstring wide(given.begin(), given.end());
      if (given.empty() || !db.Open(wide).Ok() || !db.CreateTable().Ok()) {
        std::printf("%-10s %-15s not measured: no database (%s)\n", engine, how, TestCluster().Why().c_str());
        continue;
      }
      std::uint64_t added = 0;
      const auto start = Clock::now();
      const DbResult stored = db.Store(rows, origin, added, binding);
      const double seconds = SecondsSince(start);
      std::printf("%-10s %-15s %llu rows in %.2f s: %.0f rows/s%s\n", engine, how,
                  static_cast<unsigned long long>(added), seconds, added / seconds,
                  stored.Ok() && added == rows.size() ? "" : "  FAILED");
      const auto again = Clock::now();
      const DbResult repeated = db.Store(rows, origin, added, binding);
      std::printf("%-10s %-15s the same records again: %llu new, %.2f s%s\n", engine, how,
                  static_cast<unsigned long long>(added), SecondsSince(again),
                  repeated.Ok() && added == 0 ? "" : "  FAILED");
    }
  }
}
}  // namespace

int main(int argc, char** argv) {
  std::size_t mostRecords = 100000;
  std::size_t scannerRecords = 1000;  // a few seconds for one scanner at 115200 baud
  bool downloads = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-download") downloads = false;
    if (a == "--most-records" && i + 1 < argc) mostRecords = std::strtoul(argv[++i], nullptr, 10);
    if (a == "--scanner-records" && i + 1 < argc) scannerRecords = std::strtoul(argv[++i], nullptr, 10);
  }
#ifdef LUMET_EXCEL_SHIM
  const std::filesystem::path odbc = OdbcFolder();
#endif
  std::printf("lumet_bench: %u hardware threads; downloads of at most %zu records\n",
              std::thread::hardware_concurrency(), mostRecords);
  MemoryFigures();
  FormattingTable();
  if (downloads) DownloadTable(RoundTripSeconds(), mostRecords);
  if (downloads) CliScannersFigures(scannerRecords);
#ifdef LUMET_EXCEL_SHIM
  ExportFigures();
#else
  std::printf("\n== Export into the ODBC stand-in driver ==\nnot measured: this build has no"
              " stand-in driver\n");
#endif
  ScanDatabaseFigures(100000);
#ifdef LUMET_EXCEL_SHIM
  std::error_code ignored;
  std::filesystem::remove_all(odbc, ignored);
#endif
  return 0;
}
