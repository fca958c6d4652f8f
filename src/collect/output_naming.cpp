#include "collect/output_naming.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cwchar>

#include "common/front_end.h"
#include "common/local_time.h"
#include "common/output_file.h"
#include "common/program_path.h"
#include "protocol/catalogue.h"
#include "protocol/device_info.h"

namespace {
const wchar_t* Extension(bool textType) { return textType ? L".txt" : L".csv"; }

std::wstring Format(const wchar_t* format, int value) {
  wchar_t text[32] = {};
  std::swprintf(text, sizeof text / sizeof text[0], format, value);
  return text;
}

bool IsAsciiSpaceOrDot(wchar_t c) { return c == L' ' || c == L'.'; }

// Whether Windows takes the name for a device (CON, PRN, AUX, NUL, COM1..9,
// LPT1..9, also with the superscript digits ¹ ² ³), in any letter case,
// whatever follows its first dot and with blanks before that dot.
bool IsDeviceName(const std::wstring& name) {
  std::wstring base = name.substr(0, name.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (wchar_t& c : base)
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL") return true;
  if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0))
    return false;
  const wchar_t digit = base[3];
  return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
         digit == L'\u00B3';
}

// A name (or the part of one before its extension) the file system cannot
// misread, for automatic and custom names alike: a character a name cannot hold (\ / : * ? " < > |) or a control
// character becomes "_", so nothing leads out of the folder (\ /) or into an
// alternate stream (:); a device name gets a "_" in front; trailing dots and
// blanks, which Windows would drop, become "_".

std::wstring AutoNamePrefix(const std::wstring& serial) {
  LocalTime today = CurrentLocalTime();
  return SafeFileName(serial + L"_" + Format(L"%04d", today.year) + Format(L"%02d", today.month) +
                      Format(L"%02d", today.day) + L"_");
}

// The number after the prefix: every digit up to the first other character.
// False when there is none or it does not fit below INT_MAX.
bool NumberAfterPrefix(const std::wstring& name, std::size_t prefixLength, std::uint32_t& number) {
  std::uint64_t value = 0;
  std::size_t i = prefixLength;
  for (; i < name.size() && name[i] >= L'0' && name[i] <= L'9'; ++i) {
    value = value * 10 + static_cast<std::uint64_t>(name[i] - L'0');
    if (value >= INT_MAX) return false;
  }
  if (i == prefixLength) return false;
  number = static_cast<std::uint32_t>(value);
  return true;
}
}  // namespace

std::wstring SafeFileName(std::wstring name) {
  for (wchar_t& c : name)
    if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) c = L'_';
  if (IsDeviceName(name)) name.insert(0, 1, L'_');
  for (auto c = name.rbegin(); c != name.rend() && IsAsciiSpaceOrDot(*c); ++c) *c = L'_';
  return name;
}

namespace {
std::wstring UserOutputFolder() {
  const std::wstring documents = UserFolderPath(UserFolder::Documents);
  return documents.empty() ? std::wstring() : documents + L"\\Lumet";
}
}  // namespace

std::wstring DefaultOutputFolder() {
  const std::wstring program = ProgramFolder();
  const std::wstring user = UserOutputFolder();
  return user.empty() || !IsFolder(program) || !FolderRefusesNewFiles(program) ? program : user;
}

bool MakeOutputFileName(ScannerSession& session, FrontEnd& front, OutputNames& names,
                        const DownloadChoices& choices) {
  const bool textType = choices.textFile;
  // Only the default folder in Documents is made; a folder the user chose
  // and removed since is reported missing, as it always was.
  if (!names.folder.empty() && names.folder == UserOutputFolder()) MakeFolders(names.folder);
  names.autoNaming = choices.autoNaming;
  if (names.autoNaming) {
    std::wstring serial;
    if (!QuerySerialNumber(session, serial, Reply::SerialNumberForFileName)) return false;
    const std::wstring prefix = AutoNamePrefix(serial);
    names.fileName = prefix;
    FindNextFileNumber(names, textType);
    int number = names.nextNumber;
    if (names.nextNumber < INT_MAX) ++names.nextNumber;
    names.fileName = prefix + Format(L"%03d", number) + Extension(textType);
  } else {
    std::wstring name = choices.typedFileName.substr(0, PathCapacity - 1);
    if (name.empty()) return false;
    if (HasExtension(name, L".csv") || HasExtension(name, L".txt")) name.resize(name.size() - 4);
    names.fileName = SafeFileName(name) + Extension(textType);
  }
  front.ShowFileName(names.fileName);
  // The window remembers a custom name when its box changes; done here too so
  // the remembered name never depends on that.
  if (!names.autoNaming) names.customName = names.fileName.substr(0, PathCapacity - 1);
  return true;
}

void FindNextFileNumber(OutputNames& names, bool textType) {
  const std::wstring& prefix = names.fileName;
  std::uint32_t highest = 0;
  for (const FolderEntry& entry : ListFolder(names.folder, Extension(textType))) {
    if (entry.isDirectory) continue;
    if (entry.name.compare(0, prefix.size(), prefix) != 0) continue;
    std::uint32_t number = 0;
    if (NumberAfterPrefix(entry.name, prefix.size(), number) && number > highest) highest = number;
  }
  names.nextNumber = static_cast<int>(highest) + 1;
}

std::wstring OutputFilePath(const OutputNames& names) {
  return names.folder + L"\\" + names.fileName;
}
