#include <windows.h>

#include <climits>

#include "common/ansi_text.h"

void AnsiToWide(const char* bytes, std::size_t length, std::wstring& wide) {
  wide.clear();
  if (length == 0 || length > INT_MAX) return;
  int n = static_cast<int>(length);
  int needed = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, n, nullptr, 0);
  if (needed <= 0) return;
  wide.resize(static_cast<std::size_t>(needed));
  MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, n, wide.data(), needed);
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
