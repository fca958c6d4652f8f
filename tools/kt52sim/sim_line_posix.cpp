#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim_line.h"

namespace {
std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}
}  // namespace

bool OpenPtyLine(SimLine& line, std::string& error) {
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0) {
    error = Failure("posix_openpt");
    return false;
  }
  const char* name = nullptr;
  if (grantpt(master) != 0 || unlockpt(master) != 0 || (name = ptsname(master)) == nullptr) {
    error = Failure("pty setup");
    close(master);
    return false;
  }
  std::string path = name;
  // The slave's settings outlive this open: the host finds the line raw
  // (no echo, no line editing) even before it sets it up itself.
  int slave = open(path.c_str(), O_RDWR | O_NOCTTY);
  if (slave < 0 || !MakeRaw(slave)) {
    error = Failure("pty slave");
    if (slave >= 0) close(slave);
    close(master);
    return false;
  }
  close(slave);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  line.fd = master;
  line.path = path;
  line.isPty = true;
  return true;
}

bool OpenDeviceLine(const std::string& path, SimLine& line, std::string& error) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = Failure(path.c_str());
    return false;
  }
  if (isatty(fd) && !MakeRaw(fd)) {
    error = Failure("raw mode");
    close(fd);
    return false;
  }
  line.fd = fd;
  line.path = path;
  line.isPty = false;
  return true;
}

void CloseLine(SimLine& line) {
  if (line.fd >= 0) close(line.fd);
  line.fd = -1;
}

bool MakeLink(const std::string& target, const std::string& linkPath, std::string& error) {
  struct stat st {};
  if (lstat(linkPath.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = linkPath + " exists and is not a symlink";
      return false;
    }
    unlink(linkPath.c_str());
  }
  if (symlink(target.c_str(), linkPath.c_str()) != 0) {
    error = Failure(linkPath.c_str());
    return false;
  }
  return true;
}
