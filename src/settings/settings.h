#pragma once
// The user's choices kept in Config.ini beside the program: read once at
// start, after the controls have their defaults, and written once at close.
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
#include <vector>

class Controls;

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
std::wstring ConfigPath();

// Reads ConfigPath (created empty when missing, never truncated) and applies
// its lines to the controls. 1 when the file could be opened, else 0 after
// "Open Config.ini Failed!".
int LoadSettings(Controls& dialog);

// Writes the current choices to ConfigPath: a new file beside it, which
// replaces the old one only once it is complete. 1 when written, else 0 after
// "Save Config.ini Failed!"; the old file is then as it was.
int SaveSettings(Controls& dialog);

// Applies one line of the file (without its line end) to the controls.
void ApplySettingsLine(Controls& dialog, const std::wstring& line);

// The current choices, from the controls, OutputFolder and CustomFileName.
AppSettings CollectSettings(Controls& dialog);
// The whole file for these choices.
std::string EncodeSettings(const AppSettings& settings);
// The lines a file's bytes hold, as the reader takes them: at most the first
// 10240 bytes, UTF-16LE up to the first zero unit, without a leading
// byte-order mark, split at CR and LF with empty lines dropped, each cut to
// 999 units.
std::vector<std::wstring> SettingsLines(const std::string& bytes);
