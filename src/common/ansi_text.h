#pragma once
// Scanners speak 8-bit text in the ANSI code page; the window and the export
// store work in wide text. On Windows this is CP_ACP; elsewhere the bytes are
// taken as Latin-1, which keeps every byte value distinct and reversible.
#include <cstddef>
#include <string>

std::wstring AnsiToWide(const char* bytes, std::size_t length);
inline std::wstring AnsiToWide(const std::string& bytes) {
  return AnsiToWide(bytes.data(), bytes.size());
}
std::string WideToAnsi(const std::wstring& text);
