// Any device information text: one group a line, nothing else kept, nothing
// lost of a group.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/ansi_text.h"
#include "protocol/device_info.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring input = AnsiToWide(reinterpret_cast<const char*>(data), size);
  std::wstring text = input;
  FormatDeviceInfo(text);
  // Every group in order, each followed by CR LF; the text after the last
  // group is gone. (A group may hold CR LF of its own.)
  std::wstring expected;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < input.size(); ++i) {
    if (input[i] != L'}') continue;
    if (i + 1 < input.size() && input[i + 1] == L';') ++i;
    expected.append(input, kept, i + 1 - kept);
    expected += L"\r\n";
    kept = i + 1;
  }
  if (text != expected) __builtin_trap();
  return 0;
}
