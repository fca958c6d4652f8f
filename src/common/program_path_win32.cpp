#include <windows.h>
#include <shlobj.h>

#include "common/program_path.h"

std::wstring SystemProgramPath() {
  // A longer path than MAX_PATH gets a larger buffer instead of being cut.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring SystemUserFolderPath(UserFolder which) {
  wchar_t path[MAX_PATH] = {};
  const int folder = which == UserFolder::AppData ? CSIDL_APPDATA : CSIDL_PERSONAL;
  if (SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return {};
  return path;
}
