#include <windows.h>
#include <io.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/cli_platform.h"
#include "common/ansi_text.h"
#include "common/utf8_text.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"

std::vector<CliPort> FindCliPorts() {
  std::vector<CliPort> ports;
  for (const ScannerPort& port : EnumerateScannerPorts())
    ports.push_back({"COM" + std::to_string(port.number), SerialPort::DevicePath(port.number),
                     port.bluetooth, Utf8Text(port.instanceId)});
  return ports;
}

// "COM12" or "\\.\COM12"; also a virtual port's own name ("CNCA0"). ASCII
// only, as device names are, so the open path is the same in UTF-8.
NamedPort FindNamedPort(const std::string& name, CliPort& port) {
  constexpr std::size_t LongestName = 260;
  if (name.empty() || name.size() > LongestName) return NamedPort::Missing;
  for (unsigned char c : name)
    if (c < 0x21 || c > 0x7E) return NamedPort::Missing;
  const std::string path = name.rfind("\\\\.\\", 0) == 0 ? name : "\\\\.\\" + name;
  const std::wstring wide(path.begin(), path.end());
  // Opened unshared and closed at once: the download opens it again.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return NamedPort::Missing;
  } else {
    DCB settings = {};
    settings.DCBlength = sizeof settings;
    const bool serial = GetFileType(handle) == FILE_TYPE_CHAR && GetCommState(handle, &settings);
    CloseHandle(handle);
    if (!serial) return NamedPort::NotSerial;
  }
  port = {name, path, false};
  return NamedPort::Found;
}

std::wstring PathFromArgument(const std::string& argument) { return AnsiToWide(argument); }

std::string PathText(const std::wstring& path) { return WideToAnsi(path); }

std::wstring PcName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &length)) return L"";
  return std::wstring(name, length);
}

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

// Progress lines are redrawn with ANSI cursor moves: a console that cannot
// take them (before Windows 10) shows none.
bool StderrIsTerminal() {
  if (_isatty(_fileno(stderr)) == 0) return false;
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return false;
  return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
         SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

std::tm UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_s(&utc, &now);
  return utc;
}
