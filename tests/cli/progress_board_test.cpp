// The progress board on stderr: one line a scanner, redrawn in place, a
// scanner's line gone when it ends, the lines printed meanwhile above it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "cli/progress_board.h"

namespace {
struct BoardRow {
  const char* name;
  bool shown;
  const char* expected;  // stderr, cursor moves as written
};

TEST(ProgressBoard, DrawsOneLineAScannerAndPrintsEndedLinesAbove) {
  const BoardRow rows[] = {
      {"terminal", true,
       "A: 1 records, 30 bytes\x1b[K\n"
       "\r\x1b[1A\x1b[J" "A: 1 records, 30 bytes\x1b[K\nB: 2 records, 60 bytes\x1b[K\n"
       "\r\x1b[2A\x1b[J" "[A ended]B: 2 records, 60 bytes\x1b[K\n"},
      {"no terminal", false, "[A ended]"},
  };
  for (const BoardRow& row : rows) {
    SCOPED_TRACE(row.name);
    auto board = std::make_unique<ProgressBoard>(row.shown);
    ::testing::internal::CaptureStderr();
    board->Update("A", 1, 30);
    board->Update("B", 2, 60);
    board->PrintAbove([] { std::fputs("[A ended]", stderr); }, "A");
    EXPECT_EQ(row.expected, ::testing::internal::GetCapturedStderr());
    ::testing::internal::CaptureStderr();
    board.reset();  // the board goes with the run
    EXPECT_EQ(row.shown ? "\r\x1b[1A\x1b[J" : "", ::testing::internal::GetCapturedStderr());
  }
}
}  // namespace
