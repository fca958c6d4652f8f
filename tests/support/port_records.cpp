#include "support/port_records.h"

#include <cwchar>
#include <memory>

namespace {
class RecordDevice final : public PortDevice {
 public:
  explicit RecordDevice(const PortDeviceRecord& record) : record_(record) {}

  bool InstanceId(std::wstring& id) override {
    if (!record_.instanceId || record_.instanceId->size() + 1 > InstanceIdChars) return false;
    id = *record_.instanceId;
    return true;
  }

  bool RegistryText(const wchar_t* name, std::size_t maxBytes, std::wstring& text) override {
    const std::optional<std::wstring>* value = nullptr;
    if (std::wcscmp(name, L"HardwareDevinstpath") == 0) value = &record_.hardwareDevinstpath;
    if (std::wcscmp(name, L"PortName") == 0) value = &record_.portName;
    // A REG_SZ value is UTF-16 with its terminating zero.
    if (!value || !*value || ((*value)->size() + 1) * 2 > maxBytes) return false;
    text = **value;
    return true;
  }

 private:
  const PortDeviceRecord& record_;
};

std::unique_ptr<PortRecordSource> CurrentRecords;
}  // namespace

void PortRecordSource::VisitDevices(const std::function<bool(PortDevice&)>& visit) {
  for (const PortDeviceRecord& record : records_) {
    RecordDevice device(record);
    if (!visit(device)) return;
  }
}

void SetPortDeviceRecords(const std::vector<PortDeviceRecord>* records) {
  std::unique_ptr<PortRecordSource> next;
  if (records) next = std::make_unique<PortRecordSource>(*records);
  SetPortDeviceSource(next.get());
  CurrentRecords = std::move(next);
}

std::uint32_t CollectScannerPorts(const std::vector<PortDeviceRecord>& records,
                                  std::uint32_t* numbers, std::uint32_t capacity) {
  PortRecordSource source(records);
  return CollectScannerPorts(source, numbers, capacity);
}
