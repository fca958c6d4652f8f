#include "settings/settings.h"

#include <cstdint>
#include <utility>

#include "common/output_file.h"
#include "common/program_path.h"
#include "common/utf16_text.h"
#include "settings/settings_file.h"

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

// In the order a line is tested against them.
constexpr std::pair<SettingsKey, const wchar_t*> Keys[] = {
    {SettingsKey::TimeFormat, KeyTimeFormat},         {SettingsKey::Time, KeyTime},
    {SettingsKey::IsText, KeyIsText},                 {SettingsKey::IsSaveToFile, KeyIsSaveToFile},
    {SettingsKey::CustomFileName, KeyCustomFileName}, {SettingsKey::IsAutoNaming, KeyIsAutoNaming},
    {SettingsKey::FilePath, KeyFilePath},             {SettingsKey::IsWindows, KeyIsWindows},
    {SettingsKey::Separator, KeySeparator},           {SettingsKey::IsDisplaySN, KeyIsDisplaySN},
    {SettingsKey::IsDisplayDate, KeyIsDisplayDate},
};

void AppendUtf16Le(std::string& out, const std::wstring& text) {
  ForEachUtf16Unit(text, [&out](std::uint16_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  });
}

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }
}  // namespace

std::wstring FitSetting(const std::wstring& text, std::size_t units) {
  std::size_t used = 0, i = 0;
  for (; i < text.size(); ++i) {
    auto code = static_cast<std::uint32_t>(text[i]);
    std::size_t width = code > 0xFFFF ? 2 : 1;
    if (used + width > units) break;
    used += width;
  }
  return text.substr(0, i);
}

bool SettingIsOn(const std::wstring& value) {
  std::size_t i = 0;
  while (i < value.size() && IsBlank(value[i])) ++i;
  if (i < value.size() && (value[i] == L'+' || value[i] == L'-')) ++i;
  for (; i < value.size() && value[i] >= L'0' && value[i] <= L'9'; ++i)
    if (value[i] != L'0') return true;
  return false;
}

std::wstring ConfigBesideProgram() {
  const std::wstring path = ProgramPath();
  return path.find(L'\\') == std::wstring::npos ? L"Config.ini" : FolderOf(path) + L"\\Config.ini";
}

std::wstring ConfigPath() {
  const std::wstring beside = ConfigBesideProgram();
  const std::wstring folder = FolderOf(beside);
  // Only a folder that refuses the user moves the file: any other failure
  // (a broken copy, no handle to spare) is reported where the file is used.
  if (folder.empty() || !IsFolder(folder) || !FolderRefusesNewFiles(folder) || FileTakesWrites(beside))
    return beside;
  const std::wstring appData = UserFolderPath(UserFolder::AppData);
  return appData.empty() ? beside : appData + L"\\Lumet\\Config.ini";
}

std::vector<std::pair<SettingsKey, std::wstring>> SettingsLineKeys(const std::wstring& line) {
  // A key counts only at the start of its line, where the writer puts it: a
  // value holding another key's text ("Time = 12" as a file name) is no key.
  std::vector<std::pair<SettingsKey, std::wstring>> found;
  for (const auto& [key, text] : Keys) {
    const std::wstring name = text;
    if (line.compare(0, name.size(), name) == 0) found.emplace_back(key, line.substr(name.size()));
  }
  return found;
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

bool ReadConfigLines(std::vector<std::wstring>& lines) {
  const std::wstring path = ConfigPath();
  const std::wstring beside = ConfigBesideProgram();
  std::string bytes;
  // Until the user's own file exists, one put beside the program (by whoever
  // installed it) gives the first choices.
  if (path != beside && !PathExists(path) && PathExists(beside)) {
    if (!ReadSettingsFile(beside, SettingsReadLimit, bytes)) return false;
  } else if (!MakeFolders(FolderOf(path)) || !ReadSettingsFile(path, SettingsReadLimit, bytes)) {
    return false;
  }
  lines = SettingsLines(bytes);
  return true;
}

bool WriteConfig(const AppSettings& settings) {
  const std::wstring path = ConfigPath();
  return MakeFolders(FolderOf(path)) && ReplaceSettingsFile(path, EncodeSettings(settings));
}

AppSettings SettingsFromLines(const std::vector<std::wstring>& lines, AppSettings s) {
  for (const std::wstring& line : lines) {
    for (const auto& [key, value] : SettingsLineKeys(line)) {
      const bool on = SettingIsOn(value);
      switch (key) {
        case SettingsKey::TimeFormat: s.timeFormat = value; break;
        case SettingsKey::Time: s.time = value; break;
        case SettingsKey::IsText: s.isText = on; break;
        case SettingsKey::IsSaveToFile: s.isSaveToFile = on; break;
        case SettingsKey::CustomFileName:
          if (!value.empty()) s.customFileName = value;
          break;
        case SettingsKey::IsAutoNaming: s.isAutoNaming = on; break;
        case SettingsKey::FilePath:
          if (!value.empty()) s.filePath = value;
          break;
        case SettingsKey::IsWindows: s.isWindows = on; break;
        case SettingsKey::Separator: s.separator = value; break;
        case SettingsKey::IsDisplaySN: s.isDisplaySN = on; break;
        case SettingsKey::IsDisplayDate: s.isDisplayDate = on; break;
      }
    }
  }
  return s;
}
