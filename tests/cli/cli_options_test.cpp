// lumet-cli's command line: what it takes, what it refuses with exit 2, and
// how the dialog's Config.ini and the options combine; its front end never
// says Yes unless told.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "cli/cli_service.h"
#include "cli/console_front_end.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

namespace {
int Parse(std::vector<std::string> words, CliOptions& options, std::string* said = nullptr) {
  words.insert(words.begin(), "lumet-cli");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  std::string message;
  bool toStdout = false;
  const int stop = ParseCli(static_cast<int>(argv.size()), argv.data(), options, message, toStdout);
  if (said) *said = message;
  return stop;
}

TEST(CliOptions, RefusesWhatCannotBeDoneAndTakesTheRest) {
  const struct {
    std::vector<std::string> words;
    int stop;  // -1: go on
  } rows[] = {
      {{}, 2},
      {{"--help"}, 0},
      {{"--version"}, 0},
      {{"list", "--json", "--no-query"}, -1},
      {{"download"}, 2},                                   // neither --port nor --all
      {{"download", "--all", "--port", "COM3"}, 2},        // both
      {{"download", "--port", "COM3", "--port", "COM4"}, -1},
      {{"download", "--all", "--name", ""}, -1},           // an empty name is no name
      {{"download", "--all", "--separator", std::string(99, ';')}, -1},
      {{"download", "--all", "--separator", std::string(100, ';')}, 2},  // never cut
      {{"time", "set", "--port", "COM3", "--format", "JP"}, 2},
      {{"time", "set", "--port", "COM3", "--format", "US", "12/31/2019,23:59:59"}, -1},
      {{"time", "set", "--port", "COM3", "2019/02/29,00:00:00"}, 2},  // no such day
      {{"download", "--all", "--expected", "list.csv"}, 2},          // nothing to count into
      {{"download", "--all", "--expected", "list.csv", "--xlsx", "c.xlsx"}, -1},
      {{"watch", "--expected", "list.csv"}, 2},
      {{"report", "--db", "sqlite:x.db", "--expected", "list.csv"}, 2},
      {{"report", "--db", "sqlite:x.db", "--counts", "--expected", "list.csv"}, -1},
      {{"download", "--all", "--set-clock"}, -1},
      {{"download", "--all", "--jobs", "32"}, -1},
      {{"download", "--all", "--jobs", "0"}, 2},             // 1 to 32 scanners at once
      {{"download", "--all", "--jobs", "33"}, 2},
      {{"erase"}, 2},                                      // no port
      {{"watch", "--config", "/no/such/Config.ini"}, 2},
      {{"report"}, 2},                                     // no --db
      {{"report", "--db", "sqlite:s.db", "--since", "2026-12-09", "--counts"}, -1},
      {{"report", "--db", "sqlite:s.db", "--since", "2026-12-09T10:15:02Z"}, -1},
      {{"report", "--db", "sqlite:s.db", "--since", "09/12/2026"}, 2},
      {{"report", "--db", "sqlite:s.db", "--since", "2026-12-09 10:15"}, 2},
      {{"watch", "--db", "DSN=stock;", "--pc", "CRADLE-2"}, -1},
      {{"service"}, 2},
      {{"service", "install"}, 2},                          // no --out
      {{"service", "install", "--out", "D:\\Scans", "--erase", "--csv", "--user", "scans"}, -1},
      {{"service", "install", "--out", "D:\\Scans", "--all"}, 2},  // no option of watch
      {{"service", "install", "--out", "D:\\Scans", "--name", ""}, -1},
      {{"service", "uninstall"}, -1},
      {{"service", "uninstall", "--out", "D:\\Scans"}, 2},
  };
  for (const auto& row : rows) {
    CliOptions options;
    EXPECT_EQ(row.stop, Parse(row.words, options)) << ::testing::PrintToString(row.words);
  }
}

TEST(CliOptions, HelpNamesWhatACommandTakes) {
  const struct {
    std::vector<std::string> words;
    std::string shown;
  } rows[] = {
      {{"time", "--help"}, "time [OPTIONS] get|set\n"},
      {{"time", "get", "--help"}, "time get [OPTIONS]\n"},
      {{"service", "--help"}, "service [OPTIONS] install|uninstall\n"},
      {{"--help"}, "lumet-cli [OPTIONS] SUBCOMMAND\n"},
  };
  for (const auto& row : rows) {
    CliOptions options;
    std::string message;
    EXPECT_EQ(0, Parse(row.words, options, &message));
    EXPECT_NE(std::string::npos, message.find(row.shown)) << message;
  }
}

TEST(CliOptions, OptionsStandOverTheSavedSettings) {
  TempFolder folder;
  AppSettings saved;
  saved.isText = false;
  saved.isAutoNaming = false;
  saved.customFileName = L"stock";
  saved.isWindows = false;
  saved.separator = L";";
  saved.isDisplaySN = false;
  folder.Write("Config.ini", EncodeSettings(saved));
  CliOptions options;
  ASSERT_EQ(-1, Parse({"download", "--all", "--config", folder.Path().string() + "/Config.ini",
                       "--auto-name", "--separator", "tab"},
                      options));
  const CliChoices& c = options.choices;
  EXPECT_TRUE(c.csv);
  EXPECT_TRUE(c.unixEnds);
  EXPECT_FALSE(c.showSerial);
  EXPECT_TRUE(c.showTime);
  EXPECT_TRUE(c.autoName);  // the option over the file
  EXPECT_EQ("tab", c.separator);
  EXPECT_EQ(L"stock", c.name);
}

// The service runs watch with what install was given, the account left out.
TEST(CliOptions, ServiceInstallCarriesAWatchsOptions) {
  CliOptions o;
  ASSERT_EQ(-1, Parse({"service", "install", "--out", "D:\\Scans", "--user", "scans", "--erase", "--csv"}, o));
  EXPECT_EQ(ServiceAction::Install, o.service);
  EXPECT_EQ(CliCommand::Watch, o.command);
  EXPECT_TRUE(o.erase);
  EXPECT_TRUE(o.choices.csv);
  EXPECT_EQ(L"D:\\Scans", o.choices.outDir);
  EXPECT_EQ("scans", o.serviceUser);
  EXPECT_EQ((std::vector<std::string>{"--out", "D:\\Scans", "--erase", "--csv"}), o.watchArguments);
}

// The service's command line is read back by Windows' rules: blanks and
// quotes inside an argument, and backslashes before a quote, survive.
TEST(ServiceCommandLine, QuotesWhatWindowsWouldSplit) {
  const struct {
    std::string argument, quoted;
  } rows[] = {
      {"--erase", "--erase"},
      {"", "\"\""},
      {"C:\\Program Files\\Lumet", "\"C:\\Program Files\\Lumet\""},
      {"D:\\Scans\\", "D:\\Scans\\"},                          // no blank: as it is
      {"D:\\My Scans\\", "\"D:\\My Scans\\\\\""},                // the last backslash doubled
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},                          // a\"b: both escaped
  };
  for (const auto& row : rows) EXPECT_EQ(row.quoted, QuoteArgument(row.argument)) << row.argument;
  EXPECT_EQ("\"C:\\Program Files\\Lumet\\lumet-cli.exe\" service run --out \"D:\\My Scans\" --erase",
            ServiceCommandLine("C:\\Program Files\\Lumet\\lumet-cli.exe", {"--out", "D:\\My Scans", "--erase"}));
}

TEST(ConsoleFrontEnd, SaysYesOnlyWhenTold) {
  ConsoleFrontEnd front{CliChoices{}};
  for (unsigned buttons : {BoxYesNo, BoxYesNoCancel})
    EXPECT_NE(AnswerYes, front.ShowBox(L"Erase?", L"Warning", buttons | BoxIconWarning));
  EXPECT_EQ(AnswerOk, front.ShowBox(L"Done", L"Information", BoxOk));
  front.AnswerQuestions(true);
  EXPECT_EQ(AnswerYes, front.ShowBox(L"Erase?", L"Warning", BoxYesNoCancel));
  EXPECT_EQ(4u, front.Boxes().size());
}
}  // namespace
