#pragma once
// Scans as an .xlsx workbook that Excel and LibreOffice open without any
// driver (libxlsxwriter).
//
// Sheet "Scans": serial number, scan time, barcode, port, PC. A scan time
// that reads in the scanner's date order is a date-time cell (it sorts and
// filters as one); one that does not stays its text. Every barcode is a text
// cell holding exactly what the scanner sent: never a number or a formula.
// Sheet "Count", counted against an expected list: barcode, description,
// expected, counted, difference, status. Each sheet's header row is bold and
// frozen, with an autofilter, and its columns as wide as their longest text.
//
// The workbook is written to a temporary name beside the target and renamed
// into place once complete: it is whole, or not there.
#include <string>
#include <vector>

#include "common/expected_list.h"
#include "common/scan_summary.h"

struct WorkbookScan {
  std::wstring serial;
  std::wstring time;          // as the scanner wrote it
  std::uint64_t at = 0;       // YYYYMMDDhhmmss when the time reads, else 0
  std::wstring barcode;
  std::wstring port;
  std::wstring pc;
};

// A downloaded record (texts as the export store holds them), its stamp read in
// the scanner's date order.
WorkbookScan ScanOfRecord(const std::wstring& serial, const std::wstring& stamp,
                          const std::wstring& barcode, StampDateOrder order,
                          const std::wstring& port, const std::wstring& pc);

// Whether this build can write workbooks.
bool WorkbooksSupported();

// Writes the workbook; with count, its sheet "Count" too. False, with why,
// when it could not be written whole (nothing is left at path then, and an
// earlier workbook there stays as it was).
bool WriteScanWorkbook(const std::wstring& path, const std::vector<WorkbookScan>& scans,
                       const std::vector<CountRow>* count, std::wstring& why);
