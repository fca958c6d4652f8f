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

namespace {
// Writes bytes into a file opened with disposition; false when it could not
// be opened or not everything was written.
bool WriteFileWith(const wchar_t* path, DWORD disposition, const std::string& bytes) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool complete = WriteAll(file, bytes) && FlushFileBuffers(file);
  return CloseHandle(file) && complete;
}
}  // namespace

bool ReplaceSettingsFile(const std::wstring& path, const std::string& bytes) {
  std::wstring folder = FolderOf(path);
  if (folder.empty()) folder = L".";
  // A new file of its own name in the same folder (so the move is a rename).
  // GetTempFileNameW fails in a folder that grants no new file, and for a
  // folder path longer than MAX_PATH - 14 characters.
  wchar_t temp[MAX_PATH] = {};
  if (!GetTempFileNameW(folder.c_str(), L"cfg", 0, temp))
    return WriteFileWith(path.c_str(), CREATE_ALWAYS, bytes);
  bool complete = WriteFileWith(temp, TRUNCATE_EXISTING, bytes);
  if (!complete ||
      !MoveFileExW(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temp);
    return false;
  }
  return true;
}
