#include "common/ansi_text.h"

std::wstring AnsiToWide(const char* bytes, std::size_t length) {
  std::wstring wide(length, L'\0');  // filled in place: one pass the compiler can widen
  for (std::size_t i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(bytes[i]);
  return wide;
}

std::string WideToAnsi(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t c : text) bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
  return bytes;
}
