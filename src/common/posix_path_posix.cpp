#include "common/posix_path.h"

#include "common/utf8_text.h"

std::string NativePath(const std::wstring& path) {
  std::string out;
  out.reserve(path.size());
  for (wchar_t c : path) PutUtf8(out, c == L'\\' ? U'/' : static_cast<char32_t>(c));
  return out;
}

std::wstring WideName(const char* name) {
  std::wstring out;
  const auto* p = reinterpret_cast<const unsigned char*>(name);
  while (*p) {
    unsigned lead = *p;
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : -1;
    char32_t c = extra == 0 ? lead : extra == 1 ? (lead & 0x1F) : extra == 2 ? (lead & 0x0F) : (lead & 0x07);
    bool valid = extra >= 0;
    for (int i = 1; valid && i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) valid = false;
      else c = (c << 6) | (p[i] & 0x3F);
    }
    if (!valid) {
      out += L'\xFFFD';
      ++p;
      continue;
    }
    out += c > 0x10FFFF ? L'\xFFFD' : static_cast<wchar_t>(c);
    p += extra + 1;
  }
  return out;
}
