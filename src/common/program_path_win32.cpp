#include <windows.h>

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
