#include "support/scanner_desk.h"
#include "ui/dialog_session.h"

#include "ui/port_controls.h"

#include "collect/output_naming.h"
#include "common/local_time.h"
#include "support/fixed_date.h"
#include "support/hostile_records.h"
#include "support/program_state.h"
#include "export/export_store.h"
#include "protocol/exchange.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"

namespace {
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

void PrepareDesk(SerialLink& link, const std::vector<PortDeviceRecord>* devices,
                 Controls& dialog, const TempFolder& folder) {
  ResetProgramState();
  DialogSession.link = &link;
  SetPortDeviceRecords(devices);
  SetLocalTimeSource(&SecondOfJanuary2019);
  PrepareMainDialog(dialog);
  OutputFolder = folder.Wide();
}

void ScannerDesk::SetUp() { PrepareDesk(link, &devices, dialog, folder); }

void ScannerDesk::TearDown() {
  link.Close();
  ResetProgramState();
}

kt52::Kt52Device& ScannerDesk::Attach(std::uint32_t port, const kt52::DeviceOptions& options) {
  link.AddScanner(port, options);
  AttachDeadPort(port);
  return link.Device(port);
}

void ScannerDesk::AttachDeadPort(std::uint32_t port) {
  devices.push_back({L"USB\\VID_2F3C&PID_0A17\\5&1&0&" + std::to_wstring(port), std::nullopt,
                     L"COM" + std::to_wstring(port)});
}

void ScannerDesk::ListPorts() { FillPortList(dialog, true); }

void ScannerDesk::OpenPortAt(int entry) {
  ListPorts();
  dialog.ComboSelect(IDC_PORT_LIST, entry);
  ASSERT_TRUE(OpenSelectedPort(dialog));
}

void ScannerDesk::StartAutoMode() {
  ASSERT_EQ(1, ToggleAutoMode(dialog));
  dialog.ClearMessages();
}

std::vector<std::wstring> ScannerDesk::Statuses() {
  std::vector<std::wstring> s;
  for (int row = 0; row < dialog.ListRowCount(IDC_DEVICE_LIST); ++row)
    s.push_back(dialog.ListCell(IDC_DEVICE_LIST, row, ColumnStatus));
  return s;
}

std::string ScannerDesk::ReadOutput(const std::wstring& name) const {
  return folder.Read(Narrow(name));
}

bool ScannerDesk::OutputExists(const std::wstring& name) const {
  return folder.Exists(Narrow(name));
}

std::vector<std::wstring> ScannerDesk::MessageTexts() {
  std::vector<std::wstring> texts;
  for (const auto& m : dialog.Messages()) texts.push_back(m.text);
  return texts;
}

std::wstring ScannerDesk::AutoName(const std::string& serial, int number, bool text) {
  wchar_t digits[16];
  swprintf(digits, 16, L"%03d", number);
  return std::wstring(serial.begin(), serial.end()) + L"_20190102_" + digits +
         (text ? L".txt" : L".csv");
}

std::string ScannerDesk::WindowsLines(const std::string& downloadText) {
  return ::WindowsLines(downloadText);
}
