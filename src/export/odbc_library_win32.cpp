// The ODBC libraries of Windows, loaded on first use from the system folder.
#include <windows.h>

#include <string>

#include "export/odbc_library.h"

namespace {
HMODULE LoadFromSystemFolder(const wchar_t* name) {
  HMODULE module = LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr || GetLastError() != ERROR_INVALID_PARAMETER) return module;
  // A Windows 7 without the loader update knows no search flags: the system
  // folder's full path then.
  wchar_t folder[MAX_PATH] = {};
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path = std::wstring(folder, length) + L"\\" + name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
}  // namespace

void* OdbcFunction(OdbcLibrary library, const char* name) {
  // Loaded once, when the export first asks; kept until the program ends.
  static const HMODULE manager = LoadFromSystemFolder(L"odbc32.dll");
  static const HMODULE installer = LoadFromSystemFolder(L"odbccp32.dll");
  HMODULE module = library == OdbcLibrary::DriverManager ? manager : installer;
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(module, name));
}
