#include "cli/console_text.h"

#include <cstdio>

std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7F) {
      line += static_cast<char>(c);
      continue;
    }
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", c);
    line += escape;
  }
  return line;
}

std::string BoxLine(const std::string& port, const std::string& text) {
  std::string words;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const bool crlf = text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n';
    if (crlf) ++k;
    if (crlf || text[k] == '\n') {
      if (!words.empty() && words.back() != ' ') words += ' ';
      continue;
    }
    words += text[k];
  }
  while (!words.empty() && words.back() == ' ') words.pop_back();
  return port + ": " + words;
}
