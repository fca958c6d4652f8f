// unixODBC is linked into the program: the addresses are its functions' own.
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <cstring>

#include "export/odbc_library.h"

void* OdbcFunction(OdbcLibrary, const char* name) {
  struct Named {
    const char* name;
    void* address;
  };
#define LUMET_ODBC_NAMED(library, function) {#function, reinterpret_cast<void*>(&function)},
  static const Named functions[] = {LUMET_ODBC_FUNCTIONS(LUMET_ODBC_NAMED)};
#undef LUMET_ODBC_NAMED
  for (const Named& f : functions)
    if (std::strcmp(f.name, name) == 0) return f.address;
  return nullptr;
}
