#pragma once
// lumet-cli's stock count: the expected list read before any scanner is
// touched, and the database's counts set against it.
#include <string>
#include <vector>

#include "common/expected_list.h"
#include "common/scan_summary.h"
#include "export/xlsx_workbook.h"

// Reads --expected; -1 when it reads (or none was given), otherwise the exit
// status after saying on stderr which line could not be read and why.
int ReadExpectedFile(const std::wstring& path, ExpectedList& list);

// report --counts lines (barcode, count; the header first) counted against
// the list: barcode, count, description, expected, difference, status.
std::vector<std::vector<std::wstring>> CountLines(const std::vector<std::vector<std::wstring>>& counts,
                                                  const ExpectedList& list);

// The --xlsx workbook of a run: every scanner's records added as it ends,
// and the workbook written anew each time (whole, or the earlier one kept).
class RunWorkbook {
 public:
  RunWorkbook(const std::wstring& path, const ExpectedList* expected) : path_(path), expected_(expected) {}
  // The records of the export store, from that port, their stamps read in
  // the scanner's date order; then the workbook. False, after saying why on
  // stderr, when it could not be written.
  bool AddDownload(const std::vector<ScanRecord>& records, const std::wstring& port,
                   const std::wstring& pc, StampDateOrder order);
  // A row of report's columns (serial_number ... scanned_at).
  void AddStored(const std::vector<std::wstring>& row);
  bool Write();
  std::size_t Rows() const { return scans_.size(); }

 private:
  std::wstring path_;
  const ExpectedList* expected_;
  std::vector<WorkbookScan> scans_;
};
