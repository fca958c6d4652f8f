#include "support/scanner_desk.h"

#include "collect/output_naming.h"
#include "common/local_time.h"
#include "support/fixed_date.h"
#include "export/export_store.h"
#include "protocol/exchange.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"

namespace {
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }
}  // namespace

void ScannerDesk::SetUp() {
  SetExchangeLink(&link);
  SetPortDeviceRecords(&devices);
  SetLocalTimeSource(&SecondOfJanuary2019);
  FramedMode = 0;
  AutoMode = 0;
  BarcodeExport.Reset();
  CustomFileName.clear();
  PrepareMainDialog(dialog);
  OutputFolder = folder.Wide();
}

void ScannerDesk::TearDown() {
  link.Close();
  SetExchangeLink(nullptr);
  SetExchangeDialog(nullptr);
  SetPortDeviceRecords(nullptr);
  SetLocalTimeSource(nullptr);
  PortNumbers = PortList{};
  FramedMode = 0;
  AutoMode = 0;
  BarcodeExport.Reset();
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
  std::string lines;
  for (char c : downloadText) {
    lines += c;
    if (c == '\r') lines += '\n';
  }
  return lines;
}
