// The settings file on POSIX: paths are wide text with "\" between folders
// (see common/posix_path.h).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/posix_path.h"
#include "settings/settings_file.h"

namespace {
bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}
}  // namespace

bool ReadSettingsFile(const std::wstring& path, std::size_t limit, std::string& bytes) {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bytes.assign(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    ssize_t n = ::read(fd, bytes.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  ::close(fd);
  return true;
}

namespace {
bool WriteInPlace(const std::string& target, const std::string& bytes) {
  int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool complete = WriteAll(fd, bytes);
  return ::close(fd) == 0 && complete;
}
}  // namespace

bool ReplaceSettingsFile(const std::wstring& path, const std::string& bytes) {
  const std::string target = NativePath(path);
  std::string temp = target + ".XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return WriteInPlace(target, bytes);
  bool complete = WriteAll(fd, bytes) && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  complete = ::close(fd) == 0 && complete;
  if (!complete || std::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}
