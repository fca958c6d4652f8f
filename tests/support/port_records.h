#pragma once
// Port devices as plain data, put in place of the machine's through
// SetPortDeviceSource. The limits of the Windows buffers apply to them too.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport/port_discovery.h"

struct PortDeviceRecord {
  std::optional<std::wstring> instanceId;           // nullopt: the id cannot be read
  std::optional<std::wstring> hardwareDevinstpath;  // nullopt: no such string value
  std::optional<std::wstring> portName;
};

// The records as a device source; it reads the vector at each enumeration.
class PortRecordSource final : public PortDeviceSource {
 public:
  explicit PortRecordSource(const std::vector<PortDeviceRecord>& records) : records_(records) {}
  void VisitDevices(const std::function<bool(PortDevice&)>& visit) override;

 private:
  const std::vector<PortDeviceRecord>& records_;
};

// EnumerateDevicePorts lists these records instead of the machine's devices
// (nullptr: the machine's again). The records must outlive their use.
void SetPortDeviceRecords(const std::vector<PortDeviceRecord>* records);

// CollectScannerPorts over records.
std::uint32_t CollectScannerPorts(const std::vector<PortDeviceRecord>& records,
                                  std::uint32_t* numbers, std::uint32_t capacity);
