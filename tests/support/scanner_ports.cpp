#include "support/scanner_ports.h"

#include "protocol/exchange.h"

PortDeviceRecord UsbScanner(const std::wstring& portName) {
  PortDeviceRecord device;
  device.instanceId = L"USB\\VID_2F3C&PID_0A17\\5&ABC&0&" + portName;
  device.portName = portName;
  return device;
}

ScannerPortsScope::ScannerPortsScope(ScriptedLink& link, const std::vector<PortDeviceRecord>& devices) {
  SetExchangeLink(&link);
  SetPortDeviceRecords(&devices);
  PortNumbers = PortList{};
}

ScannerPortsScope::~ScannerPortsScope() {
  SetPortDeviceRecords(nullptr);
  SetExchangeDialog(nullptr);
  SetExchangeLink(nullptr);
  PortNumbers = PortList{};
}
