#pragma once
// The workbook's database operations over plain ODBC (odbc32 and odbccp32 on
// Windows, loaded when first needed, see odbc_library.h; unixODBC elsewhere):
// one connection, statements run directly, text
// passed as wide text. Nothing here throws: every operation returns a
// DbResult, and a failure carries the driver's diagnostic text.
#include <string>
#include <vector>

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

  void Close();

 private:
  DbResult Open(const std::wstring& connect, bool mayAsk);

  void* environment_ = nullptr;  // SQLHENV
  void* connection_ = nullptr;   // SQLHDBC, only while connected
};

// The descriptions of the installed ODBC drivers, in the installer's order
// (SQLGetInstalledDriversW into a list of `capacity` characters). False when
// the installer cannot give the list, or the ODBC libraries cannot be loaded.
bool ListInstalledDrivers(std::vector<std::wstring>& drivers, std::size_t capacity = 2000);
