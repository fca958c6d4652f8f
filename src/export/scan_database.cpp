#include "export/scan_database.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>
#include <tuple>

#include "common/ansi_text.h"
#include "common/ascii_fold.h"

namespace {
// Plain types every engine knows (SQL Server, PostgreSQL, MySQL, SQLite); the
// key's widths stay within what each allows an index.
constexpr wchar_t CreateStatement[] =
    L"CREATE TABLE kt52_scans ("
    L"serial_number VARCHAR(64) NOT NULL, "
    L"scan_date VARCHAR(16) NOT NULL, "
    L"scan_time VARCHAR(16) NOT NULL, "
    L"barcode VARCHAR(255) NOT NULL, "
    L"occurrence INTEGER NOT NULL, "
    L"downloaded_utc VARCHAR(20) NOT NULL, "
    L"pc_name VARCHAR(255) NOT NULL, "
    L"port VARCHAR(255) NOT NULL, "
    L"scanned_at VARCHAR(40) NOT NULL, "
    L"CONSTRAINT kt52_scans_once UNIQUE (serial_number, scanned_at, barcode, occurrence))";

// Rows go in as plain INSERTs, which every driver takes as parameter arrays
// (PostgreSQL's sends a whole array in one round trip); the rows stored
// before were left out first.
constexpr wchar_t InsertStatement[] =
    L"INSERT INTO kt52_scans (serial_number, scan_date, scan_time, barcode, occurrence, "
    L"downloaded_utc, pc_name, port, scanned_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)";

// The columns of the table as its first version made it.
constexpr std::size_t EarlierColumns = 8;

DbResult Failure(std::wstring text) { return {DbResult::Failed, std::move(text)}; }
}  // namespace

const std::vector<std::wstring>& ScanTableColumns() {
  static const std::vector<std::wstring> columns = {
      L"serial_number", L"scan_date", L"scan_time", L"barcode",
      L"occurrence",    L"downloaded_utc", L"pc_name", L"port", L"scanned_at"};
  return columns;
}

ScanRow RowOfRecord(const std::wstring& serial, const std::wstring& stamp,
                    const std::wstring& barcode, const std::wstring& scannerSerial,
                    StampDateOrder order) {
  ScanRow row;
  std::string iso;
  row.scannedAt = StampIso8601(WideToAnsi(stamp), order, iso) ? AnsiToWide(iso) : stamp;
  row.serial = serial.empty() ? scannerSerial : serial;
  const std::size_t comma = stamp.find(L',');
  row.date = stamp.substr(0, comma);
  if (comma != std::wstring::npos) row.time = stamp.substr(comma + 1);
  row.barcode = barcode;
  return row;
}

bool ConnectionString(const std::wstring& given, std::wstring& connect, std::wstring& error,
                      bool mayCreate) {
  constexpr wchar_t Prefix[] = L"sqlite:";
  if (given.compare(0, 7, Prefix) != 0) {
    connect = given;
    return true;
  }
  const std::wstring file = given.substr(7);
  std::vector<std::wstring> drivers;
  ListInstalledDrivers(drivers);
  std::wstring chosen;
  for (const wchar_t* wanted : {L"sqlite3", L"sqlite"}) {
    for (const std::wstring& driver : drivers)
      if (chosen.empty() && FoldedAscii(driver).find(wanted) != std::wstring::npos) chosen = driver;
  }
  if (chosen.empty()) {
    error = L"No SQLite ODBC driver is installed.";
    return false;
  }
  if (file.empty()) {
    error = L"sqlite: names no file.";
    return false;
  }
  // The SQLite driver reads the file name up to the next ';' and takes no
  // braces. A writer waits up to 30 s for another PC's transaction.
  if (file.find_first_of(L";{}") != std::wstring::npos) {
    error = L"An SQLite file name cannot hold ';', '{' or '}'.";
    return false;
  }
  connect = L"Driver={" + chosen + L"};Database=" + file + L";Timeout=30000;";
  if (!mayCreate) connect += L"NoCreat=1;";
  return true;
}

DbResult ScanDatabase::Open(const std::wstring& given, bool mayCreate) {
  std::wstring connect, error;
  if (!ConnectionString(given, connect, error, mayCreate)) return Failure(error);
  return connection_.OpenSilently(connect);
}

TableState ScanDatabase::CheckTable(std::vector<std::wstring>& columns) {
  if (!connection_.QueryColumnNames(L"SELECT * FROM kt52_scans WHERE 1 = 0", columns).Ok()) {
    columns.clear();
    return TableState::Missing;
  }
  std::vector<std::wstring> have, want = ScanTableColumns();
  for (const std::wstring& column : columns) have.push_back(FoldedAscii(column));
  std::sort(have.begin(), have.end());
  std::sort(want.begin(), want.end());
  if (have == want) return TableState::Ready;
  std::vector<std::wstring> earlier(ScanTableColumns().begin(),
                                    ScanTableColumns().begin() + EarlierColumns);
  std::sort(earlier.begin(), earlier.end());
  return have == earlier ? TableState::Earlier : TableState::OtherColumns;
}

DbResult ScanDatabase::CreateTable() {
  DbResult made = connection_.Execute(CreateStatement);
  if (made.Ok()) return made;
  std::vector<std::wstring> columns;
  return CheckTable(columns) == TableState::Ready ? DbResult{} : made;
}

DbResult ScanDatabase::EachScannerRow(
    const std::wstring& query, const std::set<std::wstring>& serials,
    const std::function<void(const std::wstring&, const std::vector<std::wstring>&)>& take) {
  for (const std::wstring& serial : serials) {
    DbResult read = connection_.QueryRows(query + L" FROM kt52_scans WHERE serial_number = ?", {serial},
                                          [&](const std::vector<std::wstring>& row) {
                                            take(serial, row);
                                            return true;
                                          });
    if (!read.Ok()) return read;
  }
  return {};
}

DbResult ScanDatabase::Store(const std::vector<ScanRow>& rows, const DownloadOrigin& origin,
                             std::uint64_t& added, OdbcConnection::Binding binding) {
  added = 0;
  if (rows.empty()) return {};
  std::set<std::wstring> serials;
  for (const ScanRow& row : rows) serials.insert(row.serial);
  DbResult result = connection_.Begin();
  // A write first: SQLite then takes its write lock before any read lock, and
  // two PCs' transactions queue (its busy time-out) instead of deadlocking.
  if (result.Ok()) result = connection_.Execute(L"DELETE FROM kt52_scans WHERE 1 = 0");
  std::set<RowKey> stored;
  if (result.Ok())
    result = EachScannerRow(L"SELECT scanned_at, barcode, occurrence", serials,
                            [&](const std::wstring& serial, const std::vector<std::wstring>& row) {
                              if (row.size() == 3)
                                stored.insert({serial, row[0], row[1],
                                               static_cast<std::int32_t>(
                                                   std::wcstol(row[2].c_str(), nullptr, 10))});
                            });
  // The new rows, each numbered among the identical records of the download.
  std::vector<DbColumn> columns(9);
  columns[4].integer = true;
  std::map<std::tuple<std::wstring, std::wstring, std::wstring>, std::int32_t> seen;
  for (const ScanRow& row : rows) {
    const std::int32_t occurrence = ++seen[{row.serial, row.scannedAt, row.barcode}];
    if (stored.count({row.serial, row.scannedAt, row.barcode, occurrence})) continue;
    const std::wstring* texts[] = {&row.serial,  &row.date,           &row.time,
                                   &row.barcode, &origin.downloadedUtc, &origin.pcName,
                                   &origin.port, &row.scannedAt};
    for (std::size_t p = 0, t = 0; p < columns.size(); ++p) {
      if (columns[p].integer) columns[p].integers.push_back(occurrence);
      else columns[p].texts.push_back(*texts[t++]);
    }
  }
  // A row another writer stored meanwhile breaks the unique key: the whole
  // download is then rolled back, never stored twice.
  if (result.Ok()) result = connection_.ExecuteRows(InsertStatement, columns, binding);
  // Every row is there before the commit, whatever the driver made of the arrays.
  const std::uint64_t expected = stored.size() + columns[0].texts.size();
  std::uint64_t held = 0;
  if (result.Ok())
    result = EachScannerRow(L"SELECT COUNT(*)", serials,
                            [&held](const std::wstring&, const std::vector<std::wstring>& row) {
                              if (!row.empty()) held += std::wcstoull(row[0].c_str(), nullptr, 10);
                            });
  if (result.Ok() && held != expected)
    result = Failure(L"The database holds " + std::to_wstring(held) + L" rows of the scanner where " +
                     std::to_wstring(expected) + L" were written.");
  if (result.Ok()) result = connection_.Commit();
  else connection_.Rollback();
  if (result.Ok()) added = columns[0].texts.size();
  return result;
}

DbResult ScanDatabase::Report(const std::wstring& since, bool counts,
                              const std::function<void(const std::vector<std::wstring>&)>& row) {
  const std::wstring where = since.empty() ? L"" : L" WHERE downloaded_utc >= ?";
  std::vector<std::wstring> parameters;
  if (!since.empty()) parameters.push_back(since);
  std::wstring statement;
  if (counts) {
    row({L"barcode", L"count"});
    statement = L"SELECT barcode, COUNT(*) FROM kt52_scans" + where + L" GROUP BY barcode ORDER BY barcode";
  } else {
    row(ScanTableColumns());
    statement = L"SELECT serial_number, scan_date, scan_time, barcode, occurrence, downloaded_utc, "
                L"pc_name, port, scanned_at FROM kt52_scans" + where +
                L" ORDER BY downloaded_utc, serial_number, scanned_at, barcode, occurrence";
  }
  return connection_.QueryRows(statement, parameters, [&row](const std::vector<std::wstring>& values) {
    row(values);
    return true;
  });
}
