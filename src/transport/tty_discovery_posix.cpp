// Scanner ports in sysfs. /sys/class/tty/<name> is one tty; its "device"
// link leads into /sys/devices, and the nearest folder above it that holds
// "idVendor" and "idProduct" is the USB device it belongs to. Those ids are
// turned into the Windows instance-id text and tested by the dialog's own
// rule, so both programs list the same scanners.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "transport/port_discovery.h"
#include "transport/tty_discovery.h"

namespace {
// sysfs ids are 4 hex digits and a newline; anything longer is not an id.
constexpr std::size_t AttributeBytes = 16;
// tty names are short; a longer one is no scanner's.
constexpr std::size_t MaxNameLength = 64;

// Names that are safe to show and to put under /dev: letters, digits, "_",
// "-" and "." (not first, so neither "." nor ".." passes).
bool UsableName(const std::string& name) {
  if (name.empty() || name.size() > MaxNameLength || name[0] == '.') return false;
  for (char c : name) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-' || c == '.';
    if (!plain) return false;
  }
  return true;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "rfcomm" and a number as the kernel writes it (no leading zero).
bool IsRfcommName(const std::string& name) {
  constexpr std::string_view Stem = "rfcomm";
  if (name.size() <= Stem.size() || name.compare(0, Stem.size(), Stem) != 0) return false;
  std::string_view digits = std::string_view(name).substr(Stem.size());
  if (digits.size() > 1 && digits[0] == '0') return false;
  return std::all_of(digits.begin(), digits.end(), IsDigit);
}

bool RealPath(const std::string& path, std::string& resolved) {
  // realpath gives up on a loop of links (ELOOP) and on an over-long path.
  char* found = realpath(path.c_str(), nullptr);
  if (found == nullptr) return false;
  resolved = found;
  std::free(found);
  return true;
}

// Whether path lies inside folder (both resolved).
bool IsInside(const std::string& path, const std::string& folder) {
  if (folder == "/") return path.size() > 1;
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

std::string Parent(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

enum class Attribute { Missing, Unusable, Read };

// One small attribute file, read whole or not at all: a regular file of at
// most AttributeBytes, never a link, a FIFO or a device.
Attribute ReadAttribute(const std::string& folder, const char* name, std::string& value) {
  int fd = ::open((folder + "/" + name).c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Attribute::Missing : Attribute::Unusable;
  struct stat info {};
  char buffer[AttributeBytes + 1];
  std::size_t got = 0;
  bool usable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  while (usable && got < sizeof buffer) {
    ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) usable = false;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (!usable || got > AttributeBytes) return Attribute::Unusable;
  value.assign(buffer, got);
  return Attribute::Read;
}

// A sysfs id: exactly four hex digits, then at most one newline.
bool IsUsbId(std::string& text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text.size() == 4 && std::all_of(text.begin(), text.end(), [](char c) {
           return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
         });
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// What tells one plugged-in USB device from the next: its folder, and the
// number the bus gave it (new at each plugging) and its serial number, when
// it has them.
std::string UsbIdentity(const std::string& folder) {
  std::string identity = folder;
  for (const char* name : {"busnum", "devnum", "serial"}) {
    std::string value;
    if (ReadAttribute(folder, name, value) == Attribute::Read) identity += " " + value;
  }
  return identity;
}

// Whether the tty's device belongs to a USB scanner (then identity says which
// device it is). The nearest folder with either id decides; the walk never
// leaves the tree's sys folder.
bool IsUsbScanner(const std::string& ttyFolder, const std::string& sysFolder,
                  std::string& identity) {
  std::string folder;
  if (!RealPath(ttyFolder + "/device", folder)) return false;
  for (int depth = 0; depth < MaxDeviceDepth && IsInside(folder, sysFolder); ++depth) {
    std::string vendor, product;
    Attribute hasVendor = ReadAttribute(folder, "idVendor", vendor);
    Attribute hasProduct = ReadAttribute(folder, "idProduct", product);
    if (hasVendor != Attribute::Missing || hasProduct != Attribute::Missing) {
      if (hasVendor != Attribute::Read || hasProduct != Attribute::Read) return false;
      if (!IsUsbId(vendor) || !IsUsbId(product)) return false;
      identity = UsbIdentity(folder);
      return MatchScannerInstanceId(Widen("USB\\VID_" + vendor + "&PID_" + product));
    }
    folder = Parent(folder);
  }
  return false;
}

// Digit runs compare by their value, everything else byte by byte; names
// equal so (tty01, tty1) fall back to plain order.
bool NameBefore(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      std::size_t iEnd = i, jEnd = j;
      while (iEnd < a.size() && IsDigit(a[iEnd])) ++iEnd;
      while (jEnd < b.size() && IsDigit(b[jEnd])) ++jEnd;
      while (i + 1 < iEnd && a[i] == '0') ++i;
      while (j + 1 < jEnd && b[j] == '0') ++j;
      if (iEnd - i != jEnd - j) return iEnd - i < jEnd - j;
      int order = a.compare(i, iEnd - i, b, j, jEnd - j);
      if (order != 0) return order < 0;
      i = iEnd;
      j = jEnd;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i == a.size();
  return a < b;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}
}  // namespace

std::vector<TtyPort> FindScannerTtys(const std::string& root) {
  std::vector<TtyPort> ports;
  const std::string base = WithoutTrailingSlashes(root);
  std::string sysFolder;
  if (!RealPath(base + "/sys", sysFolder)) return ports;
  const std::string ttyFolder = base + "/sys/class/tty";
  DIR* dir = opendir(ttyFolder.c_str());
  if (dir == nullptr) return ports;
  std::size_t seen = 0;
  while (seen++ < MaxTtyEntries) {
    dirent* entry = readdir(dir);
    if (entry == nullptr) break;
    std::string name = entry->d_name;
    if (!UsableName(name)) continue;
    std::string identity;
    if (IsRfcommName(name))
      ports.push_back({"/dev/" + name, TtyKind::Bluetooth, {}});
    else if (IsUsbScanner(ttyFolder + "/" + name, sysFolder, identity))
      ports.push_back({"/dev/" + name, TtyKind::Usb, identity});
  }
  closedir(dir);
  std::sort(ports.begin(), ports.end(),
            [](const TtyPort& a, const TtyPort& b) { return NameBefore(a.path, b.path); });
  if (ports.size() > MaxTtyPorts) ports.resize(MaxTtyPorts);
  return ports;
}

std::string TtyOpenPath(const std::string& root, const TtyPort& port) {
  return WithoutTrailingSlashes(root) + port.path;
}
