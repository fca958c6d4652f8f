#pragma once
// The records of the last download run, kept for the workbook export, the
// statement texts for the chosen columns, and the export.
#include <string>
#include <string_view>
#include <vector>

#include "export/text_list.h"

class FrontEnd;

class ExportODBC {
 public:
  virtual ~ExportODBC();

  void Reset();
  // False, nothing stored, when the store can count no more.
  bool AppendRecord(const std::wstring& serial, const std::wstring& time,
                    const std::wstring& barcode);
  // The same, from the record's bytes in the ANSI code page.
  bool AppendAnsiRecord(std::string_view serial, std::string_view time, std::string_view barcode);
  // The INSERT's column and value lists of record k for the ticked column
  // names ("SN", "Time", "Data"; any other name gets an empty value). False
  // when k is not below RecordCount.
  bool BuildInsertLists(const std::vector<std::wstring>& ticked, std::wstring& columns,
                        std::wstring& values, int k);

  // The workbook export (workbook_writer.cpp): the whole export behind the
  // "Export" button, with the ticked column names (the window is modal
  // meanwhile, so they stand as they were clicked with), 1 when it
  // ended with "Success！"; the installed Excel driver's description, empty
  // when there is none; the save dialog, false when cancelled.
  int Export(FrontEnd& front, const std::vector<std::wstring>& ticked);
  std::wstring FindExcelDriver();
  bool ChooseWorkbookPath(FrontEnd& front, std::wstring& path);

  TextList SerialNumbers;
  TextList TimeStamps;
  TextList Barcodes;
  int RecordCount = 0;
  const int ColumnSlotCount = 3;
  std::wstring SheetColumns;
};


// "[N1] longTEXT, [N2] longTEXT, ..." for the column names in order: the
// sheet's column definitions, as chosen in the slots or as a sheet has them.
std::wstring ColumnDefinitionList(const std::vector<std::wstring>& names);
