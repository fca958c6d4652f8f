#include <windows.h>

#include <climits>

#include "common/ansi_text.h"

std::wstring AnsiToWide(const char* bytes, std::size_t length) {
  if (length == 0 || length > INT_MAX) return {};
  int n = static_cast<int>(length);
  int needed = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, n, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(needed), L'\0');
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, n, wide.data(), needed);
  return wide;
}

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  int n = static_cast<int>(text.size());
  int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string bytes(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), n, bytes.data(), needed, nullptr, nullptr);
  return bytes;
}
