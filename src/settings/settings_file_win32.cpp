// The settings file on Windows, through the wide file API.
#include <windows.h>

#include "common/program_path.h"
#include "settings/settings_file.h"

namespace {
bool WriteAll(HANDLE file, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t rest = bytes.size() - done;
    DWORD part = rest > 0x40000000u ? 0x40000000u : static_cast<DWORD>(rest);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, part, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}
}  // namespace

bool ReadSettingsFile(const std::wstring& path, std::size_t limit, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.assign(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    DWORD n = 0;
    if (!ReadFile(file, bytes.data() + got, static_cast<DWORD>(limit - got), &n, nullptr) || n == 0) break;
    got += n;
  }
  bytes.resize(got);
  CloseHandle(file);
  return true;
}

bool ReplaceSettingsFile(const std::wstring& path, const std::string& bytes) {
  std::wstring folder = FolderOf(path);
  if (folder.empty()) folder = L".";
  // A new file of its own name in the same folder (so the move is a rename).
  wchar_t temp[MAX_PATH] = {};
  if (!GetTempFileNameW(folder.c_str(), L"cfg", 0, temp)) return false;
  HANDLE file = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  bool complete = file != INVALID_HANDLE_VALUE && WriteAll(file, bytes) && FlushFileBuffers(file);
  if (file != INVALID_HANDLE_VALUE) complete = CloseHandle(file) && complete;
  if (!complete ||
      !MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp);
    return false;
  }
  return true;
}
