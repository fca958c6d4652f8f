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
                     port.bluetooth});
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

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::tm UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_s(&utc, &now);
  return utc;
}
