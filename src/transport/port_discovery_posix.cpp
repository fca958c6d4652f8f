// Scanner ports of the native build: every com<n> entry of the folder where
// SerialPort opens COM<n> ($LUMET_COM_FOLDER, default /dev/lumet) counts as a
// USB scanner, so the auto-mode flows can run against simulators on ptys.
#include <dirent.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "transport/port_discovery.h"

namespace {
constexpr const char DefaultComFolder[] = "/dev/lumet";

std::wstring Widen(const char* name) {
  std::wstring wide;
  for (const char* p = name; *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  return wide;
}

std::vector<PortDeviceRecord> ComFolderDevices() {
  std::vector<PortDeviceRecord> devices;
  const char* folder = std::getenv("LUMET_COM_FOLDER");
  DIR* dir = opendir((folder && *folder) ? folder : DefaultComFolder);
  if (!dir) return devices;
  while (dirent* entry = readdir(dir)) {
    std::wstring name = Widen(entry->d_name);
    // Only the names SerialPort opens: "com" and the number as written.
    std::uint32_t number = PortNumberFromName(name);
    if (number == 0 || name != L"com" + std::to_wstring(number)) continue;
    PortDeviceRecord device;
    device.instanceId = L"USB\\VID_2F3C&PID_0A17\\" + name;
    device.portName = name;
    devices.push_back(std::move(device));
  }
  closedir(dir);
  return devices;
}
}  // namespace

std::uint32_t EnumerateDevicePorts(std::uint32_t* numbers, std::uint32_t capacity) {
  if (const std::vector<PortDeviceRecord>* records = PortDeviceRecords())
    return CollectScannerPorts(*records, numbers, capacity);
  return CollectScannerPorts(ComFolderDevices(), numbers, capacity);
}
