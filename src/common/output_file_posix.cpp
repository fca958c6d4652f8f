// Output files on POSIX. Paths are wide text with "\" between folders, as on
// Windows (see common/posix_path.h).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/output_file.h"
#include "common/posix_path.h"
#include "common/program_path.h"

namespace {
FILE* AsFile(void* handle) { return static_cast<FILE*>(handle); }
}  // namespace

OutputFile::~OutputFile() { Close(); }

bool OutputFile::OpenForAppend(const std::wstring& path) {
  Close();
  ForgetAppended();
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // Not shared with other openers: a second lock on the same file fails.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  FILE* file = ::fdopen(fd, "ab");
  if (!file) {
    ::close(fd);
    return false;
  }
  handle_ = file;
  return true;
}

bool OutputFile::IsOpen() const { return handle_ != nullptr; }

bool OutputFile::Append(const char* bytes, std::size_t length) {
  if (!handle_) return false;
  if (length == 0) return true;
  FILE* file = AsFile(handle_);
  // Flushed at once, so a full disk is reported by this write, not at close.
  if (std::fwrite(bytes, 1, length, file) != length || std::fflush(file) != 0) return false;
  Appended(bytes, length);
  return true;
}

std::uint64_t OutputFile::Length() {
  if (!handle_) return 0;
  struct stat info {};
  if (::fstat(::fileno(AsFile(handle_)), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

void OutputFile::Close() {
  if (!handle_) return;
  std::fclose(AsFile(handle_));  // also drops the lock
  handle_ = nullptr;
}

bool OutputFile::FlushAndClose() {
  if (!handle_) return false;
  FILE* file = AsFile(handle_);
  handle_ = nullptr;
  const bool flushed = std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
  return std::fclose(file) == 0 && flushed;
}

bool DigestFileFrom(const std::wstring& path, std::uint64_t from, FileDigest& digest) {
  digest = FileDigest{};
  FILE* file = std::fopen(NativePath(path).c_str(), "rb");
  if (!file) return false;
  bool ok = ::fseeko(file, static_cast<off_t>(from), SEEK_SET) == 0;
  char buffer[65536];
  for (std::size_t n; ok && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    digest.length += n;
    digest.hash = FileHash(buffer, n, digest.hash);
    for (std::size_t i = 0; i < n; ++i) digest.lineFeeds += buffer[i] == '\n';
  }
  ok = ok && !std::ferror(file);
  struct stat info {};
  ok = ok && ::fstat(::fileno(file), &info) == 0 && static_cast<std::uint64_t>(info.st_size) >= from;
  std::fclose(file);
  return ok;
}

bool RemoveFile(const std::wstring& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool RemoveFile(const std::wstring& path, std::wstring& reason) {
  if (RemoveFile(path)) return true;
  reason = WideName(std::strerror(errno));
  return false;
}

bool RenameFile(const std::wstring& from, const std::wstring& to, std::wstring& reason) {
  // Never over another file: the name is taken first, then the old one let go.
  if (::link(NativePath(from).c_str(), NativePath(to).c_str()) == 0 && RemoveFile(from)) return true;
  reason = WideName(std::strerror(errno));
  return false;
}

bool PutFileInPlace(const std::wstring& from, const std::wstring& to, std::wstring& reason) {
  if (::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0) return true;
  reason = WideName(std::strerror(errno));
  return false;
}

std::string NarrowFilePath(const std::wstring& path) { return NativePath(path); }

bool PathExists(const std::wstring& path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0;
}

std::wstring CurrentFolder() {
  std::string folder(4096, '\0');
  if (!::getcwd(folder.data(), folder.size())) return L".";
  return WideName(folder.c_str());
}

std::vector<FolderEntry> ListFolder(const std::wstring& folder, const std::wstring& extension) {
  std::vector<FolderEntry> entries;
  std::string native = NativePath(folder);
  DIR* dir = ::opendir(native.c_str());
  if (!dir) return entries;
  while (const dirent* entry = ::readdir(dir)) {
    std::wstring name = WideName(entry->d_name);
    if (!HasExtension(name, extension)) continue;
    struct stat info {};
    std::string full = native + "/" + entry->d_name;
    bool isDirectory = ::stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back({std::move(name), isDirectory});
  }
  ::closedir(dir);
  return entries;
}

bool IsFolder(const std::wstring& path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FolderRefusesNewFiles(const std::wstring& folder) {
  std::string probe = NativePath(folder) + "/.lumet-probe-XXXXXX";
  int fd = ::mkostemp(probe.data(), O_CLOEXEC);
  if (fd < 0) return errno == EACCES || errno == EPERM || errno == EROFS;
  ::close(fd);
  ::unlink(probe.c_str());
  return false;
}

bool FileTakesWrites(const std::wstring& path) {
  int fd = ::open(NativePath(path).c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool MakeFolders(const std::wstring& folder) {
  if (folder.empty() || IsFolder(folder)) return !folder.empty();
  // A folder given on the command line is written with "/".
  const std::size_t cut = folder.find_last_of(L"\\/");
  const std::wstring parent = cut == std::wstring::npos ? std::wstring() : folder.substr(0, cut);
  if (!parent.empty() && !IsFolder(parent) && !MakeFolders(parent)) return false;
  return ::mkdir(NativePath(folder).c_str(), 0755) == 0 || IsFolder(folder);
}
