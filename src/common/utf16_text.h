#pragma once
// Wide text as UTF-16 units and back, the same on every platform: wchar_t
// already holds the units on Windows; where it is 32 bits wide a character
// past U+FFFF becomes a surrogate pair (one past U+10FFFF becomes U+FFFD) and a
// pair read back becomes one character again. A lone surrogate is kept as it
// is, as Windows keeps it.
#include <cstddef>
#include <cstdint>
#include <string>

// Calls put (std::uint16_t unit) for each unit of text, in order.
template <typename Put>
void ForEachUtf16Unit(const std::wstring& text, Put put) {
  for (wchar_t c : text) {
    auto code = static_cast<std::uint32_t>(c);
    if (code > 0x10FFFF) code = 0xFFFD;
    if (code > 0xFFFF) {
      code -= 0x10000;
      put(static_cast<std::uint16_t>(0xD800 + (code >> 10)));
      put(static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      put(static_cast<std::uint16_t>(code));
    }
  }
}

// The text of length units (any 16-bit unit type: char16_t, SQLWCHAR).
template <typename Unit>
std::wstring FromUtf16(const Unit* units, std::size_t length) {
  std::wstring out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(units[i]);
    if constexpr (sizeof(wchar_t) > 2) {
      const std::uint32_t next = i + 1 < length ? static_cast<std::uint16_t>(units[i + 1]) : 0;
      if (code >= 0xD800 && code <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
        ++i;
      }
    }
    out += static_cast<wchar_t>(code);
  }
  return out;
}
