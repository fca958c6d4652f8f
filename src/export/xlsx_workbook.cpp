#include "export/xlsx_workbook.h"

#include <algorithm>
#include <random>

#include "common/ansi_text.h"
#include "common/output_file.h"
#include "common/utf8_text.h"

#if LUMET_XLSX
#include <xlsxwriter.h>
#endif

WorkbookScan ScanOfRecord(const std::wstring& serial, const std::wstring& stamp,
                          const std::wstring& barcode, StampDateOrder order,
                          const std::wstring& port, const std::wstring& pc) {
  WorkbookScan scan{serial, stamp, 0, barcode, port, pc};
  if (!ReadStamp(WideToAnsi(stamp), order, scan.at)) scan.at = 0;
  return scan;
}

#if LUMET_XLSX
namespace {
constexpr double MaxColumnWidth = 60;

// One sheet: its header, then rows written cell by cell, the column widths
// following the longest text.
class Sheet {
 public:
  Sheet(lxw_workbook* book, const char* name, const std::vector<const char*>& header, lxw_format* bold)
      : sheet_(workbook_add_worksheet(book, name)), widths_(header.size(), 0) {
    for (std::size_t c = 0; c < header.size(); ++c) Text(0, c, header[c], bold);
  }
  lxw_error Text(lxw_row_t row, std::size_t column, const std::string& utf8, lxw_format* format = nullptr) {
    Widen(column, static_cast<double>(utf8.size()));
    return Keep(worksheet_write_string(sheet_, row, static_cast<lxw_col_t>(column), utf8.c_str(), format));
  }
  lxw_error Number(lxw_row_t row, std::size_t column, double value) {
    Widen(column, 8);
    return Keep(worksheet_write_number(sheet_, row, static_cast<lxw_col_t>(column), value, nullptr));
  }
  lxw_error Date(lxw_row_t row, std::size_t column, std::uint64_t at, lxw_format* format) {
    lxw_datetime when{static_cast<int>(at / 10000000000ull), static_cast<int>(at / 100000000 % 100),
                      static_cast<int>(at / 1000000 % 100), static_cast<int>(at / 10000 % 100),
                      static_cast<int>(at / 100 % 100), static_cast<double>(at % 100)};
    Widen(column, 19);
    return Keep(worksheet_write_datetime(sheet_, row, static_cast<lxw_col_t>(column), &when, format));
  }
  // The header frozen with an autofilter over rows rows, and the widths.
  lxw_error Finish(lxw_row_t rows) {
    worksheet_freeze_panes(sheet_, 1, 0);
    Keep(worksheet_autofilter(sheet_, 0, 0, rows, static_cast<lxw_col_t>(widths_.size() - 1)));
    for (std::size_t c = 0; c < widths_.size(); ++c)
      Keep(worksheet_set_column(sheet_, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                std::min(widths_[c] + 2, MaxColumnWidth), nullptr));
    return error_;
  }
  lxw_error Error() const { return error_; }

 private:
  void Widen(std::size_t column, double width) {
    if (column < widths_.size()) widths_[column] = std::max(widths_[column], width);
  }
  lxw_error Keep(lxw_error error) {
    if (error_ == LXW_NO_ERROR) error_ = error;
    return error;
  }
  lxw_worksheet* sheet_;
  std::vector<double> widths_;
  lxw_error error_ = LXW_NO_ERROR;
};

lxw_error WriteSheets(lxw_workbook* book, const std::vector<WorkbookScan>& scans,
                      const std::vector<CountRow>* count) {
  lxw_format* bold = workbook_add_format(book);
  format_set_bold(bold);
  lxw_format* date = workbook_add_format(book);
  format_set_num_format(date, "yyyy-mm-dd hh:mm:ss");
  Sheet sheet(book, "Scans", {"Serial Number", "Scan Time", "Barcode", "Port", "PC"}, bold);
  lxw_row_t row = 0;
  for (const WorkbookScan& scan : scans) {
    if (row + 1 >= LXW_ROW_MAX) return LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
    ++row;
    sheet.Text(row, 0, Utf8Text(scan.serial));
    if (scan.at) sheet.Date(row, 1, scan.at, date);
    else sheet.Text(row, 1, Utf8Text(scan.time));
    sheet.Text(row, 2, Utf8Text(scan.barcode));
    sheet.Text(row, 3, Utf8Text(scan.port));
    sheet.Text(row, 4, Utf8Text(scan.pc));
    if (sheet.Error() != LXW_NO_ERROR) return sheet.Error();
  }
  if (lxw_error error = sheet.Finish(row); error != LXW_NO_ERROR) return error;
  if (!count) return LXW_NO_ERROR;
  Sheet counted(book, "Count", {"Barcode", "Description", "Expected", "Counted", "Difference", "Status"},
                bold);
  row = 0;
  for (const CountRow& line : *count) {
    if (row + 1 >= LXW_ROW_MAX) return LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE;
    ++row;
    counted.Text(row, 0, Utf8Text(AnsiToWide(line.barcode)));
    counted.Text(row, 1, Utf8Text(line.description));
    counted.Number(row, 2, static_cast<double>(line.expected));
    counted.Number(row, 3, static_cast<double>(line.counted));
    counted.Number(row, 4, static_cast<double>(line.difference));
    counted.Text(row, 5, CountStatusText(line.status));
    if (counted.Error() != LXW_NO_ERROR) return counted.Error();
  }
  return counted.Finish(row);
}

std::wstring WideText(const char* text) {
  return AnsiToWide(text, std::char_traits<char>::length(text));
}
}  // namespace

bool WorkbooksSupported() { return true; }

bool WriteScanWorkbook(const std::wstring& path, const std::vector<WorkbookScan>& scans,
                       const std::vector<CountRow>* count, std::wstring& why) {
  // An ASCII name beside the target: the library takes the name as 8-bit
  // text, and the rename below is what makes the workbook appear whole.
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::wstring folder = slash == std::wstring::npos ? L"." : path.substr(0, slash);
  const std::wstring temporary =
      folder + L"\\.lumet-" + std::to_wstring(std::random_device{}()) + L".xlsx.part";
  lxw_workbook* book = workbook_new(NarrowFilePath(temporary).c_str());
  if (!book) {
    why = L"cannot make the workbook in " + folder;
    return false;
  }
  const lxw_error written = WriteSheets(book, scans, count);
  const lxw_error closed = workbook_close(book);  // frees the workbook in every case
  const lxw_error error = written != LXW_NO_ERROR ? written : closed;
  if (error != LXW_NO_ERROR) {
    RemoveFile(temporary);
    why = WideText(lxw_strerror(error));
    return false;
  }
  if (!PutFileInPlace(temporary, path, why)) {
    RemoveFile(temporary);
    return false;
  }
  return true;
}
#else
bool WorkbooksSupported() { return false; }

bool WriteScanWorkbook(const std::wstring&, const std::vector<WorkbookScan>&, const std::vector<CountRow>*,
                       std::wstring& why) {
  why = L"this build has no workbook library (libxlsxwriter)";
  return false;
}
#endif
