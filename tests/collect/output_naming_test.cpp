// Output folder, automatic and custom file names, and the output file itself.
#include "collect/output_naming.h"
#include "ui/dialog_session.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/output_file.h"
#include "common/local_time.h"
#include "export/export_store.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "support/fixed_date.h"
#include "support/scanner_script.h"
#include "support/simulated_scanner_link.h"
#include "support/program_folder.h"
#include "support/temp_folder.h"
#include "support/unwritable.h"
#include "ui/control_ids.h"
#include "ui/data_controls.h"
#include "ui/window_front_end.h"

namespace {
class OutputNaming : public ScriptedScannerTest {
 protected:
  void SetUp() override {
    ScriptedScannerTest::SetUp();
    SetLocalTimeSource(&SecondOfJanuary2019);
    OutputFolder = folder.Wide();
    dialog.SetChecked(IDC_AUTO_NAMING, true);
    FramedMode = 1;
  }
  // The name made for one download with the scanner answering serial.
  std::wstring AutoName(bool textType = true, const std::string& serial = "S1") {
    ScriptQueryReply(link, FramedMode != 0, serial);
    EXPECT_TRUE(MakeName(textType));
    return OutputFileName;
  }
  std::wstring CustomName(const std::wstring& typed, bool textType) {
    dialog.SetChecked(IDC_AUTO_NAMING, false);
    dialog.SetText(IDC_FILE_NAME, typed);
    OnFileNameEdited(dialog);
    EXPECT_TRUE(MakeName(textType));
    return OutputFileName;
  }

  // The name as a download started now would make it, in TXT or CSV.
  bool MakeName(bool textType) {
    DownloadChoices choices = window.ChosenForDownload();
    choices.textFile = textType;
    return MakeOutputFileName(DialogSession, window, DialogOutput, choices);
  }

  TempFolder folder;
  WindowFrontEnd window{dialog};
};

TEST_F(OutputNaming, FirstDownloadOfTheDayIsNumberOne) {
  EXPECT_EQ(AutoName(), L"S1_20190102_001.txt");
  EXPECT_EQ(dialog.GetText(IDC_FILE_NAME, PathCapacity), L"S1_20190102_001.txt");
  EXPECT_EQ(NextFileNumber, 2);
  ASSERT_EQ(link.writes.size(), 2u);
  EXPECT_EQ(link.writes[0], DataFrame(Command::GetSerialNumber));
  EXPECT_EQ(CustomFileName, L"");  // automatic names are not remembered as custom
}

TEST_F(OutputNaming, SerialNumberThatNamesADeviceGetsAMark) {
  EXPECT_EQ(AutoName(true, "con.7"), L"_con.7_20190102_001.txt");
}

TEST_F(OutputNaming, PlainModeAsksTheSerialNumberTheSameWay) {
  FramedMode = 0;
  EXPECT_EQ(AutoName(false, "KT52-0001"), L"KT52-0001_20190102_001.csv");
  ASSERT_EQ(link.writes.size(), 1u);
  EXPECT_EQ(ToText(link.writes[0]), Command::GetSerialNumber);
}

TEST_F(OutputNaming, NumberIsOneAboveTheHighestFileOfTheSameType) {
  folder.Write("S1_20190102_001.txt", "");
  folder.Write("S1_20190102_007.txt", "");
  folder.Write("S1_20190102_003.csv", "");
  EXPECT_EQ(AutoName(true), L"S1_20190102_008.txt");
  EXPECT_EQ(AutoName(false), L"S1_20190102_004.csv");
}

TEST_F(OutputNaming, OnlyFilesWithTheExactPrefixCount) {
  folder.MakeFolder("S1_20190102_050.txt");        // a directory
  folder.Write("s1_20190102_009.txt", "");          // other case
  folder.Write("S1_20190101_009.txt", "");          // another day
  folder.Write("S12_20190102_009.txt", "");         // another scanner
  folder.Write("XS1_20190102_009.txt", "");
  folder.Write("S1_20190102_009.txt.bak", "");      // another type
  folder.Write("S1_20190102_report.txt", "");       // no number
  folder.Write("S1_20190102_002.txt", "");
  EXPECT_EQ(AutoName(), L"S1_20190102_003.txt");
}

TEST_F(OutputNaming, CountsPastNineHundredNinetyNine) {
  folder.Write("S1_20190102_999.txt", "");
  EXPECT_EQ(AutoName(), L"S1_20190102_1000.txt");
  folder.Write("S1_20190102_1000.txt", "");
  EXPECT_EQ(AutoName(), L"S1_20190102_1001.txt");
}

TEST_F(OutputNaming, HugeNumberInANameIsIgnored) {
  folder.Write("S1_20190102_99999999999999999999.txt", "");
  folder.Write("S1_20190102_2147483647.txt", "");
  folder.Write("S1_20190102_012.txt", "");
  EXPECT_EQ(AutoName(), L"S1_20190102_013.txt");
}

TEST_F(OutputNaming, FolderThatCannotBeSearchedStartsAtOne) {
  OutputFolder = folder.Wide() + L"\\missing";
  EXPECT_EQ(AutoName(), L"S1_20190102_001.txt");
}

TEST_F(OutputNaming, SimulatedScannerNamesTheFileInBothTransports) {
  for (kt52::Transport transport : {kt52::Transport::Framed, kt52::Transport::Plain}) {
    kt52::DeviceOptions options;
    options.transport = transport;
    options.serialNumber = "KT52SIM7";
    SimulatedScannerLink scanner(options);
    ASSERT_TRUE(scanner.OpenPort(3));
    DialogSession.link = &scanner;
    ASSERT_TRUE(WakeDevice(DialogSession));
    EXPECT_TRUE(MakeName(true));
    folder.Write(std::string(OutputFileName.begin(), OutputFileName.end()), "x\r\n");
    DialogSession.link = &link;
  }
  EXPECT_EQ(OutputFileName, L"KT52SIM7_20190102_002.txt");
}

TEST_F(OutputNaming, NoSerialNumberMeansNoName) {
  OutputFileName = L"before.txt";
  dialog.SetText(IDC_FILE_NAME, L"before.txt");
  EXPECT_FALSE(MakeName(true));  // no reply at all
  FramedMode = 0;
  link.ReplyToNextWrite({ToBytes(std::string("S1") + ErMarker)});
  EXPECT_FALSE(MakeName(true));
  EXPECT_EQ(dialog.GetText(IDC_FILE_NAME, PathCapacity), L"before.txt");
  EXPECT_TRUE(IsAutoNaming);
}

TEST_F(OutputNaming, CustomNamesGetTheExtensionOfTheChosenType) {
  struct Case {
    std::wstring typed;
    bool textType;
    std::wstring name;
  };
  const std::vector<Case> cases = {
      {L"report", true, L"report.txt"},         {L"report", false, L"report.csv"},
      {L"report.CSV", true, L"report.txt"},     {L"report.xls", false, L"report.xls.csv"},
      {L"data.txt.txt", true, L"data.txt.txt"}, {L"ab", true, L"ab.txt"},
      {L"a.TxT", false, L"a.csv"},              {L".txt", true, L".txt"},
      // Nothing the file system would misread: a device (any case, before
      // the first dot), a stream, another folder, a dropped trailing dot.
      {L"nul", true, L"_nul.txt"},              {L"CoM1.log", false, L"_CoM1.log.csv"},
      {L"aux.TXT", true, L"_aux.txt"},          {L"lpt9 .x", true, L"_lpt9 .x.txt"},
      {L"com\u00B9", true, L"_com\u00B9.txt"},  {L"com10", true, L"com10.txt"},
      {L"a:b", true, L"a_b.txt"},               {L"..\\x", true, L".._x.txt"},
      {L"\\", true, L"_.txt"},                  {L"a/*?\"<>|\t", true, L"a________.txt"},
      {L"report.", true, L"report_.txt"},       {L"report .", false, L"report__.csv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typed.begin(), c.typed.end()));
    EXPECT_EQ(CustomName(c.typed, c.textType), c.name);
    EXPECT_EQ(dialog.GetText(IDC_FILE_NAME, PathCapacity), c.name);
    EXPECT_EQ(CustomFileName, c.name);
  }
  EXPECT_TRUE(link.writes.empty());  // the scanner is not asked
}

// A program installed where the user may not write saves into the user's
// Documents\Lumet, made when the first file is named.
TEST_F(OutputNaming, DefaultFolderIsOneTheUserCanWrite) {
  for (const bool refuses : {false, true}) {
    SCOPED_TRACE(refuses ? "a program folder that refuses files" : "a program folder that takes files");
    TempFolder program;
    ProgramFolderScope placed{program};
    TempFolder user;
    SetUserFolderPath(UserFolder::Documents, user.Wide() + L"\\Docs");
    UnwritableScope scope(refuses ? program.Path() : program.Path() / "none");
    ASSERT_TRUE(!refuses || scope.Holds());
    MemoryControls fresh;
    InitDataControls(fresh);
    EXPECT_EQ(refuses ? user.Wide() + L"\\Docs\\Lumet" : program.Wide(), OutputFolder);
    EXPECT_FALSE(user.Exists("Docs"));
    CustomName(L"first", true);
    EXPECT_EQ(refuses, user.Exists("Docs/Lumet"));
  }
}

TEST_F(OutputNaming, EmptyCustomNameIsRefused) {
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  dialog.SetText(IDC_FILE_NAME, L"");
  EXPECT_FALSE(MakeName(true));
  EXPECT_FALSE(IsAutoNaming);
}

TEST_F(OutputNaming, LongCustomNameIsReadUpToTheBoxCapacity) {
  const std::wstring typed(300, L'n');
  EXPECT_EQ(CustomName(typed, true), std::wstring(PathCapacity - 1, L'n') + L".txt");
}

TEST_F(OutputNaming, AutoNamingCheckBoxLocksTheBoxAndKeepsTheCustomName) {
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  OnAutoNamingClicked(dialog);
  EXPECT_FALSE(IsAutoNaming);
  EXPECT_FALSE(dialog.IsReadOnly(IDC_FILE_NAME));
  dialog.SetText(IDC_FILE_NAME, L"mine");
  OnFileNameEdited(dialog);
  EXPECT_EQ(CustomFileName, L"mine");

  dialog.SetChecked(IDC_AUTO_NAMING, true);
  OnAutoNamingClicked(dialog);
  EXPECT_TRUE(IsAutoNaming);
  EXPECT_TRUE(dialog.IsReadOnly(IDC_FILE_NAME));
  EXPECT_EQ(dialog.GetText(IDC_FILE_NAME, PathCapacity), L"");
  dialog.SetText(IDC_FILE_NAME, L"S1_20190102_001.txt");
  OnFileNameEdited(dialog);  // not remembered while automatic
  EXPECT_EQ(CustomFileName, L"mine");

  dialog.SetChecked(IDC_AUTO_NAMING, false);
  OnAutoNamingClicked(dialog);
  EXPECT_EQ(dialog.GetText(IDC_FILE_NAME, PathCapacity), L"mine");
  EXPECT_FALSE(dialog.IsReadOnly(IDC_FILE_NAME));
}

TEST_F(OutputNaming, FolderBrowserChangesTheFolderOnlyWhenAFolderIsChosen) {
  const std::wstring start = OutputFolder;
  EXPECT_FALSE(ChooseOutputFolder(dialog));
  EXPECT_EQ(OutputFolder, start);

  dialog.SetBrowseResult(L"D:\\Scans");
  EXPECT_TRUE(ChooseOutputFolder(dialog));
  EXPECT_EQ(OutputFolder, L"D:\\Scans");

  dialog.SetBrowseResult(L"");
  EXPECT_FALSE(ChooseOutputFolder(dialog));
  EXPECT_EQ(OutputFolder, L"D:\\Scans");

  auto browses = dialog.Browses();
  ASSERT_EQ(browses.size(), 3u);
  EXPECT_EQ(browses[0].title, L"Please Select a Directory...");
  EXPECT_EQ(browses[0].startFolder, start);
  EXPECT_EQ(browses[2].startFolder, L"D:\\Scans");
}

TEST_F(OutputNaming, FullPathJoinsFolderAndNameWithABackslash) {
  OutputFolder = L"C:\\Scans";
  OutputFileName = L"S1_20190102_001.txt";
  EXPECT_EQ(OutputFilePath(DialogOutput), L"C:\\Scans\\S1_20190102_001.txt");
}

TEST(DataControls, StartWithTheDefaults) {
  MemoryControls dialog;
  CustomFileName = L"kept";
  InitDataControls(dialog);
  EXPECT_TRUE(dialog.IsChecked(IDC_TYPE_TXT));
  EXPECT_FALSE(dialog.IsChecked(IDC_TYPE_CSV));
  EXPECT_TRUE(dialog.IsChecked(IDC_SAVE_TO_FILE));
  EXPECT_TRUE(dialog.IsChecked(IDC_AUTO_NAMING));
  EXPECT_TRUE(IsAutoNaming);
  EXPECT_TRUE(dialog.IsReadOnly(IDC_FILE_NAME));
  EXPECT_EQ(dialog.GetText(IDC_FILE_NAME, PathCapacity), L"");
  EXPECT_TRUE(dialog.IsChecked(IDC_LINE_WINDOWS));
  EXPECT_FALSE(dialog.IsChecked(IDC_LINE_UNIX));
  ASSERT_EQ(dialog.ComboCount(IDC_SEPARATOR), 3);
  EXPECT_EQ(dialog.ComboItemText(IDC_SEPARATOR, 0), L",");
  EXPECT_EQ(dialog.ComboItemText(IDC_SEPARATOR, 1), L";");
  EXPECT_EQ(dialog.ComboItemText(IDC_SEPARATOR, 2), L"tab");
  EXPECT_EQ(dialog.ComboSelection(IDC_SEPARATOR), 0);
  EXPECT_TRUE(dialog.IsChecked(IDC_SHOW_SERIAL_NUMBER));
  EXPECT_TRUE(dialog.IsChecked(IDC_SHOW_TIME_STAMP));
  EXPECT_TRUE(dialog.IsChecked(IDC_COLUMN_CHECK_3));
  EXPECT_EQ(dialog.ComboSelection(IDC_COLUMN_LIST_3), 2);
  EXPECT_EQ(OutputFolder, ProgramFolder());
  EXPECT_FALSE(OutputFolder.empty());
  EXPECT_NE(OutputFolder.back(), L'/');
  EXPECT_NE(OutputFolder.back(), L'\\');
  CustomFileName.clear();
}

class OutputFileTest : public ::testing::Test {
 protected:
  std::wstring PathOf(const std::wstring& name) { return folder.Wide() + L"\\" + name; }
  TempFolder folder;
};

TEST_F(OutputFileTest, CreatesAndAppendsAndKeepsWhatWasThere) {
  OutputFile file;
  ASSERT_TRUE(file.OpenForAppend(PathOf(L"a.txt")));
  EXPECT_TRUE(file.Append("one\r\n", 5));
  EXPECT_EQ(file.Length(), 5u);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  ASSERT_TRUE(file.OpenForAppend(PathOf(L"a.txt")));
  EXPECT_TRUE(file.Append("two\r\n", 5));
  EXPECT_EQ(file.Length(), 10u);
  file.Close();
  EXPECT_EQ(folder.Read("a.txt"), "one\r\ntwo\r\n");
}

TEST_F(OutputFileTest, IsNotSharedWhileOpen) {
  OutputFile first, second;
  ASSERT_TRUE(first.OpenForAppend(PathOf(L"a.txt")));
  EXPECT_FALSE(second.OpenForAppend(PathOf(L"a.txt")));
  first.Close();
  EXPECT_TRUE(second.OpenForAppend(PathOf(L"a.txt")));
}

TEST_F(OutputFileTest, FailuresAreResults) {
  OutputFile file;
  EXPECT_FALSE(file.OpenForAppend(PathOf(L"missing\\a.txt")));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Append("x", 1));
  EXPECT_EQ(file.Length(), 0u);
  EXPECT_FALSE(RemoveFile(PathOf(L"none.txt")));
}

TEST_F(OutputFileTest, EmptyFileCanBeRemoved) {
  {
    OutputFile file;
    ASSERT_TRUE(file.OpenForAppend(PathOf(L"empty.txt")));
    EXPECT_EQ(file.Length(), 0u);
  }
  EXPECT_TRUE(folder.Exists("empty.txt"));
  EXPECT_TRUE(RemoveFile(PathOf(L"empty.txt")));
  EXPECT_FALSE(folder.Exists("empty.txt"));
}

TEST_F(OutputFileTest, ListsEntriesOfOneExtensionWhateverTheirCase) {
  folder.Write("a.txt", "");
  folder.Write("B.TXT", "");
  folder.Write("c.csv", "");
  folder.Write("d.txtx", "");
  folder.MakeFolder("e.txt");
  std::vector<FolderEntry> entries = ListFolder(folder.Wide(), L".txt");
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& x, const FolderEntry& y) { return x.name < y.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, L"B.TXT");
  EXPECT_EQ(entries[1].name, L"a.txt");
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_EQ(entries[2].name, L"e.txt");
  EXPECT_TRUE(entries[2].isDirectory);
  EXPECT_TRUE(ListFolder(PathOf(L"missing"), L".txt").empty());
}

TEST_F(OutputFileTest, NonAsciiNamesSurvive) {
  const std::wstring name = L"Caf\u00e9_\u4e2d.txt";
  OutputFile file;
  ASSERT_TRUE(file.OpenForAppend(PathOf(name)));
  file.Close();
  std::vector<FolderEntry> entries = ListFolder(folder.Wide(), L".txt");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, name);
}
}  // namespace
