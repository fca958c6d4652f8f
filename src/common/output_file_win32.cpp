// Output files on Windows, through the wide file API.
#include <windows.h>

#include "common/output_file.h"
#include "common/ansi_text.h"
#include "common/program_path.h"

namespace {
HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }
}  // namespace

OutputFile::~OutputFile() { Close(); }

bool OutputFile::OpenForAppend(const std::wstring& path) {
  Close();
  ForgetAppended();
  // Created when missing, content kept, no sharing with other openers.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = file;
  return true;
}

bool OutputFile::IsOpen() const { return handle_ != nullptr; }

bool OutputFile::Append(const char* bytes, std::size_t length) {
  if (!handle_) return false;
  HANDLE file = AsHandle(handle_);
  LARGE_INTEGER zero = {};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_END)) return false;
  const char* const start = bytes;
  const std::size_t whole = length;
  while (length > 0) {
    DWORD part = length > 0x40000000u ? 0x40000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(file, bytes, part, &written, nullptr) || written == 0) return false;
    bytes += written;
    length -= written;
  }
  Appended(start, whole);
  return true;
}

std::uint64_t OutputFile::Length() {
  if (!handle_) return 0;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(AsHandle(handle_), &size)) return 0;
  return static_cast<std::uint64_t>(size.QuadPart);
}

void OutputFile::Close() {
  if (!handle_) return;
  CloseHandle(AsHandle(handle_));
  handle_ = nullptr;
}

bool OutputFile::FlushAndClose() {
  if (!handle_) return false;
  HANDLE file = AsHandle(handle_);
  handle_ = nullptr;
  const bool flushed = FlushFileBuffers(file) != FALSE;
  return CloseHandle(file) != FALSE && flushed;
}

bool DigestFileFrom(const std::wstring& path, std::uint64_t from, FileDigest& digest) {
  digest = FileDigest{};
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size = {}, offset = {};
  offset.QuadPart = static_cast<LONGLONG>(from);
  bool ok = GetFileSizeEx(file, &size) && static_cast<std::uint64_t>(size.QuadPart) >= from &&
            SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
  char buffer[65536];
  DWORD n = 0;
  while (ok) {
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
      ok = false;
      break;
    }
    if (n == 0) break;
    digest.length += n;
    digest.hash = FileHash(buffer, n, digest.hash);
    for (DWORD i = 0; i < n; ++i) digest.lineFeeds += buffer[i] == '\n';
  }
  CloseHandle(file);
  return ok;
}

bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }

namespace {
// The system's text for the last error.
std::wstring LastErrorText() {
  DWORD error = GetLastError();
  wchar_t text[512] = {};
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, 512, nullptr);
  std::wstring reason(text, length < 512 ? length : 511);
  while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r')) reason.pop_back();
  if (reason.empty()) reason = L"Error " + std::to_wstring(error);
  return reason;
}
}  // namespace

bool RemoveFile(const std::wstring& path, std::wstring& reason) {
  if (DeleteFileW(path.c_str())) return true;
  reason = LastErrorText();
  return false;
}

bool RenameFile(const std::wstring& from, const std::wstring& to, std::wstring& reason) {
  // Without MOVEFILE_REPLACE_EXISTING an existing file of the new name stays.
  if (MoveFileExW(from.c_str(), to.c_str(), 0)) return true;
  reason = LastErrorText();
  return false;
}

bool PutFileInPlace(const std::wstring& from, const std::wstring& to, std::wstring& reason) {
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  reason = LastErrorText();
  return false;
}

std::string NarrowFilePath(const std::wstring& path) { return WideToAnsi(path); }

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring CurrentFolder() {
  wchar_t folder[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
  return length > 0 && length < MAX_PATH ? std::wstring(folder, length) : std::wstring(L".");
}

std::vector<FolderEntry> ListFolder(const std::wstring& folder, const std::wstring& extension) {
  std::vector<FolderEntry> entries;
  std::wstring pattern = folder + L"\\*" + extension;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    // "*.txt" also matches longer extensions through their short 8.3 names.
    std::wstring name = found.cFileName;
    if (!HasExtension(name, extension)) continue;
    entries.push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderRefusesNewFiles(const std::wstring& folder) {
  // Named for this process and moment, and gone with its handle.
  std::wstring probe = folder + L"\\.lumet-probe-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                       std::to_wstring(GetTickCount64());
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT;
  }
  CloseHandle(file);
  return false;
}

bool FileTakesWrites(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool MakeFolders(const std::wstring& folder) {
  if (folder.empty() || IsFolder(folder)) return !folder.empty();
  // "D:/Scans/new" is as good a path as "D:\Scans\new".
  const std::size_t cut = folder.find_last_of(L"\\/");
  const std::wstring parent = cut == std::wstring::npos ? std::wstring() : folder.substr(0, cut);
  if (!parent.empty() && !IsFolder(parent) && !MakeFolders(parent)) return false;
  return CreateDirectoryW(folder.c_str(), nullptr) || IsFolder(folder);
}
