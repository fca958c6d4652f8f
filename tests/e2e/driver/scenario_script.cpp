#include "scenario_script.h"

#include "common/utf8_text.h"

namespace {

// Code points from UTF-8; malformed bytes become U+FFFD so that a bad byte in
// a script shows up as a mismatch instead of vanishing.
std::vector<char32_t> DecodeUtf8(const std::string& text) {
  std::vector<char32_t> out;
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
    if (extra < 0 || i + extra >= text.size()) {  // a stray or cut-off sequence
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (next & 0x3F);
    }
    static const char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsPlainWord(const std::string& word) {
  if (word.empty()) return false;
  for (char c : word) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

struct VerbRule {
  ScenarioVerb verb;
  const char* choices;  // '|'-separated words allowed for a 'w' argument, or nullptr
};

const std::vector<VerbRule>& Rules() {
  static const std::vector<VerbRule> rules = {
      {{"click", "n", "click ID: BM_CLICK on a button, check box or radio button, once it is enabled"}, nullptr},
      {{"type", "nt", "type ID TEXT: WM_SETTEXT on an edit box (sends its change notifications)"}, nullptr},
      {{"check", "nb", "check ID 0|1: click the check box if its state differs"}, nullptr},
      {{"select", "nt", "select ID TEXT: select the combo box item with that text (CBN_SELCHANGE)"}, nullptr},
      {{"dropdown", "n", "dropdown ID: drop a combo box's list down and close it again"}, nullptr},
      {{"command", "n?n", "command ID [CODE]: send WM_COMMAND to the main window"}, nullptr},
      {{"syscommand", "n", "syscommand N: post WM_SYSCOMMAND N (104 is the About item)"}, nullptr},
      {{"key", "w", "key esc|enter|tab|space: post a key press to the focused control"}, "esc|enter|tab|space"},
      {{"close", "", "close: the close box of the main window (SC_CLOSE)"}, nullptr},
      {{"expect-text", "nt", "expect-text ID TEXT: the control's text (* and {today} as for expect-box; {today/} is YYYY/MM/DD)"}, nullptr},
      {{"expect-enabled", "nb", "expect-enabled ID 0|1"}, nullptr},
      {{"expect-visible", "nb", "expect-visible ID 0|1: the control's own visible style and its parents'"}, nullptr},
      {{"expect-check", "nn", "expect-check ID 0|1|2: BM_GETCHECK"}, nullptr},
      {{"expect-readonly", "nb", "expect-readonly ID 0|1: an edit box's read-only style"}, nullptr},
      {{"expect-combo", "n?t*", "expect-combo ID [ITEM...]: exactly these items in this order"}, nullptr},
      {{"expect-selected", "nt", "expect-selected ID TEXT: the selected item's text, \"\" for none"}, nullptr},
      {{"expect-rows", "nn", "expect-rows ID N: list view row count"}, nullptr},
      {{"expect-cell", "nnnt", "expect-cell ID ROW COL TEXT: list view cell"}, nullptr},
      {{"expect-column", "nnt", "expect-column ID COL TEXT: list view column header"}, nullptr},
      {{"expect-client", "nn", "expect-client W H: client area of the main window in dialog units"}, nullptr},
      {{"expect-inside", "n", "expect-inside ID: the control lies wholly inside the client area"}, nullptr},
      {{"expect-outside", "n", "expect-outside ID: no part of the control is inside the client area"}, nullptr},
      {{"expect-label", "tw", "expect-label TEXT inside|outside|hidden: every control with that caption"}, "inside|outside|hidden"},
      {{"expect-box", "t?t", "expect-box TEXT [CAPTION]: wait for a message box of the program (a * at the end or the start of TEXT matches any rest; {today} is YYYYMMDD)"}, nullptr},
      {{"expect-dialog", "t", "expect-dialog CAPTION: wait for another dialog of the program (About box)"}, nullptr},
      {{"expect-box-text", "t", "expect-box-text TEXT: a static text of the current box or dialog"}, nullptr},
      {{"answer", "t", "answer BUTTON: click a visible button of the current box by caption or id"}, nullptr},
      {{"box-type", "nt", "box-type ID TEXT: WM_SETTEXT on a control of the current box or dialog (the save dialog's file name is 1148)"}, nullptr},
      {{"expect-sheet", "wt*", "expect-sheet NAME ROW...: the sheet KT52 of the workbook NAME beside the program, read by the harness with sqlite3: header, then rows, fields joined by |"}, nullptr},
      {{"expect-no-box", "", "expect-no-box: no box or other dialog of the program is open"}, nullptr},
      {{"expect-exit", "n", "expect-exit CODE: the program ends with this exit code"}, nullptr},
      {{"expect-file", "tb", "expect-file NAME 0|1: a file beside the program exists or not ({today} in NAME: YYYYMMDD)"}, nullptr},
      {{"expect-file-bytes", "tt", "expect-file-bytes NAME TEXT: a file beside the program holds exactly these bytes (8-bit text)"}, nullptr},
      {{"expect-file-same", "tt", "expect-file-same NAME OTHER: a file beside the program holds exactly the bytes of the file OTHER beside it (put there by @copy)"}, nullptr},
      {{"expect-file-utf16", "tt", "expect-file-utf16 NAME TEXT: a file beside the program holds FF FE and TEXT in UTF-16LE ({folder} is the program's folder)"}, nullptr},
      {{"shot", "w", "shot NAME: screenshot of the program's windows (NAME.png)"}, nullptr},
      {{"timeout", "n", "timeout MS: how long later expectations wait (default 5000)"}, nullptr},
      {{"sleep", "n", "sleep MS: wait (only for things no expectation can observe)"}, nullptr},
  };
  return rules;
}

bool InChoices(const char* choices, const std::string& word) {
  std::string all = choices;
  size_t start = 0;
  while (start <= all.size()) {
    size_t bar = all.find('|', start);
    if (bar == std::string::npos) bar = all.size();
    if (all.compare(start, bar - start, word) == 0 && bar - start == word.size()) return true;
    start = bar + 1;
  }
  return false;
}

// Checks the arguments of one step against its rule; returns "" when fine.
std::string CheckArguments(const VerbRule& rule, const std::vector<std::string>& args) {
  const std::string shape = rule.verb.shape;
  size_t required = shape.find('?');
  if (required == std::string::npos) required = shape.size();
  std::string letters;
  for (char c : shape)
    if (c != '?' && c != '*') letters += c;
  bool repeats = !shape.empty() && shape.back() == '*';
  if (args.size() < required) return "too few arguments; usage: " + std::string(rule.verb.help);
  if (!repeats && args.size() > letters.size()) return "too many arguments; usage: " + std::string(rule.verb.help);
  for (size_t i = 0; i < args.size(); ++i) {
    char kind = i < letters.size() ? letters[i] : letters.back();
    long number = 0;
    if (kind == 'n' && !ParseScenarioNumber(args[i], number)) return "'" + args[i] + "' is not a number";
    if (kind == 'b' && args[i] != "0" && args[i] != "1") return "'" + args[i] + "' must be 0 or 1";
    if (kind == 'w') {
      if (!IsPlainWord(args[i])) return "'" + args[i] + "' must be a plain word (letters, digits, - _ .)";
      if (rule.choices && !InChoices(rule.choices, args[i])) return "'" + args[i] + "' must be one of " + rule.choices;
    }
  }
  return "";
}

std::string LineError(int line, const std::string& message) { return "line " + std::to_string(line) + ": " + message; }

}  // namespace

const std::vector<ScenarioVerb>& ScenarioVerbs() {
  static const std::vector<ScenarioVerb> verbs = [] {
    std::vector<ScenarioVerb> out;
    for (const VerbRule& rule : Rules()) out.push_back(rule.verb);
    return out;
  }();
  return verbs;
}

bool ParseScenarioNumber(const std::string& word, long& value) {
  size_t i = 0;
  bool negative = false;
  if (i < word.size() && word[i] == '-') {
    negative = true;
    ++i;
  }
  int base = 10;
  if (word.size() - i > 2 && word[i] == '0' && (word[i + 1] == 'x' || word[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= word.size()) return false;
  long long total = 0;
  for (; i < word.size(); ++i) {
    int digit = base == 16 ? HexDigit(word[i]) : (word[i] >= '0' && word[i] <= '9' ? word[i] - '0' : -1);
    if (digit < 0) return false;
    total = total * base + digit;
    if (total > (1LL << 32)) return false;
  }
  if (negative) total = -total;
  if (total > 0xFFFFFFFFLL || total < -(1LL << 31)) return false;
  value = static_cast<long>(total);
  return true;
}

bool SplitScenarioLine(const std::string& line, std::vector<std::string>& words, std::string& error) {
  words.clear();
  size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    if (i >= line.size()) return true;
    std::string word;
    if (line[i] != '"') {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
      words.push_back(word);
      continue;
    }
    ++i;  // opening quote
    bool closed = false;
    while (i < line.size()) {
      char c = line[i++];
      if (c == '"') {
        closed = true;
        break;
      }
      if (c != '\\') {
        word += c;
        continue;
      }
      if (i >= line.size()) break;
      char e = line[i++];
      switch (e) {
        case '"': word += '"'; break;
        case '\\': word += '\\'; break;
        case 'n': word += '\n'; break;
        case 'r': word += '\r'; break;
        case 't': word += '\t'; break;
        case 'u': {
          char32_t cp = 0;
          for (int k = 0; k < 4; ++k) {
            int digit = i < line.size() ? HexDigit(line[i]) : -1;
            if (digit < 0) {
              error = "\\u needs four hexadecimal digits";
              return false;
            }
            cp = cp * 16 + digit;
            ++i;
          }
          PutUtf8(word, cp);
          break;
        }
        default:
          error = std::string("unknown escape \\") + e;
          return false;
      }
    }
    if (!closed) {
      error = "unterminated quoted text";
      return false;
    }
    if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
      error = "a quoted text must be followed by a space";
      return false;
    }
    words.push_back(word);
  }
}

ScenarioScript ParseScenario(const std::string& text) {
  ScenarioScript script;
  size_t start = 0;
  int line_number = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++line_number;
    // A comment is free text: its quotes need not pair up.
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '#') continue;
    std::vector<std::string> words;
    std::string error;
    if (!SplitScenarioLine(line, words, error)) {
      script.error = LineError(line_number, error);
      return script;
    }
    if (words.empty() || words[0][0] == '#') continue;
    ScenarioStep step;
    step.line = line_number;
    step.args.assign(words.begin() + 1, words.end());
    if (words[0][0] == '@') {
      step.verb = words[0].substr(1);
      if (!IsPlainWord(step.verb)) {
        script.error = LineError(line_number, "bad setup line '" + words[0] + "'");
        return script;
      }
      script.setup.push_back(step);
      continue;
    }
    step.verb = words[0];
    const VerbRule* rule = nullptr;
    for (const VerbRule& candidate : Rules())
      if (step.verb == candidate.verb.name) rule = &candidate;
    if (!rule) {
      script.error = LineError(line_number, "unknown step '" + step.verb + "'");
      return script;
    }
    std::string problem = CheckArguments(*rule, step.args);
    if (!problem.empty()) {
      script.error = LineError(line_number, step.verb + ": " + problem);
      return script;
    }
    script.steps.push_back(step);
  }
  return script;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out;
  for (char32_t cp : DecodeUtf8(text)) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<wchar_t>(cp);
    }
  }
  return out;
}

std::string WideToUtf8(const std::wstring& text) { return Utf8Text(text); }
