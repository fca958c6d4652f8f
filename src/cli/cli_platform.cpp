#include "cli/cli_platform.h"

#include "transport/device_port.h"
#include "transport/port_discovery.h"

bool OpenCliPort(const CliPort& port) {
  return DevicePort.OpenPath(port.openPath, ScannerBaudRate, 8, 0, 0, FlowNone);
}
