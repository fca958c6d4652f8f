#include "support/scanner_ports.h"
#include "ui/dialog_session.h"

#include "protocol/exchange.h"
#include "support/program_state.h"

PortDeviceRecord UsbScanner(const std::wstring& portName) {
  PortDeviceRecord device;
  device.instanceId = L"USB\\VID_2F3C&PID_0A17\\5&ABC&0&" + portName;
  device.portName = portName;
  return device;
}

ScannerPortsScope::ScannerPortsScope(ScriptedLink& link, const std::vector<PortDeviceRecord>& devices) {
  ResetProgramState();
  DialogSession.link = &link;
  SetPortDeviceRecords(&devices);
}

ScannerPortsScope::~ScannerPortsScope() {
  ResetProgramState();
}
