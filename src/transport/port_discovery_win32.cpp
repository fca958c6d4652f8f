// Scanner ports on Windows: the present devices of the Ports setup class,
// their instance ids and the "HardwareDevinstpath" and "PortName" values of
// their hardware keys.
#include <windows.h>
#include <setupapi.h>

#include "transport/port_discovery.h"

namespace {
// The Ports device setup class {4D36E978-E325-11CE-BFC1-08002BE10318}.
const GUID PortsClass = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

class SetupDevice final : public PortDevice {
 public:
  SetupDevice(HDEVINFO set, SP_DEVINFO_DATA* data) : set_(set), data_(data) {}

  bool InstanceId(std::wstring& id) override {
    wchar_t buffer[InstanceIdChars] = {};
    if (!SetupDiGetDeviceInstanceIdW(set_, data_, buffer, static_cast<DWORD>(InstanceIdChars),
                                     nullptr))
      return false;
    buffer[InstanceIdChars - 1] = L'\0';
    id = buffer;
    return true;
  }

  bool RegistryText(const wchar_t* name, std::size_t maxBytes, std::wstring& text) override {
    // Zeroed and two bytes larger than any value read, so the text always ends.
    wchar_t buffer[InstanceIdChars] = {};
    if (maxBytes > sizeof buffer - sizeof buffer[0]) maxBytes = sizeof buffer - sizeof buffer[0];
    HKEY key = SetupDiOpenDevRegKey(set_, data_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == static_cast<HKEY>(INVALID_HANDLE_VALUE)) return false;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(maxBytes);
    LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return false;
    text = buffer;
    return true;
  }

 private:
  HDEVINFO set_;
  SP_DEVINFO_DATA* data_;
};
class SetupPortDevices final : public PortDeviceSource {
 public:
  void VisitDevices(const std::function<bool(PortDevice&)>& visit) override {
    HDEVINFO set = SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA data = {};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &data); ++index) {
      SetupDevice device(set, &data);
      if (!visit(device)) break;
    }
    SetupDiDestroyDeviceInfoList(set);
  }
};
}  // namespace

PortDeviceSource& MachinePortDevices() {
  static SetupPortDevices devices;
  return devices;
}
