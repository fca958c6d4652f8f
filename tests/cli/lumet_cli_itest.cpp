// lumet-cli as a user runs it: the program this build made, against kt52sim
// on ptys found through a made-up sysfs tree. Every command, the exit
// statuses and --json; the loss-proof erase after the download faults;
// --archive and --summary byte for byte; watch seeing a scanner come, go and
// come again.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <functional>
#include <memory>
#include <thread>

#include "common/local_time.h"
#include "kt52sim/kt52_device.h"
#include "support/cli_process.h"
#include "support/cli_wire.h"
#include "support/download_faults.h"
#include "support/hostile_records.h"
#include "support/sim_process.h"
#include "support/sysfs_tree.h"
#include "support/temp_folder.h"
#include "support/workbook_reader.h"

namespace {
TEST_F(CliWire, EveryCommandSaysWhatItDidAndEndsWithItsStatus) {
  const struct {
    const char* name;
    bool scanners;  // KTA (framed, 3 records) on ttyACM0, KTB (plain, 2) on ttyACM1
    std::vector<std::string> arguments;
    int exit;
    std::string out;  // what stdout holds ({out}: the output folder, {today}: YYYYMMDD)
    bool nothingSent;
    std::function<void(CliWire&)> then = {};
    std::function<void(CliWire&)> before = {};  // after the scanners are plugged
    std::string err = {};                        // what stderr holds, among the rest
  } rows[] = {
      {"list", true, {"list"}, 0, "/dev/ttyACM0 usb framed KTA\n/dev/ttyACM1 usb plain KTB\n", false},
      {"list --json", true, {"list", "--json"}, 0,
       "{\"port\":\"/dev/ttyACM0\",\"kind\":\"usb\",\"mode\":\"framed\",\"serial\":\"KTA\"}\n"
       "{\"port\":\"/dev/ttyACM1\",\"kind\":\"usb\",\"mode\":\"plain\",\"serial\":\"KTB\"}\n",
       false},
      {"list on a scanner that answers nothing", false, {"list"}, 0, "/dev/ttyACM0 usb - no answer\n",
       false, {},
       [](CliWire& t) {
         kt52::DeviceOptions silent = Scanner("KTS", 1);
         silent.silentAfter = 0;
         t.Plug("ttyACM0", silent);
       }},
      {"list --no-query", true, {"list", "--no-query"}, 0, "/dev/ttyACM0 usb\n/dev/ttyACM1 usb\n",
       true},
      {"list with no scanner", false, {"list"}, 3, "", true},
      {"download --all with no scanner", false, {"download", "--all"}, 3, "", true},
      {"download --all --json", true, {"download", "--all", "--json", "--out", "{out}"}, 0,
       "{\"port\":\"/dev/ttyACM0\",\"kind\":\"usb\",\"serial\":\"KTA\",\"outcome\":\"Save Data "
       "Succeed!\",\"records\":3,\"file\":\"{out}/KTA_{today}_001.txt\"}\n"
       "{\"port\":\"/dev/ttyACM1\",\"kind\":\"usb\",\"serial\":\"KTB\",\"outcome\":\"Save Data "
       "Succeed!\",\"records\":2,\"file\":\"{out}/KTB_{today}_001.txt\"}\n",
       false,
       [](CliWire& t) {
         EXPECT_EQ(WindowsLines(kt52::Kt52Device(Scanner("KTA", 3)).DownloadText()),
                   t.File("KTA_" + Today() + "_001.txt"));
       }},
      {"download, a scanner failing", true,
       {"download", "--port", "/dev/ttyACM0", "--port", "/dev/ttyACM9", "--out", "{out}"}, 2, "", true},
      {"an output folder not there yet is made", true,
       {"download", "--all", "--out", "{out}/new/deeper"}, 0,
       "/dev/ttyACM0 KTA: Save Data Succeed!, 3 records in {out}/new/deeper/KTA_{today}_001.txt\n"
       "/dev/ttyACM1 KTB: Save Data Succeed!, 2 records in {out}/new/deeper/KTB_{today}_001.txt\n",
       false},
      {"an output folder that takes no file", true,
       {"download", "--all", "--out", "{out}/list.csv/folder"}, 2, "", true},
      {"the same port twice is one scanner", true,
       {"download", "--port", "/dev/ttyACM1", "--port", "/dev/ttyACM1", "--out", "{out}/twice"}, 0,
       "/dev/ttyACM1 KTB: Save Data Succeed!, 2 records in {out}/twice/KTB_{today}_001.txt\n", false},
      {"a tty not listed as a scanner's is used as named", false,
       {"download", "--port", "/dev/ttyUSB7", "--out", "{out}/unlisted"}, 0,
       "/dev/ttyUSB7 KTU: Save Data Succeed!, 2 records in {out}/unlisted/KTU_{today}_001.txt\n",
       false, {},
       [](CliWire& t) {
         t.Plug("ttyUSB7", Scanner("KTU", 2));
         std::filesystem::remove(t.tree.At("sys/class/tty/ttyUSB7"));
       },
       "/dev/ttyUSB7 is not listed as a scanner port"},
      {"a port that is no terminal", true, {"download", "--port", "/dev/ttyS9", "--out", "{out}"}, 2,
       "", true, {}, [](CliWire& t) { t.tree.Write("dev/ttyS9", "a file"); }, "not a serial port"},
      {"a port that names nothing, with no scanner", false, {"info", "--port", "/dev/ttyACM9"}, 3, "",
       true, {}, {}, "no scanner found"},
      {"an unknown option", true, {"download", "--all", "--fast"}, 2, "", true},
      {"a time in the wrong format", true, {"time", "set", "--port", "/dev/ttyACM0", "2019-01-02"},
       2, "", true},
      {"an expected list with a line it cannot read", true,
       {"download", "--all", "--out", "{out}", "--summary", "{out}/count.csv", "--expected",
        "{out}/list.csv"},
       2, "", true,
       [](CliWire& t) { EXPECT_FALSE(std::filesystem::exists(t.Out() + "/count.csv")); }},
      {"erase without --yes", true, {"erase", "--port", "/dev/ttyACM0"}, 2, "", true},
      {"erase --yes", true, {"erase", "--port", "/dev/ttyACM0", "--yes"}, 0,
       "/dev/ttyACM0: Delete Barcodes Succeed!\n", false,
       [](CliWire& t) { EXPECT_EQ("0", t.sims["ttyACM0"]->State("records")); }},
      {"info", true, {"info", "--port", "/dev/ttyACM0"}, 0,
       "/dev/ttyACM0: {Model:KT52}; {SN:KTA}; {Firmware:3.1.7}; {Records:3}\n", false},
      {"a serial number holding line ends and escapes", false, {"list"}, 0,
       "/dev/ttyACM0 usb framed K\\x0d\\x0aT\\x1b[2J\n", false, {},
       [](CliWire& t) { t.Plug("ttyACM0", Scanner("K\r\nT\x1b[2J", 1)); }},
      {"time get", true, {"time", "get", "--port", "/dev/ttyACM1"}, 0, "", false,
       [](CliWire&) {}},
      {"time set", true, {"time", "set", "--port", "/dev/ttyACM0", "2020/02/29,23:59:58"}, 0,
       "/dev/ttyACM0: Set Time Succeed!\n", false,
       [](CliWire& t) {
         EXPECT_EQ(0u, t.sims["ttyACM0"]->State("clock").find("2020/02/29,23:59:5"));
       }},
  };
  {
    std::ofstream list(Out() + "/list.csv", std::ios::binary);
    list << "Barcode,Quantity\nA,1\nB,two\n";
  }
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    sims.clear();
    devices.clear();
    std::filesystem::remove_all(tree.At("sys"));
    std::filesystem::remove_all(tree.At("dev"));
    if (row.scanners) {
      Plug("ttyACM0", Scanner("KTA", 3));
      Plug("ttyACM1", Scanner("KTB", 2, kt52::Transport::Plain));
    }
    if (row.before) row.before(*this);
    std::vector<std::string> arguments;
    for (const std::string& a : row.arguments) arguments.push_back(Filled(a, Out()));
    const CliResult result = Run(arguments);
    EXPECT_EQ(row.exit, result.exit) << result.err;
    if (std::string(row.name) == "time get") {
      EXPECT_EQ(0u, result.out.find("/dev/ttyACM1: 2024/05/17,09:30:")) << result.out;
    } else {
      EXPECT_EQ(Filled(row.out, Out()), result.out);
    }
    if (row.exit >= 2) {
      EXPECT_FALSE(result.err.empty()) << "no word on stderr";
    }
    EXPECT_NE(std::string::npos, result.err.find(row.err)) << result.err;
    if (std::string(row.name) == "an expected list with a line it cannot read") {
      EXPECT_NE(std::string::npos, result.err.find("line 3: the quantity is not a whole number"))
          << result.err;
    }
    EXPECT_EQ(row.nothingSent, NothingSent());
    if (row.then) row.then(*this);
  }
}

// time set changes the date order only when told.
TEST_F(CliWire, TimeSetKeepsTheScannersDateOrderUnlessGivenOne) {
  const struct {
    std::vector<std::string> options;
    const char* format;  // the scanner's afterwards
    const char* clock;
  } rows[] = {
      {{"2020/02/29,23:59:58"}, "US", "2020/02/29,23:59:5"},
      {{"--format", "EU", "28/02/2021,10:00:00"}, "EU", "2021/02/28,10:00:0"},
      {{"--format", "CN"}, "CH", ""},
  };
  for (const auto& row : rows) {
    kt52::DeviceOptions scanner = Scanner("KTA", 1);
    scanner.dateFormat = kt52::DateFormat::US;
    if (sims.count("ttyACM0")) Unplug("ttyACM0");
    Plug("ttyACM0", scanner);
    std::vector<std::string> arguments = {"time", "set", "--port", "/dev/ttyACM0"};
    arguments.insert(arguments.end(), row.options.begin(), row.options.end());
    const CliResult result = Run(arguments);
    EXPECT_EQ(0, result.exit) << result.out << result.err;
    EXPECT_EQ("/dev/ttyACM0: Set Time Succeed!\n", result.out);
    EXPECT_EQ(row.format, sims["ttyACM0"]->State("date-format"));
    EXPECT_EQ(0u, sims["ttyACM0"]->State("clock").find(row.clock));
  }
}

// A stock count from start to end: scanners in each date order into one
// workbook, counted against a list, under a name beyond ASCII.
TEST_F(CliWire, DownloadIntoAWorkbookCountedAgainstAList) {
  const struct {
    const char* tty;
    kt52::DateFormat order;
    std::vector<std::string> barcodes;
  } scanners[] = {
      {"ttyACM0", kt52::DateFormat::CH, {"0004000000", "=1+1"}},
      {"ttyACM1", kt52::DateFormat::US, {"12345678901234567890", "0004000000"}},
      {"ttyACM2", kt52::DateFormat::EU, {"K\xE4se"}},
  };
  for (const auto& s : scanners) {
    kt52::DeviceOptions scanner;
    scanner.serialNumber = std::string("KT-") + s.tty;
    scanner.dateFormat = s.order;
    for (std::size_t k = 0; k < s.barcodes.size(); ++k)
      scanner.records.push_back({{2024, 12, 31, 23, 59, static_cast<int>(k)}, s.barcodes[k]});
    Plug(s.tty, scanner);
  }
  work.Write("list.csv", "Barcode;Qty;Item\r\n0004000000;3;Salt\r\n4006381333931;1;Oil\r\n");
  const std::string book = Out() + "/Z\u00e4hlung.xlsx";
  const CliResult result = Run({"download", "--all", "--no-time", "--out", Out(), "--xlsx", book,
                                "--expected", Out() + "/list.csv"});
  EXPECT_EQ(0, result.exit) << result.out << result.err;
  const std::string sheets = ReadWorkbook(book);
  for (const char* cell : {"s:KT-ttyACM0\td:2024-12-31T23:59:00\ts:0004000000\ts:/dev/ttyACM0\t",
                           "\td:2024-12-31T23:59:01\ts:=1+1\t",
                           "s:KT-ttyACM1\td:2024-12-31T23:59:00\ts:12345678901234567890\t",
                           "s:KT-ttyACM2\td:2024-12-31T23:59:00\ts:K\u00e4se\t",
                           "s:0004000000\ts:Salt\tn:3\tn:2\tn:-1\ts:short\n",
                           "s:=1+1\t-:\tn:0\tn:1\tn:1\ts:not expected\n",
                           "s:4006381333931\ts:Oil\tn:1\tn:0\tn:-1\ts:short\n"})
    EXPECT_NE(std::string::npos, sheets.find(cell)) << cell << "\n" << sheets;
  EXPECT_NE(std::string::npos, sheets.find("sheet Scans frozen=A2 filter=A1:E6 bold=True\n")) << sheets;
}

// --check-clock says how far each clock is off; --set-clock sets it only
// after a complete download.
TEST_F(CliWire, TheClockIsCheckedAndSetOnlyAfterACompleteDownload) {
  const LocalTime pc = SystemLocalTime();
  const std::int64_t now = kt52::ToSeconds({pc.year, pc.month, pc.day, pc.hour, pc.minute, pc.second});
  const kt52::DeviceTime flat{2000, 1, 1, 0, 0, 5};
  const struct {
    const char* what;
    kt52::DeviceTime clock;
    bool breaksOff;  // the download fails
    std::vector<std::string> options;
    std::string said;      // in the scanner's line
    std::string clockNow;  // the start of the scanner's clock afterwards
  } rows[] = {
      {"hours behind", kt52::FromSeconds(now - (3 * 3600 + 12 * 60 + 30)), false, {"--check-clock"},
       "; clock 3 h 12 min behind this PC", ""},
      {"in time", kt52::FromSeconds(now), false, {"--check-clock", "--json"}, "\"clockReset\":false", ""},
      {"reset", flat, false, {"--check-clock"}, "; clock reset (2000/01/01,00:00:0", "2000/01/01"},
      {"set after a failed download", flat, true, {"--set-clock"},
       "; clock not set: the download did not finish", "2000/01/01"},
      {"set after a complete download", flat, false, {"--set-clock"}, "; clock set",
       std::to_string(pc.year) + "/"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    kt52::DeviceOptions scanner = Scanner("KTC", 40);
    scanner.clock = row.clock;
    if (row.breaksOff) scanner.hangUpAfterBytes = 300;
    if (sims.count("ttyACM0")) Unplug("ttyACM0");
    Plug("ttyACM0", scanner);
    std::vector<std::string> arguments = {"download", "--all", "--out", Out()};
    arguments.insert(arguments.end(), row.options.begin(), row.options.end());
    const CliResult result = Run(arguments);
    EXPECT_EQ(row.breaksOff ? 1 : 0, result.exit) << result.out << result.err;
    EXPECT_NE(std::string::npos, result.out.find(row.said)) << result.out;
    EXPECT_EQ(0u, sims["ttyACM0"]->State("clock").find(row.clockNow)) << sims["ttyACM0"]->State("clock");
  }
}

// The loss-proof erase: only a download that completed, whose file was
// flushed, closed and read back holding exactly what was written, erases.
class CliEraseWire : public CliWire, public ::testing::WithParamInterface<DownloadFault> {};

TEST_P(CliEraseWire, ErasesOnlyAfterADownloadItCanVouchFor) {
  const DownloadFault& fault = GetParam();
  SimProcess& sim = Plug("ttyACM0", FaultyScanner(fault));
  const CliResult result =
      Run({"download", "--port", "/dev/ttyACM0", "--erase", "--json", "--out", Out()});
  const bool holdsRecords = FaultyScanner(fault).generatedRecords > 0;
  const bool erased = fault.succeeds && holdsRecords;
  EXPECT_EQ(fault.succeeds ? 0 : 1, result.exit) << result.out << result.err;
  EXPECT_NE(std::string::npos, result.out.find(erased ? "\"erased\":true" : "\"erased\":false"))
      << result.out;
  if (!erased) {
    EXPECT_NE(std::string::npos, result.out.find("\"notErased\":\"")) << "no word why";
  }
  const std::size_t records = kt52::Kt52Device(FaultyScanner(fault)).Records().size();
  EXPECT_EQ(std::to_string(erased ? 0 : records), sim.State("records"));
}

std::vector<DownloadFault> EraseFaults() {
  std::vector<DownloadFault> rows;
  for (const DownloadFault& fault : DownloadFaults())
    if (!fault.endless && fault.name.find("late") == std::string::npos &&
        fault.name.find("stray") == std::string::npos && fault.name.find("third") == std::string::npos &&
        (fault.transport == kt52::Transport::Framed || fault.name.find("healthy") != std::string::npos ||
         fault.name.find("50 bytes") != std::string::npos))
      rows.push_back(fault);
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Faults, CliEraseWire, ::testing::ValuesIn(EraseFaults()),
                         [](const auto& info) { return FaultTestName(info.param); });

// One program a port: a second one started while the first downloads sends
// nothing and says so; the first is exact, and the scanner heard only it.
TEST_F(CliWire, ASecondProgramOnAPortInUseSendsNothing) {
  const kt52::DeviceOptions scanner = Scanner("KTL", 1000);
  SimProcess& alone = Plug("ttyACM1", scanner, {"--baud", "115200"});
  ASSERT_EQ(0, Run({"download", "--port", "/dev/ttyACM1", "--erase", "--out", Out(), "--name", "alone"})
                   .exit);
  Unplug("ttyACM1");  // what it heard is kept to compare with
  SimProcess& held = Plug("ttyACM0", scanner, {"--baud", "115200"});
  CliResult second, list;
  const CliResult first = RunWhileDownloading(
      "ttyACM0", {"download", "--port", "/dev/ttyACM0", "--erase", "--out", Out(), "--name", "held"},
      [&] {
        second = Run({"download", "--port", "/dev/ttyACM0", "--erase", "--out", Out()});
        list = Run({"list"});
      });
  EXPECT_EQ(1, second.exit);
  EXPECT_EQ("/dev/ttyACM0: Port In Use; not erased: another program has the port open\n", second.out);
  EXPECT_EQ(1, list.exit);
  EXPECT_EQ("/dev/ttyACM0 usb - Port In Use\n", list.out);
  EXPECT_EQ(0, first.exit) << first.out;
  EXPECT_NE(std::string::npos, first.out.find("Save Data Succeed!, 1000 records in")) << first.out;
  EXPECT_EQ(WindowsLines(kt52::Kt52Device(scanner).DownloadText()), File("held.txt"));
  // The simulator logs each read as it takes it, after the program may have ended.
  const std::vector<std::uint8_t> a = alone.ReceivedBytes();
  std::vector<std::uint8_t> h = held.ReceivedBytes();
  for (int waited = 0; h.size() < a.size() && waited < 5000; waited += 50) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    h = held.ReceivedBytes();
  }
  const auto differ = std::mismatch(a.begin(), a.end(), h.begin(), h.end());
  EXPECT_TRUE(differ.first == a.end() && differ.second == h.end())
      << "the scanner heard more than one program: from byte " << (differ.first - a.begin())
      << " on, alone " << ::testing::PrintToString(std::string(differ.first, std::min(differ.first + 24, a.end())))
      << ", held " << ::testing::PrintToString(std::string(differ.second, std::min(differ.second + 24, h.end())))
      << " sizes " << a.size() << " " << h.size();
}

// A file that is gone is not saved, whatever its writes said.
TEST_F(CliWire, AnOutputFolderRemovedMidDownloadIsAFailedWrite) {
  Plug("ttyACM0", Scanner("KTR", 1000), {"--baud", "115200"});
  work.MakeFolder("rm2");
  work.MakeFolder("rm2/out");
  const CliResult result = RunWhileDownloading(
      "ttyACM0", {"download", "--port", "/dev/ttyACM0", "--erase", "--out", Out() + "/rm2/out"},
      [&] { std::filesystem::remove_all(work.Path() / "rm2"); });
  EXPECT_EQ(1, result.exit);
  EXPECT_EQ(0u, result.out.find("/dev/ttyACM0 KTR: Write File Failed!, 0 records in ")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("; not erased: ")) << result.out;
  EXPECT_EQ("1000", sims["ttyACM0"]->State("records"));
}

// The data of a download as received, and a stock count of two scanners.
TEST_F(CliWire, ArchiveAndSummaryHoldWhatTheScannersSent) {
  kt52::DeviceOptions a = Scanner("KTA", 0);
  a.records = {{{2024, 5, 17, 9, 0, 0}, "4006381333931"},
               {{2024, 5, 17, 9, 1, 0}, "PN,\"7\""},
               {{2024, 5, 17, 9, 2, 0}, "4006381333931"}};
  kt52::DeviceOptions b = Scanner("KTB", 0);
  b.dateFormat = kt52::DateFormat::US;
  b.records = {{{2023, 12, 31, 23, 59, 0}, "4006381333931"}};
  Plug("ttyACM0", a);
  Plug("ttyACM1", b);
  work.MakeFolder("archive");
  const CliResult result = Run({"download", "--all", "--out", Out(), "--archive", Out() + "/archive",
                                "--summary", Out() + "/summary.csv"});
  ASSERT_EQ(0, result.exit) << result.out << result.err;
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(work.Path() / "archive"))
    kept.push_back(entry.path().filename().string());
  std::sort(kept.begin(), kept.end());
  ASSERT_EQ(2u, kept.size());
  EXPECT_EQ(0u, kept[0].find("KTA_" + Today() + "_"));
  EXPECT_EQ(kt52::Kt52Device(a).DownloadText(), File("archive/" + kept[0]));
  EXPECT_EQ(kt52::Kt52Device(b).DownloadText(), File("archive/" + kept[1]));
  EXPECT_EQ("Barcode,Count,First Scan,Last Scan\r\n"
            "4006381333931,3,\"12/31/2023,23:59:00\",\"2024/05/17,09:02:00\"\r\n"
            "\"PN,\"\"7\"\"\",1,\"2024/05/17,09:01:00\",\"2024/05/17,09:01:00\"\r\n",
            File("summary.csv"));
}

// watch downloads a scanner each time it appears, and only then.
TEST_F(CliWire, WatchDownloadsAScannerEachTimeItComes) {
  CliProcess watch(tree.Root(), {"watch", "--out", Out()});
  Plug("ttyACM0", Scanner("KTW", 4));
  EXPECT_NE("", watch.WaitForLine("/dev/ttyACM0 came"));
  EXPECT_NE("", watch.WaitForLine("KTW: Save Data Succeed!, 4 records in"));
  Unplug("ttyACM0");
  EXPECT_NE("", watch.WaitForLine("/dev/ttyACM0 went"));
  PlugAgain("ttyACM0");
  EXPECT_NE("", watch.WaitForLine("/dev/ttyACM0 came"));
  const std::string again = watch.WaitForLine("KTW: Save Data Succeed!");
  EXPECT_NE(std::string::npos, again.find("_002.txt")) << again;
  EXPECT_EQ(0, watch.Stop());
  int downloads = 0;
  for (const std::string& line : watch.Lines()) {
    downloads += line.find("Save Data Succeed!") != std::string::npos;
    EXPECT_EQ('Z', line.at(19)) << "no ISO 8601 time: " << line;
  }
  EXPECT_EQ(2, downloads);
}
// A scanner put in its cradle while another downloads starts at once, on its
// own: it is done long before the slow one.
TEST_F(CliWire, WatchStartsAScannerThatComesWhileAnotherDownloads) {
  CliProcess watch(tree.Root(), {"watch", "--out", Out()});
  Plug("ttyACM0", Scanner("KTS", 1500), {"--baud", "115200"});
  ASSERT_TRUE(WaitForDownloadCommand("ttyACM0"));
  const auto plugged = std::chrono::steady_clock::now();
  Plug("ttyACM1", Scanner("KTF", 4));
  ASSERT_TRUE(WaitForDownloadCommand("ttyACM1", 3000));
  const auto startedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - plugged).count();
  RecordProperty("ArrivalToDownloadMs", static_cast<int>(startedMs));
  EXPECT_LT(startedMs, 2000);
  EXPECT_NE("", watch.WaitForLine("KTF: Save Data Succeed!, 4 records in"));
  for (const std::string& line : watch.Lines())
    EXPECT_EQ(std::string::npos, line.find("KTS: ")) << "the slow scanner ended first: " << line;
  EXPECT_NE("", watch.WaitForLine("KTS: Save Data Succeed!, 1500 records in", 60000));
  EXPECT_EQ(0, watch.Stop());
}

// A scanner that never stops sending holds nothing up: a good one plugged in
// meanwhile is served within 2 s, and Ctrl-C ends everything within a second,
// the endless download stopped and not erased.
TEST_F(CliWire, WatchBesideAnEndlessScannerServesOthersAndStopsAtCtrlC) {
  CliProcess watch(tree.Root(), {"watch", "--out", Out(), "--erase"});
  kt52::DeviceOptions endless = Scanner("KTE", 10);
  endless.endless = true;
  Plug("ttyACM0", endless, {"--baud", "115200"});
  ASSERT_TRUE(WaitForDownloadCommand("ttyACM0"));
  Plug("ttyACM1", Scanner("KTG", 4));
  EXPECT_NE("", watch.WaitForLine("KTG: Save Data Succeed!, 4 records in", 2000));
  const auto interrupted = std::chrono::steady_clock::now();
  EXPECT_EQ(1, watch.Stop(1000, SIGINT));
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::milliseconds(1100));
  const std::string stopped = watch.WaitForLine("KTE: ", 1000);
  EXPECT_NE(std::string::npos, stopped.find("KTE: Stopped")) << stopped;
  EXPECT_NE(std::string::npos, stopped.find("not erased")) << stopped;
  const std::string erase = "$$%^1200";
  const std::vector<std::uint8_t> got = sims["ttyACM0"]->ReceivedBytes();
  EXPECT_EQ(got.end(), std::search(got.begin(), got.end(), erase.begin(), erase.end()));
  EXPECT_EQ("0", sims["ttyACM1"]->State("records"));
}

// Another scanner on the same tty name is a new arrival, even unseen between two looks.
TEST_F(CliWire, WatchDownloadsAScannerSwappedOnTheSameTty) {
  CliProcess watch(tree.Root(), {"watch", "--out", Out()});
  Plug("ttyACM0", Scanner("KTA", 3));
  EXPECT_NE("", watch.WaitForLine("KTA: Save Data Succeed!, 3 records in"));
  const std::unique_ptr<SimProcess> first = std::move(sims["ttyACM0"]);
  sims["ttyACM0"] = std::make_unique<SimProcess>(Scanner("KTB", 2));
  ASSERT_TRUE(sims["ttyACM0"]->Started());
  // The device node changes in one step: the tty is never seen without one.
  tree.Link("dev/ttyACM0.new", sims["ttyACM0"]->PtyPath());
  std::filesystem::rename(tree.At("dev/ttyACM0.new"), tree.At("dev/ttyACM0"));
  EXPECT_NE("", watch.WaitForLine("KTB: Save Data Succeed!, 2 records in"));
  EXPECT_EQ(0, watch.Stop());
}
}  // namespace
