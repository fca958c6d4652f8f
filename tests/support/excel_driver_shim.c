/* A stand-in for the Microsoft Excel ODBC driver, for tests only (never part of
 * the program): a driver library for unixODBC that hands every ODBC call to
 * Debian's SQLite ODBC driver, so that the workbook export runs against a real
 * driver manager and a real driver on Linux and under Wine.
 *
 * The Excel driver names its file with DBQ=, the SQLite driver with Database=;
 * a path from a program under Wine is a Windows path. SQLDriverConnect is the
 * one call looked at: DBQ=Z:\x\y becomes Database=/x/y (C:\x becomes
 * $WINEPREFIX/drive_c/x), everything else goes on unchanged. Every other entry
 * point is a jump into the SQLite driver, loaded with the shim.
 *
 * The "workbook" is an SQLite database with an .xls name: tests read it back
 * with sqlite3.
 *
 * Environment:
 *   LUMET_SQLITE_ODBC         the SQLite driver (default: Debian's path)
 *   LUMET_SHIM_DECLINE=prompt a connect that may ask the user answers "cancelled"
 *                             (SQL_NO_DATA), as if the user closed the driver's dialog
 *   LUMET_SHIM_DECLINE=all    every connect answers SQL_NO_DATA, without a diagnostic
 *   LUMET_SHIM_TRACE=1        print each rewritten connect string on stderr */
#include <ctype.h>
#include <dlfcn.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <sql.h>
#include <sqlext.h>

#ifndef LUMET_SQLITE_ODBC_DEFAULT
#define LUMET_SQLITE_ODBC_DEFAULT "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so"
#endif

#if !defined(__x86_64__)
#error "the jumps below are written for x86-64"
#endif

/* Every entry point of the SQLite driver except SQLDriverConnect. */
#define FORWARDED(X)                                                                            \
  X(SQLAllocConnect) X(SQLAllocEnv) X(SQLAllocHandle) X(SQLAllocStmt) X(SQLBindCol)              \
  X(SQLBindParam) X(SQLBindParameter) X(SQLBrowseConnect) X(SQLBulkOperations) X(SQLCancel)      \
  X(SQLCloseCursor) X(SQLColAttribute) X(SQLColAttributes) X(SQLColumnPrivileges) X(SQLColumns)  \
  X(SQLConnect) X(SQLCopyDesc) X(SQLDataSources) X(SQLDescribeCol) X(SQLDescribeParam)           \
  X(SQLDisconnect) X(SQLDrivers) X(SQLEndTran) X(SQLError) X(SQLExecDirect) X(SQLExecute)        \
  X(SQLExtendedFetch) X(SQLFetch) X(SQLFetchScroll) X(SQLForeignKeys) X(SQLFreeConnect)          \
  X(SQLFreeEnv) X(SQLFreeHandle) X(SQLFreeStmt) X(SQLGetConnectAttr) X(SQLGetConnectOption)      \
  X(SQLGetCursorName) X(SQLGetData) X(SQLGetDescField) X(SQLGetDescRec) X(SQLGetDiagField)       \
  X(SQLGetDiagRec) X(SQLGetEnvAttr) X(SQLGetFunctions) X(SQLGetInfo) X(SQLGetStmtAttr)           \
  X(SQLGetStmtOption) X(SQLGetTypeInfo) X(SQLMoreResults) X(SQLNativeSql) X(SQLNumParams)        \
  X(SQLNumResultCols) X(SQLParamData) X(SQLParamOptions) X(SQLPrepare) X(SQLPrimaryKeys)         \
  X(SQLProcedureColumns) X(SQLProcedures) X(SQLPutData) X(SQLRowCount) X(SQLSetConnectAttr)      \
  X(SQLSetConnectOption) X(SQLSetCursorName) X(SQLSetDescField) X(SQLSetDescRec)                 \
  X(SQLSetEnvAttr) X(SQLSetParam) X(SQLSetPos) X(SQLSetScrollOptions) X(SQLSetStmtAttr)          \
  X(SQLSetStmtOption) X(SQLSpecialColumns) X(SQLStatistics) X(SQLTablePrivileges) X(SQLTables)   \
  X(SQLTransact)

/* Where each jump goes: filled by LoadDriver when the shim is loaded. */
#define TARGET(name) __attribute__((visibility("hidden"))) void* target_##name;
FORWARDED(TARGET)
static void* target_SQLDriverConnect;

/* The jump of one entry point: the arguments stay in their registers and on
 * the stack, so the SQLite driver sees the call as made to itself. */
#define JUMP(name)                                                  \
  __asm__(".text\n.globl " #name "\n.type " #name ",@function\n" #name \
          ":\n\tjmp *target_" #name "(%rip)\n");
FORWARDED(JUMP)

static pthread_once_t loaded = PTHREAD_ONCE_INIT;

static void LoadDriver(void) {
  const char* path = getenv("LUMET_SQLITE_ODBC");
  if (!path || !*path) path = LUMET_SQLITE_ODBC_DEFAULT;
  void* driver = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!driver) {
    fprintf(stderr, "excel driver shim: cannot load %s: %s\n", path, dlerror());
    abort();
  }
#define RESOLVE(name) target_##name = dlsym(driver, #name);
  FORWARDED(RESOLVE)
  RESOLVE(SQLDriverConnect)
#undef RESOLVE
}

/* Loaded when the driver manager loads the shim, before any entry point runs. */
__attribute__((constructor)) static void LoadOnStart(void) { pthread_once(&loaded, LoadDriver); }

/* A Windows path as the file system here sees it: Z:\x\y is /x/y, another
 * drive letter lies in the Wine prefix; a path without a drive keeps its
 * letters, backslashes turned into slashes. */
static void UnixPath(const char* path, size_t length, char* out, size_t size) {
  size_t used = 0;
  out[0] = 0;
  if (length >= 2 && isalpha((unsigned char)path[0]) && path[1] == ':') {
    char drive = (char)tolower((unsigned char)path[0]);
    if (drive != 'z') {
      const char* prefix = getenv("WINEPREFIX");
      used = (size_t)snprintf(out, size, "%s/drive_%c", prefix ? prefix : ".", drive);
      if (used >= size) used = size - 1;
    }
    path += 2;
    length -= 2;
  }
  for (size_t i = 0; i < length && used + 1 < size; ++i) out[used++] = path[i] == '\\' ? '/' : path[i];
  out[used] = 0;
}

/* Appends text to out (size bytes) if it fits; 0 when it does not. */
static int Append(char* out, size_t size, size_t* used, const char* text, size_t length) {
  if (*used + length + 1 > size) return 0;
  memcpy(out + *used, text, length);
  *used += length;
  out[*used] = 0;
  return 1;
}

/* The connect string with DBQ=<path> turned into Database=<unix path>. Keys are
 * split at ';' outside braces. 0 when the result does not fit. */
static int RewriteConnect(const char* in, size_t length, char* out, size_t size) {
  size_t used = 0, start = 0;
  out[0] = 0;
  while (start < length) {
    size_t end = start;
    int braces = 0;
    while (end < length && (in[end] != ';' || braces)) {
      if (in[end] == '{') ++braces;
      else if (in[end] == '}' && braces) --braces;
      ++end;
    }
    const char* pair = in + start;
    size_t pairLength = end - start;
    int ok;
    if (pairLength >= 4 && strncasecmp(pair, "DBQ=", 4) == 0) {
      char path[4096];
      UnixPath(pair + 4, pairLength - 4, path, sizeof path);
      ok = Append(out, size, &used, "Database=", 9) && Append(out, size, &used, path, strlen(path));
    } else {
      ok = Append(out, size, &used, pair, pairLength);
    }
    if (!ok || !Append(out, size, &used, ";", 1)) return 0;
    start = end + 1;
  }
  return 1;
}

typedef SQLRETURN (*DriverConnectFunction)(SQLHDBC, SQLHWND, SQLCHAR*, SQLSMALLINT, SQLCHAR*,
                                           SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT);

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC connection, SQLHWND window, SQLCHAR* in,
                                   SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outSize,
                                   SQLSMALLINT* outLength, SQLUSMALLINT completion) {
  pthread_once(&loaded, LoadDriver);
  const char* decline = getenv("LUMET_SHIM_DECLINE");
  if (decline && (strcmp(decline, "all") == 0 ||
                  (strcmp(decline, "prompt") == 0 && completion != SQL_DRIVER_NOPROMPT)))
    return SQL_NO_DATA;
  size_t length = inLength == SQL_NTS ? strlen((const char*)in) : (size_t)(inLength < 0 ? 0 : inLength);
  char rewritten[8192];
  if (!RewriteConnect((const char*)in, length, rewritten, sizeof rewritten)) return SQL_ERROR;
  if (getenv("LUMET_SHIM_TRACE"))
    fprintf(stderr, "excel driver shim: %.*s -> %s\n", (int)length, (const char*)in, rewritten);
  return ((DriverConnectFunction)target_SQLDriverConnect)(connection, window, (SQLCHAR*)rewritten,
                                                          SQL_NTS, out, outSize, outLength, completion);
}
