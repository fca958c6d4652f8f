// The plain download's data in either shape: separators taken out only where
// the shape puts them, whatever the reads look like, and a stream that cannot
// be followed refused.
#include "protocol/download.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/exchange.h"

namespace {
const std::string Ok = OkMarker;

TEST(PlainDataCutter, TakesTheSeparatorOutOnlyWhereTheShapePutsIt) {
  const struct {
    const char* name;
    std::vector<std::string> feeds;  // as the reads brought them
    std::string separator;
    bool markerFirst;
    std::string text;  // what comes out
    bool followed;     // every Feed true
    bool finished;     // Finish true
  } cases[] = {
      {"whole piece, shorter last", {"ABCDEEND", "xyEND"}, "END", false, "ABCDExy", true, true},
      {"a piece split anywhere", {"A", "BCDEE", "N", "DxyE", "ND"}, "END", false, "ABCDExy", true, true},
      {"separator text inside a record", {"xEND\rEND", "A\rEND"}, "END", false, "xEND\rA\r", true, true},
      {"ends with a whole piece", {"ABCDEEND"}, "END", false, "ABCDE", true, true},
      {"last piece's separator across the piece size", {"ABCDEEND", "ABCDEN", "D"}, "END", false,
       "ABCDEABCD", true, true},
      {"a later whole piece without its separator", {"ABCDEEND", "ABCDEXYZ", "AEND"}, "END", false,
       "ABCDE", false, false},
      {"one run: only its end is cut", {"ABCDEXYZ", "ABEND"}, "END", false, "ABCDEXYZAB", true, true},
      {"one run: separator text inside stays", {"AEND\rBCD", "EF\rEND\rEND"}, "END", false,
       "AEND\rBCDEF\rEND\r", true, true},
      {"one run shorter than a piece", {"A\rEND\rEND"}, "END", false, "A\rEND\r", true, true},
      {"pieces of another size are one run", {"ABEND", "CDEND"}, "END", false, "ABENDCD", true, true},
      {"one run broken off: kept as it is", {"ABCDEFGH", "I\rJ"}, "END", false, "ABCDEFGHI\rJ", true,
       false},
      {"one run ending inside its separator", {"ABCDEFGH", "I\rEN"}, "END", false, "ABCDEFGHI\rEN",
       true, false},
      {"ends inside a piece: kept as it is", {"ABCDEEND", "A\rB"}, "END", false, "ABCDEA\rB", true,
       false},
      {"ends inside the last separator", {"A\rEN"}, "END", false, "A\rEN", true, false},
      {"marker first", {Ok + "AEND"}, "END", true, "A", true, true},
      {"a stray byte before the marker", {"x" + Ok + "AEND"}, "END", true, "A", true, true},
      {"marker split over reads", {"\r\n$$%", "~OK\r\nAE", "ND"}, "END", true, "A", true, true},
      {"no marker where one must lead", {"ABCDEEND", "ABCDEEND", "ABCDEEND"}, "END", true, "", false,
       false},
      {"a refusal instead of the marker", {ErMarker}, "END", true, "", true, false},
      {"no separator: no cut", {"ABCDEFGH", "IJ"}, "", false, "ABCDEFGHIJ", true, true},
      {"nothing at all", {}, "END", false, "", true, true},
  };
  for (const auto& c : cases) {
    PlainDataCutter cutter(c.separator, c.markerFirst, 8);
    std::string text;
    bool followed = true;
    for (const std::string& feed : c.feeds) followed = cutter.Feed(feed.data(), feed.size(), text) && followed;
    EXPECT_EQ(c.followed, followed) << c.name;
    EXPECT_EQ(c.finished, cutter.Finish(text)) << c.name;
    EXPECT_EQ(c.text, text) << c.name;
  }
}
}  // namespace
