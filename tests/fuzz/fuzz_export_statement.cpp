// Any record texts in the statements of the workbook export: the value list
// read back as SQL string literals gives exactly the chosen fields, so no
// text can end a literal early or add to the statement.
#include <cstdint>
#include <string>
#include <vector>

#include "common/ansi_text.h"
#include "export/export_store.h"
#include "support/memory_controls.h"
#include "ui/control_ids.h"
#include "ui/data_controls.h"
#include "ui/window_front_end.h"

namespace {
// The literals of a list "'a','b''c'"; false when it is not such a list.
bool ReadLiterals(const std::wstring& list, std::vector<std::wstring>& out) {
  std::size_t i = 0;
  while (i < list.size()) {
    if (!out.empty() && list[i++] != L',') return false;
    if (i >= list.size() || list[i++] != L'\'') return false;
    std::wstring text;
    for (;;) {
      if (i >= list.size()) return false;
      if (list[i] == L'\'') {
        if (i + 1 < list.size() && list[i + 1] == L'\'') {
          text += L'\'';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
      text += list[i++];
    }
    out.push_back(text);
  }
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t choice = data[0];
  std::vector<std::wstring> fields(1);
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == 0xFF && fields.size() < 3)
      fields.emplace_back();
    else
      fields.back() += AnsiToWide(reinterpret_cast<const char*>(data + i), 1);
  }
  fields.resize(3);

  MemoryControls dialog;
  ExportODBC store;
  FillColumnSlots(dialog);
  // Each slot ticked or not, and any of the three choices in it.
  for (int slot = 0; slot < 3; ++slot) {
    dialog.SetChecked(IDC_COLUMN_CHECK_1 + slot, (choice >> slot) & 1);
    dialog.ComboSelect(IDC_COLUMN_LIST_1 + slot, ((choice >> (3 + 2 * slot)) & 3) % 3);
  }
  store.AppendRecord(fields[0], fields[1], fields[2]);

  const std::vector<std::wstring> ticked = WindowFrontEnd(dialog).TickedColumns();
  std::wstring columns, values;
  if (!store.BuildInsertLists(ticked, columns, values, 0)) __builtin_trap();
  if (store.BuildInsertLists(ticked, columns, values, 1)) __builtin_trap();
  store.BuildInsertLists(ticked, columns, values, 0);
  std::vector<std::wstring> literals;
  if (!ReadLiterals(values, literals)) __builtin_trap();
  std::vector<std::wstring> expected;
  for (int slot = 0; slot < 3; ++slot)
    if ((choice >> slot) & 1) expected.push_back(fields[((choice >> (3 + 2 * slot)) & 3) % 3]);
  if (literals != expected) __builtin_trap();
  const std::wstring definitions = ColumnDefinitionList(ticked);
  if (expected.empty() != definitions.empty()) __builtin_trap();
  return 0;
}
