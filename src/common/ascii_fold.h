#pragma once
// ASCII letter case folded and nothing else (A-Z as a-z), as Windows compares
// file extensions and port names, whatever the locale.
#include <string>
#include <string_view>

template <typename Char>
constexpr Char FoldAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

inline std::wstring FoldedAscii(std::wstring text) {
  for (wchar_t& c : text) c = FoldAscii(c);
  return text;
}

// Whether a and b are the same text, ASCII letter case ignored.
inline bool SameFoldedAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}
