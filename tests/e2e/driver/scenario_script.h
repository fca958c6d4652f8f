#pragma once
// Scenario scripts of the end-to-end tier: plain text, one step per line.
//
//   # a comment
//   @scanner COM3 usb          setup line, read by run-e2e.sh (the driver skips it)
//   click 1005                 a verb and its arguments
//   expect-text 1006 "Close"   texts in double quotes, \" \\ \n \r \t \uXXXX escapes
//
// Parsing is portable so that the script rules are tested natively; the
// driver (lumet_driver_win32.cpp) carries the steps out under Windows or Wine.
#include <string>
#include <vector>

struct ScenarioStep {
  int line = 0;                    // 1-based line in the script
  std::string verb;
  std::vector<std::string> args;   // UTF-8, quotes removed and escapes resolved
};

struct ScenarioScript {
  std::vector<ScenarioStep> steps;
  std::vector<ScenarioStep> setup;  // "@name ..." lines, verb without the '@'
  std::string error;                // "line N: ..." for the first bad line; empty if valid
};

// Splits and checks the whole script; on the first bad line `error` says why
// and the steps parsed so far are kept only for reporting.
ScenarioScript ParseScenario(const std::string& text);

// Splits one line into words; false (with `error`) on an unterminated quote or
// a bad escape.
bool SplitScenarioLine(const std::string& line, std::vector<std::string>& words, std::string& error);

// Decimal, 0x hexadecimal, with an optional leading '-'. Rejects anything else
// and values beyond +-2^31.
bool ParseScenarioNumber(const std::string& word, long& value);

// The verbs the driver knows, with the shape of their arguments; used by the
// parser and by the driver's usage text.
struct ScenarioVerb {
  const char* name;
  const char* shape;  // one letter per argument: n number, t text; '?' makes the rest optional, '*' repeats the last
  const char* help;
};
const std::vector<ScenarioVerb>& ScenarioVerbs();

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
