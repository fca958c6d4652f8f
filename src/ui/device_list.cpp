#include "ui/device_list.h"

#include "protocol/device_info.h"
#include "protocol/exchange.h"
#include "ui/dialog_session.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/main_dialog.h"
#include "ui/port_controls.h"

std::int32_t AutoMode = 0;
DeviceListRow DeviceListRows[MaxPorts];

namespace {
struct ColumnSpec {
  const wchar_t* header;
  int width;
};
constexpr ColumnSpec DeviceListColumns[] = {{L"Port", 66}, {L"SN", 112}, {L"Status", 144}};

// Removes up to this many columns before the three are inserted again.
constexpr int ColumnsToClear = 4;

void SetCell(Controls& dialog, std::uint32_t i, int column, const std::wstring& text) {
  if (i >= MaxPorts) return;
  if (column == ColumnSerialNumber) DeviceListRows[i].serialNumber = text;
  if (column == ColumnStatus) DeviceListRows[i].status = text;
  dialog.ListSetCell(IDC_DEVICE_LIST, static_cast<int>(i), column, text);
}
}  // namespace

void SetPortStatus(Controls& dialog, std::uint32_t i, const std::wstring& text) {
  SetCell(dialog, i, ColumnStatus, text);
}

void ApplyAutoModeControls(Controls& dialog, bool on) {
  ClosePorts(dialog, false);
  for (int id : {IDC_PORT_LIST, IDC_OPEN, IDC_GET_TIME, IDC_GET_DEVICE_INFO})
    dialog.SetEnabled(id, !on);
}

void SetupDeviceListColumns(Controls& dialog) {
  dialog.ListSetFullRowSelect(IDC_DEVICE_LIST);
  for (int i = 0; i < ColumnsToClear; ++i) dialog.ListDeleteColumn(IDC_DEVICE_LIST, 0);
  int index = 1;
  for (const ColumnSpec& column : DeviceListColumns)
    dialog.ListInsertColumn(IDC_DEVICE_LIST, index++, column.header, column.width);
  RefreshDeviceList(dialog);
}

void RefreshDeviceList(Controls& dialog) {
  dialog.ListDeleteAllRows(IDC_DEVICE_LIST);
  for (DeviceListRow& row : DeviceListRows) row = DeviceListRow{};
  if (!AutoMode) return;
  PortNumbers.count = EnumerateDevicePorts(PortNumbers.numbers, MaxPorts);
  for (std::uint32_t i = 0; i < PortNumbers.count; ++i) {
    std::uint32_t port = PortNumbers.numbers[i];
    dialog.ListInsertRow(IDC_DEVICE_LIST, static_cast<int>(i), L"COM" + std::to_wstring(port));
    if (!OpenSessionPort(DialogSession, port)) {
      SetPortStatus(dialog, i, OutcomeWords(Outcome::OpenPortsFailed));
      continue;
    }
    const ScannerIdentity scanner = IdentifyScanner(DialogSession);
    if (!scanner.woken) {
      SetPortStatus(dialog, i, OutcomeWords(Outcome::WakeFailed));
      continue;
    }
    SetCell(dialog, i, ColumnSerialNumber,
            scanner.serial ? *scanner.serial : OutcomeWords(Outcome::GetSerialNumberFailed));
  }
  // The last port opened stays open until the next close.
}

int ToggleAutoMode(Controls& dialog) {
  if (!AutoMode) {
    dialog.SetText(IDC_AUTO_MODE, L"Auto<<");
    dialog.ResizeClient(AutoWidth, DialogHeight);
    dialog.SetVisible(IDC_DEVICE_LIST, true);
    AutoMode = 1;
    SetupDeviceListColumns(dialog);
  } else {
    dialog.SetVisible(IDC_DEVICE_LIST, false);
    dialog.SetText(IDC_AUTO_MODE, L"Auto>>");
    dialog.ResizeClient(NormalWidth, DialogHeight);
    AutoMode = 0;
  }
  ApplyAutoModeControls(dialog, AutoMode != 0);
  // A refresh may have found other ports than the combo box lists; list them
  // again so the combo box and PortNumbers agree when single-port work resumes.
  if (!AutoMode) FillPortList(dialog, false);
  return 1;
}
