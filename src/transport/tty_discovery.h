#pragma once
// Finding scanner ports on Linux through sysfs (POSIX builds only): a USB
// tty whose USB device has the dialog's hardware id, or a bound rfcomm
// device. The root folder is a parameter ("/" for the machine), so a test can
// give a made-up tree.
#include <cstddef>
#include <string>
#include <vector>

enum class TtyKind { Usb, Bluetooth };

struct TtyPort {
  std::string path;  // as the user names it: "/dev/ttyACM0", "/dev/rfcomm0"
  TtyKind kind = TtyKind::Usb;
  // Which USB device it is (its sysfs folder, bus number, serial number):
  // another scanner on the same tty name has another. Empty for rfcomm.
  std::string identity;
};

// Bounds that keep a hostile tree from holding or flooding the search: the
// entries of <root>/sys/class/tty read at most, the parents of a tty's device
// visited at most on the way to its USB device, and the ports listed at most.
inline constexpr std::size_t MaxTtyEntries = 4096;
inline constexpr int MaxDeviceDepth = 32;
inline constexpr std::size_t MaxTtyPorts = 100;

// The scanner ports under root, sorted by path (digit runs by their value:
// ttyACM2 before ttyACM10). A missing or unreadable tree lists nothing.
std::vector<TtyPort> FindScannerTtys(const std::string& root);

// The path a program opens for a listed port: root joined with its path.
std::string TtyOpenPath(const std::string& root, const TtyPort& port);
