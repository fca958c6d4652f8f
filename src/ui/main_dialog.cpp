#include "ui/main_dialog.h"

#include "clock/scanner_clock.h"
#include "collect/collection_job.h"
#include "collect/delete_barcodes.h"
#include "collect/output_naming.h"
#include "export/export_store.h"
#include "protocol/device_info.h"
#include "protocol/exchange.h"
#include "settings/settings.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/worker_job.h"

namespace {
void CloseMainDialog(Controls& dialog) {
  // A download or Set Time run still going stops at its next safe point and
  // posts this command again when it has ended.
  if (RequestCloseDuringJob()) return;
  // The dialog closes whatever the save gives.
  SaveSettings(dialog);
  dialog.EndDialog(CloseDialogResult);
}

void RefillPortList(Controls& dialog) { FillPortList(dialog, false); }
void OpenPort(Controls& dialog) { OpenSelectedPort(dialog); }
void ClosePort(Controls& dialog) { ClosePorts(dialog, false); }
void GetBarcodes(Controls& dialog) { StartCollection(dialog); }
void ChooseFolder(Controls& dialog) { ChooseOutputFolder(dialog); }
void SwitchAutoMode(Controls& dialog) { ToggleAutoMode(dialog); }
void GetDeviceInfo(Controls& dialog) { ShowDeviceInfo(dialog); }
void GetTime(Controls& dialog) { GetDeviceTime(dialog); }
void SetTime(Controls& dialog) { StartSetTime(dialog); }
void EraseScanners(Controls& dialog) { DeleteBarcodes(dialog); }
// A download disables "Export" while it fills the store; a click that still
// reaches the table then (a command can be sent to a disabled button) is
// dropped as the button would drop it.
void ExportRecords(Controls& dialog) {
  if (dialog.IsEnabled(IDC_EXPORT)) BarcodeExport.Export(dialog);
}

// IDOK (1) has no row: Enter does nothing in the main dialog.
constexpr CommandRow Commands[] = {
    {CloseCommandId, AnyNotification, CloseMainDialog},
    {IDC_PORT_LIST, NotifyDropDown, RefillPortList},
    {IDC_OPEN, NotifyClicked, OpenPort},
    {IDC_CLOSE, NotifyClicked, ClosePort},
    {IDC_EXPORT, NotifyClicked, ExportRecords},
    {IDC_GET_BARCODES, NotifyClicked, GetBarcodes},
    {IDC_CHOOSE_FOLDER, NotifyClicked, ChooseFolder},
    {IDC_AUTO_MODE, NotifyClicked, SwitchAutoMode},
    {IDC_REFRESH, NotifyClicked, RefreshDeviceList},
    {IDC_AUTO_NAMING, NotifyClicked, OnAutoNamingClicked},
    {IDC_FILE_NAME, NotifyEditChange, OnFileNameEdited},
    {IDC_FILE_NAME, NotifyEditUpdate, OnFileNameEdited},
    {IDC_GET_DEVICE_INFO, NotifyClicked, GetDeviceInfo},
    {IDC_GET_TIME, NotifyClicked, GetTime},
    {IDC_SET_TIME, NotifyClicked, SetTime},
    {IDC_DELETE_BARCODES, NotifyClicked, EraseScanners},
};

void FillLanguageList(Controls& dialog) {
  dialog.ComboAppend(IDC_LANGUAGE, LanguageEnglish);
  dialog.ComboAppend(IDC_LANGUAGE, LanguageChinese);
  dialog.ComboSelect(IDC_LANGUAGE, 0);
}
}  // namespace

std::span<const CommandRow> CommandTable() { return Commands; }

bool DispatchCommand(Controls& dialog, int id, int notification) {
  for (const CommandRow& row : Commands) {
    if (row.id != id) continue;
    if (row.notification != AnyNotification && row.notification != notification) continue;
    row.action(dialog);
    return true;
  }
  return false;
}

void PrepareMainDialog(Controls& dialog) {
  // The exchange reads the "Response" choice and the port state from here.
  SetExchangeDialog(&dialog);
  // 3. The normal, narrow layout.
  dialog.ResizeClient(NormalWidth, DialogHeight);
  // 4. The hidden language list.
  FillLanguageList(dialog);
  // 5. The scanner ports, the first selected.
  FillPortList(dialog, true);
  // 6.
  dialog.SetTextLimit(IDC_BARCODE_DATA, BarcodeTextLimit);
  // 7. Defaults of the data and export controls.
  InitDataControls(dialog);
  // 8. CN is the default date format.
  dialog.SetChecked(IDC_FORMAT_CN, true);
  // 9. The saved settings overwrite steps 7 and 8.
  LoadSettings(dialog);
  // 10.
  FillResponseModeList(dialog);
}
