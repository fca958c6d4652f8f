#include <windows.h>
#include <io.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "cli/cli_platform.h"
#include "common/ansi_text.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"

std::vector<CliPort> FindCliPorts() {
  std::vector<CliPort> ports;
  for (const ScannerPort& port : EnumerateScannerPorts())
    ports.push_back({"COM" + std::to_string(port.number), SerialPort::DevicePath(port.number),
                     port.bluetooth, {}});
  return ports;
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
