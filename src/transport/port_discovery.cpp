#include "transport/port_discovery.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace {
constexpr std::uint32_t HighestPort = 65536;

std::atomic<PortDeviceSource*> DeviceSource{nullptr};

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c - L'A' + L'a' : c; }

// Whether text begins with prefix, capital A-Z matching a-z and nothing else folded.
bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (FoldAscii(text[i]) != FoldAscii(prefix[i])) return false;
  return true;
}

constexpr std::wstring_view UsbScanner = L"USB\\VID_2F3C&PID_0A17";
constexpr std::wstring_view SerialPortProfile =
    L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}";
constexpr std::wstring_view LocalSerialPortProfile =
    L"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_LOCALMFG&0000";
constexpr std::wstring_view RemoteDeviceMark = L"&0&000000000000";
constexpr std::wstring_view VirtualPortEnumerator = L"{F12D3CF8-B11D-457E-8641-BE2AF2D6D204}\\";

}  // namespace

bool MatchScannerInstanceId(std::wstring_view id) {
  if (StartsWithFolded(id, UsbScanner)) return true;
  // The local-manufacturer form is tested first: it needs no remote-device mark.
  if (StartsWithFolded(id, LocalSerialPortProfile)) return true;
  if (StartsWithFolded(id, SerialPortProfile) &&
      id.substr(SerialPortProfile.size()).find(RemoteDeviceMark) != std::wstring_view::npos)
    return true;
  return StartsWithFolded(id, VirtualPortEnumerator);
}

std::uint32_t PortNumberFromDigits(std::wstring_view digits) {
  if (digits.empty()) return 0;
  std::uint32_t value = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + static_cast<std::uint32_t>(c - L'0');
    if (value > HighestPort) return 0;
  }
  return value;
}

std::uint32_t PortNumberFromName(std::wstring_view name) {
  if (!StartsWithFolded(name, L"COM")) return 0;
  return PortNumberFromDigits(name.substr(3));
}

std::uint32_t ScannerPortNumber(PortDevice& device, bool* bluetooth) {
  std::wstring id;
  if (!device.InstanceId(id)) return 0;
  if (!MatchScannerInstanceId(id)) {
    // A virtual port: the device underneath it may be a scanner.
    std::wstring underneath;
    if (!device.RegistryText(L"HardwareDevinstpath", HardwarePathBytes, underneath)) return 0;
    if (!MatchScannerInstanceId(underneath)) return 0;
    id = underneath;
  }
  if (bluetooth) *bluetooth = StartsWithFolded(id, L"BTHENUM\\");
  std::wstring name;
  if (!device.RegistryText(L"PortName", PortNameBytes, name)) return 0;
  return PortNumberFromName(name);
}

void SortPortNumbers(std::uint32_t* numbers, std::uint32_t count) {
  for (std::uint32_t i = 0; i + 1 < count; ++i) {
    std::uint32_t smallest = i;
    for (std::uint32_t k = i + 1; k < count; ++k)
      if (numbers[k] < numbers[smallest]) smallest = k;
    std::uint32_t kept = numbers[i];
    numbers[i] = numbers[smallest];
    numbers[smallest] = kept;
  }
}

std::uint32_t CollectScannerPorts(PortDeviceSource& source, std::uint32_t* numbers,
                                  std::uint32_t capacity) {
  std::uint32_t count = 0;
  source.VisitDevices([&](PortDevice& device) {
    if (count >= capacity) return false;
    std::uint32_t number = ScannerPortNumber(device);
    if (number != 0) numbers[count++] = number;
    return count < capacity;
  });
  SortPortNumbers(numbers, count);
  return count;
}

void SetPortDeviceSource(PortDeviceSource* source) { DeviceSource.store(source); }

std::uint32_t EnumerateDevicePorts(std::uint32_t* numbers, std::uint32_t capacity) {
  PortDeviceSource* source = DeviceSource.load();
  return CollectScannerPorts(source ? *source : MachinePortDevices(), numbers, capacity);
}

std::vector<ScannerPort> EnumerateScannerPorts() {
  PortDeviceSource* source = DeviceSource.load();
  std::vector<ScannerPort> ports;
  (source ? *source : MachinePortDevices()).VisitDevices([&](PortDevice& device) {
    ScannerPort port;
    port.number = ScannerPortNumber(device, &port.bluetooth);
    if (port.number == 0) return ports.size() < MaxPorts;
    if (!device.InstanceId(port.instanceId)) port.instanceId.clear();
    ports.push_back(std::move(port));
    return ports.size() < MaxPorts;
  });
  std::sort(ports.begin(), ports.end(),
            [](const ScannerPort& a, const ScannerPort& b) { return a.number < b.number; });
  return ports;
}


