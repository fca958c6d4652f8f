// What a line of lumet-cli shows of text it did not write itself.
#include "cli/console_text.h"

#include <gtest/gtest.h>

namespace {
TEST(ConsoleText, ControlBytesAreShownNeverSent) {
  const struct {
    std::string text, shown;
  } rows[] = {
      {"KT52-0001", "KT52-0001"},
      {"KT\r\n52", "KT\\x0d\\x0a52"},
      {"\x1b[2J\x1b]0;owned\x07", "\\x1b[2J\\x1b]0;owned\\x07"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"tab\there\x7f", "tab\\x09here\\x7f"},
      {"K\xC3\xA4se \xE2\x82\xAC", "K\xC3\xA4se \xE2\x82\xAC"},  // UTF-8 stays as it is
      {"D:\\Scans\\x.txt", "D:\\Scans\\x.txt"},
  };
  for (const auto& row : rows) EXPECT_EQ(row.shown, OneLine(row.text)) << row.text;
}

TEST(ConsoleText, ABoxIsOneLineAfterItsPort) {
  const struct {
    std::string text, line;
  } rows[] = {
      {"{Model:KT52};\r\n{SN:KTA};\r\n{Records:3}", "COM3: {Model:KT52}; {SN:KTA}; {Records:3}"},
      {"Set Time Succeed!\r\n", "COM3: Set Time Succeed!"},
      {"one\n\ntwo\r", "COM3: one two\r"},  // a lone CR is left for OneLine to show
      {"", "COM3: "},
  };
  for (const auto& row : rows) EXPECT_EQ(row.line, BoxLine("COM3", row.text)) << row.text;
}
}  // namespace
