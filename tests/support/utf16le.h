#pragma once
// UTF-16LE bytes of text, spelled out by hand so tests of Config.ini do not
// lean on the code under test.
#include <string>

inline std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}
