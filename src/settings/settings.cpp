#include "settings/settings.h"

#include <cstdint>

#include "collect/output_naming.h"
#include "common/program_path.h"
#include "common/utf16_text.h"
#include "settings/settings_file.h"
#include "ui/control_ids.h"
#include "ui/controls.h"

namespace {
constexpr wchar_t KeyTimeFormat[] = L"TimeFormat = ";
constexpr wchar_t KeyTime[] = L"Time = ";
constexpr wchar_t KeyIsText[] = L"IsText = ";
constexpr wchar_t KeyIsSaveToFile[] = L"IsSaveToFile = ";
constexpr wchar_t KeyFilePath[] = L"FilePath = ";
constexpr wchar_t KeyCustomFileName[] = L"CustomFileName = ";
constexpr wchar_t KeyIsAutoNaming[] = L"IsAutoNaming = ";
constexpr wchar_t KeyIsWindows[] = L"IsWindows = ";
constexpr wchar_t KeySeparator[] = L"Separator = ";
constexpr wchar_t KeyIsDisplaySN[] = L"IsDisplaySN = ";
constexpr wchar_t KeyIsDisplayDate[] = L"IsDisplayDate = ";

struct DateFormatButton {
  const wchar_t* name;
  int id;
};
// In the order the writer tests them.
constexpr DateFormatButton DateFormats[] = {
    {L"US", IDC_FORMAT_US}, {L"EU", IDC_FORMAT_EU}, {L"CN", IDC_FORMAT_CN}};

void AppendUtf16Le(std::string& out, const std::wstring& text) {
  ForEachUtf16Unit(text, [&out](std::uint16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  });
}

// At most units UTF-16 units of text, so a value fits its buffer on Windows.
std::wstring Fit(const std::wstring& text, std::size_t units) {
  std::size_t used = 0, i = 0;
  for (; i < text.size(); ++i) {
    auto code = static_cast<std::uint32_t>(text[i]);
    std::size_t width = code > 0xFFFF ? 2 : 1;
    if (used + width > units) break;
    used += width;
  }
  return text.substr(0, i);
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// A number as _wtoi reads it (leading blanks, a sign, then digits up to the
// first other character; none give 0): any non-zero number is on.
bool IsOn(const std::wstring& value) {
  std::size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) ++i;
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i)
    if (value[i] != L'0') return true;
  return false;
}

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
  dialog.SetChecked(IDC_TYPE_TXT, IsOn(value));
  dialog.SetChecked(IDC_TYPE_CSV, !IsOn(value));
}

void ApplyIsSaveToFile(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_SAVE_TO_FILE, IsOn(value));
}

// An empty value keeps the name or folder there is.
void ApplyCustomFileName(Controls&, const std::wstring& value) {
  if (!value.empty()) CustomFileName = Fit(value, PathCapacity - 1);
}

void ApplyIsAutoNaming(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_AUTO_NAMING, IsOn(value));
  // The file-name box as a click on the check box leaves it: locked and empty,
  // or editable with the custom name. Setting its text raises its change
  // notification, which brings IsAutoNaming and CustomFileName in line.
  OnAutoNamingClicked(dialog);
}

void ApplyFilePath(Controls&, const std::wstring& value) {
  if (!value.empty()) OutputFolder = Fit(value, PathCapacity - 1);
}

void ApplyIsWindows(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_LINE_WINDOWS, IsOn(value));
  dialog.SetChecked(IDC_LINE_UNIX, !IsOn(value));
}

// Any text, not only one of the list's entries.
void ApplySeparator(Controls& dialog, const std::wstring& value) { dialog.SetText(IDC_SEPARATOR, value); }

void ApplyIsDisplaySN(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_SHOW_SERIAL_NUMBER, IsOn(value));
}

void ApplyIsDisplayDate(Controls& dialog, const std::wstring& value) {
  dialog.SetChecked(IDC_SHOW_TIME_STAMP, IsOn(value));
}

struct KeyRow {
  const wchar_t* key;
  void (*apply)(Controls& dialog, const std::wstring& value);
};
// In the order a line is tested against them.
constexpr KeyRow Keys[] = {
    {KeyTimeFormat, ApplyTimeFormat},         {KeyTime, ApplyTime},
    {KeyIsText, ApplyIsText},                 {KeyIsSaveToFile, ApplyIsSaveToFile},
    {KeyCustomFileName, ApplyCustomFileName}, {KeyIsAutoNaming, ApplyIsAutoNaming},
    {KeyFilePath, ApplyFilePath},             {KeyIsWindows, ApplyIsWindows},
    {KeySeparator, ApplySeparator},           {KeyIsDisplaySN, ApplyIsDisplaySN},
    {KeyIsDisplayDate, ApplyIsDisplayDate},
};
}  // namespace

std::wstring ConfigPath() {
  const std::wstring path = ProgramPath();
  return path.find(L'\\') == std::wstring::npos ? L"Config.ini" : FolderOf(path) + L"\\Config.ini";
}

void ApplySettingsLine(Controls& dialog, const std::wstring& line) {
  // A key counts only at the start of its line, where the writer puts it: a
  // value holding another key's text ("Time = 12" as a file name) is no key.
  for (const KeyRow& row : Keys) {
    std::wstring key = row.key;
    if (line.compare(0, key.size(), key) == 0) row.apply(dialog, line.substr(key.size()));
  }
}

std::vector<std::wstring> SettingsLines(const std::string& bytes) {
  std::size_t length = bytes.size() < SettingsReadLimit ? bytes.size() : SettingsReadLimit;
  std::u16string text;
  text.reserve(length / 2 + 1);
  for (std::size_t i = 0; i < length; i += 2) {
    // An odd last byte pairs with the zero that follows it in the read buffer.
    auto low = static_cast<unsigned char>(bytes[i]);
    auto high = i + 1 < length ? static_cast<unsigned char>(bytes[i + 1]) : 0u;
    auto unit = static_cast<char16_t>(low | (high << 8));
    if (unit == 0) break;  // the text ends at its first zero
    text += unit;
  }
  std::size_t at = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
  std::vector<std::wstring> lines;
  while (at < text.size()) {
    // Runs of CR and LF separate lines; empty lines do not count.
    std::size_t start = text.find_first_not_of(u"\r\n", at);
    if (start == std::u16string::npos) break;
    std::size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos) end = text.size();
    std::size_t kept = end - start < SettingsLineChars - 1 ? end - start : SettingsLineChars - 1;
    lines.push_back(FromUtf16(text.data() + start, kept));
    at = end;
  }
  return lines;
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

std::string EncodeSettings(const AppSettings& s) {
  std::string out = "\xFF\xFE";
  auto line = [&out](const wchar_t* key, const std::wstring& value) {
    AppendUtf16Le(out, key + value + L"\r\n");
  };
  auto flag = [&line](const wchar_t* key, bool on) { line(key, on ? L"1" : L"0"); };
  if (!s.timeFormat.empty()) line(KeyTimeFormat, s.timeFormat);
  line(KeyTime, s.time);
  flag(KeyIsText, s.isText);
  flag(KeyIsSaveToFile, s.isSaveToFile);
  line(KeyFilePath, s.filePath);
  line(KeyCustomFileName, s.customFileName);
  flag(KeyIsAutoNaming, s.isAutoNaming);
  flag(KeyIsWindows, s.isWindows);
  line(KeySeparator, s.separator);
  flag(KeyIsDisplaySN, s.isDisplaySN);
  flag(KeyIsDisplayDate, s.isDisplayDate);
  return out;
}

int LoadSettings(Controls& dialog) {
  std::string bytes;
  if (!ReadSettingsFile(ConfigPath(), SettingsReadLimit, bytes)) {
    dialog.ShowMessage(L"Open Config.ini Failed!", L"Error", BoxOk | BoxIconError);
    return 0;
  }
  for (const std::wstring& line : SettingsLines(bytes)) ApplySettingsLine(dialog, line);
  return 1;
}

int SaveSettings(Controls& dialog) {
  if (!ReplaceSettingsFile(ConfigPath(), EncodeSettings(CollectSettings(dialog)))) {
    dialog.ShowMessage(L"Save Config.ini Failed!", L"Error", BoxOk | BoxIconError);
    return 0;
  }
  return 1;
}
