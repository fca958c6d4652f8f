#include "ui/port_controls.h"

#include <string>

#include "protocol/scanner_session.h"
#include "transport/port_discovery.h"
#include "ui/dialog_session.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {
// The combo box text remembered across a refill: 10 wide characters with the zero.
constexpr std::size_t RememberedChars = 10;
}  // namespace

void FillPortList(Controls& dialog, bool selectFirst) {
  std::wstring remembered;
  if (!selectFirst) {
    int selected = dialog.ComboSelection(IDC_PORT_LIST);
    if (selected >= 0)
      remembered = dialog.ComboItemText(IDC_PORT_LIST, selected).substr(0, RememberedChars - 1);
  }
  dialog.ComboReset(IDC_PORT_LIST);
  PortNumbers.count = EnumerateDevicePorts(PortNumbers.numbers, MaxPorts);
  for (std::uint32_t i = 0; i < PortNumbers.count; ++i)
    dialog.ComboAppend(IDC_PORT_LIST, L"COM" + std::to_wstring(PortNumbers.numbers[i]));
  if (PortNumbers.count == 0) return;
  if (selectFirst)
    dialog.ComboSelect(IDC_PORT_LIST, 0);
  else
    dialog.ComboSelectPrefix(IDC_PORT_LIST, remembered);
}

bool OpenSelectedPort(Controls& dialog) {
  int selected = dialog.ComboSelection(IDC_PORT_LIST);
  // The selection indexes PortNumbers; an index past its count is no port.
  bool listed = selected >= 0 && static_cast<std::uint32_t>(selected) < PortNumbers.count;
  if (!listed || PortNumbers.numbers[selected] == 0 ||
      !OpenSessionPort(DialogSession, PortNumbers.numbers[selected])) {
    dialog.ShowMessage(L"Open Com Error!", L"Error", BoxIconError);
    return false;
  }
  dialog.SetEnabled(IDC_PORT_LIST, false);
  dialog.SetEnabled(IDC_OPEN, false);
  dialog.SetEnabled(IDC_CLOSE, true);
  return true;
}

bool ClosePorts(Controls& dialog, bool keepControls) {
  CloseSessionPort(DialogSession);
  if (!keepControls) {
    dialog.SetEnabled(IDC_PORT_LIST, true);
    dialog.SetEnabled(IDC_OPEN, true);
    dialog.SetEnabled(IDC_CLOSE, false);
  }
  return true;
}
