#pragma once
// Makes a folder refuse new entries, or a file refuse writes, for a test's
// scope, POSIX only: mode bits stop other users, and for root, who ignores
// them, the immutable flag does (ext4 and most Linux file systems). Holds()
// says whether it took; a test fails on a machine where it cannot.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

class UnwritableScope {
 public:
  explicit UnwritableScope(const std::filesystem::path& path) : path_(path) {
    struct stat info {};
    if (::stat(path_.c_str(), &info) != 0) return;
    mode_ = info.st_mode & 07777;
    ::chmod(path_.c_str(), mode_ & ~0222);
    immutable_ = SetImmutable(true);
  }
  ~UnwritableScope() {
    if (immutable_) SetImmutable(false);
    ::chmod(path_.c_str(), mode_);
  }
  UnwritableScope(const UnwritableScope&) = delete;
  UnwritableScope& operator=(const UnwritableScope&) = delete;

  bool Holds() const { return ::geteuid() != 0 || immutable_; }

 private:
  bool SetImmutable(bool on) {
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
  }

  std::filesystem::path path_;
  mode_t mode_ = 0755;
  bool immutable_ = false;
};
