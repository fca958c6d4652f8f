#pragma once
// The user's choices kept in Config.ini beside the program: the file and its
// format. The dialog reads it once at start, after the controls have their
// defaults, and writes it once at close.
//
// The file is UTF-16 little-endian text; the writer puts the byte-order mark
// FF FE and then eleven lines "Key = value" CR LF in the order of AppSettings,
// with no terminating zero. The reader is lenient: with or without the mark
// (always UTF-16LE), CR LF or LF lines, blank lines, only the first 10240 bytes,
// a key counts only at the start of its line, lines it does not know are
// ignored. Encoding and decoding are done here byte by byte, so every platform
// reads and writes the very bytes Windows does.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The eleven values, in the order they are written.
struct AppSettings {
  std::wstring timeFormat;  // "US", "EU", "CN"; empty when no format is checked (no line)
  std::wstring time;        // the time box
  bool isText = true;       // "TXT" (else "CSV")
  bool isSaveToFile = true;
  std::wstring filePath;        // OutputFolder
  std::wstring customFileName;  // CustomFileName
  bool isAutoNaming = true;
  bool isWindows = true;  // "Windows" line ends (else "Unix")
  std::wstring separator;  // the separator box's text
  bool isDisplaySN = true;
  bool isDisplayDate = true;

  friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

inline constexpr std::size_t SettingsReadLimit = 10240;  // bytes read from the file
inline constexpr std::size_t SettingsLineChars = 1000;   // line buffer, with its terminating zero
inline constexpr std::size_t SettingsTextChars = 100;    // time and separator texts, with the zero

// The program's path with everything after its last "\" replaced by "Config.ini".
std::wstring ConfigBesideProgram();
// Where Config.ini is read and written: beside the program, where a copy run
// from a USB stick keeps it, when that folder takes new files or the file
// there can be written; otherwise (a program installed where the user may not
// write) the user's own <AppData>\Lumet\Config.ini, whose folder is made when
// needed. Until that file exists, a Config.ini beside the program is read.
std::wstring ConfigPath();

// The keys of the file, one a line.
enum class SettingsKey {
  TimeFormat, Time, IsText, IsSaveToFile, CustomFileName, IsAutoNaming, FilePath, IsWindows,
  Separator, IsDisplaySN, IsDisplayDate,
};
// The keys a line of the file begins with ("Key = "), each with the rest of
// the line as its value, in the order the reader tests them.
std::vector<std::pair<SettingsKey, std::wstring>> SettingsLineKeys(const std::wstring& line);
// The choices the file's lines hold, over defaults: a key that is missing,
// and a folder or custom name that is empty, keep their defaults; a key given
// twice takes its last value.
AppSettings SettingsFromLines(const std::vector<std::wstring>& lines, AppSettings defaults);
// A flag's value as _wtoi reads it (leading blanks, a sign, then digits up to
// the first other character; none give 0): any non-zero number is on.
bool SettingIsOn(const std::wstring& value);
// At most units UTF-16 units of text, so a value fits its buffer on Windows.
std::wstring FitSetting(const std::wstring& text, std::size_t units);

// The lines of ConfigPath as the reader takes them (the file created empty
// when missing, never truncated). False when it cannot be opened.
bool ReadConfigLines(std::vector<std::wstring>& lines);
// Writes the choices to ConfigPath: a new file beside it, which replaces the
// old one only once it is complete (in place where none can be made). False
// when it cannot be written; the old file is then as it was.
bool WriteConfig(const AppSettings& settings);

// The whole file for these choices.
std::string EncodeSettings(const AppSettings& settings);
// The lines a file's bytes hold, as the reader takes them: at most the first
// 10240 bytes, UTF-16LE up to the first zero unit, without a leading
// byte-order mark, split at CR and LF with empty lines dropped, each cut to
// 999 units.
std::vector<std::wstring> SettingsLines(const std::string& bytes);
