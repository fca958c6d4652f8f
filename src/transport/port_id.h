#pragma once
// Which port a scanner is on: a COM number (the dialog's ports, and the
// command line's on Windows) or a device path (a tty, or a port named by hand).
#include <cstdint>
#include <string>

struct PortId {
  std::uint32_t number = 0;  // COM<number>; 0 when the port is named by path
  std::string path;          // the device, UTF-8; empty when named by number
};
