// The ODBC binding on Windows: its sql.h needs <windows.h> before it.
#include <windows.h>

#include "export/odbc_connection.inl"

namespace {
SQLHWND DialogOwner() {
  HWND active = GetActiveWindow();
  return active ? active : GetDesktopWindow();
}
}  // namespace
