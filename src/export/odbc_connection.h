#pragma once
// Database operations over plain ODBC (odbc32 and odbccp32 on Windows, loaded
// when first needed, see odbc_library.h; unixODBC elsewhere), for the workbook
// and for lumet-cli's scan database: one connection, statements run directly
// or prepared with bound parameters, text passed as wide text. Nothing here
// throws: every operation returns a DbResult, and a failure carries the
// driver's diagnostic text.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One parameter of a statement run once a row: its value in each row, text
// or a 32-bit integer.
struct DbColumn {
  bool integer = false;
  std::vector<std::wstring> texts;
  std::vector<std::int32_t> integers;

  std::size_t Rows() const { return integer ? integers.size() : texts.size(); }
};

struct DbResult {
  enum Status { Done, Declined, Failed };
  Status status = Done;
  std::wstring error;  // the driver's diagnostic text when Failed (may be empty)

  bool Ok() const { return status == Done; }
};

class OdbcConnection {
 public:
  OdbcConnection() = default;
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Connects with a connect string in the form the database classes take (a
  // leading "ODBC;" is dropped). The driver may ask the user for what the
  // string lacks; Declined when the user cancelled that request.
  DbResult OpenAsking(const std::wstring& connect);
  // The same without any dialog of the driver.
  DbResult OpenSilently(const std::wstring& connect);
  bool IsOpen() const { return connection_ != nullptr; }

  // Runs a forward-only, read-only query and gives its result's column names
  // in column order; the rows are not read.
  DbResult QueryColumnNames(const std::wstring& statement, std::vector<std::wstring>& names);
  // Runs one statement at once, without preparing it.
  DbResult Execute(const std::wstring& statement);

  // Prepares a statement with ? parameters and runs it once a row, every
  // value bound (SQLBindParameter), never pasted into the text. With
  // arrays, up to ArrayRows rows go to the driver in one call where it takes
  // parameter arrays, one a call where it does not. On a failure the rows
  // before it may have run: callers hold a transaction.
  enum class Binding { RowByRow, Arrays };
  static constexpr std::size_t ArrayRows = 512;
  DbResult ExecuteRows(const std::wstring& statement, const std::vector<DbColumn>& columns,
                       Binding binding);
  // Runs a query with bound text parameters and hands each row's columns to
  // row as text (an SQL NULL as empty); row returns false to stop.
  DbResult QueryRows(const std::wstring& statement, const std::vector<std::wstring>& parameters,
                     const std::function<bool(const std::vector<std::wstring>&)>& row);

  // A transaction: auto-commit off until Commit or Rollback ends it.
  DbResult Begin();
  DbResult Commit();
  DbResult Rollback();

  void Close();

 private:
  DbResult Open(const std::wstring& connect, bool mayAsk);
  DbResult EndTransaction(bool commit);

  void* environment_ = nullptr;  // SQLHENV
  void* connection_ = nullptr;   // SQLHDBC, only while connected
};

// The descriptions of the installed ODBC drivers, in the installer's order
// (SQLGetInstalledDriversW into a list of `capacity` characters). False when
// the installer cannot give the list, or the ODBC libraries cannot be loaded.
bool ListInstalledDrivers(std::vector<std::wstring>& drivers, std::size_t capacity = 2000);
