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
// A port named on the command line, looked up as given: Missing when there
// is no such device, NotSerial when it is something else (a file, a folder),
// Found (port filled in) when it is a terminal, or a COM port that opens or
// that another program holds. Under LUMET_SYSFS_ROOT an absolute name is
// looked up in that tree's /dev.
enum class NamedPort { Missing, NotSerial, Found };
NamedPort FindNamedPort(const std::string& name, CliPort& port);
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
