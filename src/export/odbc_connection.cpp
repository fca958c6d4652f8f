// The one ODBC binding, the same on Windows and elsewhere: only the headers
// differ (Windows' sql.h needs <windows.h> first), and where the functions
// come from (odbc_library.h): every call goes through the table below, so
// Lumet.exe imports no ODBC library. SQLWCHAR is 16-bit UTF-16 on both;
// wchar_t is 32-bit outside Windows, so text is converted here.
#include "export/odbc_connection.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdint>

#include "common/utf16_text.h"
#include "export/odbc_library.h"

namespace {
// The ODBC functions, found once; each call site names its function.
struct OdbcApi {
#define LUMET_ODBC_MEMBER(library, function) decltype(&::function) function = nullptr;
  LUMET_ODBC_FUNCTIONS(LUMET_ODBC_MEMBER)
#undef LUMET_ODBC_MEMBER
};

template <typename Function>
bool Find(Function& function, OdbcLibrary library, const char* name) {
  function = reinterpret_cast<Function>(OdbcFunction(library, name));
  return function != nullptr;
}

// The table, or nullptr when a library or one of its functions is missing.
const OdbcApi* LoadedOdbc() {
  static const OdbcApi* api = [] {
    static OdbcApi found;
    bool complete = true;
#define LUMET_ODBC_FIND(library, function) \
  complete = Find(found.function, OdbcLibrary::library, #function) && complete;
    LUMET_ODBC_FUNCTIONS(LUMET_ODBC_FIND)
#undef LUMET_ODBC_FIND
    return complete ? &found : nullptr;
  }();
  return api;
}

// Only called once LoadedOdbc() gave the table (a handle exists).
const OdbcApi& Odbc() { return *LoadedOdbc(); }

using SqlText = std::vector<SQLWCHAR>;

// UTF-16, zero-terminated.
SqlText ToSqlText(const std::wstring& text) {
  SqlText out;
  out.reserve(text.size() + 1);
  ForEachUtf16Unit(text, [&out](std::uint16_t unit) { out.push_back(static_cast<SQLWCHAR>(unit)); });
  out.push_back(0);
  return out;
}

// An integer attribute value, passed in the pointer argument as ODBC wants.
SQLPOINTER Attribute(unsigned long value) {
  return reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(value));
}

bool Succeeded(SQLRETURN result) { return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO; }

std::size_t Used(SQLSMALLINT length, SQLSMALLINT size) {
  return static_cast<std::size_t>(std::clamp<SQLSMALLINT>(length, 0, static_cast<SQLSMALLINT>(size - 1)));
}

// The diagnostic records of a handle, one message a line.
std::wstring Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  constexpr SQLSMALLINT MessageSize = 1024;
  std::wstring text;
  for (SQLSMALLINT record = 1; record <= 16; ++record) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[MessageSize] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!Succeeded(Odbc().SQLGetDiagRecW(type, handle, record, state, &native, message, MessageSize, &length)))
      break;
    if (!text.empty()) text += L'\n';
    text += FromUtf16(message, Used(length, MessageSize));
  }
  return text;
}

DbResult Failure(std::wstring text) { return {DbResult::Failed, std::move(text)}; }

// The window a driver's connect dialog belongs to (none outside Windows).
SQLHWND DialogOwner() {
#ifdef _WIN32
  HWND active = GetActiveWindow();
  return active ? active : GetDesktopWindow();
#else
  return nullptr;
#endif
}

// A statement handle freed on every way out.
struct Statement {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  ~Statement() {
    if (handle != SQL_NULL_HSTMT) Odbc().SQLFreeHandle(SQL_HANDLE_STMT, handle);
  }
};

// Runs text directly; a query gets a forward-only, read-only cursor.
DbResult Run(SQLHDBC connection, Statement& statement, const std::wstring& text, bool query) {
  if (!connection) return Failure(L"Not connected.");
  if (!Succeeded(Odbc().SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement.handle))) {
    statement.handle = SQL_NULL_HSTMT;
    return Failure(Diagnostics(SQL_HANDLE_DBC, connection));
  }
  if (query) {
    Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_CURSOR_TYPE,
                   Attribute(SQL_CURSOR_FORWARD_ONLY), 0);
    Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_CONCURRENCY,
                   Attribute(SQL_CONCUR_READ_ONLY), 0);
  }
  SqlText sql = ToSqlText(text);
  SQLRETURN result = Odbc().SQLExecDirectW(statement.handle, sql.data(), static_cast<SQLINTEGER>(sql.size() - 1));
  if (Succeeded(result) || result == SQL_NO_DATA) return {};
  return Failure(Diagnostics(SQL_HANDLE_STMT, statement.handle));
}
}  // namespace

OdbcConnection::~OdbcConnection() {
  Close();
  if (environment_) Odbc().SQLFreeHandle(SQL_HANDLE_ENV, environment_);
}

DbResult OdbcConnection::OpenAsking(const std::wstring& connect) { return Open(connect, true); }

DbResult OdbcConnection::OpenSilently(const std::wstring& connect) { return Open(connect, false); }

DbResult OdbcConnection::Open(const std::wstring& connect, bool mayAsk) {
  Close();
  if (!environment_) {
    if (!LoadedOdbc()) return Failure(L"The ODBC driver manager could not be loaded.");
    SQLHENV environment = SQL_NULL_HENV;
    if (!Succeeded(Odbc().SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
      return Failure(L"The ODBC driver manager could not be started.");
    environment_ = environment;
    Odbc().SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, Attribute(SQL_OV_ODBC3), 0);
  }
  SQLHDBC connection = SQL_NULL_HDBC;
  if (!Succeeded(Odbc().SQLAllocHandle(SQL_HANDLE_DBC, environment_, &connection)))
    return Failure(Diagnostics(SQL_HANDLE_ENV, environment_));

  // The database classes take "ODBC;" in front of the driver's own string.
  std::wstring text = connect.compare(0, 5, L"ODBC;") == 0 ? connect.substr(5) : connect;
  SqlText sql = ToSqlText(text);
  if (sql.size() - 1 > 32767) {
    Odbc().SQLFreeHandle(SQL_HANDLE_DBC, connection);
    return Failure(L"The connect string is too long.");
  }
  SQLWCHAR completed[1024] = {};
  SQLSMALLINT completedLength = 0;
  SQLRETURN result = Odbc().SQLDriverConnectW(connection, mayAsk ? DialogOwner() : nullptr, sql.data(),
                                       static_cast<SQLSMALLINT>(sql.size() - 1), completed, 1024,
                                       &completedLength,
                                       mayAsk ? SQL_DRIVER_COMPLETE : SQL_DRIVER_NOPROMPT);
  if (Succeeded(result)) {
    connection_ = connection;
    return {};
  }
  DbResult outcome = result == SQL_NO_DATA ? DbResult{DbResult::Declined, Diagnostics(SQL_HANDLE_DBC, connection)}
                                           : Failure(Diagnostics(SQL_HANDLE_DBC, connection));
  Odbc().SQLFreeHandle(SQL_HANDLE_DBC, connection);
  return outcome;
}

DbResult OdbcConnection::QueryColumnNames(const std::wstring& statementText,
                                          std::vector<std::wstring>& names) {
  names.clear();
  Statement statement;
  DbResult result = Run(static_cast<SQLHDBC>(connection_), statement, statementText, true);
  if (!result.Ok()) return result;
  SQLSMALLINT count = 0;
  if (!Succeeded(Odbc().SQLNumResultCols(statement.handle, &count)))
    return Failure(Diagnostics(SQL_HANDLE_STMT, statement.handle));
  for (SQLSMALLINT column = 1; column <= count; ++column) {
    constexpr SQLSMALLINT NameSize = 256;
    SQLWCHAR name[NameSize] = {};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!Succeeded(Odbc().SQLDescribeColW(statement.handle, static_cast<SQLUSMALLINT>(column), name, NameSize, &length, &type, &size,
                                   &digits, &nullable)))
      return Failure(Diagnostics(SQL_HANDLE_STMT, statement.handle));
    names.push_back(FromUtf16(name, Used(length, NameSize)));
  }
  Odbc().SQLCloseCursor(statement.handle);
  return {};
}

DbResult OdbcConnection::Execute(const std::wstring& statementText) {
  Statement statement;
  return Run(static_cast<SQLHDBC>(connection_), statement, statementText, false);
}

void OdbcConnection::Close() {
  if (!connection_) return;
  Odbc().SQLDisconnect(connection_);
  Odbc().SQLFreeHandle(SQL_HANDLE_DBC, connection_);
  connection_ = nullptr;
}

bool ListInstalledDrivers(std::vector<std::wstring>& drivers, std::size_t capacity) {
  drivers.clear();
  // Neither library to be had: as if no driver were installed.
  if (capacity < 2 || capacity > 0xFFFF || !LoadedOdbc()) return false;
  std::vector<SQLWCHAR> list(capacity, 0);
  WORD used = 0;
  if (!Odbc().SQLGetInstalledDriversW(list.data(), static_cast<WORD>(capacity), &used))
    return false;
  list.back() = 0;  // the walk below ends inside the buffer, whatever came back
  // Each description ends with a NUL; an empty one ends the list.
  for (std::size_t at = 0; at < capacity && list[at] != 0;) {
    std::size_t end = at;
    while (end < capacity && list[end] != 0) ++end;
    drivers.push_back(FromUtf16(&list[at], end - at));
    at = end + 1;
  }
  return true;
}
