#pragma once
// Where the export finds its ODBC functions. Windows: odbc32.dll (the driver
// manager) and odbccp32.dll (the installer), loaded from the system folder
// only, and only when the export first needs them, so a DLL of that name
// beside Lumet.exe is never taken and a PC without them still starts Lumet.
// Elsewhere: unixODBC's own, linked in.

enum class OdbcLibrary { DriverManager, Installer };

// The functions the export and the scan database call, each with its library.
#define LUMET_ODBC_FUNCTIONS(X)                                                          \
  X(DriverManager, SQLAllocHandle)                                                       \
  X(DriverManager, SQLBindParameter)                                                     \
  X(DriverManager, SQLCloseCursor)                                                       \
  X(DriverManager, SQLDescribeColW)                                                      \
  X(DriverManager, SQLDisconnect)                                                        \
  X(DriverManager, SQLDriverConnectW)                                                    \
  X(DriverManager, SQLEndTran)                                                           \
  X(DriverManager, SQLExecDirectW)                                                       \
  X(DriverManager, SQLExecute)                                                           \
  X(DriverManager, SQLFetch)                                                             \
  X(DriverManager, SQLFreeHandle)                                                        \
  X(DriverManager, SQLGetData)                                                           \
  X(DriverManager, SQLGetDiagRecW)                                                       \
  X(DriverManager, SQLNumResultCols)                                                     \
  X(DriverManager, SQLPrepareW)                                                          \
  X(DriverManager, SQLSetConnectAttrW)                                                   \
  X(DriverManager, SQLSetEnvAttr)                                                        \
  X(DriverManager, SQLSetStmtAttr)                                                       \
  X(Installer, SQLGetInstalledDriversW)

// The address of the function of that name, or nullptr when its library
// cannot be loaded or lacks it.
void* OdbcFunction(OdbcLibrary library, const char* name);
