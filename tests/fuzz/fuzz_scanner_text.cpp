// Any bytes a scanner answers with where the program keeps text: its serial
// number in the output file's name, and its default separator. The name
// always stays one name inside the output folder.
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>

#include "collect/collection_job.h"
#include "collect/output_naming.h"
#include "common/local_time.h"
#include "protocol/exchange.h"
#include "support/fixed_date.h"
#include "support/memory_controls.h"
#include "support/program_state.h"
#include "support/scanner_script.h"
#include "support/temp_folder.h"
#include "ui/control_ids.h"
#include "ui/window_front_end.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool framed = data[0] & 1;
  const std::string reply(reinterpret_cast<const char*>(data + 1), size - 1);
  VirtualTimeScope time;
  TempFolder folder;
  MemoryControls dialog;
  ScriptedLink link;
  ScannerSession session{&link};
  ResetProgramState();
  SetLocalTimeSource(&SecondOfJanuary2019);
  link.Open(1, 115200, 8, 0, 0, 0);
  session.framed = framed;
  OutputNames names;
  names.folder = folder.Wide();

  ScriptQueryReply(link, framed, reply);
  WindowFrontEnd window(dialog);
  DownloadChoices choices;  // automatic naming, TXT
  if (MakeOutputFileName(session, window, names, choices)) {
    if (names.fileName.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) __builtin_trap();
    for (wchar_t c : names.fileName)
      if (c < 0x20) __builtin_trap();
    const std::wstring suffix = L"_20190102_001.txt";
    if (names.fileName.size() < suffix.size() ||
        names.fileName.compare(names.fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
      __builtin_trap();
  }

  ScriptQueryReply(link, framed, reply);
  std::string separator;
  if (QueryDefaultSeparator(session, separator) && separator.size() > DefaultSeparatorCapacity)
    __builtin_trap();

  link.Close();
  ResetProgramState();
  return 0;
}
