#include "ui/dialog_session.h"
#include "ui/settings_controls.h"

#include "collect/output_naming.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/data_controls.h"

namespace {
struct DateFormatButton {
  const wchar_t* name;
  int id;
};
// In the order the writer tests them.
constexpr DateFormatButton DateFormats[] = {
    {L"US", IDC_FORMAT_US}, {L"EU", IDC_FORMAT_EU}, {L"CN", IDC_FORMAT_CN}};

void ApplyTimeFormat(Controls& dialog, const std::wstring& value) {
  // Only the first two characters count: "USA" is "US".
  for (const DateFormatButton& format : DateFormats) {
    if (value.compare(0, 2, format.name) != 0) continue;
    for (const DateFormatButton& button : DateFormats) dialog.SetChecked(button.id, button.id == format.id);
    return;
  }
}

void ApplyTime(Controls& dialog, const std::wstring& value) { dialog.SetText(IDC_TIME_BOX, value); }

void ApplyIsText(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_TYPE_TXT, SettingIsOn(value));
  dialog.SetChecked(IDC_TYPE_CSV, !SettingIsOn(value));
}

void ApplyIsSaveToFile(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_SAVE_TO_FILE, SettingIsOn(value));
}

// An empty value keeps the name or folder there is.
void ApplyCustomFileName(Controls&, const std::wstring& value) {
  if (!value.empty()) CustomFileName = FitSetting(value, PathCapacity - 1);
}

void ApplyIsAutoNaming(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_AUTO_NAMING, SettingIsOn(value));
  // The file-name box as a click on the check box leaves it: locked and empty,
  // or editable with the custom name. Setting its text raises its change
  // notification, which brings IsAutoNaming and CustomFileName in line.
  OnAutoNamingClicked(dialog);
}

void ApplyFilePath(Controls&, const std::wstring& value) {
  if (!value.empty()) OutputFolder = FitSetting(value, PathCapacity - 1);
}

void ApplyIsWindows(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_LINE_WINDOWS, SettingIsOn(value));
  dialog.SetChecked(IDC_LINE_UNIX, !SettingIsOn(value));
}

// Any text, not only one of the list's entries.
void ApplySeparator(Controls& dialog, const std::wstring& value) { dialog.SetText(IDC_SEPARATOR, value); }

void ApplyIsDisplaySN(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_SHOW_SERIAL_NUMBER, SettingIsOn(value));
}

void ApplyIsDisplayDate(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_SHOW_TIME_STAMP, SettingIsOn(value));
}

void Apply(Controls& dialog, SettingsKey key, const std::wstring& value) {
  switch (key) {
    case SettingsKey::TimeFormat: ApplyTimeFormat(dialog, value); break;
    case SettingsKey::Time: ApplyTime(dialog, value); break;
    case SettingsKey::IsText: ApplyIsText(dialog, value); break;
    case SettingsKey::IsSaveToFile: ApplyIsSaveToFile(dialog, value); break;
    case SettingsKey::CustomFileName: ApplyCustomFileName(dialog, value); break;
    case SettingsKey::IsAutoNaming: ApplyIsAutoNaming(dialog, value); break;
    case SettingsKey::FilePath: ApplyFilePath(dialog, value); break;
    case SettingsKey::IsWindows: ApplyIsWindows(dialog, value); break;
    case SettingsKey::Separator: ApplySeparator(dialog, value); break;
    case SettingsKey::IsDisplaySN: ApplyIsDisplaySN(dialog, value); break;
    case SettingsKey::IsDisplayDate: ApplyIsDisplayDate(dialog, value); break;
  }
}
}  // namespace

void ApplySettingsLine(Controls& dialog, const std::wstring& line) {
  for (const auto& [key, value] : SettingsLineKeys(line)) Apply(dialog, key, value);
}

AppSettings CollectSettings(Controls& dialog) {
  AppSettings s;
  for (const DateFormatButton& format : DateFormats) {
    if (!dialog.IsChecked(format.id)) continue;
    s.timeFormat = format.name;
    break;
  }
  s.time = dialog.GetText(IDC_TIME_BOX, SettingsTextChars);
  s.isText = dialog.IsChecked(IDC_TYPE_TXT);
  s.isSaveToFile = dialog.IsChecked(IDC_SAVE_TO_FILE);
  s.filePath = OutputFolder;
  s.customFileName = CustomFileName;
  s.isAutoNaming = dialog.IsChecked(IDC_AUTO_NAMING);
  s.isWindows = dialog.IsChecked(IDC_LINE_WINDOWS);
  s.separator = dialog.GetText(IDC_SEPARATOR, SettingsTextChars);
  s.isDisplaySN = dialog.IsChecked(IDC_SHOW_SERIAL_NUMBER);
  s.isDisplayDate = dialog.IsChecked(IDC_SHOW_TIME_STAMP);
  return s;
}

int LoadSettings(Controls& dialog) {
  std::vector<std::wstring> lines;
  if (!ReadConfigLines(lines)) {
    dialog.ShowMessage(L"Open Config.ini Failed!", L"Error", BoxOk | BoxIconError);
    return 0;
  }
  for (const std::wstring& line : lines) ApplySettingsLine(dialog, line);
  return 1;
}

int SaveSettings(Controls& dialog) {
  if (!WriteConfig(CollectSettings(dialog))) {
    dialog.ShowMessage(L"Save Config.ini Failed!", L"Error", BoxOk | BoxIconError);
    return 0;
  }
  return 1;
}
