#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/cli_platform.h"
#include "common/posix_path.h"
#include "transport/tty_discovery.h"

namespace {
std::string SysfsRoot() {
  const char* root = std::getenv("LUMET_SYSFS_ROOT");
  return root && *root ? root : "/";
}
}  // namespace

std::vector<CliPort> FindCliPorts() {
  const std::string root = SysfsRoot();
  std::vector<CliPort> ports;
  for (const TtyPort& tty : FindScannerTtys(root)) {
    const std::string openPath = TtyOpenPath(root, tty);
    // The device node too: a link that now leads to another one (a made-up
    // tree's pseudo-terminal) is another scanner.
    char* node = realpath(openPath.c_str(), nullptr);
    std::string identity = tty.identity + (node ? std::string(" ") + node : std::string());
    std::free(node);
    ports.push_back({tty.path, openPath, tty.kind == TtyKind::Bluetooth, identity});
  }
  return ports;
}

NamedPort FindNamedPort(const std::string& name, CliPort& port) {
  if (name.empty() || name.find('\0') != std::string::npos) return NamedPort::Missing;
  const std::string path = name[0] == '/' ? TtyOpenPath(SysfsRoot(), TtyPort{name, TtyKind::Usb, {}}) : name;
  struct stat about {};
  if (::stat(path.c_str(), &about) != 0) return NamedPort::Missing;
  if (!S_ISCHR(about.st_mode)) return NamedPort::NotSerial;
  // Opened without waiting for a carrier, and not kept: the download opens
  // it again, for itself alone. A tty another program holds exclusively is a
  // terminal all the same, and its download says "Port In Use".
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno != EBUSY) return NamedPort::NotSerial;
  termios settings{};
  const bool terminal = fd < 0 || ::tcgetattr(fd, &settings) == 0;
  if (fd >= 0) ::close(fd);
  if (!terminal) return NamedPort::NotSerial;
  port = {name, path, false, {}};
  return NamedPort::Found;
}

std::wstring PathFromArgument(const std::string& argument) { return WideName(argument.c_str()); }

std::string PathText(const std::wstring& path) { return NativePath(path); }

std::wstring PcName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return L"";
  return WideName(name);
}

bool StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::tm UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  return utc;
}
