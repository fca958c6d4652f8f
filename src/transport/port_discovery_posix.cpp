// Scanner ports of the native build: every com<n> entry of the folder where
// SerialPort opens COM<n> ($LUMET_COM_FOLDER, default /dev/lumet) counts as a
// USB scanner, so the auto-mode flows can run against simulators on ptys.
#include <dirent.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "transport/port_discovery.h"

namespace {
constexpr const char DefaultComFolder[] = "/dev/lumet";

std::wstring Widen(const char* name) {
  std::wstring wide;
  for (const char* p = name; *p; ++p) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
  return wide;
}

// A com<n> entry, shown as a USB scanner's port named COM<n>.
class FolderPort final : public PortDevice {
 public:
  explicit FolderPort(const std::wstring& name) : name_(name) {}
  bool InstanceId(std::wstring& id) override {
    id = L"USB\\VID_2F3C&PID_0A17\\" + name_;
    return id.size() < InstanceIdChars;
  }
  bool RegistryText(const wchar_t* name, std::size_t maxBytes, std::wstring& text) override {
    if (std::wcscmp(name, L"PortName") != 0 || (name_.size() + 1) * 2 > maxBytes) return false;
    text = name_;
    return true;
  }

 private:
  std::wstring name_;
};

class ComFolderDevices final : public PortDeviceSource {
 public:
  void VisitDevices(const std::function<bool(PortDevice&)>& visit) override {
    const char* folder = std::getenv("LUMET_COM_FOLDER");
    DIR* dir = opendir((folder && *folder) ? folder : DefaultComFolder);
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
      std::wstring name = Widen(entry->d_name);
      // Only the names SerialPort opens: "com" and the number as written.
      std::uint32_t number = PortNumberFromName(name);
      if (number == 0 || name != L"com" + std::to_wstring(number)) continue;
      FolderPort device(name);
      if (!visit(device)) break;
    }
    closedir(dir);
  }
};
}  // namespace

PortDeviceSource& MachinePortDevices() {
  static ComFolderDevices devices;
  return devices;
}
