// lumet-cli --db and report as a user runs them: kt52sim scanners on ptys,
// the program this build made, and a real database of each engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kt52sim/kt52_device.h"
#include "support/cli_wire.h"
#include "support/hostile_records.h"
#include "support/pg_cluster.h"
#include "cli/cli_platform.h"
#include "export/scan_database.h"

namespace {
class CliDatabase : public CliWire, public ::testing::WithParamInterface<const char*> {
 public:
  void SetUp() override {
    db = TestDatabase(GetParam(), Out());
    ASSERT_FALSE(db.empty()) << TestCluster().Why();
  }
  // The report's lines, or its error output when it failed.
  std::string Report(const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments = {"report", "--db", db};
    arguments.insert(arguments.end(), more.begin(), more.end());
    const CliResult result = Run(arguments);
    return result.exit == 0 ? result.out : "exit " + std::to_string(result.exit) + ": " + result.err;
  }
  static std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(text.substr(at, end - at));
    return lines;
  }
  static std::size_t Lines(const std::string& text) { return LinesOf(text).size(); }
  static std::size_t LinesHolding(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (const std::string& line : LinesOf(text)) count += line.find(part) != std::string::npos;
    return count;
  }

  std::string db;
};

TEST_P(CliDatabase, ADownloadLandsOnceAndTheSameMemoryAgainAddsNothing) {
  Plug("ttyACM0", Scanner("KTA", 3));
  const std::vector<std::string> download = {"download", "--port", "/dev/ttyACM0", "--out", Out(),
                                             "--db", db, "--pc", "PC-1"};
  CliResult first = Run(download);
  EXPECT_EQ(0, first.exit) << first.err;
  EXPECT_NE(std::string::npos, first.out.find("3 records in")) << first.out;
  EXPECT_NE(std::string::npos, first.out.find(", 3 new in the database")) << first.out;

  std::vector<std::string> again = download;
  again.push_back("--erase");
  CliResult second = Run(again);
  EXPECT_EQ(0, second.exit) << second.err;
  EXPECT_NE(std::string::npos, second.out.find(", 0 new in the database; erased")) << second.out;
  EXPECT_EQ("0", sims["ttyACM0"]->State("records"));

  const std::string report = Report();
  ASSERT_EQ(4u, Lines(report)) << report;
  EXPECT_EQ(0u, report.find("serial_number,scan_date,scan_time,barcode,occurrence,downloaded_utc,"
                            "pc_name,port,scanned_at\n"));
  // Each record as the scanner sent it, from this PC and port.
  const kt52::Kt52Device device(Scanner("KTA", 3));
  const std::string text = device.DownloadText();
  const std::string firstRecord = text.substr(0, text.find('\r'));  // KTA,date,time,barcode
  const std::string line = LinesOf(report)[1];
  EXPECT_EQ(0u, line.find(firstRecord + ",1,")) << line << " / " << firstRecord;
  EXPECT_NE(std::string::npos, line.find(",PC-1,/dev/ttyACM0")) << line;
  EXPECT_EQ(4u, Lines(Report({"--counts"})));
  EXPECT_EQ(1u, Lines(Report({"--since", "2999-01-01"})));
}

// Four scanners at once, each its own transaction and its own line; one
// hangs up midway and one refuses the download: neither is stored or erased,
// and the summary counts every record taken once.
TEST_P(CliDatabase, FourScannersAtOnceEachStoredOrFailedOnItsOwn) {
  kt52::DeviceOptions hangs = Scanner("KTH", 400);
  hangs.hangUpAfterBytes = 3000;
  kt52::DeviceOptions refuses = Scanner("KTR", 5);
  refuses.refused = {"0206"};
  Plug("ttyACM0", Scanner("KTA", 3));
  Plug("ttyACM1", hangs);
  Plug("ttyACM2", Scanner("KTB", 2, kt52::Transport::Plain));
  Plug("ttyACM3", refuses);
  const CliResult result = Run({"download", "--all", "--out", Out(), "--db", db, "--erase",
                                "--summary", Out() + "/summary.csv"});
  EXPECT_EQ(1, result.exit) << result.out << result.err;
  ASSERT_EQ(4u, Lines(result.out)) << result.out;
  std::size_t hangsKept = 0;
  for (const std::string& line : LinesOf(result.out)) {
    const bool good = line.find(" KTA: ") != std::string::npos || line.find(" KTB: ") != std::string::npos;
    EXPECT_EQ(good, line.find("Save Data Succeed!") != std::string::npos) << line;
    EXPECT_EQ(good, line.find("; erased") != std::string::npos) << line;
    if (line.find(" KTH: Get Data Failed!, ") != std::string::npos)
      hangsKept = std::stoul(line.substr(line.find("Failed!, ") + 9));
  }
  EXPECT_EQ("0", sims["ttyACM0"]->State("records"));
  EXPECT_EQ("400", sims["ttyACM1"]->State("records"));
  EXPECT_EQ("0", sims["ttyACM2"]->State("records"));
  EXPECT_EQ("5", sims["ttyACM3"]->State("records"));
  const std::string report = Report();
  EXPECT_EQ(1u + 3 + 2, Lines(report)) << report;
  EXPECT_EQ(3u, LinesHolding(report, "KTA,"));
  std::size_t counted = 0;
  std::ifstream summary(Out() + "/summary.csv");
  std::string row;
  std::getline(summary, row);  // the header
  // Barcode,Count,"First","Last": the count follows the barcode (quoted when it must be).
  while (std::getline(summary, row)) {
    const std::size_t comma = row.rfind(",\"", row.rfind(",\"") - 1);
    counted += std::stoul(row.substr(row.rfind(',', comma - 1) + 1));
  }
  EXPECT_EQ(3 + 2 + hangsKept, counted);
}

TEST_P(CliDatabase, TwoPcsWritingAtOnceLoseAndDoubleNothing) {
  Plug("ttyACM0", Scanner("KTA", 2000));
  Plug("ttyACM1", Scanner("KTB", 2000));
  CliResult results[2];
  std::thread pcs[2];
  for (int pc = 0; pc < 2; ++pc)
    pcs[pc] = std::thread([&, pc] {
      results[pc] = Run({"download", "--port", "/dev/ttyACM" + std::to_string(pc), "--out", Out(),
                         "--name", "pc" + std::to_string(pc), "--db", db, "--pc",
                         "PC-" + std::to_string(pc), "--erase"});
    });
  for (std::thread& pc : pcs) pc.join();
  for (const CliResult& result : results) {
    EXPECT_EQ(0, result.exit) << result.out << result.err;
    EXPECT_NE(std::string::npos, result.out.find(", 2000 new in the database; erased")) << result.out;
  }
  const std::string report = Report();
  EXPECT_EQ(4001u, Lines(report));
  EXPECT_EQ(2000u, LinesHolding(report, ",PC-0,/dev/ttyACM0"));
  EXPECT_EQ(2000u, LinesHolding(report, ",PC-1,/dev/ttyACM1"));
}

// A cradle PC: each scanner stored and erased as it is plugged in.
TEST_P(CliDatabase, WatchStoresEachScannerAsItComes) {
  CliProcess watch(tree.Root(), {"watch", "--out", Out(), "--erase", "--db", db});
  Plug("ttyACM0", Scanner("KTW", 4));
  EXPECT_NE("", watch.WaitForLine("KTW: Save Data Succeed!, 4 records in"));
  Plug("ttyACM1", Scanner("KTV", 5));
  const std::string second = watch.WaitForLine("KTV: Save Data Succeed!, 5 records in");
  EXPECT_NE(std::string::npos, second.find(", 5 new in the database; erased")) << second;
  EXPECT_EQ(0, watch.Stop());
  EXPECT_EQ(1u + 4 + 5, Lines(Report()));
  // Both scanners scanned the first four codes: counted across them.
  const std::string counts = Report({"--counts"});
  EXPECT_EQ(1u + 5, Lines(counts)) << counts;
  EXPECT_NE(std::string::npos, counts.find("\n6900000000014,2\n")) << counts;
}

// Nothing is downloaded, sent or changed when the database cannot be used.
TEST_P(CliDatabase, ADatabaseItCannotUseStopsItBeforeTheScanner) {
  const struct {
    const char* name;
    std::string connection;
    std::string setUp;  // run first, through the tests' own connection
    const char* says;
  } rows[] = {
      {"a connection string no driver takes", "Driver={No Such Driver};Database=x;", "",
       "cannot connect to the database"},
      {"an SQLite file name the driver would cut", "sqlite:" + Out() + "/a;b.db", "",
       "cannot hold ';'"},
      {"a table of that name with other columns", db, "CREATE TABLE kt52_scans (id INTEGER)",
       "has other columns (id)"},
  };
  Plug("ttyACM0", Scanner("KTA", 3));
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (!row.setUp.empty()) {
      ASSERT_TRUE(RunSql(row.connection, row.setUp).Ok());
    }
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"download", "--all", "--erase", "--out", Out(), "--db", row.connection},
          std::vector<std::string>{"report", "--db", row.connection}}) {
      const CliResult result = Run(arguments);
      EXPECT_EQ(2, result.exit) << arguments[0];
      EXPECT_NE(std::string::npos, result.err.find(row.says)) << result.err;
    }
    EXPECT_TRUE(NothingSent());
  }
  EXPECT_EQ("3", sims["ttyACM0"]->State("records"));
}

// Scans the database must tell apart although the file leaves out what tells
// them apart, or the scanner wrote them in another date order.
TEST_P(CliDatabase, EveryScanIsStoredOnceWhateverTheFileShowsOrTheDateOrder) {
  const auto day = [](int d, std::vector<std::string> codes, kt52::DateFormat order) {
    kt52::DeviceOptions scanner;
    scanner.serialNumber = "KTN";
    scanner.dateFormat = order;
    for (std::size_t k = 0; k < codes.size(); ++k)
      scanner.records.push_back({{2024, 5, d, 9, 0, static_cast<int>(k)}, codes[k]});
    return scanner;
  };
  const struct {
    const char* what;
    kt52::DeviceOptions scanner;
    std::vector<std::string> options;
    const char* added;
  } downloads[] = {
      {"day 1, no time stamps in the file", day(17, {"ITEM-A", "ITEM-A", "ITEM-B"}, kt52::DateFormat::CH),
       {"--no-time"}, ", 3 new in the database"},
      {"day 2, no serial numbers or time stamps",
       day(18, {"ITEM-A", "ITEM-A", "ITEM-B", "ITEM-C"}, kt52::DateFormat::CH),
       {"--no-time", "--no-serial"}, ", 4 new in the database"},
      {"day 2 again, in US date order", day(18, {"ITEM-A", "ITEM-A", "ITEM-B", "ITEM-C"}, kt52::DateFormat::US),
       {}, ", 0 new in the database"},
      {"day 2 again, in EU date order", day(18, {"ITEM-A", "ITEM-A", "ITEM-B", "ITEM-C"}, kt52::DateFormat::EU),
       {"--no-time"}, ", 0 new in the database"},
  };
  for (const auto& d : downloads) {
    SCOPED_TRACE(d.what);
    if (sims.count("ttyACM0")) Unplug("ttyACM0");
    Plug("ttyACM0", d.scanner);
    std::vector<std::string> arguments = {"download", "--all", "--out", Out(), "--db", db};
    arguments.insert(arguments.end(), d.options.begin(), d.options.end());
    const CliResult result = Run(arguments);
    EXPECT_EQ(0, result.exit) << result.err;
    EXPECT_NE(std::string::npos, result.out.find(d.added)) << result.out;
  }
  // The files as chosen: no time stamps, and neither field on day 2.
  EXPECT_EQ("KTN,ITEM-A\r\nKTN,ITEM-A\r\nKTN,ITEM-B\r\n", File("KTN_" + Today() + "_001.txt"));
  EXPECT_EQ("ITEM-A\r\nITEM-A\r\nITEM-B\r\nITEM-C\r\n", File("KTN_" + Today() + "_002.txt"));
  EXPECT_EQ("barcode,count\nITEM-A,4\nITEM-B,2\nITEM-C,1\n", Report({"--counts"}));
  // Counted against what should be there.
  {
    std::ofstream list(Out() + "/list.csv", std::ios::binary);
    list << "ITEM-A;4\r\nITEM-B;3;Bolts\r\nITEM-D;1\r\n";
  }
  EXPECT_EQ("barcode,count,description,expected,difference,status\nITEM-A,4,,4,0,match\n"
            "ITEM-B,2,Bolts,3,-1,short\nITEM-C,1,,0,1,not expected\nITEM-D,0,,1,-1,short\n",
            Report({"--counts", "--expected", Out() + "/list.csv"}));
}

// Every value under its column, and none that a spreadsheet would run.
TEST_P(CliDatabase, TheReportKeepsEachColumnInPlaceAndFormulasAsText) {
  ScanDatabase made;
  ASSERT_TRUE(made.Open(PathFromArgument(db)).Ok());
  ASSERT_TRUE(made.CreateTable().Ok());
  ASSERT_TRUE(RunSql(db, "INSERT INTO kt52_scans VALUES ('', '', '', '=HYPERLINK(\"x\")', 1, "
                         "'2026-12-09T10:15:02Z', '@pc', '-', '')")
                  .Ok());
  EXPECT_EQ("serial_number,scan_date,scan_time,barcode,occurrence,downloaded_utc,pc_name,port,"
            "scanned_at\n,,,\"'=HYPERLINK(\"\"x\"\")\",1,2026-12-09T10:15:02Z,'@pc,'-,\n",
            Report());
  EXPECT_EQ("barcode,count\n\"'=HYPERLINK(\"\"x\"\")\",1\n", Report({"--counts"}));
}

// report reads: it makes no database, file or table.
TEST_P(CliDatabase, AReportOnADatabaseThatIsNotThereMakesNothing) {
  const bool sqlite = std::string(GetParam()) == "SQLite";
  const std::string missing = sqlite ? "sqlite:" + Out() + "/missing.db"
                                     : TestCluster().ConnectionString("missing");
  for (const std::string& given : {missing, db}) {
    const CliResult result = Run({"report", "--db", given});
    EXPECT_EQ(2, result.exit) << result.out;
    EXPECT_FALSE(result.err.empty());
    if (sqlite) {
      EXPECT_FALSE(std::filesystem::exists(given.substr(7))) << given;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, CliDatabase, ::testing::Values("SQLite", "PostgreSQL"));

// The server ends the connection in the middle of the download's rows.
TEST_F(CliWire, AConnectionDroppedMidWriteLeavesNoRowsAndNoErase) {
  const std::string db = TestDatabase("PostgreSQL", Out());
  ASSERT_FALSE(db.empty()) << TestCluster().Why();
  ScanDatabase made;
  ASSERT_TRUE(made.Open(PathFromArgument(db)).Ok());
  ASSERT_TRUE(made.CreateTable().Ok());
  ASSERT_TRUE(RunSql(db,
                     "CREATE FUNCTION drop_here() RETURNS trigger AS $$ BEGIN IF NEW.barcode = "
                     "'DROP-HERE' THEN PERFORM pg_terminate_backend(pg_backend_pid()); END IF; "
                     "RETURN NEW; END $$ LANGUAGE plpgsql")
                  .Ok());
  ASSERT_TRUE(RunSql(db, "CREATE TRIGGER drop_here BEFORE INSERT ON kt52_scans FOR EACH ROW "
                         "EXECUTE FUNCTION drop_here()")
                  .Ok());
  kt52::DeviceOptions scanner = Scanner("KTD", 1200);
  scanner.records.push_back({{2024, 5, 17, 9, 0, 0}, "DROP-HERE"});
  Plug("ttyACM0", scanner);
  const CliResult result = Run({"download", "--all", "--erase", "--out", Out(), "--db", db});
  EXPECT_EQ(1, result.exit);
  EXPECT_NE(std::string::npos, result.out.find("Database Write Failed!")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("not erased: the database did not take the records"))
      << result.out;
  EXPECT_EQ("1201", sims["ttyACM0"]->State("records"));
  std::string count;
  ASSERT_TRUE(RunSql(db, "SELECT COUNT(*) FROM kt52_scans", &count).Ok());
  EXPECT_EQ("0", count);
}
}  // namespace
