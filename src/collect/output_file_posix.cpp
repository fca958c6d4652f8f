// Output files on POSIX. Paths are wide text with "\" between folders, as on
// Windows; here "\" becomes "/" and the text is encoded as UTF-8, the file-name
// encoding of every current Linux system (names read back are decoded the same
// way, an invalid byte becoming U+FFFD).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "collect/output_file.h"

namespace {
void PutUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string NativePath(const std::wstring& path) {
  std::string out;
  out.reserve(path.size());
  for (wchar_t c : path) PutUtf8(out, c == L'\\' ? U'/' : static_cast<char32_t>(c));
  return out;
}

std::wstring WideName(const char* name) {
  std::wstring out;
  const auto* p = reinterpret_cast<const unsigned char*>(name);
  while (*p) {
    unsigned lead = *p;
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    char32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = extra >= 0;
    for (int i = 1; valid && i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) valid = false;
      else c = (c << 6) | (p[i] & 0x3F);
    }
    if (!valid) {
      out += L'\xFFFD';
      ++p;
      continue;
    }
    out += c > 0x10FFFF ? L'\xFFFD' : static_cast<wchar_t>(c);
    p += extra + 1;
  }
  return out;
}

FILE* AsFile(void* handle) { return static_cast<FILE*>(handle); }
}  // namespace

OutputFile::~OutputFile() { Close(); }

bool OutputFile::OpenForAppend(const std::wstring& path) {
  Close();
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
  return std::fwrite(bytes, 1, length, file) == length && std::fflush(file) == 0;
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

bool RemoveFile(const std::wstring& path) { return ::unlink(NativePath(path).c_str()) == 0; }

bool RemoveFile(const std::wstring& path, std::wstring& reason) {
  if (RemoveFile(path)) return true;
  reason = WideName(std::strerror(errno));
  return false;
}

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

std::wstring ProgramFolder() {
  std::string path(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return L".";
  path.resize(static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  path.resize(slash == std::string::npos ? 0 : slash);
  return path.empty() ? L"/" : WideName(path.c_str());
}
