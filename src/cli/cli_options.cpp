#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iterator>
#include <memory>

#include "cli/cli_platform.h"
#include "clock/time_text.h"
#include "common/version.h"
#include "settings/settings.h"

namespace {
bool ParseFormat(const std::string& text, DateFormat& format) {
  if (text == "US") format = DateFormat::US;
  else if (text == "EU") format = DateFormat::EU;
  else if (text == "CN") format = DateFormat::CN;
  else return false;
  return true;
}

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SSZ", as the stored download times begin.
bool ReadSince(const std::string& text) {
  const std::string layout = "dddd-dd-ddTdd:dd:ddZ";
  if (text.size() != 10 && text.size() != layout.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (layout[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != layout[i]) return false;
  return true;
}

// "Usage: lumet-cli time [OPTIONS] get|set": the subcommands by name, not
// as "SUBCOMMAND", on a formatter of the command's own.
void NameSubcommands(CLI::App& command, const std::string& names) {
  auto formatter = std::make_shared<CLI::Formatter>();
  formatter->label("SUBCOMMAND", names);
  command.formatter(formatter);
}

// The dialog's choices as options of a download command.
void AddChoiceOptions(CLI::App& command, std::string& name, std::string& out,
                      std::string& config, std::string& separator, bool& autoName, bool& csv,
                      bool& unixEnds, bool& noSerial, bool& noTime) {
  command.add_option("--out", out, "folder for the output files (default: the current one)");
  command.add_option("--name", name, "custom file name (as Auto Naming off)");
  command.add_flag("--auto-name", autoName, "name each file after its scanner (the default)");
  command.add_flag("--csv", csv, "write .csv files (default .txt)");
  command.add_flag("--unix", unixEnds, "end lines with LF (default CR LF)");
  command.add_option("--separator", separator, "text between the fields (default \",\"; tab for TAB)");
  command.add_flag("--no-serial", noSerial, "leave the serial number out of each record");
  command.add_flag("--no-time", noTime, "leave the time stamp out of each record");
  command.add_option("--config", config, "take the choices from a Config.ini the dialog saved");
}
}  // namespace

int ParseCli(int argc, char** argv, CliOptions& o, std::string& message, bool& toStdout) {
  CLI::App app{"lumet-cli: KT52 batch barcode scanners from the command line"};
  app.require_subcommand(1, 1);
  app.set_version_flag("--version", "lumet-cli " LUMET_VERSION, "print the version and exit");
  toStdout = false;

  CLI::App* list = app.add_subcommand("list", "the attached scanners, one a line");
  list->add_flag("--json", o.json, "one JSON object a scanner");
  list->add_flag("--no-query", o.noQuery, "the ports only: nothing is sent");

  std::string name, out, config, separator, archive, summary, database, since, pc, expected, xlsx;
  const char* expectedHelp = "count against this list (CSV or TXT: barcode, quantity, description)";
  const char* checkClockHelp = "say how far each scanner's clock is off this PC's (more than 2 min)";
  const char* setClockHelp = "set each scanner's clock to this PC's after a complete download";
  const char* xlsxHelp = "also write every record into this workbook (.xlsx; sheets Scans and Count)";
  const char* dbHelp = "also store every record in the table kt52_scans of this ODBC data source "
                       "(a connection string, or sqlite:FILE)";
  bool autoName = false, csv = false, unixEnds = false, noSerial = false, noTime = false;
  CLI::App* download = app.add_subcommand("download", "download the scanners' barcodes into files");
  download->add_option("--port", o.ports, "a scanner's port (COM3, /dev/ttyACM0); again for more");
  download->add_flag("--all", o.all, "every scanner found");
  download->add_option("--jobs", o.jobs, "at most this many scanners at once (default: all, up to 32)")
      ->check(CLI::Range(1, 32));
  download->add_flag("--erase", o.erase,
                     "erase a scanner once its download is complete, saved and read back");
  download->add_flag("--json", o.json, "one JSON object a scanner");
  download->add_option("--archive", archive, "also keep each download's data as received, here");
  download->add_option("--summary", summary, "write a CSV of barcode, count, first and last scan");
  download->add_option("--expected", expected, expectedHelp);
  download->add_option("--xlsx", xlsx, xlsxHelp);
  download->add_flag("--check-clock", o.checkClock, checkClockHelp);
  download->add_flag("--set-clock", o.setClock, setClockHelp);
  download->add_option("--db", database, dbHelp);
  download->add_option("--pc", pc, "this PC's name in the database (default: its host name)");
  AddChoiceOptions(*download, name, out, config, separator, autoName, csv, unixEnds,
                   noSerial, noTime);

  CLI::App* watch = app.add_subcommand("watch", "download each scanner as it appears, until stopped");
  watch->add_flag("--erase", o.erase, "erase each scanner once its download is complete and saved");
  watch->add_flag("--json", o.json, "one JSON object an event");
  watch->add_option("--archive", archive, "also keep each download's data as received, here");
  watch->add_option("--db", database, dbHelp);
  watch->add_option("--xlsx", xlsx, xlsxHelp);
  watch->add_flag("--check-clock", o.checkClock, checkClockHelp);
  watch->add_flag("--set-clock", o.setClock, setClockHelp);
  watch->add_option("--expected", expected, expectedHelp);
  watch->add_option("--pc", pc, "this PC's name in the database (default: its host name)");
  AddChoiceOptions(*watch, name, out, config, separator, autoName, csv, unixEnds,
                   noSerial, noTime);

  std::string port;
  CLI::App* info = app.add_subcommand("info", "a scanner's device information");
  info->add_option("--port", port, "the scanner's port")->required();

  CLI::App* time = app.add_subcommand("time", "a scanner's clock");
  time->require_subcommand(1, 1);
  NameSubcommands(*time, "get|set");
  CLI::App* timeGet = time->add_subcommand("get", "read the clock and the date format");
  timeGet->add_option("--port", port, "the scanner's port")->required();
  std::string format;
  CLI::App* timeSet = time->add_subcommand("set", "set the clock (no TIME: the PC's time)");
  timeSet->add_option("--port", port, "the scanner's port")->required();
  timeSet->add_option("--format", format,
                      "the date format: US, EU or CN (default: the one the scanner has)");
  timeSet->add_option("TIME", o.time,
                      "the time in the format's order: YYYY/MM/DD,HH:MM:SS for CN and without --format");

  CLI::App* erase = app.add_subcommand("erase", "erase a scanner's stored barcodes");
  erase->add_option("--port", port, "the scanner's port")->required();
  erase->add_flag("--yes", o.yes, "really erase");

  CLI::App* report = app.add_subcommand("report", "the records stored in a scan database, as CSV");
  report->add_option("--db", database, "the ODBC data source (a connection string, or sqlite:FILE)")
      ->required();
  report->add_option("--since", since,
                     "only records downloaded at or after this UTC time (YYYY-MM-DD or "
                     "YYYY-MM-DDTHH:MM:SSZ)");
  report->add_flag("--counts", o.counts, "count each barcode across all scanners and PCs");
  report->add_option("--expected", expected, expectedHelp);
  report->add_option("--xlsx", xlsx, "write the records into this workbook instead of CSV");

  CLI::App* service = app.add_subcommand("service", "the Windows collection service \"Lumet collection\"");
  service->require_subcommand(1, 1);
  NameSubcommands(*service, "install|uninstall");
  CLI::App* serviceInstall = service->add_subcommand(
      "install", "register and start the service, running watch with the options that follow "
                 "(--out DIR required; watch --help lists them)");
  serviceInstall->add_option("--user", o.serviceUser, "the account it runs as (default: LocalSystem)");
  serviceInstall->add_option("--password", o.servicePassword, "that account's password");
  serviceInstall->allow_extras();
  CLI::App* serviceUninstall = service->add_subcommand("uninstall", "stop the service and remove it");
  CLI::App* serviceRun = service->add_subcommand("run", "what the service itself runs");
  serviceRun->allow_extras();
  serviceRun->group("");  // the service manager's, not the user's

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    message = app.help();
    toStdout = true;
    return ExitSucceeded;
  } catch (const CLI::CallForVersion& e) {
    message = e.what();
    toStdout = true;
    return ExitSucceeded;
  } catch (const CLI::CallForAllHelp& e) {
    message = app.help("", CLI::AppFormatMode::All);
    toStdout = true;
    return ExitSucceeded;
  } catch (const CLI::ParseError& e) {
    message = std::string(e.what()) + "\nRun with --help for the commands and their options.";
    return ExitUsage;
  }

  if (list->parsed()) o.command = CliCommand::List;
  if (download->parsed()) o.command = CliCommand::Download;
  if (watch->parsed()) o.command = CliCommand::Watch;
  if (info->parsed()) o.command = CliCommand::Info;
  if (timeGet->parsed()) o.command = CliCommand::TimeGet;
  if (timeSet->parsed()) o.command = CliCommand::TimeSet;
  if (erase->parsed()) o.command = CliCommand::Erase;
  if (report->parsed()) o.command = CliCommand::Report;
  if (!port.empty()) o.ports = {port};
  if (serviceUninstall->parsed()) o.service = ServiceAction::Uninstall;
  if (serviceInstall->parsed() || serviceRun->parsed()) {
    // The rest are a watch's options: read as such, and kept as given for
    // the service's own command line.
    CLI::App* given = serviceInstall->parsed() ? serviceInstall : serviceRun;
    std::vector<std::string> words = {"lumet-cli", "watch"};
    for (const std::string& word : given->remaining()) words.push_back(word);
    std::vector<char*> watchArgv;
    for (std::string& word : words) watchArgv.push_back(word.data());
    CliOptions watch;
    const int stop = ParseCli(static_cast<int>(watchArgv.size()), watchArgv.data(), watch, message, toStdout);
    if (stop >= 0) return stop;
    if (watch.choices.outDir.empty()) {
      message = "service install: give --out DIR, the folder of the files and of the service's log";
      return ExitUsage;
    }
    watch.watchArguments.assign(words.begin() + 2, words.end());
    watch.serviceUser = o.serviceUser;
    watch.servicePassword = o.servicePassword;
    watch.service = serviceInstall->parsed() ? ServiceAction::Install : ServiceAction::Run;
    o = watch;
    return -1;
  }

  if (o.command == CliCommand::Download && o.ports.empty() == !o.all) {
    message = "download: give --port (once or more) or --all";
    return ExitUsage;
  }
  if (o.command == CliCommand::TimeSet) {
    o.formatGiven = !format.empty();
    if (o.formatGiven && !ParseFormat(format, o.format)) {
      message = "time set: --format is US, EU or CN, not " + format;
      return ExitUsage;
    }
    CalendarTime parsed;
    if (!o.time.empty() && !ParseTimeInput(o.time, o.format, parsed)) {
      message = "Time Input Error,Please Follow the Format! (" + o.time + ")";
      return ExitUsage;
    }
  }

  if (o.setClock) o.checkClock = true;
  if (!database.empty()) o.database = PathFromArgument(database);
  // The database keys each record by its scanner and scan time.
  o.choices.wholeRecords = (!database.empty() || !xlsx.empty()) && o.command != CliCommand::Report;
  if (!xlsx.empty()) o.xlsxFile = PathFromArgument(xlsx);
  if (!since.empty() && !ReadSince(since)) {
    message = "report: --since is YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ, not " + since;
    return ExitUsage;
  }
  o.since = PathFromArgument(since);
  o.pcName = pc.empty() ? PcName() : PathFromArgument(pc);

  CliChoices& c = o.choices;
  if (!config.empty() && !ApplyConfigFile(PathFromArgument(config), c)) {
    message = "cannot read the settings file " + config;
    return ExitUsage;
  }
  // Options stand over the settings file.
  if (!out.empty()) c.outDir = PathFromArgument(out);
  if (!name.empty()) {
    c.name = PathFromArgument(name);
    c.autoName = false;
  }
  if (autoName) c.autoName = true;
  if (csv) c.csv = true;
  if (unixEnds) c.unixEnds = true;
  if (!separator.empty()) c.separator = separator;
  if (c.separator.size() > MaxSeparatorBytes) {
    message = "--separator holds at most " + std::to_string(MaxSeparatorBytes) + " bytes, not " +
              std::to_string(c.separator.size());
    return ExitUsage;
  }
  if (noSerial) c.showSerial = false;
  if (noTime) c.showTime = false;
  if (!c.autoName && c.name.empty()) {
    message = "Please Enter File Name! (--name, or --auto-name)";
    return ExitUsage;
  }
  if (!expected.empty()) {
    o.expectedFile = PathFromArgument(expected);
    const bool counted = !xlsx.empty() || (o.command == CliCommand::Report ? o.counts : !summary.empty());
    if (!counted) {
      message = o.command == CliCommand::Report  ? "--expected needs --counts or --xlsx"
                : o.command == CliCommand::Watch ? "--expected needs --xlsx"
                                                 : "--expected needs --summary or --xlsx";
      return ExitUsage;
    }
  }
  if (!archive.empty()) o.archiveDir = PathFromArgument(archive);
  if (!summary.empty()) o.summaryFile = PathFromArgument(summary);
  return -1;
}

bool ApplyConfigFile(const std::wstring& path, CliChoices& c) {
  std::ifstream file(PathText(path), std::ios::binary);
  if (!file) return false;
  std::string bytes;
  bytes.resize(SettingsReadLimit);
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  // The clock's choices are not read, and files are always written here.
  AppSettings s;
  s.isText = !c.csv;
  s.customFileName = c.name;
  s.isAutoNaming = c.autoName;
  s.filePath = c.outDir;
  s.isWindows = !c.unixEnds;
  const std::wstring separator = PathFromArgument(c.separator);
  s.separator = separator;
  s.isDisplaySN = c.showSerial;
  s.isDisplayDate = c.showTime;
  s = SettingsFromLines(SettingsLines(bytes), s);
  c.csv = !s.isText;
  c.name = s.customFileName;
  c.autoName = s.isAutoNaming;
  c.outDir = s.filePath;
  c.unixEnds = !s.isWindows;
  if (s.separator != separator) c.separator = PathText(s.separator);
  c.showSerial = s.isDisplaySN;
  c.showTime = s.isDisplayDate;
  return true;
}
