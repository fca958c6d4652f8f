#pragma once
// Scanner ports for tests of the "Ports" group and the main dialog: a scripted
// link in place of DevicePort and a device list in place of the machine's.
#include <string>
#include <vector>

#include "ui/dialog_session.h"
#include "support/scripted_link.h"
#include "support/port_records.h"

// A USB scanner on the given port name ("COM3").
PortDeviceRecord UsbScanner(const std::wstring& portName);

// Puts link and devices in place for its lifetime and starts PortNumbers
// empty; afterwards the exchange has neither a link nor a window of the test's.
class ScannerPortsScope {
 public:
  ScannerPortsScope(ScriptedLink& link, const std::vector<PortDeviceRecord>& devices);
  ~ScannerPortsScope();
  ScannerPortsScope(const ScannerPortsScope&) = delete;
  ScannerPortsScope& operator=(const ScannerPortsScope&) = delete;
};
