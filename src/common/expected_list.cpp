#include "common/expected_list.h"

#include <cstdint>

#include "common/ansi_text.h"

namespace {
constexpr std::size_t MaxQuantityDigits = 9;

// The text as UTF-8; false when it is not valid UTF-8.
bool DecodeUtf8(const std::string& bytes, std::wstring& text) {
  text.clear();
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const std::size_t more = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2
                           : (lead & 0xF8) == 0xF0 ? 3 : 4;
    if (more == 4 || i + more >= bytes.size()) return false;
    std::uint32_t code = more == 0 ? lead : lead & (0x3F >> more);
    for (std::size_t k = 1; k <= more; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t Least[] = {0, 0x80, 0x800, 0x10000};
    if (code < Least[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
      code -= 0x10000;
      text += static_cast<wchar_t>(0xD800 + (code >> 10));
      code = 0xDC00 + (code & 0x3FF);
    }
    text += static_cast<wchar_t>(code);
    i += more + 1;
  }
  return true;
}

std::wstring DecodeList(const std::string& bytes) {
  std::wstring text;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    if (DecodeUtf8(bytes.substr(3), text)) return text;
  } else if (DecodeUtf8(bytes, text)) {
    return text;
  }
  return AnsiToWide(bytes);
}

// The separator: the first tab, ";" or "," of the first line outside quotes (a tab wins).
wchar_t SeparatorOf(const std::wstring& text) {
  const std::wstring line = text.substr(0, text.find_first_of(L"\r\n"));
  if (line.find(L'\t') != std::wstring::npos) return L'\t';
  bool quoted = false;
  for (wchar_t c : line) {
    if (c == L'"') quoted = !quoted;
    else if (!quoted && (c == L';' || c == L',')) return c;
  }
  return L',';
}

struct ListLine {
  std::size_t number = 0;
  std::vector<std::wstring> fields;
};

// Cuts the text into lines of fields; false with the line where a quote is left open.
bool SplitFields(const std::wstring& text, wchar_t separator, std::vector<ListLine>& lines,
                 ExpectedListError& error) {
  std::size_t number = 1;
  ListLine line{1, {L""}};
  bool quoted = false, wasQuoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (quoted) {
      if (c == L'"' && i + 1 < text.size() && text[i + 1] == L'"') {
        line.fields.back() += L'"';
        ++i;
      } else if (c == L'"') {
        quoted = false;
      } else {
        if (c == L'\n') ++number;
        line.fields.back() += c;
      }
    } else if (c == L'"' && line.fields.back().empty() && !wasQuoted) {
      quoted = wasQuoted = true;
    } else if (c == separator) {
      line.fields.emplace_back();
      wasQuoted = false;
    } else if (c == L'\n' || c == L'\r') {
      if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      lines.push_back(std::move(line));
      line = ListLine{++number, {L""}};
      wasQuoted = false;
    } else if (wasQuoted) {
      error = {line.number, "text after a closing quote"};
      return false;
    } else {
      line.fields.back() += c;
    }
  }
  if (quoted) {
    error = {line.number, "a quote is not closed"};
    return false;
  }
  lines.push_back(std::move(line));
  return true;
}

std::wstring Trimmed(const std::wstring& text) {
  const std::size_t first = text.find_first_not_of(L" \t");
  if (first == std::wstring::npos) return L"";
  return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

// A quantity of digits only (empty: 1); false when it is none.
bool ReadQuantity(const std::wstring& field, std::uint64_t& quantity) {
  const std::wstring digits = Trimmed(field);
  if (digits.empty()) {
    quantity = 1;
    return true;
  }
  if (digits.size() > MaxQuantityDigits) return false;
  quantity = 0;
  for (wchar_t c : digits) {
    if (c < L'0' || c > L'9') return false;
    quantity = quantity * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  return true;
}

// A code a spreadsheet turned into a number in exponent form ("4.00638E+12"):
// the barcode itself is lost.
bool LooksLikeExponentNumber(const std::wstring& code) {
  const std::size_t e = code.find_first_of(L"Ee");
  if (e == std::wstring::npos || e + 2 >= code.size() || code[e + 1] != L'+') return false;
  for (std::size_t i = 0; i < code.size(); ++i)
    if (i != e && i != e + 1 && !(code[i] >= L'0' && code[i] <= L'9') && !(code[i] == L'.' && i < e))
      return false;
  return true;
}
}  // namespace

bool ReadExpectedList(const std::string& bytes, ExpectedList& list, ExpectedListError& error) {
  list = {};
  const std::wstring text = DecodeList(bytes);
  std::vector<ListLine> lines;
  if (!SplitFields(text, SeparatorOf(text), lines, error)) return false;
  bool first = true;
  for (const ListLine& line : lines) {
    bool empty = true;
    for (const std::wstring& field : line.fields) empty = empty && Trimmed(field).empty();
    if (empty) continue;
    const std::wstring quantityField = line.fields.size() > 1 ? line.fields[1] : L"";
    std::uint64_t quantity = 0;
    const bool counts = ReadQuantity(quantityField, quantity);
    if (first && !counts) {  // a header
      first = false;
      continue;
    }
    first = false;
    const std::wstring& code = line.fields[0];
    if (code.empty()) {
      error = {line.number, "no barcode"};
      return false;
    }
    if (!counts) {
      error = {line.number, "the quantity is not a whole number: " + WideToAnsi(quantityField)};
      return false;
    }
    if (LooksLikeExponentNumber(code)) {
      error = {line.number, "the barcode was saved as a number (" + WideToAnsi(code) +
                                "): save the list with that column as text"};
      return false;
    }
    const std::string barcode = WideToAnsi(code);
    auto [at, added] = list.index.try_emplace(barcode, list.items.size());
    if (added) list.items.push_back({barcode, 0, {}});
    ExpectedItem& item = list.items[at->second];
    item.quantity += quantity;
    if (item.description.empty() && line.fields.size() > 2) item.description = line.fields[2];
  }
  return true;
}

const char* CountStatusText(CountStatus status) {
  switch (status) {
    case CountStatus::Match: return "match";
    case CountStatus::Short: return "short";
    case CountStatus::Over: return "over";
    case CountStatus::NotExpected: break;
  }
  return "not expected";
}

std::vector<CountRow> CountAgainst(const ExpectedList& list,
                                   const std::vector<std::pair<std::string, std::uint64_t>>& counted) {
  std::vector<CountRow> rows;
  std::vector<bool> seen(list.items.size(), false);
  const auto row = [](const std::string& barcode, std::uint64_t count, const ExpectedItem* item) {
    CountRow r;
    r.barcode = barcode;
    r.counted = count;
    r.expected = item ? item->quantity : 0;
    r.difference = static_cast<std::int64_t>(count) - static_cast<std::int64_t>(r.expected);
    if (item) r.description = item->description;
    r.status = !item ? CountStatus::NotExpected
               : r.difference == 0 ? CountStatus::Match
               : r.difference < 0 ? CountStatus::Short : CountStatus::Over;
    return r;
  };
  for (std::size_t k = 0; k < counted.size(); ++k) {
    const auto at = list.index.find(counted[k].first);
    const ExpectedItem* item = at == list.index.end() ? nullptr : &list.items[at->second];
    if (item) seen[at->second] = true;
    rows.push_back(row(counted[k].first, counted[k].second, item));
    rows.back().countedAt = k;
  }
  for (std::size_t i = 0; i < list.items.size(); ++i)
    if (!seen[i]) rows.push_back(row(list.items[i].barcode, 0, &list.items[i]));
  return rows;
}
