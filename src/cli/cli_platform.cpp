#include "cli/cli_platform.h"

#include <ctime>

#include "transport/port_discovery.h"

PortOpen OpenCliPort(SerialPort& link, const CliPort& port) {
  return link.OpenPath(port.openPath, ScannerBaudRate, 8, 0, 0, FlowNone);
}

std::string UtcNowText() {
  const std::tm utc = UtcNow();
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}
