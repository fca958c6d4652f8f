// The export store and the statement texts that follow the column slots.
#include "export/export_store.h"

#include <gtest/gtest.h>

#include "common/ansi_text.h"
#include "ui/control_ids.h"
#include "support/memory_controls.h"
#include "ui/data_controls.h"
#include "ui/window_front_end.h"

namespace {
std::vector<std::wstring> Entries(const TextList& list) {
  std::vector<std::wstring> entries;
  for (std::size_t k = 0; k < list.size(); ++k) entries.push_back(list[k]);
  return entries;
}

class ExportStore : public ::testing::Test {
 protected:
  void SetUp() override { FillColumnSlots(dialog); }

  // Slot n (1..3): ticked or not, showing the item "SN", "Time" or "Data".
  void Slot(int n, bool ticked, const std::wstring& choice) {
    dialog.SetChecked(IDC_COLUMN_CHECK_1 + n - 1, ticked);
    for (int i = 0; i < dialog.ComboCount(IDC_COLUMN_LIST_1 + n - 1); ++i)
      if (dialog.ComboItemText(IDC_COLUMN_LIST_1 + n - 1, i) == choice)
        dialog.ComboSelect(IDC_COLUMN_LIST_1 + n - 1, i);
  }
  void Insert(int k) { ok = store.BuildInsertLists(WindowFrontEnd(dialog).TickedColumns(), columns, values, k); }
  // The three statement texts for record 0.
  void ExpectTexts(const std::wstring& definitions, const std::wstring& columnList,
                   const std::wstring& valueList) {
    EXPECT_EQ(ColumnDefinitionList(WindowFrontEnd(dialog).TickedColumns()), definitions);
    Insert(0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(columns, columnList);
    EXPECT_EQ(values, valueList);
  }

  MemoryControls dialog;
  ExportODBC store;
  std::wstring columns = L"old", values = L"old";
  bool ok = false;
};

TEST_F(ExportStore, StartsEmptyWithAllThreeSlotsTickedInOrder) {
  EXPECT_EQ(store.RecordCount, 0);
  EXPECT_TRUE(store.SerialNumbers.empty());
  EXPECT_TRUE(store.TimeStamps.empty());
  EXPECT_TRUE(store.Barcodes.empty());
  const wchar_t* shown[] = {L"SN", L"Time", L"Data"};
  for (int n = 0; n < 3; ++n) {
    EXPECT_TRUE(dialog.IsChecked(IDC_COLUMN_CHECK_1 + n));
    ASSERT_EQ(dialog.ComboCount(IDC_COLUMN_LIST_1 + n), 3);
    EXPECT_EQ(dialog.ComboItemText(IDC_COLUMN_LIST_1 + n, 0), L"SN");
    EXPECT_EQ(dialog.ComboItemText(IDC_COLUMN_LIST_1 + n, 1), L"Time");
    EXPECT_EQ(dialog.ComboItemText(IDC_COLUMN_LIST_1 + n, 2), L"Data");
    EXPECT_EQ(dialog.ComboItemText(IDC_COLUMN_LIST_1 + n, dialog.ComboSelection(IDC_COLUMN_LIST_1 + n)),
              shown[n]);
  }
}

TEST_F(ExportStore, RecordsAreAppendedInOrderAndResetEmptiesThem) {
  store.AppendRecord(L"S1", L"2019/01/02,10:00:00", L"ABC");
  store.AppendRecord(L"", L"", L"XYZ");
  store.SheetColumns = L"[SN] longTEXT";
  ASSERT_EQ(store.RecordCount, 2);
  EXPECT_EQ(Entries(store.SerialNumbers), (std::vector<std::wstring>{L"S1", L""}));
  EXPECT_EQ(Entries(store.TimeStamps), (std::vector<std::wstring>{L"2019/01/02,10:00:00", L""}));
  EXPECT_EQ(Entries(store.Barcodes), (std::vector<std::wstring>{L"ABC", L"XYZ"}));

  store.Reset();
  EXPECT_EQ(store.RecordCount, 0);
  EXPECT_TRUE(store.SerialNumbers.empty() && store.TimeStamps.empty() && store.Barcodes.empty());
  EXPECT_EQ(store.SheetColumns, L"[SN] longTEXT");
}

// The lists keep texts end to end in 16-bit units: every text comes back as it
// went in, across block ends and beyond what 16 bits carry, and nothing else.
TEST(TextListTest, EveryTextComesBackAsItWentIn) {
  const std::wstring block(TextList::BlockUnits, L'b');
  std::vector<std::wstring> texts = {L"", L"ABC", L"caf\u00e9 \u20ac", block.substr(3), L"x",
                                     block + L"yz", L""};
  if (sizeof(wchar_t) > 2) {  // what needs more than one 16-bit unit each
    texts.push_back(std::wstring(1, static_cast<wchar_t>(0x1F600)) + L"!");
    texts.push_back(std::wstring(1, static_cast<wchar_t>(0xD800)) +
                    static_cast<wchar_t>(0xDC00));
  }
  for (int i = 0; i < 3000; ++i) texts.push_back(std::to_wstring(i) + L",\u00e9");
  TextList list;
  for (const std::wstring& text : texts) ASSERT_TRUE(list.push_back(text));
  EXPECT_EQ(texts, Entries(list));
  EXPECT_EQ(L"", list[texts.size()]);  // past the end
  for (const std::string bytes : {"", "KT52,2024", "\xE9t\xE9 \x80"}) {  // ANSI: as widened
    ASSERT_TRUE(list.PushAnsi(bytes.data(), bytes.size()));
    EXPECT_EQ(AnsiToWide(bytes), list[list.size() - 1]);
  }
  list.clear();
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(L"", list[0]);
  ASSERT_TRUE(list.push_back(L"again"));
  EXPECT_EQ(L"again", list[0]);
}

TEST_F(ExportStore, DefaultSlotsGiveAllThreeColumns) {
  store.AppendRecord(L"S1", L"2019/01/02,10:00:00", L"ABC");
  ExpectTexts(L"[SN] longTEXT, [Time] longTEXT, [Data] longTEXT", L"[SN],[Time],[Data]",
              L"'S1','2019/01/02,10:00:00','ABC'");
}

TEST_F(ExportStore, ColumnsFollowTheTickedSlotsInSlotOrder) {
  store.AppendRecord(L"S1", L"T", L"ABC");
  Slot(1, true, L"Data");
  Slot(2, false, L"Time");
  Slot(3, true, L"SN");
  ExpectTexts(L"[Data] longTEXT, [SN] longTEXT", L"[Data],[SN]", L"'ABC','S1'");

  Slot(1, true, L"Data");
  Slot(2, true, L"Data");
  Slot(3, false, L"SN");
  ExpectTexts(L"[Data] longTEXT, [Data] longTEXT", L"[Data],[Data]", L"'ABC','ABC'");
}

TEST_F(ExportStore, NoTickedSlotGivesEmptyTexts) {
  store.AppendRecord(L"S1", L"T", L"ABC");
  for (int n = 1; n <= 3; ++n) Slot(n, false, L"SN");
  ExpectTexts(L"", L"", L"");
}

TEST_F(ExportStore, EmptyEntriesGiveTwoQuotes) {
  store.AppendRecord(L"", L"", L"ABC");
  Insert(0);
  EXPECT_EQ(values, L"'','','ABC'");
}

TEST_F(ExportStore, QuotesInsideValuesAreDoubled) {
  store.AppendRecord(L"O'Neil", L"''", L"x');DROP TABLE [KT52];--");
  Insert(0);
  EXPECT_EQ(values, L"'O''Neil','''''','x'');DROP TABLE [KT52];--'");
}

TEST_F(ExportStore, RecordOutsideTheStoreIsRefused) {
  store.AppendRecord(L"S1", L"T", L"ABC");
  Insert(1);
  EXPECT_FALSE(ok);
  EXPECT_EQ(columns, L"");
  EXPECT_EQ(values, L"");
  Insert(-1);
  EXPECT_FALSE(ok);
  store.Reset();
  Insert(0);
  EXPECT_FALSE(ok);
}

TEST_F(ExportStore, RowsOfSeveralRecordsTakeTheirOwnEntries) {
  store.AppendRecord(L"S1", L"T1", L"A");
  store.AppendRecord(L"S2", L"T2", L"B");
  Insert(1);
  EXPECT_EQ(values, L"'S2','T2','B'");
  Insert(0);
  EXPECT_EQ(values, L"'S1','T1','A'");
}
}  // namespace
