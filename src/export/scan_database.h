#pragma once
// The scan database: every record of a completed download, once, in the
// table kt52_scans of any ODBC data source (a server shared by many PCs, or
// an SQLite file for one).
//
// The table, made when it is missing (one of that name with other columns is
// never altered): serial_number, scan_date, scan_time and barcode as the
// scanner sent them; occurrence, 1 for the first of identical records of one
// download, 2 for the next, so that two real scans of one code in one second
// are both kept; downloaded_utc ("2026-12-09T10:15:02Z"), pc_name, port, and
// scanned_at, the scan time in ISO 8601 ("2024-05-17T09:30:02", the
// scanner's own clock) read in the scanner's date order (a stamp that does
// not read in it: the stamp as sent).
// It is unique over serial_number, scanned_at, barcode and occurrence: the
// same scanner memory downloaded again adds nothing, also after its date
// order was changed.
//
// A table made before scanned_at existed keyed the scan time as text in the
// scanner's date order; it is refused (TableState::Earlier), never altered,
// as its rows' date order cannot be known.
//
// A download goes in as one transaction: the keys of that scanner's stored
// rows are read, and the rows not among them inserted, their values bound
// (never pasted into the statement); a failure rolls it all back.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/scan_summary.h"
#include "export/odbc_connection.h"

struct ScanRow {
  std::wstring serial, date, time, barcode;
  std::wstring scannedAt;  // ISO 8601, or the stamp as sent
};

struct DownloadOrigin {
  std::wstring downloadedUtc;  // ISO 8601, UTC
  std::wstring pcName;
  std::wstring port;
};

// A record as the download stored it: its time stamp "date,time" split at
// the comma (a stamp without one is all date) and read in the scanner's date
// order; a record without a serial number takes the scanner's.
ScanRow RowOfRecord(const std::wstring& serial, const std::wstring& stamp,
                    const std::wstring& barcode, const std::wstring& scannerSerial,
                    StampDateOrder order);

// The ODBC connection string for what the user gave: "sqlite:FILE" names the
// file for the installed SQLite ODBC driver (of the drivers, the first whose
// name holds "SQLite3", else "SQLite"); anything else is a connection string
// already. False, with why, when no SQLite driver is installed.
bool ConnectionString(const std::wstring& given, std::wstring& connect, std::wstring& error,
                      bool mayCreate = true);

enum class TableState { Ready, Missing, OtherColumns, Earlier };

class ScanDatabase {
 public:
  // With mayCreate false, an SQLite file that is not there is not made.
  DbResult Open(const std::wstring& given, bool mayCreate = true);
  bool IsOpen() const { return connection_.IsOpen(); }
  void Close() { connection_.Close(); }

  // Whether kt52_scans is there with its columns; columns gets what it has.
  TableState CheckTable(std::vector<std::wstring>& columns);
  // Makes kt52_scans, or finds it made meanwhile by another PC.
  DbResult CreateTable();

  // One download in one transaction; added gets how many of its rows were
  // not stored before.
  DbResult Store(const std::vector<ScanRow>& rows, const DownloadOrigin& origin,
                 std::uint64_t& added,
                 OdbcConnection::Binding binding = OdbcConnection::Binding::Arrays);

  // The stored records downloaded at or after since (ISO 8601 text; empty:
  // all), their column names first; or, with counts, "barcode" and "count"
  // per barcode. Each line goes to row.
  DbResult Report(const std::wstring& since, bool counts,
                  const std::function<void(const std::vector<std::wstring>&)>& row);

 private:
  using RowKey = std::tuple<std::wstring, std::wstring, std::wstring, std::int32_t>;
  // Runs "<query> FROM kt52_scans WHERE serial_number = ?" for each scanner,
  // each row of its answer to take.
  DbResult EachScannerRow(
      const std::wstring& query, const std::set<std::wstring>& serials,
      const std::function<void(const std::wstring&, const std::vector<std::wstring>&)>& take);

  OdbcConnection connection_;
};

// The table's columns, in order.
const std::vector<std::wstring>& ScanTableColumns();
