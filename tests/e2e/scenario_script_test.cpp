// The scenario scripts of the end-to-end tier: what the driver accepts, and
// that a mistake in a script is reported with its line instead of running.
#include <gtest/gtest.h>

#include "scenario_script.h"

namespace {

TEST(ScenarioScript, StepsKeepTheirLinesAndSkipCommentsAndBlanks) {
  ScenarioScript script = ParseScenario("# \"start\": here\n\nclick 1005\r\n  expect-enabled 1006 1\n  # end \"\n");
  ASSERT_EQ(script.error, "");
  ASSERT_EQ(script.steps.size(), 2u);
  EXPECT_EQ(script.steps[0].line, 3);
  EXPECT_EQ(script.steps[0].verb, "click");
  EXPECT_EQ(script.steps[0].args, std::vector<std::string>{"1005"});
  EXPECT_EQ(script.steps[1].line, 4);
  EXPECT_EQ(script.steps[1].args, (std::vector<std::string>{"1006", "1"}));
}

TEST(ScenarioScript, SetupLinesAreKeptApartForTheRunner) {
  ScenarioScript script = ParseScenario("@scanner COM3 usb --records 5\nclick 1005\n@device COM4 bt\n");
  ASSERT_EQ(script.error, "");
  ASSERT_EQ(script.setup.size(), 2u);
  EXPECT_EQ(script.setup[0].verb, "scanner");
  EXPECT_EQ(script.setup[0].args, (std::vector<std::string>{"COM3", "usb", "--records", "5"}));
  EXPECT_EQ(script.setup[1].line, 3);
  EXPECT_EQ(script.steps.size(), 1u);
  EXPECT_NE(ParseScenario("@ COM3\n").error, "");
  EXPECT_NE(ParseScenario("@sc\"anner COM3\n").error, "");
}

TEST(ScenarioScript, QuotedTextsKeepSpacesAndResolveEscapes) {
  std::vector<std::string> words;
  std::string error;
  ASSERT_TRUE(SplitScenarioLine(R"(expect-box "Open Com Error!" "Error")", words, error));
  EXPECT_EQ(words, (std::vector<std::string>{"expect-box", "Open Com Error!", "Error"}));
  ASSERT_TRUE(SplitScenarioLine(R"(x "a\"b\\c\r\n\t" "" "\u7b80\u4f53")", words, error));
  ASSERT_EQ(words.size(), 4u);
  EXPECT_EQ(words[1], "a\"b\\c\r\n\t");
  EXPECT_EQ(words[2], "");
  EXPECT_EQ(words[3], "\xE7\xAE\x80\xE4\xBD\x93");  // 简体 in UTF-8
  ASSERT_TRUE(SplitScenarioLine("x \"\xE7\xAE\x80\" # not a comment here", words, error));
  EXPECT_EQ(words.size(), 7u);  // x, the text, and five words
}

TEST(ScenarioScript, BrokenQuotingIsAnErrorNamingTheLine) {
  EXPECT_EQ(ParseScenario("click 1005\nexpect-text 1005 \"Open\n").error, "line 2: unterminated quoted text");
  EXPECT_EQ(ParseScenario("expect-text 1005 \"Op\\qen\"\n").error, "line 1: unknown escape \\q");
  EXPECT_EQ(ParseScenario("expect-text 1005 \"\\u12\"\n").error, "line 1: \\u needs four hexadecimal digits");
  EXPECT_EQ(ParseScenario("expect-text 1005 \"Open\"x\n").error, "line 1: a quoted text must be followed by a space");
  EXPECT_EQ(ParseScenario("expect-text 1005 \"ends in a backslash\\").error, "line 1: unterminated quoted text");
}

TEST(ScenarioScript, UnknownStepsAndWrongArgumentsAreRejected) {
  EXPECT_EQ(ParseScenario("clik 1005\n").error, "line 1: unknown step 'clik'");
  EXPECT_NE(ParseScenario("click\n").error.find("too few arguments"), std::string::npos);
  EXPECT_NE(ParseScenario("click 1005 1006\n").error.find("too many arguments"), std::string::npos);
  EXPECT_EQ(ParseScenario("click Open\n").error, "line 1: click: 'Open' is not a number");
  EXPECT_EQ(ParseScenario("expect-enabled 1006 yes\n").error, "line 1: expect-enabled: 'yes' must be 0 or 1");
  EXPECT_EQ(ParseScenario("key escape\n").error, "line 1: key: 'escape' must be one of esc|enter|tab|space");
  EXPECT_EQ(ParseScenario("expect-label \"Ports\" above\n").error,
            "line 1: expect-label: 'above' must be one of inside|outside|hidden");
  EXPECT_EQ(ParseScenario("shot ../main\n").error,
            "line 1: shot: '../main' must be a plain word (letters, digits, - _ .)");
  EXPECT_NE(ParseScenario("close now\n").error, "");
}

TEST(ScenarioScript, OptionalAndRepeatedArguments) {
  EXPECT_EQ(ParseScenario("expect-box \"Open Com Error!\"\n").error, "");
  EXPECT_EQ(ParseScenario("expect-box \"Open Com Error!\" \"Error\"\n").error, "");
  EXPECT_NE(ParseScenario("expect-box \"a\" \"b\" \"c\"\n").error, "");
  EXPECT_EQ(ParseScenario("expect-combo 1004\n").error, "");  // an empty list
  EXPECT_EQ(ParseScenario("expect-combo 1064 None Beep Vibration\n").error, "");
  EXPECT_EQ(ParseScenario("command 1004 0x300\n").error, "");
  EXPECT_NE(ParseScenario("command 1004 0x300 1\n").error, "");
}

TEST(ScenarioScript, EveryVerbHasHelpThatStartsWithItsName) {
  for (const ScenarioVerb& verb : ScenarioVerbs()) {
    EXPECT_EQ(std::string(verb.help).rfind(verb.name, 0), 0u) << verb.name;
  }
}

TEST(ScenarioNumber, DecimalHexAndNegative) {
  long value = 0;
  ASSERT_TRUE(ParseScenarioNumber("1005", value));
  EXPECT_EQ(value, 1005);
  ASSERT_TRUE(ParseScenarioNumber("0xFFFF", value));
  EXPECT_EQ(value, 0xFFFF);
  ASSERT_TRUE(ParseScenarioNumber("0xf060", value));
  EXPECT_EQ(value, 0xF060);
  ASSERT_TRUE(ParseScenarioNumber("-1", value));
  EXPECT_EQ(value, -1);
  ASSERT_TRUE(ParseScenarioNumber("4294967295", value));
  EXPECT_EQ(static_cast<unsigned long>(value) & 0xFFFFFFFFul, 0xFFFFFFFFul);
}

TEST(ScenarioNumber, RejectsAnythingElse) {
  long value = 7;
  for (const char* bad : {"", "-", "0x", "12a", "1.5", " 1", "+1", "0x1G", "4294967296", "99999999999999999999"})
    EXPECT_FALSE(ParseScenarioNumber(bad, value)) << bad;
  EXPECT_EQ(value, 7);
}

TEST(ScenarioText, Utf8AndWideRoundTrip) {
  const std::string chinese = "\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87";  // 简体中文
  EXPECT_EQ(Utf8ToWide(chinese), std::wstring(L"\u7b80\u4f53\u4e2d\u6587"));
  EXPECT_EQ(WideToUtf8(L"\u7b80\u4f53\u4e2d\u6587"), chinese);
  EXPECT_EQ(WideToUtf8(Utf8ToWide("Lumet_V1.02.006")), "Lumet_V1.02.006");
  const std::string emoji = "\xF0\x9F\x98\x80";  // outside the basic plane: a surrogate pair on Windows
  EXPECT_EQ(WideToUtf8(Utf8ToWide(emoji)), emoji);
}

TEST(ScenarioText, MalformedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), std::wstring(L"a\uFFFDb"));
  EXPECT_EQ(Utf8ToWide("\xE7\xAE"), std::wstring(L"\uFFFD\uFFFD"));     // cut off
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(L"\uFFFD\uFFFD"));     // overlong '/'
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), std::wstring(L"\uFFFD\uFFFD\uFFFD"));  // a surrogate
}

}  // namespace
