#include "ui/dialog_session.h"
#include "ui/data_controls.h"

#include <string>

#include "collect/output_naming.h"
#include "common/output_file.h"
#include "export/export_store.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {
const wchar_t* const ColumnChoices[] = {L"SN", L"Time", L"Data"};
}  // namespace

void InitDataControls(Controls& dialog) {
  dialog.SetChecked(IDC_TYPE_TXT, true);
  dialog.SetChecked(IDC_SAVE_TO_FILE, true);
  dialog.SetChecked(IDC_AUTO_NAMING, true);
  OnAutoNamingClicked(dialog);
  OutputFolder = DefaultOutputFolder();
  dialog.SetChecked(IDC_LINE_WINDOWS, true);
  dialog.ComboAppend(IDC_SEPARATOR, L",");
  dialog.ComboAppend(IDC_SEPARATOR, L";");
  dialog.ComboAppend(IDC_SEPARATOR, L"tab");
  dialog.ComboSelect(IDC_SEPARATOR, 0);
  dialog.SetChecked(IDC_SHOW_SERIAL_NUMBER, true);
  dialog.SetChecked(IDC_SHOW_TIME_STAMP, true);
  FillColumnSlots(dialog);
}

void OnAutoNamingClicked(Controls& dialog) {
  IsAutoNaming = dialog.IsChecked(IDC_AUTO_NAMING);
  if (IsAutoNaming) {
    dialog.SetText(IDC_FILE_NAME, L"");
    dialog.SetReadOnly(IDC_FILE_NAME, true);
  } else {
    dialog.SetText(IDC_FILE_NAME, CustomFileName);
    dialog.SetReadOnly(IDC_FILE_NAME, false);
  }
}

void OnFileNameEdited(Controls& dialog) {
  IsAutoNaming = dialog.IsChecked(IDC_AUTO_NAMING);
  if (!IsAutoNaming) CustomFileName = dialog.GetText(IDC_FILE_NAME, PathCapacity);
}

bool ChooseOutputFolder(Controls& dialog) {
  std::wstring chosen;
  if (!dialog.BrowseForFolder(L"Please Select a Directory...", OutputFolder, chosen)) return false;
  if (chosen.empty()) return false;
  OutputFolder = chosen;
  return true;
}

void FillColumnSlots(Controls& dialog) {
  for (int slot = 0; slot < BarcodeExport.ColumnSlotCount; ++slot) {
    dialog.SetChecked(IDC_COLUMN_CHECK_1 + slot, true);
    for (const wchar_t* choice : ColumnChoices) dialog.ComboAppend(IDC_COLUMN_LIST_1 + slot, choice);
    dialog.ComboSelect(IDC_COLUMN_LIST_1 + slot, slot);
  }
}

void FillResponseModeList(Controls& dialog) {
  dialog.ComboAppend(IDC_RESPONSE, L"None");
  dialog.ComboAppend(IDC_RESPONSE, L"Beep");
  dialog.ComboAppend(IDC_RESPONSE, L"Vibration");
  dialog.ComboSelect(IDC_RESPONSE, 0);
}
