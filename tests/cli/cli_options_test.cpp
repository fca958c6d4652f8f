// lumet-cli's command line: what it takes, what it refuses with exit 2, and
// how the dialog's Config.ini and the options combine; its front end never
// says Yes unless told.
#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "cli/console_front_end.h"
#include "settings/settings.h"
#include "support/temp_folder.h"

namespace {
int Parse(std::vector<std::string> words, CliOptions& options) {
  words.insert(words.begin(), "lumet-cli");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  std::string message;
  bool toStdout = false;
  return ParseCli(static_cast<int>(argv.size()), argv.data(), options, message, toStdout);
}

TEST(CliOptions, RefusesWhatCannotBeDoneAndTakesTheRest) {
  const struct {
    std::vector<std::string> words;
    int stop;  // -1: go on
  } rows[] = {
      {{}, 2},
      {{"--help"}, 0},
      {{"list", "--json", "--no-query"}, -1},
      {{"download"}, 2},                                   // neither --port nor --all
      {{"download", "--all", "--port", "COM3"}, 2},        // both
      {{"download", "--port", "COM3", "--port", "COM4"}, -1},
      {{"download", "--all", "--name", ""}, -1},           // an empty name is no name
      {{"time", "set", "--port", "COM3", "--format", "JP"}, 2},
      {{"time", "set", "--port", "COM3", "--format", "US", "12/31/2019,23:59:59"}, -1},
      {{"time", "set", "--port", "COM3", "2019/02/29,00:00:00"}, 2},  // no such day
      {{"download", "--all", "--expected", "list.csv"}, 2},          // nothing to count into
      {{"download", "--all", "--expected", "list.csv", "--xlsx", "c.xlsx"}, -1},
      {{"watch", "--expected", "list.csv"}, 2},
      {{"report", "--db", "sqlite:x.db", "--expected", "list.csv"}, 2},
      {{"report", "--db", "sqlite:x.db", "--counts", "--expected", "list.csv"}, -1},
      {{"download", "--all", "--set-clock"}, -1},
      {{"erase"}, 2},                                      // no port
      {{"watch", "--config", "/no/such/Config.ini"}, 2},
      {{"report"}, 2},                                     // no --db
      {{"report", "--db", "sqlite:s.db", "--since", "2026-12-09", "--counts"}, -1},
      {{"report", "--db", "sqlite:s.db", "--since", "2026-12-09T10:15:02Z"}, -1},
      {{"report", "--db", "sqlite:s.db", "--since", "09/12/2026"}, 2},
      {{"report", "--db", "sqlite:s.db", "--since", "2026-12-09 10:15"}, 2},
      {{"watch", "--db", "DSN=stock;", "--pc", "CRADLE-2"}, -1},
  };
  for (const auto& row : rows) {
    CliOptions options;
    EXPECT_EQ(row.stop, Parse(row.words, options)) << ::testing::PrintToString(row.words);
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
