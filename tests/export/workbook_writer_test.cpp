// The workbook export against a real ODBC stack: unixODBC, the Excel driver's
// stand-in (support/excel_driver_shim.c) and Debian's SQLite ODBC driver
// behind it. The "workbook" is an SQLite database; the tests read it back with
// the sqlite3 library.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "export/export_store.h"
#include "export/workbook_writer.h"
#include "ui/dialog_session.h"
#include "support/memory_controls.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/data_controls.h"
#include "ui/window_front_end.h"

namespace fs = std::filesystem;

// unixODBC and the SQLite driver keep small allocations until the process
// ends; they are theirs, not the export's.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libodbc.so\nleak:libodbcinst.so\nleak:libsqlite3odbc\n";
}

namespace {
// The export with the window as its front end, as the "Export" button runs it.
int ExportWith(ExportODBC& store, Controls& dialog) {
  WindowFrontEnd window(dialog);
  return store.Export(window, window.TickedColumns());
}
constexpr wchar_t ExcelDriver[] = L"Microsoft Excel Driver (*.xls, *.xlsx, *.xlsm, *.xlsb)";
const std::wstring WriteError = L"Error\uFF1A";
const std::wstring Success = L"Success\uFF01";
const std::wstring Overwrite =
    L"The columns exported are different from Excel,do you want to OVERWRITE them?";

// ASCII only (driver names).
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The ODBC configuration of this test process: an odbcinst.ini in a folder of
// its own (unixODBC reads ODBCSYSINI once per process, the file on every
// query), which tests rewrite to install or remove drivers.
class OdbcSystem {
 public:
  static OdbcSystem& Get() {
    static OdbcSystem system;
    return system;
  }
  // The drivers the installer lists, in order; the Excel name is the stand-in.
  void Install(const std::vector<std::wstring>& names) {
    std::ofstream ini(folder_ / "odbcinst.ini", std::ios::trunc);
    for (const std::wstring& name : names)
      ini << "[" << Narrow(name) << "]\nDriver = "
          << (name.find(L"Microsoft Excel") == 0 ? LUMET_EXCEL_SHIM : LUMET_SQLITE_ODBC) << "\n\n";
  }
  const fs::path& Scratch() const { return scratch_; }

 private:
  OdbcSystem() {
    // A memory file system where there is one: the stand-in commits every
    // statement, which costs a disk flush each.
    fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    folder_ = base / ("lumet-odbc-" + std::to_string(::getpid()));
    scratch_ = folder_ / "work";
    fs::create_directories(scratch_);
    Install({L"SQLite3", ExcelDriver});
    ::setenv("ODBCSYSINI", folder_.c_str(), 1);
    // unixODBC hands wide text to the SQLite driver (which has no wide entry
    // points) in the locale's character set; SQLite wants UTF-8.
    std::setlocale(LC_CTYPE, "C.UTF-8");
  }
  ~OdbcSystem() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  fs::path folder_, scratch_;
};

struct Sheet {
  std::vector<std::wstring> columns;
  std::vector<std::vector<std::wstring>> rows;
  std::string error;
};

// Reads the table KT52 of the SQLite file behind a workbook.
Sheet ReadSheet(const fs::path& file) {
  Sheet sheet;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sheet.error = "cannot open " + file.string();
    sqlite3_close(db);
    return sheet;
  }
  sqlite3_stmt* query = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT * FROM KT52 ORDER BY rowid", -1, &query, nullptr) != SQLITE_OK) {
    sheet.error = sqlite3_errmsg(db);
  } else {
    auto text = [](const void* utf16) {  // the tests' texts lie within U+FFFF
      std::u16string units = utf16 ? static_cast<const char16_t*>(utf16) : u"";
      return std::wstring(units.begin(), units.end());
    };
    for (int i = 0; i < sqlite3_column_count(query); ++i) sheet.columns.push_back(text(sqlite3_column_name16(query, i)));
    while (sqlite3_step(query) == SQLITE_ROW) {
      sheet.rows.emplace_back();
      for (int i = 0; i < sqlite3_column_count(query); ++i) sheet.rows.back().push_back(text(sqlite3_column_text16(query, i)));
    }
  }
  sqlite3_finalize(query);
  sqlite3_close(db);
  return sheet;
}

// Runs SQL on an SQLite file directly (to prepare a workbook the export finds).
void RunSql(const fs::path& file, const char* sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

bool HasTable(const fs::path& file, const char* name) {
  sqlite3* db = nullptr;
  sqlite3_stmt* query = nullptr;
  bool found = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
               sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = ?", -1, &query, nullptr) == SQLITE_OK &&
               sqlite3_bind_text(query, 1, name, -1, SQLITE_STATIC) == SQLITE_OK && sqlite3_step(query) == SQLITE_ROW;
  sqlite3_finalize(query);
  sqlite3_close(db);
  return found;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool MoveRefused(const std::wstring&, const std::wstring&, std::wstring& reason) {
  reason = L"The process cannot access the file because it is being used by another process.";
  return false;
}

class ExportToWorkbook : public ::testing::Test {
 protected:
  void SetUp() override {
    OdbcSystem& system = OdbcSystem::Get();
    system.Install({L"SQLite3", ExcelDriver});
    // The stand-in must really be there: these tests never pass without it.
    ASSERT_TRUE(fs::exists(LUMET_SQLITE_ODBC))
        << LUMET_SQLITE_ODBC << " is missing: install libsqliteodbc (scripts/install-deps.sh)";
    ASSERT_EQ(store.FindExcelDriver(), ExcelDriver) << "unixODBC does not list the stand-in driver";
    book = system.Scratch() / (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".xls");
    fs::remove(book);
    FillColumnSlots(dialog);
    dialog.SetSaveFileResult(book.wstring());
  }
  void TearDown() override {
    ::unsetenv("LUMET_SHIM_DECLINE");
    SetWorkbookMover(nullptr);
    fs::remove(book);
  }

  void Slots(const std::vector<std::wstring>& choices) {  // "" leaves a slot unticked
    for (int n = 0; n < 3; ++n) {
      bool ticked = n < static_cast<int>(choices.size()) && !choices[n].empty();
      dialog.SetChecked(IDC_COLUMN_CHECK_1 + n, ticked);
      for (int i = 0; ticked && i < 3; ++i)
        if (dialog.ComboItemText(IDC_COLUMN_LIST_1 + n, i) == choices[n]) dialog.ComboSelect(IDC_COLUMN_LIST_1 + n, i);
    }
  }
  std::vector<std::wstring> Texts() {
    std::vector<std::wstring> texts;
    for (const auto& message : dialog.Messages()) texts.push_back(message.text);
    dialog.ClearMessages();
    return texts;
  }
  void AddRecords() {
    store.AppendRecord(L"KT5200001", L"2019/01/02,10:00:00", L"6900000000014");
    store.AppendRecord(L"", L"", L"O'Neil,\"quoted\", a;b");
    store.AppendRecord(L"KT5200001", L"2019/01/02,10:00:01", std::wstring(1000, L'7'));
    store.AppendRecord(L"KT52\u00C4", L"", L"Gr\u00FC\u00DFe \u4E2D\u6587");
  }
  std::vector<std::vector<std::wstring>> StoredRows(const std::vector<int>& lists) {
    std::vector<std::vector<std::wstring>> rows;
    const TextList* sources[] = {&store.SerialNumbers, &store.TimeStamps, &store.Barcodes};
    for (int k = 0; k < store.RecordCount; ++k) {
      std::vector<std::wstring> row;
      for (int list : lists) row.push_back((*sources[list])[k]);
      rows.push_back(row);
    }
    return rows;
  }

  MemoryControls dialog;
  ExportODBC store;
  fs::path book;
};

TEST(WorkbookTexts, ConnectStringsAreTheDriversOwnForm) {
  EXPECT_EQ(ReadingConnectString(L"Drv", L"C:\\a b\\x.xls"), L"ODBC;DRIVER={Drv};DSN='''';DBQ=C:\\a b\\x.xls");
  EXPECT_EQ(WritingConnectString(L"Drv", L"C:\\x.xlsx"),
            L"DRIVER={Drv};DSN='';FIRSTROWHASNAMES=2;READONLY=FALSE;CREATE_DB=\"C:\\x.xlsx\";DBQ=C:\\x.xlsx");
  // A ";" would end the value: such a path goes in braces, "}" doubled.
  EXPECT_EQ(ReadingConnectString(L"Drv", L"C:\\a;b}\\x.xls"), L"ODBC;DRIVER={Drv};DSN='''';DBQ={C:\\a;b}}\\x.xls}");
  EXPECT_EQ(WritingConnectString(L"Drv", L"C:\\a;b\\x.xls"),
            L"DRIVER={Drv};DSN='';FIRSTROWHASNAMES=2;READONLY=FALSE;CREATE_DB={\"C:\\a;b\\x.xls\"};DBQ={C:\\a;b\\x.xls}");
}

TEST_F(ExportToWorkbook, NewWorkbookGetsTheTickedColumnsInSlotOrderAndEveryRecord) {
  AddRecords();
  struct Case {
    std::vector<std::wstring> slots;
    std::vector<std::wstring> columns;
    std::vector<int> lists;  // 0 SN, 1 Time, 2 Data
  } cases[] = {
      {{L"SN", L"Time", L"Data"}, {L"SN", L"Time", L"Data"}, {0, 1, 2}},
      {{L"Data", L"", L"SN"}, {L"Data", L"SN"}, {2, 0}},
      {{L"Time", L"Data", L""}, {L"Time", L"Data"}, {1, 2}},
  };
  for (const Case& c : cases) {
    fs::remove(book);
    Slots(c.slots);
    EXPECT_EQ(ExportWith(store, dialog), 1);
    auto messages = dialog.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, Success);
    EXPECT_EQ(messages[0].flags, BoxOk | BoxIconWarning);
    dialog.ClearMessages();
    Sheet sheet = ReadSheet(book);
    EXPECT_EQ(sheet.error, "");
    EXPECT_EQ(sheet.columns, c.columns);
    EXPECT_EQ(sheet.rows, StoredRows(c.lists));
  }
  SaveFileRequest asked = dialog.SaveFileRequests().at(0);
  EXPECT_EQ(asked.filterName, L"Excel 97-2003(*.xls)");
  EXPECT_EQ(asked.filterPattern, L"*.xls");
  EXPECT_EQ(asked.title, L"Svae As");
  EXPECT_EQ(asked.defaultExtension, L"xlsx");
  EXPECT_EQ(asked.startFolder, fs::current_path().wstring());
  EXPECT_EQ(asked.pathCapacity, 260u);
}

TEST_F(ExportToWorkbook, SameWorkbookAgainAppendsTheRowsWithoutAQuestion) {
  AddRecords();
  ASSERT_EQ(ExportWith(store, dialog), 1);
  ASSERT_EQ(ExportWith(store, dialog), 1);
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{Success, Success}));
  auto once = StoredRows({0, 1, 2});
  auto twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(ReadSheet(book).rows, twice);
}

TEST_F(ExportToWorkbook, ChangedColumnsAskAndNoLeavesTheFileAsItWas) {
  AddRecords();
  ASSERT_EQ(ExportWith(store, dialog), 1);
  std::string before = Bytes(book);
  Texts();
  Slots({L"Data", L"SN", L""});
  dialog.QueueAnswers({AnswerNo});
  EXPECT_EQ(ExportWith(store, dialog), 0);
  auto messages = dialog.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, Overwrite);
  EXPECT_EQ(messages[0].flags, BoxYesNo | BoxIconQuestion);
  EXPECT_EQ(Bytes(book), before);
}

TEST_F(ExportToWorkbook, ChangedColumnsAnsweredYesMakeTheWorkbookAnew) {
  AddRecords();
  RunSql(book, "CREATE TABLE KT52 (sn TEXT, Time TEXT, Data TEXT); CREATE TABLE Other (x TEXT);"
               "INSERT INTO KT52 VALUES ('old','old','old');");
  dialog.QueueAnswers({AnswerYes});
  EXPECT_EQ(ExportWith(store, dialog), 1);  // "sn" is not "SN": whole texts, case counts
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{Overwrite, Success}));
  Sheet sheet = ReadSheet(book);
  EXPECT_EQ(sheet.columns, (std::vector<std::wstring>{L"SN", L"Time", L"Data"}));
  EXPECT_EQ(sheet.rows, StoredRows({0, 1, 2}));
  EXPECT_FALSE(HasTable(book, "Other"));  // the old workbook's other sheets are gone
}

TEST_F(ExportToWorkbook, FailuresShowTheirMessageAndChangeNothing) {
  AddRecords();
  struct Case {
    const char* name;
    const char* prepare;  // SQL run on an existing file first; nullptr: no file
    std::vector<std::wstring> slots;
    const char* decline;  // LUMET_SHIM_DECLINE
    bool refuseMove;
    bool asked;  // the overwrite question comes first, answered Yes
    std::wstring message;  // whole text, or the start of it followed by the driver's text
    bool driverText;
  } cases[] = {
      {"no slot ticked", nullptr, {L"", L"", L""}, nullptr, false, false, WriteError, true},
      {"no sheet", "CREATE TABLE Other (x TEXT)", {}, nullptr, false, false, L"Error:", true},
      {"connect cancelled", "CREATE TABLE KT52 (SN TEXT)", {}, "prompt", false, false,
       L"The file is open,please close it!", false},
      {"writing connect without error", nullptr, {}, "all", false, false,
       WriteError + L"The workbook could not be opened.", false},
      {"locked file", "CREATE TABLE KT52 (SN TEXT)", {}, nullptr, true, true,
       WriteError + L"The process cannot access the file because it is being used by another process.", false},
      // The old workbook is set aside, and comes back when the new one cannot be made.
      {"new sheet refused", "CREATE TABLE KT52 (SN TEXT)", {L"", L"", L""}, nullptr, false, true, WriteError, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(book);
    if (c.prepare) RunSql(book, c.prepare);
    std::string before = c.prepare ? Bytes(book) : "";
    Slots(c.slots.empty() ? std::vector<std::wstring>{L"SN", L"Time", L"Data"} : c.slots);
    if (c.decline) ::setenv("LUMET_SHIM_DECLINE", c.decline, 1);
    SetWorkbookMover(c.refuseMove ? &MoveRefused : nullptr);
    if (c.asked) dialog.QueueAnswers({AnswerYes});
    EXPECT_EQ(ExportWith(store, dialog), 0);
    ::unsetenv("LUMET_SHIM_DECLINE");
    std::vector<std::wstring> texts = Texts();
    if (c.asked) {
      ASSERT_EQ(texts.size(), 2u);
      EXPECT_EQ(texts[0], Overwrite);
      texts.erase(texts.begin());
    }
    ASSERT_EQ(texts.size(), 1u);
    if (c.driverText) {
      EXPECT_EQ(texts[0].substr(0, c.message.size()), c.message);
      EXPECT_GT(texts[0].size(), c.message.size() + 5);
    } else {
      EXPECT_EQ(texts[0], c.message);
    }
    EXPECT_FALSE(fs::exists(book.string() + ".old"));
    if (c.prepare) {
      EXPECT_EQ(Bytes(book), before);
    } else if (c.decline) {
      EXPECT_FALSE(fs::exists(book));
    }
  }
}

TEST_F(ExportToWorkbook, NoDriverShowsOnlyTheInstallMessage) {
  OdbcSystem::Get().Install({L"SQLite3", L"Microsoft Access Driver (*.mdb)"});
  EXPECT_EQ(ExportWith(store, dialog), 0);
  EXPECT_EQ(Texts(), std::vector<std::wstring>{L"Please Install Microsoft Excel Driver!"});
  EXPECT_TRUE(dialog.SaveFileRequests().empty());
}

TEST_F(ExportToWorkbook, FirstListedExcelDriverWins) {
  OdbcSystem::Get().Install({L"SQLite3", L"Microsoft Excel Driver (*.xls)", ExcelDriver});
  EXPECT_EQ(store.FindExcelDriver(), L"Microsoft Excel Driver (*.xls)");
  OdbcSystem::Get().Install({L"Microsoft Excel Driver", L"Excel Driver (*.xls)"});
  EXPECT_EQ(store.FindExcelDriver(), L"");
}

TEST_F(ExportToWorkbook, CancelledOrTooLongPathEndsSilently) {
  AddRecords();
  for (const std::wstring& answer : {std::wstring(), L"/" + std::wstring(259, L'x')}) {
    dialog.SetSaveFileResult(answer);
    EXPECT_EQ(ExportWith(store, dialog), 0);
    EXPECT_TRUE(Texts().empty());
  }
  EXPECT_EQ(dialog.SaveFileRequests().size(), 2u);
}

TEST_F(ExportToWorkbook, NothingStoredGivesTheHeaderOnly) {
  EXPECT_EQ(ExportWith(store, dialog), 1);
  EXPECT_EQ(ExportWith(store, dialog), 1);
  Sheet sheet = ReadSheet(book);
  EXPECT_EQ(sheet.columns, (std::vector<std::wstring>{L"SN", L"Time", L"Data"}));
  EXPECT_TRUE(sheet.rows.empty());
  EXPECT_EQ(Texts(), (std::vector<std::wstring>{Success, Success}));
}

TEST_F(ExportToWorkbook, ExportButtonExportsTheProgramsStore) {
  BarcodeExport.Reset();
  BarcodeExport.AppendRecord(L"S1", L"T1", L"B1");
  EXPECT_TRUE(DispatchCommand(dialog, IDC_EXPORT, NotifyClicked));
  BarcodeExport.Reset();
  EXPECT_EQ(Texts(), std::vector<std::wstring>{Success});
  EXPECT_EQ(ReadSheet(book).rows, (std::vector<std::vector<std::wstring>>{{L"S1", L"T1", L"B1"}}));
}

TEST_F(ExportToWorkbook, TenThousandRecords) {
  for (int k = 0; k < 10000; ++k)
    store.AppendRecord(L"KT5200001", L"2019/01/02,10:00:00", L"69" + std::to_wstring(1000000000 + k));
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ExportWith(store, dialog), 1);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("export of 10,000 records: %.2f s\n", seconds);
  RecordProperty("seconds", std::to_string(seconds));
  Sheet sheet = ReadSheet(book);
  ASSERT_EQ(sheet.rows.size(), 10000u);
  EXPECT_EQ(sheet.rows.back(), (std::vector<std::wstring>{L"KT5200001", L"2019/01/02,10:00:00", L"691000009999"}));
}
}  // namespace
