// Config.ini on the bytes: what the program writes, what it reads back, and
// what it makes of files it did not write.
#include "settings/settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "collect/output_naming.h"
#include "ui/dialog_session.h"
#include "support/memory_controls.h"
#include "support/program_folder.h"
#include "support/resource_limit.h"
#include "support/temp_folder.h"
#include "support/unwritable.h"
#include "support/utf16le.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/settings_controls.h"
#include "ui/data_controls.h"

// Failures show the file the settings would make.
void PrintTo(const AppSettings& s, std::ostream* out) {
  std::string bytes = EncodeSettings(s);
  for (std::size_t i = 2; i < bytes.size(); i += 2) *out << (bytes[i] == '\r' ? ' ' : bytes[i] == '\n' ? '|' : bytes[i]);
}

namespace {
std::string Le(const std::u16string& text) { return Utf16Le(text); }
const std::string Bom = "\xFF\xFE";

std::u16string Ascii(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { Start(dialog); }

  // A window as start-up leaves it before the settings are read.
  void Start(MemoryControls& window) {
    OutputFolder.clear();
    CustomFileName.clear();
    IsAutoNaming = true;
    window.RouteTextChanges(&DispatchCommand);
    InitDataControls(window);
    window.SetChecked(IDC_FORMAT_CN, true);
  }
  AppSettings Defaults() {
    AppSettings s;
    s.timeFormat = L"CN";
    s.filePath = folder.Wide();
    s.separator = L",";
    return s;
  }
  std::string Saved() {
    EXPECT_EQ(1, SaveSettings(dialog));
    return folder.Read("Config.ini");
  }
  AppSettings LoadFile(const std::string& bytes, MemoryControls& window) {
    folder.Write("Config.ini", bytes);
    EXPECT_EQ(1, LoadSettings(window));
    return CollectSettings(window);
  }
  AppSettings LoadFile(const std::string& bytes) { return LoadFile(bytes, dialog); }
  // A window started afresh with this file.
  AppSettings StartWith(MemoryControls& window, const std::string& bytes) {
    Start(window);
    return LoadFile(bytes, window);
  }
  std::set<std::string> Names(const std::string& sub = "") {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path() / sub))
      names.insert(entry.path().filename().string());
    return names;
  }
  // The error boxes shown since the last call.
  std::vector<std::wstring> TakeMessages() {
    std::vector<std::wstring> texts;
    for (const auto& m : dialog.Messages()) {
      EXPECT_EQ(L"Error", m.caption);
      EXPECT_EQ(BoxIconError, m.flags);
      texts.push_back(m.text);
    }
    dialog.ClearMessages();
    return texts;
  }

  TempFolder folder;
  ProgramFolderScope program{folder};
  MemoryControls dialog;
};

TEST_F(SettingsFile, LiesBesideTheProgram) {
  EXPECT_EQ(folder.Wide() + L"\\Config.ini", ConfigPath());
  SetProgramPath(L"C:\\Program Files\\Lumet\\Lumet.exe");
  EXPECT_EQ(L"C:\\Program Files\\Lumet\\Config.ini", ConfigPath());
}

TEST_F(SettingsFile, DefaultsAreWrittenLetterForLetter) {
  const std::string expected =
      Bom + Le(u"TimeFormat = CN\r\nTime = \r\nIsText = 1\r\nIsSaveToFile = 1\r\nFilePath = " +
               Ascii(folder.Wide()) +
               u"\r\nCustomFileName = \r\nIsAutoNaming = 1\r\nIsWindows = 1\r\nSeparator = ,\r\n"
               u"IsDisplaySN = 1\r\nIsDisplayDate = 1\r\n");
  const std::string saved = Saved();
  EXPECT_EQ(expected, saved);
  EXPECT_EQ(std::string("\xFF\xFET\0i\0m\0e\0", 10), saved.substr(0, 10));
  EXPECT_EQ(std::string("\r\0\n\0", 4), saved.substr(saved.size() - 4));  // no terminating zero
  EXPECT_EQ(Names(), (std::set<std::string>{"Config.ini"}));
}

TEST_F(SettingsFile, FileAsTheProgramWritesItRestoresEveryControlAndIsWrittenBackUnchanged) {
  const struct {
    std::string file;
    AppSettings shown;
  } cases[] = {
      {Bom + Le(u"TimeFormat = US\r\nTime = \r\nIsText = 0\r\nIsSaveToFile = 0\r\nFilePath = D:\\Scans \u00c4\r\n"
                u"CustomFileName = Regal 7 \u4ed3\u5e93 \xD83D\xDCE6\r\nIsAutoNaming = 0\r\nIsWindows = 0\r\n"
                u"Separator = |\r\nIsDisplaySN = 0\r\nIsDisplayDate = 0\r\n"),
       {L"US", L"", false, false, L"D:\\Scans \u00c4", L"Regal 7 \u4ed3\u5e93 \U0001F4E6", false, false, L"|",
        false, false}},
      {Bom + Le(u"TimeFormat = EU\r\nTime = 2026/12/08,10:11:12\r\nIsText = 1\r\nIsSaveToFile = 1\r\n"
                u"FilePath = C:\\\r\nCustomFileName = shelf\r\nIsAutoNaming = 1\r\nIsWindows = 1\r\n"
                u"Separator = tab\r\nIsDisplaySN = 1\r\nIsDisplayDate = 0\r\n"),
       {L"EU", L"2026/12/08,10:11:12", true, true, L"C:\\", L"shelf", true, true, L"tab", true, false}},
  };
  for (const auto& c : cases) {
    MemoryControls fresh;
    EXPECT_EQ(c.shown, StartWith(fresh, c.file));
    EXPECT_EQ(c.shown.isAutoNaming, IsAutoNaming);
    EXPECT_EQ(c.shown.isAutoNaming, fresh.IsReadOnly(IDC_FILE_NAME));
    EXPECT_EQ(c.shown.isAutoNaming ? L"" : c.shown.customFileName, fresh.GetText(IDC_FILE_NAME, PathCapacity));
    EXPECT_EQ(1, SaveSettings(fresh));
    EXPECT_EQ(c.file, folder.Read("Config.ini"));
    EXPECT_TRUE(fresh.Messages().empty());
  }
}

struct ReadCase {
  const char* name;
  std::string bytes;
  void (*expect)(AppSettings& s);  // the defaults, changed as the file should change them
};

TEST_F(SettingsFile, ReadsWhatTheLenientReaderAccepts) {
  const std::string filler = Le(std::u16string(5118, u'x') + u"\r\n");  // BOM + this = 10242 bytes
  const ReadCase cases[] = {
      {"no byte-order mark", Le(u"IsText = 0\r\nTime = 12:00\r\n"),
       [](AppSettings& s) { s.isText = false; s.time = L"12:00"; }},
      {"an 8-bit file matches no key", "IsText = 0\r\nTimeFormat = US\r\nSeparator = ;\r\n", [](AppSettings&) {}},
      {"IsText = 0 checks CSV", Bom + Le(u"IsText = 0\r\n"), [](AppSettings& s) { s.isText = false; }},
      {"IsText = 7 checks TXT", Bom + Le(u"IsText = 0\r\nIsText = 7\r\n"), [](AppSettings&) {}},
      {"numbers as _wtoi reads them", Bom + Le(u"IsWindows =  -2x\r\nIsSaveToFile = 00\r\nIsDisplaySN = x1\r\n"),
       [](AppSettings& s) { s.isSaveToFile = false; s.isDisplaySN = false; }},
      {"IsText=1 without blanks is no key", Bom + Le(u"IsText=0\r\nIsText =0\r\n"), [](AppSettings&) {}},
      {"an empty FilePath keeps the folder", Bom + Le(u"FilePath = \r\nCustomFileName = \r\n"), [](AppSettings&) {}},
      {"LF-only lines and blank lines", Le(u"\n\nTimeFormat = EU\n\n\r\n\r\r\nIsDisplayDate = 0\n"),
       [](AppSettings& s) { s.timeFormat = L"EU"; s.isDisplayDate = false; }},
      {"keys beyond the first 10240 bytes", Bom + filler + Le(u"IsText = 0\r\n"), [](AppSettings&) {}},
      {"the format by its first two letters", Bom + Le(u"TimeFormat = USA\r\n"),
       [](AppSettings& s) { s.timeFormat = L"US"; }},
      {"other format names", Bom + Le(u"TimeFormat = us\r\nTimeFormat = U\r\nTimeFormat = \r\n"), [](AppSettings&) {}},
      {"any separator", Bom + Le(u"Separator = ::\r\n"), [](AppSettings& s) { s.separator = L"::"; }},
      {"an empty name keeps the old one", Bom + Le(u"CustomFileName = a\r\nCustomFileName = \r\n"),
       [](AppSettings& s) { s.customFileName = L"a"; }},
      {"a key only at the start of its line",
       Bom + Le(u"CustomFileName = Time = 12\r\nFilePath = C:\\IsText = 0\r\n IsWindows = 0\r\n"),
       [](AppSettings& s) { s.customFileName = L"Time = 12"; s.filePath = L"C:\\IsText = 0"; }},
      {"the text ends at a zero unit", Bom + Le(u"IsText = 0\r\n") + std::string(2, '\0') + Le(u"IsWindows = 0"),
       [](AppSettings& s) { s.isText = false; }},
      {"a last line without its end", Bom + Le(u"IsWindows = 0"), [](AppSettings& s) { s.isWindows = false; }},
      {"an odd last byte pairs with a zero", Bom + Le(u"IsText = 0\r\nIsText = ") + "7", [](AppSettings&) {}},
      {"an empty file", "", [](AppSettings&) {}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    AppSettings expected = Defaults();
    c.expect(expected);
    MemoryControls fresh;
    EXPECT_EQ(expected, StartWith(fresh, c.bytes));
    EXPECT_TRUE(fresh.Messages().empty());
  }
}

TEST_F(SettingsFile, FileNameBoxFollowsAutoNaming) {
  LoadFile(Bom + Le(u"CustomFileName = mine\r\nIsAutoNaming = 0\r\n"));
  EXPECT_FALSE(dialog.IsChecked(IDC_AUTO_NAMING));
  EXPECT_FALSE(dialog.IsReadOnly(IDC_FILE_NAME));
  EXPECT_EQ(L"mine", dialog.GetText(IDC_FILE_NAME, PathCapacity));
  EXPECT_FALSE(IsAutoNaming);
  // Typing into the box while it is editable is remembered, through the box's
  // change notification.
  dialog.SetText(IDC_FILE_NAME, L"typed");
  EXPECT_EQ(L"typed", CustomFileName);

  LoadFile(Bom + Le(u"IsAutoNaming = 1\r\n"));
  EXPECT_TRUE(dialog.IsReadOnly(IDC_FILE_NAME));
  EXPECT_EQ(L"", dialog.GetText(IDC_FILE_NAME, PathCapacity));
  EXPECT_TRUE(IsAutoNaming);
  EXPECT_EQ(L"typed", CustomFileName);  // remembered for the next time

  // Lines in another order: the box shows the name there was when it unlocked.
  CustomFileName.clear();
  LoadFile(Bom + Le(u"IsAutoNaming = 0\r\nCustomFileName = later\r\n"));
  EXPECT_EQ(L"", dialog.GetText(IDC_FILE_NAME, PathCapacity));
  EXPECT_EQ(L"later", CustomFileName);
}

TEST_F(SettingsFile, KeysEditedOutComeBackAtTheNextSave) {
  LoadFile(Bom + Le(u"IsText = 0\r\n"));
  EXPECT_EQ(0u, Saved().find(Bom + Le(u"TimeFormat = CN\r\nTime = \r\nIsText = 0\r\nIsSaveToFile = 1\r\n")));
  // With no date format checked there is no line for it.
  dialog.SetChecked(IDC_FORMAT_CN, false);
  EXPECT_EQ(0u, Saved().find(Bom + Le(u"Time = \r\nIsText = 0\r\n")));
}

TEST_F(SettingsFile, HostileFilesLoadWithoutHarm) {
  std::mt19937 random(20261208);
  std::string noise(1 << 20, '\0');
  for (char& byte : noise) byte = static_cast<char>(random());
  std::string repeated;
  while (repeated.size() < (1u << 20)) repeated += Bom + Le(u"IsText = 0\r\n");
  const std::u16string longValue(5000, u'n');
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"1 MB of random bytes", noise},
      {"1 MB of lines", repeated},
      {"an odd number of bytes", noise.substr(0, 10239)},
      {"a 5000-character time", Bom + Le(u"Time = " + longValue)},
      {"a 5000-character folder", Bom + Le(u"FilePath = " + longValue)},
      {"a 5000-character name", Bom + Le(u"CustomFileName = " + longValue + u"\r\n")},
      {"a 5000-character separator", Bom + Le(u"Separator = " + longValue + u"\r\nIsText = 0")},
      {"only line ends", Bom + Le(std::u16string(5000, u'\n'))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryControls fresh;
    StartWith(fresh, c.bytes);
    EXPECT_LE(OutputFolder.size(), PathCapacity - 1);
    EXPECT_LE(CustomFileName.size(), PathCapacity - 1);
    EXPECT_LE(fresh.TextLength(IDC_TIME_BOX), SettingsLineChars - 1);
    // What was read is written back as the program writes it.
    EXPECT_EQ(1, SaveSettings(fresh));
    EXPECT_EQ(EncodeSettings(CollectSettings(fresh)), folder.Read("Config.ini"));
  }
  // Long values are cut to fit their buffers: the line to 999 characters,
  // folder and name to 259, what the time box gives back to 99.
  EXPECT_EQ(std::wstring(SettingsTextChars - 1, L'n'), LoadFile(cases[3].bytes).time);
  EXPECT_EQ(SettingsLineChars - 1 - 7, dialog.TextLength(IDC_TIME_BOX));
  EXPECT_EQ(std::wstring(PathCapacity - 1, L'n'), LoadFile(cases[4].bytes).filePath);
  EXPECT_EQ(std::wstring(PathCapacity - 1, L'n'), LoadFile(cases[5].bytes).customFileName);
  AppSettings separated = LoadFile(cases[6].bytes);
  EXPECT_EQ(std::wstring(SettingsTextChars - 1, L'n'), separated.separator);
  EXPECT_FALSE(separated.isText);  // the line after a long one still counts
}

TEST_F(SettingsFile, MissingFileIsCreatedEmptyAtStart) {
  ASSERT_EQ(1, LoadSettings(dialog));
  EXPECT_EQ("", folder.Read("Config.ini"));
  EXPECT_EQ(Names(), (std::set<std::string>{"Config.ini"}));
  EXPECT_EQ(Defaults(), CollectSettings(dialog));
  EXPECT_TRUE(dialog.Messages().empty());
}

// Config.ini is replaced through a new file beside it; where none can be made
// there, it is written in place (the same file, so the same inode). Here a path
// within 7 characters of the system's limit leaves no room for the new file's
// name, as a folder path of 247 to 249 characters does on Windows.
TEST_F(SettingsFile, WhereNoNewFileCanBeMadeConfigIniIsWrittenInPlace) {
  std::filesystem::path deep = folder.Path();
  for (std::size_t left; (left = 4092 - deep.native().size() - 11) >= 2;)
    deep /= std::string(std::min<std::size_t>(200, left - 1), 'd');
  std::filesystem::create_directories(deep);
  for (const std::filesystem::path& place : {folder.Path(), deep}) {
    SetProgramPath(place.wstring() + L"\\Lumet.exe");
    const std::string file = place.native() + "/Config.ini";
    { std::ofstream(file) << "old"; }
    struct stat before {}, after {};
    ::stat(file.c_str(), &before);
    EXPECT_EQ(1, SaveSettings(dialog));
    ::stat(file.c_str(), &after);
    EXPECT_EQ(place == deep, before.st_ino == after.st_ino) << place.native().size();
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(EncodeSettings(CollectSettings(dialog)), std::string(std::istreambuf_iterator<char>(in), {}));
  }
}

// A program installed where the user may not write keeps Config.ini in the
// user's AppData\Lumet; beside the program it stays wherever it can be written.
TEST_F(SettingsFile, LiesWhereTheUserCanWriteIt) {
  const struct {
    const char* name;
    bool folderRefuses;
    const char16_t* besideBefore;  // nullptr: no Config.ini beside the program
    bool besideRefuses;
    bool inAppData;
  } rows[] = {
      {"a folder that takes files (a USB stick)", false, nullptr, false, false},
      {"a folder that refuses files", true, nullptr, false, true},
      {"a refusing folder, its Config.ini open to writes", true, u"IsText = 0\r\n", false, false},
      {"a refusing folder and its Config.ini, read first", true, u"IsText = 0\r\n", true, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder program, user;
    SetProgramPath(program.Wide() + L"\\Lumet.exe");
    SetUserFolderPath(UserFolder::AppData, user.Wide() + L"\\Roaming");
    if (row.besideBefore) program.Write("Config.ini", Bom + Le(row.besideBefore));
    {
      UnwritableScope folderScope(row.folderRefuses ? program.Path() : program.Path() / "none");
      UnwritableScope fileScope(program.Path() / (row.besideRefuses ? "Config.ini" : "none"));
      ASSERT_TRUE(!row.folderRefuses || folderScope.Holds());
      MemoryControls fresh;
      Start(fresh);
      ASSERT_EQ(1, LoadSettings(fresh));
      // The first start reads the Config.ini beside the program, wherever it saves.
      EXPECT_EQ(row.besideBefore == nullptr, fresh.IsChecked(IDC_TYPE_TXT));
      fresh.SetText(IDC_TIME_BOX, L"saved");
      ASSERT_EQ(1, SaveSettings(fresh));
      EXPECT_TRUE(fresh.Messages().empty());
      EXPECT_EQ(row.inAppData ? user.Wide() + L"\\Roaming\\Lumet\\Config.ini" : program.Wide() + L"\\Config.ini",
                ConfigPath());
      const std::string saved = EncodeSettings(CollectSettings(fresh));
      EXPECT_EQ(row.inAppData ? saved : "", user.Read("Roaming/Lumet/Config.ini"));
      EXPECT_EQ(row.inAppData ? (row.besideBefore ? Bom + Le(u"IsText = 0\r\n") : "") : saved,
                program.Read("Config.ini"));
      MemoryControls next;
      Start(next);
      ASSERT_EQ(1, LoadSettings(next));
      EXPECT_EQ(L"saved", next.GetText(IDC_TIME_BOX, SettingsTextChars));
    }
    // The user's folders were made where they were missing.
    EXPECT_EQ(row.inAppData, user.Exists("Roaming/Lumet/Config.ini"));
  }
}

// Root opens any file, so other means make these fail: a file where the
// program's folder should be, a folder where Config.ini should be, or no file
// handle to spare; a full disk is a small file-size limit.
class BrokenSettingsFile : public SettingsFile {
 protected:
  void SetUp() override {
    SettingsFile::SetUp();
    folder.Write("file", old);
    folder.MakeFolder("folder/Config.ini");
    folder.Write("folder/Config.ini/kept", old);
  }
  const std::string old = Bom + Le(u"IsText = 0\r\n");
};

TEST_F(BrokenSettingsFile, FileThatCannotBeOpenedLeavesTheDefaults) {
  for (const wchar_t* program : {L"\\file\\Lumet.exe", L"\\folder\\Lumet.exe"}) {
    SetProgramPath(folder.Wide() + program);
    EXPECT_EQ(0, LoadSettings(dialog));
    EXPECT_EQ(std::vector<std::wstring>{L"Open Config.ini Failed!"}, TakeMessages());
    EXPECT_EQ(Defaults(), CollectSettings(dialog));
  }
}

TEST_F(BrokenSettingsFile, FailedSaveKeepsTheOldFileAndLeavesNoOtherBehind) {
  const struct {
    const char* name;
    const wchar_t* program;
    int resource;
    rlim_t limit;
    const char* kept;  // where the old bytes are
  } cases[] = {
      {"no file handle for the new file", L"\\Lumet.exe", RLIMIT_NOFILE, 0, "Config.ini"},
      {"the disk full while writing", L"\\Lumet.exe", RLIMIT_FSIZE, 100, "Config.ini"},
      {"a folder in the file's place", L"\\folder\\Lumet.exe", RLIMIT_FSIZE, RLIM_INFINITY, "folder/Config.ini/kept"},
      {"a file in the folder's place", L"\\file\\Lumet.exe", RLIMIT_FSIZE, RLIM_INFINITY, "file"},
  };
  dialog.SetText(IDC_TIME_BOX, L"changed");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    folder.Write("Config.ini", old);
    SetProgramPath(folder.Wide() + c.program);
    int saved = 0;
    {
      ResourceLimitScope limit(c.resource, c.limit);
      saved = SaveSettings(dialog);
    }
    EXPECT_EQ(0, saved);
    EXPECT_EQ(std::vector<std::wstring>{L"Save Config.ini Failed!"}, TakeMessages());
    EXPECT_EQ(old, folder.Read(c.kept));
    EXPECT_EQ(Names(), (std::set<std::string>{"Config.ini", "file", "folder"}));
    EXPECT_EQ(Names("folder"), (std::set<std::string>{"Config.ini"}));
  }
}
}  // namespace
