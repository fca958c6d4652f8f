// "Export": the stored records become rows of the sheet [KT52] of a workbook
// that the user names in a save dialog, written through the Excel ODBC driver.
//
//   1. find the driver (before any dialog), 2. ask for the path,
//   3. a new path: no sheet yet; 4. an existing one: read the sheet's columns
//      (any driver error: "Error:" and nothing written),
//   5. connect for writing (the driver creates a missing workbook); columns
//      other than the chosen ones: ask, and on Yes move the file aside,
//      connect again and create the sheet (failing that, the old file comes
//      back); CREATE TABLE when there is no sheet; one INSERT per record
//      (any driver error: "Error：", what ran before stays),
//   6. "Success！".
#include <atomic>

#include "common/output_file.h"
#include "export/export_store.h"
#include "export/odbc_connection.h"
#include "export/workbook_writer.h"
#include "common/front_end.h"

namespace {
constexpr wchar_t ExcelDriverMark[] = L"Microsoft Excel Driver (*.xls";
constexpr wchar_t ReadError[] = L"Error:";
constexpr wchar_t WriteError[] = L"Error\uFF1A";  // full-width colon
constexpr wchar_t NoConnection[] = L"The workbook could not be opened.";

std::atomic<WorkbookMover> Mover{&RenameFile};

// The export's boxes have no title of their own; OK boxes carry the warning
// icon and the question the question icon, as the message service adds them.
int Say(FrontEnd& front, const std::wstring& text, unsigned buttons = BoxOk) {
  unsigned icon = buttons == BoxYesNo ? BoxIconQuestion : BoxIconWarning;
  return ShowAppBox(front, text, buttons | icon);
}

// A write failure: the driver's text, or ours when it gave none.
int WriteFailed(FrontEnd& front, const DbResult& result) {
  Say(front, WriteError + (result.error.empty() ? std::wstring(NoConnection) : result.error));
  return 0;
}

// Step 4: the existing sheet's column definitions. False when the export ends
// (the message shown).
bool ReadSheetColumns(FrontEnd& front, const std::wstring& driver, const std::wstring& path,
                      std::wstring& sheetColumns) {
  OdbcConnection database;
  DbResult result = database.OpenAsking(ReadingConnectString(driver, path));
  if (result.status == DbResult::Declined) {
    Say(front, L"The file is open,please close it!");
    return false;
  }
  sheetColumns.clear();
  std::vector<std::wstring> names;
  if (result.Ok()) result = database.QueryColumnNames(std::wstring(L"SELECT * FROM ") + SheetName + L" ", names);
  if (!result.Ok()) {
    Say(front, ReadError + result.error);
    return false;
  }
  sheetColumns = ColumnDefinitionList(names);
  return true;
}

// A connect string value: braced, with "}" doubled, when it holds a ";".
std::wstring ConnectValue(const std::wstring& value) {
  if (value.find(L';') == std::wstring::npos) return value;
  std::wstring braced = L"{";
  for (wchar_t c : value) {
    braced += c;
    if (c == L'}') braced += c;
  }
  return braced + L"}";
}

std::wstring CreateSheetStatement(const std::wstring& columns) {
  return std::wstring(L"CREATE TABLE ") + SheetName + L" (" + columns + L")";
}

// A name beside the workbook that no file has yet.
std::wstring AsideName(const std::wstring& path) {
  std::wstring aside = path + L".old";
  for (int n = 2; PathExists(aside) && n < 1000; ++n) aside = path + L".old" + std::to_wstring(n);
  return aside;
}
}  // namespace

std::wstring ReadingConnectString(const std::wstring& driver, const std::wstring& path) {
  return L"ODBC;DRIVER={" + driver + L"};DSN='''';DBQ=" + ConnectValue(path);
}

std::wstring WritingConnectString(const std::wstring& driver, const std::wstring& path) {
  return L"DRIVER={" + driver + L"};DSN='';FIRSTROWHASNAMES=2;READONLY=FALSE;CREATE_DB=" +
         ConnectValue(L"\"" + path + L"\"") + L";DBQ=" + ConnectValue(path);
}

void SetWorkbookMover(WorkbookMover mover) { Mover.store(mover ? mover : &RenameFile); }

std::wstring ExportODBC::FindExcelDriver() {
  std::vector<std::wstring> drivers;
  if (!ListInstalledDrivers(drivers)) return {};
  for (const std::wstring& driver : drivers)
    if (driver.find(ExcelDriverMark) != std::wstring::npos) return driver;
  return {};
}

bool ExportODBC::ChooseWorkbookPath(FrontEnd& front, std::wstring& path) {
  SaveFileRequest request;
  request.filterName = L"Excel 97-2003(*.xls)";
  request.filterPattern = L"*.xls";
  request.title = L"Svae As";
  request.startFolder = CurrentFolder();
  request.defaultExtension = L"xlsx";
  request.pathCapacity = WorkbookPathCapacity;
  std::wstring chosen;
  if (!front.ChooseSaveFile(request, chosen) || chosen.empty() || chosen.size() >= WorkbookPathCapacity)
    return false;
  path = chosen;
  return true;
}

int ExportODBC::Export(FrontEnd& front, const std::vector<std::wstring>& ticked) {
  std::wstring driver = FindExcelDriver();
  if (driver.empty()) {
    Say(front, L"Please Install Microsoft Excel Driver!");
    return 0;
  }
  std::wstring path;
  if (!ChooseWorkbookPath(front, path)) return 0;
  if (!PathExists(path)) SheetColumns.clear();
  else if (!ReadSheetColumns(front, driver, path, SheetColumns)) return 0;

  OdbcConnection database;
  DbResult result = database.OpenSilently(WritingConnectString(driver, path));
  if (!result.Ok()) return WriteFailed(front, result);
  std::wstring chosenColumns = ColumnDefinitionList(ticked);
  if (!SheetColumns.empty() && SheetColumns != chosenColumns) {
    int answer = Say(front,
                     L"The columns exported are different from Excel,do you want to OVERWRITE them?",
                     BoxYesNo);
    database.Close();
    if (answer != AnswerYes) return 0;
    // The old workbook stays aside until the new one has its sheet, and
    // comes back when that cannot be made: the user never has neither.
    const std::wstring aside = AsideName(path);
    std::wstring reason;
    if (!Mover.load()(path, aside, reason)) {
      Say(front, WriteError + reason);
      return 0;
    }
    result = database.OpenSilently(WritingConnectString(driver, path));
    if (result.Ok()) result = database.Execute(CreateSheetStatement(chosenColumns));
    if (!result.Ok()) {
      database.Close();
      RemoveFile(path);  // what the driver made of the new one
      Mover.load()(aside, path, reason);
      return WriteFailed(front, result);
    }
    RemoveFile(aside);
  } else if (SheetColumns.empty()) {
    result = database.Execute(CreateSheetStatement(chosenColumns));
    if (!result.Ok()) return WriteFailed(front, result);
  }
  std::wstring columns, values;
  for (int k = 0; k < RecordCount; ++k) {
    if (!BuildInsertLists(ticked, columns, values, k)) break;
    result = database.Execute(std::wstring(L"INSERT INTO ") + SheetName + L" (" + columns + L") VALUES (" +
                              values + L")");
    if (!result.Ok()) return WriteFailed(front, result);
  }
  database.Close();
  Say(front, L"Success\uFF01");  // full-width exclamation mark
  return 1;
}
