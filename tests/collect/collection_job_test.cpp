// "Get Barcodes" in manual and auto mode against simulated scanners.
#include "collect/collection_job.h"
#include "protocol/catalogue.h"
#include "ui/dialog_session.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "collect/output_naming.h"
#include "collect/record_format.h"
#include "common/worker.h"
#include "export/export_store.h"
#include "protocol/exchange.h"
#include "support/download_faults.h"
#include "support/gated_link.h"
#include "support/hostile_records.h"
#include "support/record_fields.h"
#include "support/resource_limit.h"
#include "support/scanner_desk.h"
#include "support/scanner_script.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"
#include "ui/worker_job.h"
#include "settings/settings.h"  // the close saves Config.ini
#include "ui/settings_controls.h"
#include "ui/scanner_operations.h"

namespace {
class CollectionJobTest : public ScannerDesk {
 protected:
  void OpenScanner(const kt52::DeviceOptions& options) {
    Attach(3, options);
    OpenPortAt(0);
  }
  // A download of 400 records held by gated inside its data; the window is
  // closed meanwhile.
  void CloseDuringDownload(GatedLink& gated) {
    kt52::DeviceOptions options = Scanner("S1", 400);
    options.frameSize = 1000;
    OpenScanner(options);
    DialogSession.link = &gated;
    ASSERT_TRUE(StartCollection(dialog));
    ASSERT_TRUE(gated.WaitUntilHeld()) << "the download never reached the gated read";
    EXPECT_TRUE(DispatchCommand(dialog, CloseCommandId, 0));
  }
  // The exchange on a scripted scanner behind the open port; "Save to file" off.
  void UseScriptedScanner(ScriptedLink& scripted) {
    DialogSession.link = &scripted;
    scripted.Open(3, 115200, 8, 0, 0, 0);
    dialog.SetEnabled(IDC_OPEN, false);
    dialog.SetChecked(IDC_SAVE_TO_FILE, false);
  }
  void StartAuto() {
    ASSERT_EQ(1, ToggleAutoMode(dialog));
    dialog.ClearMessages();
  }
  std::vector<std::wstring> Statuses() {
    std::vector<std::wstring> s;
    for (int row = 0; row < dialog.ListRowCount(IDC_DEVICE_LIST); ++row)
      s.push_back(dialog.ListCell(IDC_DEVICE_LIST, row, ColumnStatus));
    return s;
  }
  // Every record of sent (barcodes only) in the file, the box and the store.
  void ExpectEveryRecord(const std::string& sent, const std::wstring& file) {
    EXPECT_TRUE(WindowsLines(sent) == ReadOutput(file)) << "file bytes differ";
    EXPECT_TRUE(std::wstring(sent.begin(), sent.end()) ==
                dialog.GetText(IDC_BARCODE_DATA, 1 << 20))
        << "box text differs";
    std::vector<std::string> records = SplitAtDelimiter(sent, '\r');
    records.pop_back();
    ASSERT_EQ(static_cast<int>(records.size()), BarcodeExport.RecordCount);
    for (std::size_t i = 0; i < records.size(); ++i)
      ASSERT_EQ(std::wstring(records[i].begin(), records[i].end()), BarcodeExport.Barcodes[i]);
  }
  // Zero bytes inside records, right after a CR and (framed) on frame edges.
  void ExpectZeroBytesDropped(kt52::DeviceOptions options) {
    options.frameSize = 97;
    OpenScanner(options);
    UncheckRecordFields(dialog);
    const std::string sent = link.Device(3).DownloadText();
    ASSERT_NE(std::string::npos, sent.find('\0'));
    CollectionJob(dialog);
    ExpectEveryRecord(WithoutZeroBytes(sent), AutoName("Z", 1));
  }
  bool JobControlsEnabled() {
    for (int id : {IDC_GET_BARCODES, IDC_SET_TIME, IDC_SAVE_TO_FILE, IDC_AUTO_MODE, IDC_REFRESH,
                   IDC_DELETE_BARCODES, IDC_SEPARATOR, IDC_EXPORT})
      if (!dialog.IsEnabled(id)) return false;
    return true;
  }
};

TEST_F(CollectionJobTest, FramedDownloadGoesToTheFileTheBoxAndTheStore) {
  kt52::DeviceOptions options = Scanner("S1", 300);
  options.frameSize = 1000;  // records cut by frame boundaries
  OpenScanner(options);
  kt52::Kt52Device& scanner = link.Device(3);
  const std::string sent = scanner.DownloadText();

  CollectionJob(dialog);

  const std::wstring name = AutoName("S1", 1);
  EXPECT_EQ(WindowsLines(sent), ReadOutput(name));
  EXPECT_EQ(std::wstring(sent.begin(), sent.end()), dialog.GetText(IDC_BARCODE_DATA, 1 << 20));
  EXPECT_EQ(name, dialog.GetText(IDC_FILE_NAME, 260));
  ASSERT_EQ(300, BarcodeExport.RecordCount);
  EXPECT_EQ(L"S1", BarcodeExport.SerialNumbers[0]);
  EXPECT_EQ(std::wstring::npos, BarcodeExport.TimeStamps[0].find(L"\r"));
  auto boxes = dialog.Messages();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Save Data Succeed!Barcodes in:\r\n" + folder.Wide() + L"\\" + name, boxes[0].text);
  EXPECT_EQ(L"Information", boxes[0].caption);
  EXPECT_EQ(static_cast<unsigned>(BoxIconInformation), boxes[0].flags);
  EXPECT_EQ((std::vector<std::string>{"$$%^1400", "$$%^0300", "$$%^5202", "$$%^0206"}),
            scanner.Commands());
  EXPECT_TRUE(link.IsOpen());  // manual mode leaves the port open
  EXPECT_TRUE(JobControlsEnabled());
  EXPECT_TRUE(dialog.IsEnabled(IDC_CLOSE));
}

TEST_F(CollectionJobTest, PlainDownloadAsksForTheSeparatorAndCutsItOff) {
  kt52::DeviceOptions options = Scanner("P7", 500, kt52::Transport::Plain);
  options.separator = "<EOB>";
  OpenScanner(options);
  kt52::Kt52Device& scanner = link.Device(3);
  const std::string sent = scanner.DownloadText();
  ASSERT_GT(scanner.PlainPieces().size(), 1u);

  CollectionJob(dialog);

  EXPECT_EQ(WindowsLines(sent), ReadOutput(AutoName("P7", 1)));
  EXPECT_EQ(std::wstring(sent.begin(), sent.end()), dialog.GetText(IDC_BARCODE_DATA, 1 << 20));
  EXPECT_EQ(500, BarcodeExport.RecordCount);
  // The separator asked for again at the end: the scanner is still there, with nothing more.
  EXPECT_EQ((std::vector<std::string>{"$$%^1400", "$$%^0300", "$$%^5603", "$$%^5202", "$$%^0206",
                                      "$$%^5603"}),
            scanner.Commands());
}

TEST_F(CollectionJobTest, BarcodesHoldingTheSeparatorTextAreAllKept) {
  OpenScanner(HiddenFieldsScanner("P7", SeparatorLookalikeRecords(3), kt52::Transport::Plain));
  UncheckRecordFields(dialog);
  const std::string sent = link.Device(3).DownloadText();
  ASSERT_EQ(4u, link.Device(3).PlainPieces().size());
  ASSERT_EQ(0u, link.Device(3).PlainPieces()[1].find("ENDIVE\rLEGEND-0042\r"));
  CollectionJob(dialog);
  ExpectEveryRecord(sent, AutoName("P7", 1));
  EXPECT_EQ(0u, MessageTexts().at(0).find(L"Save Data Succeed!"));
}

TEST_F(CollectionJobTest, ZeroBytesInFramedDataAreDroppedAndEveryRecordKept) {
  ExpectZeroBytesDropped(HiddenFieldsScanner("Z", ZeroByteRecords(60), kt52::Transport::Framed));
}

TEST_F(CollectionJobTest, ZeroBytesInPlainDataAreDroppedAndEveryRecordKept) {
  kt52::DeviceOptions options = HiddenFieldsScanner("Z", ZeroByteRecords(3000), kt52::Transport::Plain);
  ASSERT_GT(kt52::Kt52Device(options).PlainPieces().size(), 1u);
  ExpectZeroBytesDropped(options);
}

TEST_F(CollectionJobTest, UncheckedItemsAreHiddenAndTheLinesFollowTheChoices) {
  OpenScanner(Scanner("S1", 3));
  dialog.SetChecked(IDC_SHOW_SERIAL_NUMBER, false);
  dialog.SetChecked(IDC_SHOW_TIME_STAMP, false);
  dialog.SetChecked(IDC_LINE_WINDOWS, false);
  dialog.SetChecked(IDC_LINE_UNIX, true);
  dialog.SetText(IDC_SEPARATOR, L";");
  const auto& records = link.Device(3).Records();

  CollectionJob(dialog);

  std::string expected;
  for (const auto& r : records) expected += r.barcode + "\n";
  EXPECT_EQ(expected, ReadOutput(AutoName("S1", 1)));
  EXPECT_EQ("$$%^1401", link.Device(3).Commands()[0]);
  EXPECT_EQ("$$%^0301", link.Device(3).Commands()[1]);
  EXPECT_EQ(L"", BarcodeExport.SerialNumbers[0]);
}

TEST_F(CollectionJobTest, SecondDownloadOfTheDayGetsTheNextNumber) {
  OpenScanner(Scanner("S1", 2));
  folder.Write("S1_20190102_007.txt", "old\r\n");
  CollectionJob(dialog);
  EXPECT_TRUE(OutputExists(AutoName("S1", 8)));
  EXPECT_EQ("old\r\n", ReadOutput(AutoName("S1", 7)));
}

TEST_F(CollectionJobTest, EmptyScannerLeavesNoEmptyFileBehind) {
  OpenScanner(Scanner("S1", 0));
  CollectionJob(dialog);
  EXPECT_FALSE(OutputExists(AutoName("S1", 1)));
  EXPECT_EQ(L"", dialog.GetText(IDC_FILE_NAME, 260));
  EXPECT_EQ((std::vector<std::wstring>{L"No Data!"}), MessageTexts());
  EXPECT_EQ(L"Information", dialog.Messages()[0].caption);
  EXPECT_EQ(0, BarcodeExport.RecordCount);
}

TEST_F(CollectionJobTest, EmptyScannerKeepsACustomFileThatHadContent) {
  OpenScanner(Scanner("S1", 0));
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  dialog.SetText(IDC_FILE_NAME, L"report");
  folder.Write("report.txt", "kept\r\n");
  CollectionJob(dialog);
  EXPECT_EQ("kept\r\n", ReadOutput(L"report.txt"));
  EXPECT_EQ((std::vector<std::wstring>{L"No Data!"}), MessageTexts());
}

TEST_F(CollectionJobTest, CustomNameGetsTheExtensionOfTheChosenType) {
  OpenScanner(Scanner("S1", 2));
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  dialog.SetChecked(IDC_TYPE_TXT, false);
  dialog.SetChecked(IDC_TYPE_CSV, true);
  dialog.SetText(IDC_FILE_NAME, L"shelf.txt");
  CollectionJob(dialog);
  EXPECT_TRUE(OutputExists(L"shelf.csv"));
  EXPECT_EQ((std::vector<std::string>{"$$%^1400", "$$%^0300", "$$%^0206"}),
            link.Device(3).Commands());  // no serial number asked for
}

TEST_F(CollectionJobTest, WithoutSaveToFileNothingIsNamedOrWritten) {
  OpenScanner(Scanner("S1", 4));
  dialog.SetChecked(IDC_SAVE_TO_FILE, false);
  CollectionJob(dialog);
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_EQ((std::vector<std::wstring>{L"Get Data Succeed!"}), MessageTexts());
  EXPECT_EQ(4, BarcodeExport.RecordCount);
}

TEST_F(CollectionJobTest, WithoutAnOpenPortOnlyWarns) {
  Attach(3, Scanner("S1", 4));
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Please Open Ports!"}), MessageTexts());
  EXPECT_EQ(0u, link.OpenCount());
  EXPECT_TRUE(JobControlsEnabled());
}

TEST_F(CollectionJobTest, RefusedDisplayItemsEndTheJobAndKeepThePreviousRecords) {
  kt52::DeviceOptions options = Scanner("S1", 4);
  options.refused = {"0300"};
  OpenScanner(options);
  BarcodeExport.AppendRecord(L"S0", L"t", L"earlier");
  CollectionJob(dialog);
  auto boxes = dialog.Messages();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Set KT52 Display Items Failed!", boxes[0].text);
  EXPECT_EQ(L"Lumet", boxes[0].caption);
  EXPECT_EQ(1, BarcodeExport.RecordCount);
  EXPECT_EQ(2u, link.Device(3).Commands().size());
}

TEST_F(CollectionJobTest, MissingDefaultSeparatorEndsAPlainJob) {
  kt52::DeviceOptions options = Scanner("S1", 4, kt52::Transport::Plain);
  options.silentAfter = 2;  // the two display items, then nothing
  OpenScanner(options);
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Get KT52 Default Separator Failed!"}), MessageTexts());
  EXPECT_FALSE(OutputExists(AutoName("S1", 1)));
}

TEST_F(CollectionJobTest, UnansweredSerialNumberIsAFileNameFailure) {
  kt52::DeviceOptions options = Scanner("S1", 4);
  options.silentAfter = 2;
  OpenScanner(options);
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Get File Name Failed!"}), MessageTexts());
  EXPECT_EQ(L"Error", dialog.Messages()[0].caption);
  EXPECT_EQ(0, BarcodeExport.RecordCount);  // reset, then nothing stored
}

TEST_F(CollectionJobTest, EmptyCustomNameAsksForOne) {
  OpenScanner(Scanner("S1", 4));
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  dialog.SetText(IDC_FILE_NAME, L"");
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Please Enter File Name!"}), MessageTexts());
}

TEST_F(CollectionJobTest, FileThatCannotBeOpenedIsReported) {
  OpenScanner(Scanner("S1", 4));
  OutputFolder = folder.Wide() + L"\\missing";
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Open File Failed!"}), MessageTexts());
  EXPECT_EQ(std::vector<std::string>({"$$%^1400", "$$%^0300", "$$%^5202"}),
            link.Device(3).Commands());  // nothing downloaded
}

TEST_F(CollectionJobTest, UnpluggedScannerFailsAndKeepsWhatArrived) {
  kt52::DeviceOptions options = Scanner("S1", 200);
  options.frameSize = 500;
  options.closeAfter = 3;
  OpenScanner(options);
  const std::string sent = link.Device(3).DownloadText();
  CollectionJob(dialog);
  std::string arrived = sent.substr(0, 1500);
  std::string complete = arrived.substr(0, arrived.rfind('\r') + 1);
  EXPECT_EQ(WindowsLines(complete), ReadOutput(AutoName("S1", 1)));
  EXPECT_EQ(static_cast<int>(std::count(complete.begin(), complete.end(), '\r')),
            BarcodeExport.RecordCount);
  EXPECT_EQ((std::vector<std::wstring>{L"Get Data Failed!"}), MessageTexts());
  EXPECT_TRUE(DialogHistory.LastFailed(3));
}

TEST_F(CollectionJobTest, DataWithoutACompleteRecordIsShownButIsNoFinishedDownload) {
  ScriptedLink scripted;
  UseScriptedScanner(scripted);
  ScriptWakeUp(scripted, true);
  const ScriptedLink::Bytes ack = {0x02, 0x01, Ack, 0x00, 0x03};
  scripted.ReplyToNextWrite({ack});                      // show serial number
  scripted.ReplyToNextWrite({ack});                      // show time stamp
  scripted.ReplyToNextWrite({ack, DataFrame("NO-CR")});  // download: then one frame
  scripted.ReplyToNextWrite({});                         // the frame's acknowledgement
  ScriptWakeUp(scripted, true);                          // still there, and idle
  CollectionJob(dialog);
  EXPECT_EQ(L"NO-CR", dialog.GetText(IDC_BARCODE_DATA, 100));
  EXPECT_EQ((std::vector<std::wstring>{L"Get Data Failed!"}), MessageTexts());
  EXPECT_EQ(0, BarcodeExport.RecordCount);
}

// A plain scanner whose OK for the download comes after the host's 500 ms:
// the marker leads the first chunk and is dropped there, not taken as records.
TEST_F(CollectionJobTest, PlainOkMarkerThatComesLateIsNoRecord) {
  ScriptedLink scripted;
  UseScriptedScanner(scripted);
  dialog.SetChecked(IDC_SHOW_SERIAL_NUMBER, false);
  dialog.SetChecked(IDC_SHOW_TIME_STAMP, false);
  ScriptWakeUp(scripted, false);
  scripted.ReplyToNextWrite({ToBytes(OkMarker)});  // hide serial number
  scripted.ReplyToNextWrite({ToBytes(OkMarker)});  // hide time stamp
  ScriptQueryReply(scripted, false, "Separator:END");
  scripted.ReplyToNextWrite({ToBytes(std::string(OkMarker) + "A1\rB2\rEND")});
  ScriptQueryReply(scripted, false, "Separator:END");  // asked again at the end
  scripted.onWrite = [](ScriptedLink& l, const ScriptedLink::Bytes& written) {
    if (ToText(written) == Command::DownloadBarcodes) l.silentReads = 1;
  };
  CollectionJob(dialog);
  EXPECT_EQ(L"A1\rB2\r", dialog.GetText(IDC_BARCODE_DATA, 100));
  EXPECT_EQ((std::vector<std::wstring>{L"Get Data Succeed!"}), MessageTexts());
  ASSERT_EQ(2, BarcodeExport.RecordCount);
  EXPECT_EQ(L"A1", BarcodeExport.Barcodes[0]);
  EXPECT_EQ(L"B2", BarcodeExport.Barcodes[1]);
}

TEST_F(CollectionJobTest, MoreTextThanTheBoxHoldsStillReachesFileAndStore) {
  OpenScanner(Scanner("S1", 100));
  dialog.SetTextLimit(IDC_BARCODE_DATA, 64);
  const std::string sent = link.Device(3).DownloadText();
  CollectionJob(dialog);
  EXPECT_EQ(64u, dialog.TextLength(IDC_BARCODE_DATA));
  EXPECT_EQ(WindowsLines(sent), ReadOutput(AutoName("S1", 1)));
  EXPECT_EQ(100, BarcodeExport.RecordCount);
}

// The outcome is what the job received and stored, not what the box (which
// the user can edit) shows at the end.
TEST_F(CollectionJobTest, BoxEmptiedDuringTheDownloadStillGivesItsOutcome) {
  OpenScanner(Scanner("S1", 100));
  dialog.onAppend = [&](int id) {
    if (id == IDC_BARCODE_DATA) dialog.ClearEdit(id);
  };
  CollectionJob(dialog);
  EXPECT_EQ(0u, dialog.TextLength(IDC_BARCODE_DATA));
  EXPECT_EQ(0u, MessageTexts().at(0).find(L"Save Data Succeed!"));
  EXPECT_EQ(100, BarcodeExport.RecordCount);
}

TEST_F(CollectionJobTest, FailedWriteIsReportedAndKeepsWhatWasWritten) {
  kt52::DeviceOptions options = Scanner("S1", 100);
  options.frameSize = 400;
  OpenScanner(options);
  {
    ResourceLimitScope fullDisk(RLIMIT_FSIZE, 1000);  // the disk is full after 1000 bytes
    CollectionJob(dialog);
  }

  EXPECT_EQ((std::vector<std::wstring>{L"Write File Failed!"}), MessageTexts());
  EXPECT_EQ(L"Error", dialog.Messages()[0].caption);
  std::string kept = ReadOutput(AutoName("S1", 1));
  EXPECT_FALSE(kept.empty());
  EXPECT_LE(kept.size(), 1000u);
  EXPECT_EQ(0u, WindowsLines(link.Device(3).DownloadText()).find(kept));
  EXPECT_EQ(100, BarcodeExport.RecordCount);  // the store still has every record
}

TEST_F(CollectionJobTest, AutoModeServesEveryPortAndSkipsOneThatFails) {
  Attach(3, Scanner("A3", 5));
  AttachDeadPort(5);
  Attach(7, Scanner("C7", 6, kt52::Transport::Plain));
  StartAuto();
  ASSERT_EQ(3, dialog.ListRowCount(IDC_DEVICE_LIST));

  CollectionJob(dialog);

  EXPECT_EQ((std::vector<std::wstring>{L"Save Data Succeed!", L"Open Ports Failed!",
                                       L"Save Data Succeed!"}),
            Statuses());
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(WindowsLines(link.Device(3).DownloadText()), ReadOutput(AutoName("A3", 1)));
  EXPECT_EQ(WindowsLines(link.Device(7).DownloadText()), ReadOutput(AutoName("C7", 1)));
  ASSERT_EQ(11, BarcodeExport.RecordCount);
  EXPECT_EQ(L"A3", BarcodeExport.SerialNumbers[0]);
  EXPECT_EQ(L"C7", BarcodeExport.SerialNumbers[10]);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(JobControlsEnabled());
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN));  // auto mode keeps the single-port controls off
}

TEST_F(CollectionJobTest, AutoModeWithACustomNameAppendsEveryPortToOneFile) {
  Attach(3, Scanner("A3", 2));
  Attach(4, Scanner("B4", 3));
  StartAuto();
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  dialog.SetText(IDC_FILE_NAME, L"all");
  CollectionJob(dialog);
  EXPECT_EQ(WindowsLines(link.Device(3).DownloadText() + link.Device(4).DownloadText()),
            ReadOutput(L"all.txt"));
}

TEST_F(CollectionJobTest, AutoModeWithAnEmptyCustomNameEndsTheWholeJob) {
  Attach(3, Scanner("A3", 2));
  Attach(4, Scanner("B4", 3));
  StartAuto();
  dialog.SetChecked(IDC_AUTO_NAMING, false);
  dialog.SetText(IDC_FILE_NAME, L"");
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Please Enter File Name!"}), MessageTexts());
  EXPECT_TRUE(link.Device(4).Commands().size() <= 1u);  // at most the serial number at refresh
  EXPECT_EQ(0, BarcodeExport.RecordCount);
}

TEST_F(CollectionJobTest, AutoModeReportsEachPortsOwnFailure) {
  kt52::DeviceOptions silent = Scanner("A3", 2);
  silent.silentAfter = 3;  // the refresh's serial number and two display items
  Attach(3, silent);
  kt52::DeviceOptions empty = Scanner("B4", 0);
  Attach(4, empty);
  StartAuto();
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Get File Name Failed!", L"No Data!"}), Statuses());
  EXPECT_FALSE(OutputExists(AutoName("B4", 1)));
}

TEST_F(CollectionJobTest, AutoModeTakesEachPortsOwnSeparator) {
  kt52::DeviceOptions first = Scanner("A3", 600, kt52::Transport::Plain);
  first.separator = "#SEP#";
  kt52::DeviceOptions second = Scanner("B4", 600, kt52::Transport::Plain);
  second.separator = "!";
  Attach(3, first);
  Attach(4, second);
  ASSERT_GT(link.Device(4).PlainPieces().size(), 1u);
  StartAuto();
  CollectionJob(dialog);
  EXPECT_EQ(WindowsLines(link.Device(3).DownloadText()), ReadOutput(AutoName("A3", 1)));
  EXPECT_EQ(WindowsLines(link.Device(4).DownloadText()), ReadOutput(AutoName("B4", 1)));
}

TEST_F(CollectionJobTest, SerialNumbersAreMadeSafeOnlyInTheFileName) {
  const struct {
    std::string serial, inName;
  } cases[] = {{"..\\X", ".._X"}, {"A/B", "A_B"}, {"C:D", "C_D"}, {"T\tB", "T_B"},
               {"*?\"<>|", "______"}};
  for (std::uint32_t i = 0; i < 5; ++i) Attach(3 + i, Scanner(cases[i].serial, 2));
  StartAuto();
  CollectionJob(dialog);
  for (std::uint32_t i = 0; i < 5; ++i) {
    const std::wstring serial(cases[i].serial.begin(), cases[i].serial.end());
    EXPECT_EQ(serial, dialog.ListCell(IDC_DEVICE_LIST, static_cast<int>(i), ColumnSerialNumber));
    EXPECT_EQ(WindowsLines(link.Device(3 + i).DownloadText()),
              ReadOutput(AutoName(cases[i].inName, 1)))
        << cases[i].inName;
    EXPECT_EQ(serial, BarcodeExport.SerialNumbers[2 * i]);
  }
  auto files = std::distance(std::filesystem::directory_iterator(folder.Path()),
                             std::filesystem::directory_iterator());
  EXPECT_EQ(5, files);  // each in the output folder, none beside it
  EXPECT_FALSE(std::filesystem::exists(folder.Path().parent_path() / "X_20190102_001.txt"));
}

TEST_F(CollectionJobTest, DownloadGivenUpOnBrokenFramesFailsAndKeepsWhatArrived) {
  kt52::DeviceOptions options = Scanner("S1", 200);
  options.frameSize = 500;
  options.badXorFrame = 4;  // the serial number's frame, two download frames, then broken
  options.badXorAlways = true;
  OpenScanner(options);
  const std::string arrived = link.Device(3).DownloadText().substr(0, 1000);
  const std::string complete = arrived.substr(0, arrived.rfind('\r') + 1);
  CollectionJob(dialog);
  EXPECT_EQ(WindowsLines(complete), ReadOutput(AutoName("S1", 1)));
  EXPECT_EQ(std::wstring(arrived.begin(), arrived.end()), dialog.GetText(IDC_BARCODE_DATA, 4096));
  EXPECT_EQ(std::count(complete.begin(), complete.end(), '\r'), BarcodeExport.RecordCount);
  auto boxes = dialog.Messages();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Get Data Failed!", boxes[0].text);
  EXPECT_EQ(L"Error", boxes[0].caption);
  EXPECT_EQ(static_cast<unsigned>(BoxIconError), boxes[0].flags);
}

TEST_F(CollectionJobTest, FrameWhoseTailComesAfterTheWindowIsReceivedWhole) {
  kt52::DeviceOptions options = Scanner("S1", 300);
  options.frameSize = 1000;
  options.lateTailFrame = 3;  // the second download frame
  options.lateTailMs = 700;   // after the host's 500 ms window, within the 2,000 ms gap
  OpenScanner(options);
  const std::string sent = link.Device(3).DownloadText();
  CollectionJob(dialog);
  EXPECT_EQ(WindowsLines(sent), ReadOutput(AutoName("S1", 1)));
  EXPECT_EQ(300, BarcodeExport.RecordCount);
  EXPECT_EQ(0u, link.Device(3).HostNaks());  // not cut by the window
  EXPECT_EQ(0u, MessageTexts().at(0).find(L"Save Data Succeed!"));
}

TEST_F(CollectionJobTest, AutoModeReportsAGivenUpDownloadAndGoesOn) {
  kt52::DeviceOptions broken = Scanner("A3", 20);
  broken.badXorFrame = 3;  // refresh and file name, then every download frame
  broken.badXorAlways = true;
  Attach(3, broken);
  Attach(4, Scanner("B4", 3));
  StartAuto();
  CollectionJob(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Get Data Failed!", L"Save Data Succeed!"}), Statuses());
  EXPECT_FALSE(OutputExists(AutoName("A3", 1)));  // nothing arrived: no empty file
  EXPECT_EQ(3, BarcodeExport.RecordCount);
}

TEST_F(CollectionJobTest, AutoModeWithoutPortsEndsAtOnce) {
  StartAuto();
  BarcodeExport.AppendRecord(L"", L"", L"old");
  CollectionJob(dialog);
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(0, BarcodeExport.RecordCount);
  EXPECT_TRUE(JobControlsEnabled());
}

class DownloadFaultTest : public CollectionJobTest,
                          public ::testing::WithParamInterface<DownloadFault> {};

TEST_P(DownloadFaultTest, EndsInSuccessWithEveryRecordOrFailsKeepingWhatArrived) {
  const DownloadFault& fault = GetParam();
  if (fault.endless) DialogSession.limits = {EndlessLimitBytes, MaxDownloadMs};
  OpenScanner(FaultyScanner(fault));
  CollectionJob(dialog);
  const std::vector<std::wstring> boxes = MessageTexts();
  ASSERT_EQ(1u, boxes.size());
  const std::wstring file = AutoName("F1", 1);
  ExpectDownloadProperty(fault, boxes[0], OutputExists(file) ? ReadOutput(file) : "");
  EXPECT_EQ(!fault.succeeds, DialogHistory.LastFailed(3));
}

INSTANTIATE_TEST_SUITE_P(Faults, DownloadFaultTest, ::testing::ValuesIn(DownloadFaults()),
                         [](const auto& info) { return FaultTestName(info.param); });

class DefaultSeparatorReply : public ScriptedScannerTest {};

TEST_F(DefaultSeparatorReply, IsTheTextAfterTheFirstColon) {
  std::string separator = "old";
  ScriptQueryReply(link, false, "Separator:;");
  ASSERT_TRUE(QueryDefaultSeparator(DialogSession, separator));
  EXPECT_EQ(";", separator);
  ScriptQueryReply(link, false, "Separator:");
  ASSERT_TRUE(QueryDefaultSeparator(DialogSession, separator));
  EXPECT_EQ("", separator);
  ScriptQueryReply(link, false, "none");
  ASSERT_TRUE(QueryDefaultSeparator(DialogSession, separator));
  EXPECT_EQ("", separator);
  ScriptQueryReply(link, false, "a:b:c");
  ASSERT_TRUE(QueryDefaultSeparator(DialogSession, separator));
  EXPECT_EQ("b:c", separator);
  EXPECT_FALSE(QueryDefaultSeparator(DialogSession, separator));  // no answer
}

TEST_F(CollectionJobTest, WorkerRunsWhileTheWindowStaysUsable) {
  kt52::DeviceOptions options = Scanner("S1", 400);
  options.frameSize = 1000;
  OpenScanner(options);
  GatedLink gated(link, 8);  // inside the download
  DialogSession.link = &gated;
  ASSERT_TRUE(StartCollection(dialog));
  ASSERT_TRUE(gated.WaitUntilHeld()) << "the download never reached the gated read";
  EXPECT_TRUE(IsCollectionRunning());
  EXPECT_FALSE(dialog.IsEnabled(IDC_GET_BARCODES));
  EXPECT_FALSE(dialog.IsEnabled(IDC_EXPORT));  // the store is being filled
  EXPECT_FALSE(dialog.IsEnabled(IDC_CLOSE));
  EXPECT_TRUE(dialog.IsEnabled(IDC_RESPONSE));
  gated.Release();
  ASSERT_TRUE(WaitForWorkerJobEnd()) << "the job still runs after the deadline";
  EXPECT_TRUE(JobControlsEnabled());
  EXPECT_EQ(400, BarcodeExport.RecordCount);
  EXPECT_TRUE(dialog.TakePostedCommands().empty());
}

TEST_F(CollectionJobTest, ClosingDuringADownloadLetsItFinishAndThenCloses) {
  GatedLink gated(link, 8);
  ASSERT_NO_FATAL_FAILURE(CloseDuringDownload(gated));
  EXPECT_EQ(-1, dialog.DialogResult());  // not yet: the job is still writing
  gated.Release();
  ASSERT_TRUE(WaitForWorkerJobEnd()) << "the job still runs after the deadline";

  EXPECT_EQ(std::vector<int>{CloseCommandId}, dialog.TakePostedCommands());
  EXPECT_TRUE(MessageTexts().empty());
  EXPECT_EQ(WindowsLines(link.Device(3).DownloadText()), ReadOutput(AutoName("S1", 1)));
  EXPECT_EQ(400, BarcodeExport.RecordCount);
  EXPECT_FALSE(DialogHistory.LastFailed(3));
  EXPECT_EQ("", programFolder.Read("Config.ini"));  // as start-up made it
  EXPECT_TRUE(DispatchCommand(dialog, CloseCommandId, 0));  // the posted close
  EXPECT_EQ(CloseDialogResult, dialog.DialogResult());
  EXPECT_EQ(EncodeSettings(CollectSettings(dialog)), programFolder.Read("Config.ini"));
}

TEST_F(CollectionJobTest, CloseTakenTheMomentTheJobPostsItIsCarriedOut) {
  dialog.RoutePostedCommands(&DispatchCommand);
  GatedLink gated(link, 8);
  ASSERT_NO_FATAL_FAILURE(CloseDuringDownload(gated));
  gated.Release();
  ASSERT_TRUE(WaitForWorkerJobEnd()) << "the job still runs after the deadline";
  EXPECT_EQ(CloseDialogResult, dialog.DialogResult());  // not deferred a second time
}

TEST_F(CollectionJobTest, ClickWhileTheJobGivesItsControlsBackIsTakenAfterThat) {
  OpenScanner(Scanner("S1", 4));
  std::atomic<int> clickStarted{-1};
  dialog.onEnabled = [&](int id, bool enabled) {
    if (id == IDC_GET_BARCODES && enabled && clickStarted == -1)
      clickStarted = StartCollection(dialog);
  };
  ASSERT_TRUE(StartCollection(dialog));
  ASSERT_TRUE(WaitForWorkerJobEnd()) << "the job still runs after the deadline";
  dialog.onEnabled = nullptr;
  EXPECT_EQ(0, clickStarted.load());  // not while the controls were being switched
  ASSERT_EQ(std::vector<int>{IDC_GET_BARCODES}, dialog.TakePostedCommands());
  EXPECT_TRUE(DispatchCommand(dialog, IDC_GET_BARCODES, NotifyClicked));  // the posted click
  ASSERT_TRUE(WaitForWorkerJobEnd()) << "the second job still runs after the deadline";
  EXPECT_EQ(2u, MessageTexts().size());  // both downloads ended with their box
  EXPECT_TRUE(JobControlsEnabled());
}

bool NoThread(WorkerEntry, void*) { return false; }

TEST_F(CollectionJobTest, WorkerThatCannotStartGivesTheControlsBack) {
  OpenScanner(Scanner("S1", 4));
  SetWorkerStarter(&NoThread);
  EXPECT_FALSE(StartCollection(dialog));
  SetWorkerStarter(nullptr);
  EXPECT_FALSE(IsCollectionRunning());
  EXPECT_TRUE(JobControlsEnabled());
  auto boxes = dialog.Messages();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(ThreadFailedText, boxes[0].text);
  EXPECT_EQ(L"Error", boxes[0].caption);
}
}  // namespace
