#include "export/export_store.h"

#include <limits>
#include <utility>

namespace {
// A value between single quotes, its own quotes doubled so the statement
// keeps its shape and the sheet gets the text as stored.
std::wstring QuotedValue(const std::wstring& value) {
  std::wstring quoted = L"'";
  for (wchar_t c : value) {
    if (c == L'\'') quoted += L'\'';
    quoted += c;
  }
  quoted += L'\'';
  return quoted;
}
}  // namespace

ExportODBC::~ExportODBC() { Reset(); }

void ExportODBC::Reset() {
  SerialNumbers.clear();
  TimeStamps.clear();
  Barcodes.clear();
  RecordCount = 0;
}

namespace {
// All three lists take the record or none does, so they stay in step.
bool Takes(const ExportODBC& store, std::size_t serial, std::size_t time, std::size_t barcode) {
  return store.RecordCount < std::numeric_limits<int>::max() && store.SerialNumbers.Fits(serial) &&
         store.TimeStamps.Fits(time) && store.Barcodes.Fits(barcode);
}
}  // namespace

bool ExportODBC::AppendRecord(const std::wstring& serial, const std::wstring& time,
                              const std::wstring& barcode) {
  if (!Takes(*this, serial.size(), time.size(), barcode.size())) return false;
  SerialNumbers.push_back(serial);
  TimeStamps.push_back(time);
  Barcodes.push_back(barcode);
  ++RecordCount;
  return true;
}

// A byte never widens to more than one unit, so the lengths are the bounds.
bool ExportODBC::AppendAnsiRecord(std::string_view serial, std::string_view time,
                                  std::string_view barcode) {
  if (!Takes(*this, serial.size(), time.size(), barcode.size())) return false;
  SerialNumbers.PushAnsi(serial.data(), serial.size());
  TimeStamps.PushAnsi(time.data(), time.size());
  Barcodes.PushAnsi(barcode.data(), barcode.size());
  ++RecordCount;
  return true;
}

std::wstring ColumnDefinitionList(const std::vector<std::wstring>& names) {
  std::wstring definitions;
  for (const std::wstring& name : names) {
    definitions += definitions.empty() ? L"[" : L", [";
    definitions += name;
    definitions += L"] longTEXT";
  }
  return definitions;
}

bool ExportODBC::BuildInsertLists(const std::vector<std::wstring>& ticked, std::wstring& columns,
                                  std::wstring& values, int k) {
  columns.clear();
  values.clear();
  if (k < 0 || k >= RecordCount) return false;
  std::size_t row = static_cast<std::size_t>(k);
  if (row >= SerialNumbers.size() || row >= TimeStamps.size() || row >= Barcodes.size())
    return false;
  for (const std::wstring& choice : ticked) {
    columns += columns.empty() ? L"[" : L",[";
    columns += choice;
    columns += L"]";
    std::wstring value;
    if (choice == L"SN")
      value = SerialNumbers[row];
    else if (choice == L"Time")
      value = TimeStamps[row];
    else if (choice == L"Data")
      value = Barcodes[row];
    if (!values.empty()) values += L",";
    values += QuotedValue(value);
  }
  return true;
}
