// Any bytes as Config.ini: the reader takes them without harm, and whatever
// they set, the file the program writes back sets exactly the same again.
#include <cstdint>
#include <string>

#include "collect/output_naming.h"
#include "settings/settings.h"
#include "ui/dialog_session.h"
#include "support/memory_controls.h"
#include "support/program_state.h"
#include "ui/control_ids.h"
#include "ui/main_dialog.h"
#include "ui/settings_controls.h"
#include "ui/data_controls.h"

namespace {
// A window as start-up leaves it before the settings are read, with the
// settings of bytes applied.
AppSettings Load(MemoryControls& window, const std::string& bytes) {
  ResetProgramState();
  OutputFolder = L"C:\\Lumet";
  window.RouteTextChanges(&DispatchCommand);
  InitDataControls(window);
  window.SetChecked(IDC_FORMAT_CN, true);
  for (const std::wstring& line : SettingsLines(bytes)) {
    if (line.empty() || line.size() >= SettingsLineChars) __builtin_trap();
    if (line.find_first_of(L"\r\n") != std::wstring::npos) __builtin_trap();
    ApplySettingsLine(window, line);
  }
  AppSettings got = CollectSettings(window);
  if (got.filePath.size() > 259 || got.customFileName.size() > 259) __builtin_trap();
  return got;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  MemoryControls first;
  const AppSettings loaded = Load(first, bytes);
  MemoryControls second;
  if (!(Load(second, EncodeSettings(loaded)) == loaded)) __builtin_trap();
  ResetProgramState();
  return 0;
}
