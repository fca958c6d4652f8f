#pragma once
// lumet-cli's command line: its commands and options, read with CLI11.
#include <cstddef>
#include <string>
#include <vector>

#include "collect/download_choices.h"
#include "common/date_format.h"

// The download choices the dialog offers, as the options (or --config) give them.
struct CliChoices {
  bool autoName = true;
  std::wstring name;             // --name: the custom file name
  bool csv = false;
  bool unixEnds = false;
  std::string separator = ",";   // as the separator box would hold it
  bool showSerial = true;
  bool showTime = true;
  std::wstring outDir;           // --out; empty: the current folder
  bool wholeRecords = false;     // --db: serial number and time stamp always asked for
};

enum class CliCommand { None, List, Download, Info, TimeGet, TimeSet, Erase, Watch, Report };

// "service install|uninstall|run": the collection service (Windows). Install
// and run carry a watch's options, in command and the fields below.
enum class ServiceAction { None, Install, Uninstall, Run };

struct CliOptions {
  CliCommand command = CliCommand::None;
  bool json = false;
  bool noQuery = false;  // list: the ports only, nothing sent
  bool all = false;      // download: every scanner found
  bool yes = false;      // erase: really
  bool erase = false;    // download, watch: the loss-proof erase
  bool checkClock = false;  // download, watch: the scanner's clock against this PC's
  bool setClock = false;    // ... and set to this PC's after a complete download
  std::vector<std::string> ports;
  std::size_t jobs = 0;  // download: scanners served at once (0: every one found, up to 32)
  DateFormat format = DateFormat::CN;  // time set
  bool formatGiven = false;            // time set: --format; without it the scanner's is kept
  std::string time;                    // time set: the time to set, in format's order
  std::wstring archiveDir;             // --archive
  std::wstring summaryFile;            // --summary
  std::wstring expectedFile;           // --expected: what a stock count should find
  std::wstring xlsxFile;               // --xlsx: the workbook
  std::wstring database;               // --db: an ODBC connection string, or sqlite:FILE
  std::wstring pcName;                 // --pc: the PC's name in the database
  std::wstring since;                  // report: downloaded at or after, ISO 8601 UTC
  bool counts = false;                 // report: counts per barcode
  CliChoices choices;
  ServiceAction service = ServiceAction::None;
  std::vector<std::string> watchArguments;  // service install: the watch's options, as given
  std::string serviceUser;                  // service install --user (default LocalSystem)
  std::string servicePassword;              // service install --password
};

// The longest --separator: what the download reads of its "Separator:" box.
// A longer one is refused, never cut.
inline constexpr std::size_t MaxSeparatorBytes = SeparatorTextCapacity - 1;

// The exit statuses.
inline constexpr int ExitSucceeded = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;
inline constexpr int ExitNoScanner = 3;

// Reads the arguments (and the --config file). -1: go on with options; any
// other value is the exit status, after what is in message was printed
// (help: 0, on stdout; a usage error: 2, on stderr).
int ParseCli(int argc, char** argv, CliOptions& options, std::string& message, bool& toStdout);

// Applies a Config.ini as the dialog wrote it to the choices; false when it
// cannot be read.
bool ApplyConfigFile(const std::wstring& path, CliChoices& choices);
