// The scan database on real engines: SQLite through its ODBC driver and a
// PostgreSQL server of the test's own. Rows go in once, with either binding;
// hostile text arrives as it was; a failed download leaves nothing behind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "export/scan_database.h"
#include "support/pg_cluster.h"
#include "support/temp_folder.h"

namespace {
using Binding = OdbcConnection::Binding;

std::wstring W(const std::string& text) { return PathFromArgument(text); }

class ScanDatabaseOn : public ::testing::TestWithParam<const char*> {
 public:
  // A fresh database with its table made.
  void SetUp() override {
    given = W(TestDatabase(GetParam(), folder.Path().string()));
    ASSERT_FALSE(given.empty()) << TestCluster().Why();
    const DbResult opened = db.Open(given);
    ASSERT_TRUE(opened.Ok()) << PathText(opened.error);
    std::vector<std::wstring> columns;
    ASSERT_EQ(TableState::Missing, db.CheckTable(columns));
    ASSERT_TRUE(db.CreateTable().Ok());
    ASSERT_EQ(TableState::Ready, db.CheckTable(columns));
  }
  // Runs SQL of the test's own on a connection of its own.
  void Sql(const std::wstring& statement) {
    const DbResult result = RunSql(PathText(given), PathText(statement));
    ASSERT_TRUE(result.Ok()) << PathText(result.error);
  }
  std::vector<std::vector<std::wstring>> Report(const std::wstring& since = L"", bool counts = false) {
    std::vector<std::vector<std::wstring>> lines;
    const DbResult result = db.Report(since, counts, [&](const std::vector<std::wstring>& row) {
      lines.push_back(row);
    });
    EXPECT_TRUE(result.Ok()) << PathText(result.error);
    return lines;
  }

  TempFolder folder;
  std::wstring given;
  ScanDatabase db;
};

const DownloadOrigin Origin{L"2026-12-09T10:15:02Z", L"PC-1", L"COM3"};

// A time stamp of 2024-05-dd in the scanner's date order.
std::wstring Stamp(StampDateOrder order, int day, const std::wstring& time) {
  const std::wstring dd = L"0" + std::to_wstring(day);
  switch (order) {
    case StampDateOrder::MonthDayYear: return L"05/" + dd + L"/2024," + time;
    case StampDateOrder::DayMonthYear: return dd + L"/05/2024," + time;
    case StampDateOrder::YearMonthDay: break;
  }
  return L"2024/05/" + dd + L"," + time;
}

// Identical records in one second, quotes and SQL, text beyond ASCII, no
// time stamp; then enough rows for several parameter arrays and a rest. The
// stamps in the scanner's date order.
std::vector<ScanRow> Download(StampDateOrder order = StampDateOrder::YearMonthDay) {
  std::vector<ScanRow> rows = {
      RowOfRecord(L"KTA", Stamp(order, 7, L"09:30:02"), L"4006381333931", L"", order),
      RowOfRecord(L"KTA", Stamp(order, 7, L"09:30:02"), L"4006381333931", L"", order),
      RowOfRecord(L"", Stamp(order, 7, L"09:30:05"), L"O'Brien\"; DROP TABLE kt52_scans; --", L"KTA",
                  order),
      RowOfRecord(L"KTA", L"", L"Gr\u00f6\u00dfe \u20ac 5", L"", order),
  };
  for (int i = 0; i < 1100; ++i)
    rows.push_back(RowOfRecord(L"KTA", Stamp(order, 8, L"10:00:00"), L"PART-" + std::to_wstring(i),
                               L"", order));
  return rows;
}

TEST_P(ScanDatabaseOn, StoresEachRecordOnceWhateverTheBinding) {
  for (Binding binding : {Binding::RowByRow, Binding::Arrays}) {
    SCOPED_TRACE(binding == Binding::Arrays ? "arrays" : "row by row");
    Sql(L"DELETE FROM kt52_scans");
    std::vector<ScanRow> rows = Download();
    std::uint64_t added = 0;
    ASSERT_TRUE(db.Store(rows, Origin, added, binding).Ok());
    EXPECT_EQ(rows.size(), added);
    ASSERT_TRUE(db.Store(rows, Origin, added, binding).Ok());
    EXPECT_EQ(0u, added) << "the same memory again";
    for (StampDateOrder order : {StampDateOrder::MonthDayYear, StampDateOrder::DayMonthYear}) {
      ASSERT_TRUE(db.Store(Download(order), Origin, added, binding).Ok());
      EXPECT_EQ(0u, added) << "the same memory in another date order";
    }
    rows.push_back(rows.front());  // a third identical scan, in a later download
    ASSERT_TRUE(db.Store(rows, Origin, added, binding).Ok());
    EXPECT_EQ(1u, added);

    const auto lines = Report(L"2026-12-09");
    ASSERT_EQ(1 + rows.size(), lines.size());
    EXPECT_EQ(ScanTableColumns(), lines[0]);
    const std::wstring at = L"2026-12-09T10:15:02Z";
    const std::vector<std::vector<std::wstring>> first = {
        {L"KTA", L"", L"", L"Gr\u00f6\u00dfe \u20ac 5", L"1", at, L"PC-1", L"COM3", L""},
        {L"KTA", L"2024/05/07", L"09:30:02", L"4006381333931", L"1", at, L"PC-1", L"COM3",
         L"2024-05-07T09:30:02"},
        {L"KTA", L"2024/05/07", L"09:30:02", L"4006381333931", L"2", at, L"PC-1", L"COM3",
         L"2024-05-07T09:30:02"},
        {L"KTA", L"2024/05/07", L"09:30:02", L"4006381333931", L"3", at, L"PC-1", L"COM3",
         L"2024-05-07T09:30:02"},
        {L"KTA", L"2024/05/07", L"09:30:05", L"O'Brien\"; DROP TABLE kt52_scans; --", L"1", at,
         L"PC-1", L"COM3", L"2024-05-07T09:30:05"},
    };
    EXPECT_EQ(first, std::vector<std::vector<std::wstring>>(lines.begin() + 1, lines.begin() + 6));
    EXPECT_EQ(1u, Report(L"2026-12-09T10:15:03Z").size()) << "nothing downloaded since";
    const auto counts = Report(L"", true);
    ASSERT_EQ(1 + 1103u, counts.size());
    EXPECT_EQ((std::vector<std::wstring>{L"4006381333931", L"3"}), counts[1]);
  }
}

TEST_P(ScanDatabaseOn, AFailedDownloadLeavesNothingAndATableOfOtherColumnsIsRefused) {
  const std::vector<std::wstring> refuse =
      std::string(GetParam()) == "SQLite"
          ? std::vector<std::wstring>{L"CREATE TRIGGER refuse BEFORE INSERT ON kt52_scans WHEN "
                                      L"NEW.barcode = 'PART-700' BEGIN SELECT RAISE(ABORT, 'refused "
                                      L"by the test'); END"}
          : std::vector<std::wstring>{
                L"CREATE FUNCTION refuse() RETURNS trigger AS $$ BEGIN IF NEW.barcode = 'PART-700' "
                L"THEN RAISE EXCEPTION 'refused by the test'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql",
                L"CREATE TRIGGER refuse BEFORE INSERT ON kt52_scans FOR EACH ROW EXECUTE FUNCTION refuse()"};
  for (const std::wstring& statement : refuse) Sql(statement);
  for (Binding binding : {Binding::RowByRow, Binding::Arrays}) {
    std::uint64_t added = 0;
    const DbResult stored = db.Store(Download(), Origin, added, binding);
    EXPECT_FALSE(stored.Ok());
    EXPECT_NE(std::wstring::npos, stored.error.find(L"refused by the test")) << PathText(stored.error);
    EXPECT_EQ(1u, Report().size()) << "the rows before the refused one were rolled back";
  }

  const struct {
    const wchar_t* table;
    TableState state;
  } tables[] = {
      {L"CREATE TABLE kt52_scans (id INTEGER, barcode VARCHAR(20))", TableState::OtherColumns},
      // As the first version made it: its key compared the stamps as text.
      {L"CREATE TABLE kt52_scans (serial_number VARCHAR(64), scan_date VARCHAR(16), scan_time "
       L"VARCHAR(16), barcode VARCHAR(255), occurrence INTEGER, downloaded_utc VARCHAR(20), pc_name "
       L"VARCHAR(255), port VARCHAR(255))",
       TableState::Earlier},
  };
  for (const auto& t : tables) {
    Sql(L"DROP TABLE kt52_scans");
    Sql(t.table);
    ScanDatabase later;  // as a run connects: SQLite's driver keeps a connection's first view
    ASSERT_TRUE(later.Open(given).Ok());
    std::vector<std::wstring> columns;
    EXPECT_EQ(t.state, later.CheckTable(columns)) << PathText(t.table);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ScanDatabaseOn, ::testing::Values("SQLite", "PostgreSQL"));
}  // namespace
