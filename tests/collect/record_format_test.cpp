// Cutting downloaded chunks into records, lines and export entries.
#include "collect/record_format.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/output_file.h"
#include "common/ansi_text.h"
#include "export/export_store.h"
#include "kt52sim/kt52_device.h"
#include "support/temp_folder.h"
#include "support/program_state.h"

namespace {
using Pieces = std::vector<std::string>;

TEST(SplitAtDelimiter, ReturnsThePiecesBeforeEachDelimiterAndTheRest) {
  EXPECT_EQ(SplitAtDelimiter("A\rB", '\r'), (Pieces{"A", "B"}));
  EXPECT_EQ(SplitAtDelimiter("A\r", '\r'), (Pieces{"A", ""}));
  EXPECT_EQ(SplitAtDelimiter("\r\r", '\r'), (Pieces{"", "", ""}));
  EXPECT_EQ(SplitAtDelimiter("", '\r'), (Pieces{""}));
  EXPECT_EQ(SplitAtDelimiter("A,B,,C", ','), (Pieces{"A", "B", "", "C"}));
}

TEST(OutputSeparator, FollowsTheSeparatorBox) {
  EXPECT_EQ(OutputSeparator(""), ",");
  EXPECT_EQ(OutputSeparator("tab"), "\t");
  EXPECT_EQ(OutputSeparator("Tab"), "Tab");
  EXPECT_EQ(OutputSeparator(";"), ";");
  EXPECT_EQ(OutputSeparator(" | "), " | ");
}

class RecordFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    Show(true, true);
    ASSERT_TRUE(file.OpenForAppend(folder.Wide() + L"\\out.txt"));
  }
  void TearDown() override { ResetProgramState(); }

  void Show(bool serial, bool time) {
    serialShown = serial;
    timeShown = time;
  }
  RecordLayout Layout(const std::string& separator, bool unixEnds) const {
    return {serialShown, timeShown, separator, unixEnds, {}, false, false};
  }
  // Formats the chunks of one download; the written bytes.
  std::string Download(const std::vector<std::string>& chunks, const std::string& separator = ",",
                       bool unixEnds = false, bool saveToFile = true) {
    RecordCarry carry;
    for (const std::string& chunk : chunks)
      EXPECT_TRUE(FormatChunk(Layout(separator, unixEnds), chunk.c_str(), saveToFile, &file, carry));
    taken.insert(taken.end(), carry.records.begin(), carry.records.end());
    return Written();
  }
  std::string Written() {
    file.Close();
    std::string bytes = folder.Read("out.txt");
    EXPECT_TRUE(file.OpenForAppend(folder.Wide() + L"\\out.txt"));
    return bytes;
  }
  struct Entry {
    std::wstring serial, time, barcode;
    bool operator==(const Entry&) const = default;
  };
  // The records taken by the downloads so far, or by the one of carry.
  std::vector<Entry> Stored(const RecordCarry* carry = nullptr) {
    std::vector<Entry> entries;
    const auto wide = [](const std::string& text) { return AnsiToWide(text.data(), text.size()); };
    for (const ScanRecord& r : carry ? carry->records : taken)
      entries.push_back({wide(r.serialNumber), wide(r.timeStamp), wide(r.barcode)});
    return entries;
  }

  bool serialShown = true;
  bool timeShown = true;
  std::vector<ScanRecord> taken;
  TempFolder folder;
  OutputFile file;
};

TEST_F(RecordFormat, BothFieldsWithCommaAndWindowsEnds) {
  EXPECT_EQ(Download({"S,D,T,ABC\r"}), "S,D,T,ABC\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S", L"D,T", L"ABC"}}));
}

TEST_F(RecordFormat, SemicolonWithUnixEndsKeepsTheTimeStampComma) {
  EXPECT_EQ(Download({"S,D,T,ABC\r"}, ";", true), "S;D,T;ABC\n");
}

TEST_F(RecordFormat, SerialNumberOnlyWithTab) {
  Show(true, false);
  EXPECT_EQ(Download({"S,ABC\r"}, "tab"), "S\tABC\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S", L"", L"ABC"}}));
}

TEST_F(RecordFormat, TimeStampOnly) {
  Show(false, true);
  EXPECT_EQ(Download({"D,T,A,B\r"}, ";"), "D,T;A,B\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"", L"D,T", L"A,B"}}));
}

TEST_F(RecordFormat, NeitherFieldKeepsTheCommasOfTheBarcode) {
  Show(false, false);
  EXPECT_EQ(Download({"A,B,C\r"}), "A,B,C\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"", L"", L"A,B,C"}}));
}

TEST_F(RecordFormat, SeparatorTextOtherThanTabIsUsedAsItStands) {
  EXPECT_EQ(Download({"S,D,T,ABC\r"}, "Tab"), "STabD,TTabABC\r\n");
  EXPECT_EQ(Download({"S,D,T,X\r"}, ""), "STabD,TTabABC\r\nS,D,T,X\r\n");
}

// The scanner sends both fields for the store; the file shows what was chosen.
TEST_F(RecordFormat, FieldsLeftOutOfTheLineAreStillStored) {
  const struct {
    bool serialLeftOut, timeLeftOut;
    const char* line;
  } rows[] = {{true, true, "ABC\r\n"}, {false, true, "S;ABC\r\n"}, {true, false, "D,T;ABC\r\n"}};
  std::string lines;
  for (const auto& row : rows) {
    ResetProgramState();
    RecordLayout layout = Layout(";", false);
    layout.serialLeftOut = row.serialLeftOut;
    layout.timeLeftOut = row.timeLeftOut;
    RecordCarry carry;
    EXPECT_TRUE(FormatChunk(layout, "S,D,T,ABC\r", true, &file, carry));
    EXPECT_EQ(lines += row.line, Written());
    EXPECT_EQ(Stored(&carry), (std::vector<Entry>{{L"S", L"D,T", L"ABC"}}));
  }
}

TEST_F(RecordFormat, OnlyCrEndsARecord) {
  Show(false, false);
  EXPECT_EQ(Download({"A\r\nB\r"}), "A\r\n\nB\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"", L"", L"A"}, {L"", L"", L"\nB"}}));
}

TEST_F(RecordFormat, EmptyRecordsBetweenCrsAreKept) {
  Show(false, false);
  EXPECT_EQ(Download({"\r\r"}), "\r\n\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"", L"", L""}, {L"", L"", L""}}));
}

TEST_F(RecordFormat, OneTrailingLineFeedIsRemovedFromTheBarcode) {
  Show(false, false);
  EXPECT_EQ(Download({"X\n\rY\n\n\r"}), "X\r\nY\n\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"", L"", L"X"}, {L"", L"", L"Y\n"}}));
  taken.clear();
  Show(true, false);
  EXPECT_EQ(Download({"S\n,X\n\r"}, ";"), "X\r\nY\n\r\nS\n;X\r\n");
}

TEST_F(RecordFormat, TextAfterTheLastCrWaitsForTheNextChunk) {
  Show(false, false);
  RecordCarry carry;
  ASSERT_TRUE(FormatChunk(Layout(",", false), "A\rB", true, &file, carry));
  EXPECT_EQ(Written(), "A\r\n");
  EXPECT_EQ(carry.pending, "B");
  // The download ends here: B never got its CR and is no record.
  EXPECT_EQ(Stored(&carry).size(), 1u);
}

TEST_F(RecordFormat, RecordSplitOverTwoChunksBecomesOneLine) {
  EXPECT_EQ(Download({"S1,2019/01/02,10:00:00,AB", "C\rS1,2019/01/02,10:00:01,XYZ\r"}),
            "S1,2019/01/02,10:00:00,ABC\r\nS1,2019/01/02,10:00:01,XYZ\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S1", L"2019/01/02,10:00:00", L"ABC"},
                                          {L"S1", L"2019/01/02,10:00:01", L"XYZ"}}));
}

TEST_F(RecordFormat, RecordSplitOverThreeChunksBecomesOneLine) {
  EXPECT_EQ(Download({"S1,2019/01/", "02,10:00:00,1234", "5678\r"}),
            "S1,2019/01/02,10:00:00,12345678\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S1", L"2019/01/02,10:00:00", L"12345678"}}));
}

TEST_F(RecordFormat, AnySplitOfADownloadGivesTheSameLinesAsTheWhole) {
  const std::string data = "S1,D1,T1,AAA\rS1,D2,T2,B,B\n\r\rS1,D3,T3,\r\nC\rS1,D4,T4,DDD\r";
  const std::string whole = Download({data});
  const std::vector<Entry> stored = Stored();
  for (std::size_t cut = 1; cut < data.size(); ++cut) {
    SCOPED_TRACE(cut);
    taken.clear();
    file.Close();
    folder.Write("out.txt", "");
    ASSERT_TRUE(file.OpenForAppend(folder.Wide() + L"\\out.txt"));
    EXPECT_EQ(Download({data.substr(0, cut), data.substr(cut)}), whole);
    EXPECT_EQ(Stored(), stored);
  }
}

TEST_F(RecordFormat, TheDownloadSeparatorInAShownFieldStopsTheRecordsThere) {
  const struct {
    const char* name;
    bool serial, time;
    std::string chunk;
    std::string written;
    bool stopped;
  } cases[] = {
      {"in a barcode: kept", true, true, "S,D,T,LEGEND-0042\rS,D,T,WEEKEND\r",
       "S,D,T,LEGEND-0042\r\nS,D,T,WEEKEND\r\n", false},
      {"in a serial number", true, true, "S,D,T,A\rSEND,D,T,B\rS,D,T,C\r", "S,D,T,A\r\n", true},
      {"in a time stamp", true, true, "S,D,T,A\rS,20END19/01/02,T,B\r", "S,D,T,A\r\n", true},
      {"in a time stamp, serial hidden", false, true, "D,TEND,B\r", "", true},
      {"no field shown: the record as it came", false, false, "KT5END2,D,T,A\r", "KT5END2,D,T,A\r\n",
       false},
      {"a record without its fields stays as it came", true, true, "SEND\r", "SEND\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    taken.clear();
    file.Close();
    folder.Write("out.txt", "");
    ASSERT_TRUE(file.OpenForAppend(folder.Wide() + L"\\out.txt"));
    Show(c.serial, c.time);
    RecordLayout layout = Layout(",", false);
    layout.downloadSeparator = "END";
    RecordCarry carry;
    EXPECT_TRUE(FormatChunk(layout, c.chunk.c_str(), true, &file, carry));
    EXPECT_TRUE(FormatChunk(layout, "S,D,T,LATER\r", true, &file, carry));
    EXPECT_EQ(c.stopped, carry.separatorInFields);
    EXPECT_EQ(c.stopped ? c.written : c.written + "S,D,T,LATER\r\n", Written());
    EXPECT_EQ(static_cast<int>(std::count(c.written.begin(), c.written.end(), '\r')) +
                  (c.stopped ? 0 : 1),
              static_cast<int>(carry.records.size()));
  }
}

TEST_F(RecordFormat, RecordThatCannotBeSplitIsKeptWholeAsItsBarcode) {
  Show(true, false);
  EXPECT_EQ(Download({"S,A\rNOCOMMA\rS,B\r"}), "S,A\r\nNOCOMMA\r\nS,B\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S", L"", L"A"}, {L"", L"", L"NOCOMMA"}, {L"S", L"", L"B"}}));
  taken.clear();
  Show(true, true);
  EXPECT_EQ(Download({"S,D\n\rS,D,T,C\r"}, ";"),
            "S,A\r\nNOCOMMA\r\nS,B\r\nS,D\n\r\nS;D,T;C\r\n");  // as it came, LF too
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"", L"", L"S,D\n"}, {L"S", L"D,T", L"C"}}));
}

TEST_F(RecordFormat, SaveToFileOffFillsTheStoreOnly) {
  EXPECT_EQ(Download({"S,D,T,ABC\r"}, ",", false, false), "");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S", L"D,T", L"ABC"}}));
  RecordCarry carry;
  EXPECT_TRUE(FormatChunk(Layout(",", false), "S,D,T,X\r", false, nullptr, carry));
  EXPECT_EQ(Stored(&carry), (std::vector<Entry>{{L"S", L"D,T", L"X"}}));
}

TEST_F(RecordFormat, EmptyChunkChangesNothing) {
  RecordCarry carry;
  carry.pending = "S,D";
  EXPECT_TRUE(FormatChunk(Layout(",", false), "", true, &file, carry));
  EXPECT_EQ(carry.pending, "S,D");
  EXPECT_EQ(Written(), "");
  EXPECT_TRUE(Stored(&carry).empty());
}

TEST_F(RecordFormat, ChunksAreAppendedToWhatTheFileHeld) {
  file.Close();
  folder.Write("out.txt", "old\r\n");
  ASSERT_TRUE(file.OpenForAppend(folder.Wide() + L"\\out.txt"));
  EXPECT_EQ(Download({"S,D,T,A\r", "S,D,T,B\r"}), "old\r\nS,D,T,A\r\nS,D,T,B\r\n");
}

TEST_F(RecordFormat, FailedWriteIsReported) {
  RecordCarry carry;
  OutputFile closed;
  EXPECT_FALSE(FormatChunk(Layout(",", false), "S,D,T,A\r", true, &closed, carry));
  EXPECT_FALSE(FormatChunk(Layout(",", false), "S,D,T,A\r", true, nullptr, carry));
  // A chunk without a complete record writes nothing, so nothing can fail.
  EXPECT_TRUE(FormatChunk(Layout(",", false), "S,D", true, &closed, carry));
  EXPECT_EQ(Stored(&carry).size(), 2u);  // the records are kept for the export all the same
}

TEST_F(RecordFormat, FullDiskIsReportedAndTheRecordIsStoredAllTheSame) {
  OutputFile full;  // every write to it fails: the disk is full
  if (!full.OpenForAppend(L"/dev/full")) GTEST_SKIP() << "no /dev/full to stand for a full disk here";
  RecordCarry carry;
  EXPECT_FALSE(FormatChunk(Layout(",", false), "S,D,T,A\r", true, &full, carry));
  EXPECT_EQ(Stored(&carry).size(), 1u);
}

TEST_F(RecordFormat, OverlongRecordIsKeptWholeAsItsBarcode) {
  const std::string block(MaxSplitRecord / 2 + 1, 'x');
  const std::string overlong = "S,D,T," + block + block + "tail";
  EXPECT_EQ(Download({"S,D,T,A\rS,D,T,", block, block, "tail\rS,D,T,B\r"}),
            "S,D,T,A\r\n" + overlong + "\r\nS,D,T,B\r\n");
  EXPECT_EQ(Stored(), (std::vector<Entry>{{L"S", L"D,T", L"A"},
                                          {L"", L"", std::wstring(overlong.begin(), overlong.end())},
                                          {L"S", L"D,T", L"B"}}));
}

TEST_F(RecordFormat, DownloadCutIntoSmallChunksLosesNoRecord) {
  kt52::DeviceOptions options;
  options.generatedRecords = 60;
  kt52::Kt52Device scanner(options);
  const std::string text = scanner.DownloadText();
  std::vector<std::string> chunks;
  for (std::size_t at = 0; at < text.size(); at += 97) chunks.push_back(text.substr(at, 97));
  const std::string written = Download(chunks);

  ASSERT_EQ(taken.size(), 60u);
  for (std::size_t k = 0; k < 60; ++k) {
    EXPECT_EQ(taken[k].serialNumber, "KT5200001");
    EXPECT_EQ(taken[k].barcode, scanner.Records()[k].barcode);
  }
  std::string expected = text;
  for (std::size_t at = 0; (at = expected.find('\r', at)) != std::string::npos; at += 2)
    expected.insert(at + 1, "\n");
  EXPECT_EQ(written, expected);
}
}  // namespace
