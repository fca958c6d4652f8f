#pragma once
// What lumet-cli does differently on each platform (*_posix.cpp, *_win32.cpp).
//
// The scanner ports it finds and opens: on Windows the COM ports the dialog
// lists (SetupAPI, the same rules); on Linux the ttys that sysfs shows to be a
// scanner's (its USB ids) or a bound rfcomm device. LUMET_SYSFS_ROOT puts the
// sysfs tree and /dev elsewhere (a test's made-up tree).
#include <ctime>
#include <string>
#include <vector>

#include "transport/serial_port.h"

struct CliPort {
  std::string name;      // as the user names it: "COM3", "/dev/ttyACM0"
  std::string openPath;  // what is opened: "\\.\COM3", <root>/dev/ttyACM0
  bool bluetooth = false;
  // Which device is behind the name now: a scanner swapped on the same name
  // has another (empty where the system does not tell).
  std::string identity;
};

std::vector<CliPort> FindCliPorts();
// Opens the port on link with the scanner settings, for this program alone.
PortOpen OpenCliPort(SerialPort& link, const CliPort& port);

// A path from the command line as the program's wide text, and back (UTF-8
// on Linux, the ANSI code page on Windows).
std::wstring PathFromArgument(const std::string& argument);
std::string PathText(const std::wstring& path);

// This computer's name (its host name), as the scan database records it.
std::wstring PcName();
// Whether stderr is a terminal (progress lines go there only then).
bool StderrIsTerminal();
// Now, in UTC; and as ISO 8601: "2026-12-09T10:15:02Z".
std::tm UtcNow();
std::string UtcNowText();
