#include "ui/main_dialog.h"

#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_controls.h"
#include "ui/device_list.h"
#include "ui/port_controls.h"
#include "ui/scanner_operations.h"
#include "ui/settings_controls.h"
#include "ui/window_front_end.h"
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
// A download disables "Export" while it fills the store; "Set Time" leaves it
// usable, as it touches no record.
void ExportStore(Controls& dialog) { ExportRecords(dialog); }

using enum CommandGate;
// IDOK (1) has no row: Enter does nothing in the main dialog. The two jobs
// refuse a second start themselves; "..." and "Export" wait in modal dialogs
// whose loops could otherwise start a job under them.
constexpr CommandRow Commands[] = {
    {CloseCommandId, AnyNotification, CloseMainDialog, Always},
    {IDC_PORT_LIST, NotifyDropDown, RefillPortList, Alone},
    {IDC_OPEN, NotifyClicked, OpenPort, Alone},
    {IDC_CLOSE, NotifyClicked, ClosePort, Alone},
    {IDC_EXPORT, NotifyClicked, ExportStore, Held},
    {IDC_GET_BARCODES, NotifyClicked, GetBarcodes, Enabled},
    {IDC_CHOOSE_FOLDER, NotifyClicked, ChooseFolder, Held},
    {IDC_AUTO_MODE, NotifyClicked, SwitchAutoMode, Alone},
    {IDC_REFRESH, NotifyClicked, RefreshDeviceList, Alone},
    {IDC_AUTO_NAMING, NotifyClicked, OnAutoNamingClicked, Enabled},
    {IDC_FILE_NAME, NotifyEditChange, OnFileNameEdited, Always},
    {IDC_FILE_NAME, NotifyEditUpdate, OnFileNameEdited, Always},
    {IDC_GET_DEVICE_INFO, NotifyClicked, GetDeviceInfo, Alone},
    {IDC_GET_TIME, NotifyClicked, GetTime, Alone},
    {IDC_SET_TIME, NotifyClicked, SetTime, Enabled},
    {IDC_DELETE_BARCODES, NotifyClicked, EraseScanners, Alone},
};

void Run(Controls& dialog, const CommandRow& row) {
  if (row.gate == Always) {
    row.action(dialog);
    return;
  }
  if (!dialog.IsEnabled(row.id)) return;
  if (row.gate == Enabled) {
    row.action(dialog);
    return;
  }
  DialogOperation operation(dialog, row.notification == NotifyClicked ? row.id : 0,
                            row.gate == Held);
  if (operation) row.action(dialog);
}

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
    Run(dialog, row);
    return true;
  }
  return false;
}

void PrepareMainDialog(Controls& dialog) {
  // The normal, narrow layout.
  dialog.ResizeClient(NormalWidth, DialogHeight);
  // The hidden language list.
  FillLanguageList(dialog);
  // The scanner ports, the first selected.
  FillPortList(dialog, true);
  // The text limit of the "Barcode Data" box.
  dialog.SetTextLimit(IDC_BARCODE_DATA, BarcodeTextLimit);
  // Defaults of the data and export controls.
  InitDataControls(dialog);
  // CN is the default date format.
  dialog.SetChecked(IDC_FORMAT_CN, true);
  // The saved settings overwrite those defaults. A time they restore is no
  // time the user typed.
  LoadSettings(dialog);
  NoteShownTime(dialog);
  // The "Response" list.
  FillResponseModeList(dialog);
}
