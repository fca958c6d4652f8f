// The one ODBC binding, the same on Windows and elsewhere, compiled as part of
// odbc_connection_win32.cpp or odbc_connection_posix.cpp: only the headers
// differ (Windows' sql.h needs the Windows headers first, which those bring),
// and where the functions come from (odbc_library.h): every call goes through
// the table below, so Lumet.exe imports no ODBC library. SQLWCHAR is 16-bit
// UTF-16 on both; wchar_t is 32-bit outside Windows, so text is converted here.
#include "export/odbc_connection.h"

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

// The window a driver's connect dialog belongs to: the platform file's.
SQLHWND DialogOwner();

// A statement handle freed on every way out.
struct Statement {
  SQLHSTMT handle = SQL_NULL_HSTMT;
  ~Statement() {
    if (handle != SQL_NULL_HSTMT) Odbc().SQLFreeHandle(SQL_HANDLE_STMT, handle);
  }
};

DbResult Allocate(SQLHDBC connection, Statement& statement) {
  if (!connection) return Failure(L"Not connected.");
  if (!Succeeded(Odbc().SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement.handle))) {
    statement.handle = SQL_NULL_HSTMT;
    return Failure(Diagnostics(SQL_HANDLE_DBC, connection));
  }
  return {};
}

DbResult StatementFailure(const Statement& statement) {
  return Failure(Diagnostics(SQL_HANDLE_STMT, statement.handle));
}

// Allocated and prepared.
DbResult Prepare(SQLHDBC connection, Statement& statement, const std::wstring& text) {
  if (DbResult allocated = Allocate(connection, statement); !allocated.Ok()) return allocated;
  SqlText sql = ToSqlText(text);
  if (!Succeeded(Odbc().SQLPrepareW(statement.handle, sql.data(), static_cast<SQLINTEGER>(sql.size() - 1))))
    return StatementFailure(statement);
  return {};
}

// Runs text directly; a query gets a forward-only, read-only cursor.
DbResult Run(SQLHDBC connection, Statement& statement, const std::wstring& text, bool query) {
  if (DbResult allocated = Allocate(connection, statement); !allocated.Ok()) return allocated;
  if (query) {
    Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_CURSOR_TYPE,
                   Attribute(SQL_CURSOR_FORWARD_ONLY), 0);
    Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_CONCURRENCY,
                   Attribute(SQL_CONCUR_READ_ONLY), 0);
  }
  SqlText sql = ToSqlText(text);
  SQLRETURN result = Odbc().SQLExecDirectW(statement.handle, sql.data(), static_cast<SQLINTEGER>(sql.size() - 1));
  if (Succeeded(result) || result == SQL_NO_DATA) return {};
  return StatementFailure(statement);
}

// A parameter's values for the rows of one call, bound column-wise: text as
// cells of the longest value's width, each ended by a NUL.
struct BoundColumn {
  std::vector<SQLWCHAR> cells;
  std::vector<SQLINTEGER> integers;
  std::vector<SQLLEN> lengths;
  std::size_t width = 1;  // units a cell, with its NUL
};

std::size_t Utf16Length(const std::wstring& text) {
  std::size_t units = 0;
  ForEachUtf16Unit(text, [&units](std::uint16_t) { ++units; });
  return units;
}

// The widest cell a text parameter needs for rows [first, first + count).
std::size_t CellWidth(const DbColumn& column, std::size_t first, std::size_t count) {
  std::size_t width = 1;
  if (!column.integer)
    for (std::size_t row = first; row < first + count; ++row)
      width = std::max(width, Utf16Length(column.texts[row]) + 1);
  return width;
}

// Fills and binds the values of rows [first, first + count).
bool Bind(const Statement& statement, const std::vector<DbColumn>& columns,
          std::vector<BoundColumn>& bound, std::size_t first, std::size_t count) {
  for (std::size_t p = 0; p < columns.size(); ++p) {
    const DbColumn& column = columns[p];
    BoundColumn& b = bound[p];
    b.lengths.assign(count, 0);
    SQLRETURN result;
    const auto number = static_cast<SQLUSMALLINT>(p + 1);
    if (column.integer) {
      b.integers.assign(column.integers.begin() + static_cast<std::ptrdiff_t>(first),
                        column.integers.begin() + static_cast<std::ptrdiff_t>(first + count));
      result = Odbc().SQLBindParameter(statement.handle, number, SQL_PARAM_INPUT, SQL_C_SLONG,
                                       SQL_INTEGER, 0, 0, b.integers.data(), 0, b.lengths.data());
    } else {
      b.width = CellWidth(column, first, count);
      b.cells.assign(count * b.width, 0);
      for (std::size_t row = 0; row < count; ++row) {
        std::size_t at = row * b.width;
        ForEachUtf16Unit(column.texts[first + row],
                         [&](std::uint16_t unit) { b.cells[at++] = static_cast<SQLWCHAR>(unit); });
        b.lengths[row] = static_cast<SQLLEN>((at - row * b.width) * sizeof(SQLWCHAR));
      }
      result = Odbc().SQLBindParameter(statement.handle, number, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                       SQL_WVARCHAR, std::max<std::size_t>(b.width - 1, 1), 0,
                                       b.cells.data(),
                                       static_cast<SQLLEN>(b.width * sizeof(SQLWCHAR)),
                                       b.lengths.data());
    }
    if (!Succeeded(result)) return false;
  }
  return true;
}

// The rows of the next call from first: at most limit, and no more than
// keeps its text cells within CallBytes.
std::size_t RowsOfCall(const std::vector<DbColumn>& columns, std::size_t first, std::size_t rows,
                       std::size_t limit) {
  constexpr std::size_t CallBytes = 4u << 20;
  std::size_t count = std::min(limit, rows - first);
  while (count > 1) {
    std::size_t bytes = 0;
    for (const DbColumn& column : columns)
      bytes += CellWidth(column, first, count) * count * sizeof(SQLWCHAR);
    if (bytes <= CallBytes) break;
    count /= 2;
  }
  return count;
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

DbResult OdbcConnection::ExecuteRows(const std::wstring& text, const std::vector<DbColumn>& columns,
                                     Binding binding) {
  const std::size_t rows = columns.empty() ? 0 : columns.front().Rows();
  for (const DbColumn& column : columns)
    if (column.Rows() != rows) return Failure(L"The parameters hold different numbers of rows.");
  Statement statement;
  if (DbResult prepared = Prepare(static_cast<SQLHDBC>(connection_), statement, text); !prepared.Ok())
    return prepared;
  // Arrays only where the driver takes the size as asked.
  std::size_t limit = 1;
  std::vector<SQLUSMALLINT> status(ArrayRows, SQL_PARAM_UNUSED);
  SQLULEN processed = 0;
  if (binding == Binding::Arrays && rows > 1 &&
      Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_PARAMSET_SIZE, Attribute(ArrayRows), 0) == SQL_SUCCESS &&
      Succeeded(Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0)) &&
      Succeeded(Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0)))
    limit = ArrayRows;
  std::vector<BoundColumn> bound(columns.size());
  for (std::size_t first = 0; first < rows;) {
    const std::size_t count = RowsOfCall(columns, first, rows, limit);
    if (limit > 1 &&
        !Succeeded(Odbc().SQLSetStmtAttr(statement.handle, SQL_ATTR_PARAMSET_SIZE, Attribute(count), 0)))
      return StatementFailure(statement);
    if (!Bind(statement, columns, bound, first, count)) return StatementFailure(statement);
    std::fill(status.begin(), status.end(), SQL_PARAM_UNUSED);
    const SQLRETURN result = Odbc().SQLExecute(statement.handle);
    if (!Succeeded(result) && result != SQL_NO_DATA) return StatementFailure(statement);
    if (limit > 1)
      for (std::size_t row = 0; row < count; ++row)
        if (status[row] == SQL_PARAM_ERROR) return StatementFailure(statement);
    first += count;
  }
  return {};
}

DbResult OdbcConnection::QueryRows(const std::wstring& text, const std::vector<std::wstring>& parameters,
                                   const std::function<bool(const std::vector<std::wstring>&)>& row) {
  Statement statement;
  if (DbResult prepared = Prepare(static_cast<SQLHDBC>(connection_), statement, text); !prepared.Ok())
    return prepared;
  std::vector<DbColumn> columns;
  for (const std::wstring& parameter : parameters) columns.push_back({false, {parameter}, {}});
  std::vector<BoundColumn> bound(columns.size());
  if (!Bind(statement, columns, bound, 0, 1)) return StatementFailure(statement);
  if (!Succeeded(Odbc().SQLExecute(statement.handle))) return StatementFailure(statement);
  SQLSMALLINT count = 0;
  if (!Succeeded(Odbc().SQLNumResultCols(statement.handle, &count))) return StatementFailure(statement);
  std::vector<std::wstring> values(static_cast<std::size_t>(count));
  for (;;) {
    const SQLRETURN fetched = Odbc().SQLFetch(statement.handle);
    if (fetched == SQL_NO_DATA) break;
    if (!Succeeded(fetched)) return StatementFailure(statement);
    for (SQLSMALLINT column = 1; column <= count; ++column) {
      std::wstring& value = values[static_cast<std::size_t>(column - 1)];
      value.clear();
      // A long value comes in parts, each ended by a NUL.
      for (;;) {
        constexpr SQLLEN PartUnits = 1024;
        SQLWCHAR part[PartUnits] = {};
        SQLLEN length = 0;
        const SQLRETURN got = Odbc().SQLGetData(statement.handle, static_cast<SQLUSMALLINT>(column),
                                                SQL_C_WCHAR, part, sizeof part, &length);
        if (got == SQL_NO_DATA || length == SQL_NULL_DATA) break;
        if (!Succeeded(got)) return StatementFailure(statement);
        const bool whole = got == SQL_SUCCESS && length != SQL_NO_TOTAL &&
                           length / static_cast<SQLLEN>(sizeof(SQLWCHAR)) < PartUnits;
        const std::size_t units = whole ? static_cast<std::size_t>(length) / sizeof(SQLWCHAR)
                                        : static_cast<std::size_t>(PartUnits - 1);
        value += FromUtf16(part, units);
        if (whole) break;
      }
    }
    if (!row(values)) break;
  }
  Odbc().SQLCloseCursor(statement.handle);
  return {};
}

DbResult OdbcConnection::Begin() {
  if (!connection_) return Failure(L"Not connected.");
  if (!Succeeded(Odbc().SQLSetConnectAttrW(connection_, SQL_ATTR_AUTOCOMMIT,
                                           Attribute(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER)))
    return Failure(Diagnostics(SQL_HANDLE_DBC, connection_));
  return {};
}

DbResult OdbcConnection::Commit() { return EndTransaction(true); }

DbResult OdbcConnection::Rollback() { return EndTransaction(false); }

DbResult OdbcConnection::EndTransaction(bool commit) {
  if (!connection_) return Failure(L"Not connected.");
  DbResult outcome;
  if (!Succeeded(Odbc().SQLEndTran(SQL_HANDLE_DBC, connection_, commit ? SQL_COMMIT : SQL_ROLLBACK)))
    outcome = Failure(Diagnostics(SQL_HANDLE_DBC, connection_));
  Odbc().SQLSetConnectAttrW(connection_, SQL_ATTR_AUTOCOMMIT, Attribute(SQL_AUTOCOMMIT_ON),
                            SQL_IS_UINTEGER);
  return outcome;
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
