// The in-memory window the core's tests run against behaves like the real controls.
#include "support/memory_controls.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
TEST(MemoryControls, TextIsCutToTheCallersCapacity) {
  MemoryControls c;
  c.SetText(1, L"abcdef");
  EXPECT_EQ(L"abc", c.GetText(1, 4));
  EXPECT_EQ(L"", c.GetText(1, 0));
  EXPECT_EQ("abcde", c.GetTextAnsi(1, 6));
  EXPECT_EQ(6u, c.TextLength(1));
}

TEST(MemoryControls, EditKeepsOnlyWhatFitsItsLimit) {
  MemoryControls c;
  c.SetTextLimit(2, 5);
  c.AppendAnsi(2, "abc");
  c.AppendAnsi(2, "defg");
  EXPECT_EQ(L"abcde", c.GetText(2, 100));
  c.ClearEdit(2);
  EXPECT_EQ(0u, c.TextLength(2));
}

TEST(MemoryControls, ComboSelectsByPrefixIgnoringAsciiCase) {
  MemoryControls c;
  c.ComboAppend(3, L"COM3");
  c.ComboAppend(3, L"COM120");
  EXPECT_EQ(1, c.ComboSelectPrefix(3, L"com12"));
  EXPECT_EQ(L"COM120", c.GetText(3, 10));
  EXPECT_EQ(-1, c.ComboSelectPrefix(3, L"COM7"));
  EXPECT_EQ(1, c.ComboSelection(3));  // a failed search changes nothing
  c.ComboReset(3);
  EXPECT_EQ(0, c.ComboCount(3));
  EXPECT_EQ(-1, c.ComboSelection(3));
}

TEST(MemoryControls, ListColumnsInsertLikeAListView) {
  MemoryControls c;
  c.ListInsertColumn(4, 1, L"Port", 66);
  c.ListInsertColumn(4, 2, L"SN", 112);
  c.ListInsertColumn(4, 3, L"Status", 144);
  EXPECT_EQ((std::vector<std::wstring>{L"Port", L"SN", L"Status"}), c.ListColumns(4));
  c.ListInsertRow(4, 0, L"COM3");
  c.ListSetCell(4, 0, 2, L"No Data!");
  c.ListSetCell(4, 5, 2, L"ignored");
  EXPECT_EQ(L"COM3", c.ListCell(4, 0, 0));
  EXPECT_EQ(L"", c.ListCell(4, 0, 1));
  EXPECT_EQ(L"No Data!", c.ListCell(4, 0, 2));
  EXPECT_EQ(1, c.ListRowCount(4));
}

TEST(MemoryControls, BoxesAreRecordedAndAnsweredInOrder) {
  MemoryControls c;
  c.QueueAnswers({AnswerNo});
  EXPECT_EQ(AnswerNo, c.ShowMessage(L"Delete?", L"Warning", BoxYesNo | BoxIconWarning));
  EXPECT_EQ(AnswerYes, c.ShowMessage(L"Delete?", L"Warning", BoxYesNo | BoxIconWarning));
  EXPECT_EQ(AnswerOk, ShowAppMessage(c, L"Send '*' Failed!", BoxIconError));
  auto boxes = c.Messages();
  ASSERT_EQ(3u, boxes.size());
  EXPECT_EQ(L"Lumet", boxes[2].caption);
}

TEST(MemoryControls, TwoThreadsMayUseItAtOnce) {
  MemoryControls c;
  c.SetTextLimit(1, 1 << 20);
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) c.AppendAnsi(1, "x");
  });
  for (int i = 0; i < 2000; ++i) c.SetEnabled(2, i % 2 == 0);
  worker.join();
  EXPECT_EQ(2000u, c.TextLength(1));
}
}  // namespace
