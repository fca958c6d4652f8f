// The ODBC binding with unixODBC, whose headers stand alone.
#include "export/odbc_connection.inl"

namespace {
// No window to own a driver's connect dialog.
SQLHWND DialogOwner() { return nullptr; }
}  // namespace
