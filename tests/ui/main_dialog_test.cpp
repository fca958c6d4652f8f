// The main dialog's start-up steps and the dispatch of its commands, run on
// the in-memory window with scripted ports.
#include "ui/main_dialog.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/worker.h"
#include "protocol/exchange.h"
#include "settings/settings.h"
#include "ui/dialog_session.h"
#include "support/program_folder.h"
#include "support/scanner_ports.h"
#include "support/scanner_script.h"
#include "support/utf16le.h"
#include "support/scripted_link.h"
#include "support/virtual_time.h"
#include "transport/port_discovery.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/worker_job.h"
#include "support/memory_controls.h"
#include "ui/settings_controls.h"
#include "ui/window_front_end.h"

namespace {
PortDeviceRecord Scanner(const std::wstring& portName) { return UsbScanner(portName); }

constexpr int NotifySelectionChange = 1;  // CBN_SELCHANGE
constexpr int NotifyButtonFocus = 6;      // BN_SETFOCUS
constexpr int NotifyEditFocus = 0x100;    // EN_SETFOCUS

class MainDialog : public ::testing::Test {
 protected:
  // As the template creates it.
  void SetUp() override { dialog.SetEnabled(IDC_CLOSE, false); }
  std::vector<std::wstring> Items(int id) {
    std::vector<std::wstring> items;
    for (int i = 0; i < dialog.ComboCount(id); ++i) items.push_back(dialog.ComboItemText(id, i));
    return items;
  }
  std::wstring Selected(int id) { return dialog.ComboItemText(id, dialog.ComboSelection(id)); }

  MemoryControls dialog;
  TempFolder folder;
  ProgramFolderScope program{folder};
  ScriptedLink link;
  std::vector<PortDeviceRecord> devices;
  ScannerPortsScope ports{link, devices};
};

TEST_F(MainDialog, StartUpPreparesTheControls) {
  devices = {Scanner(L"COM12"), Scanner(L"COM3")};
  PrepareMainDialog(dialog);

  EXPECT_EQ(NormalWidth, dialog.ClientWidth());
  EXPECT_EQ(DialogHeight, dialog.ClientHeight());
  EXPECT_EQ(280, NormalWidth);
  EXPECT_EQ(315, DialogHeight);

  EXPECT_EQ((std::vector<std::wstring>{L"English", L"\u7b80\u4f53\u4e2d\u6587"}), Items(IDC_LANGUAGE));
  EXPECT_EQ(0, dialog.ComboSelection(IDC_LANGUAGE));

  EXPECT_EQ((std::vector<std::wstring>{L"COM3", L"COM12"}), Items(IDC_PORT_LIST));
  EXPECT_EQ(0, dialog.ComboSelection(IDC_PORT_LIST));

  EXPECT_TRUE(dialog.IsChecked(IDC_FORMAT_CN));
  EXPECT_FALSE(dialog.IsChecked(IDC_FORMAT_US));
  EXPECT_FALSE(dialog.IsChecked(IDC_FORMAT_EU));

  EXPECT_EQ((std::vector<std::wstring>{L"None", L"Beep", L"Vibration"}), Items(IDC_RESPONSE));
  EXPECT_EQ(0, dialog.ComboSelection(IDC_RESPONSE));

  // Start-up opens nothing and shows nothing.
  EXPECT_TRUE(link.openedPorts.empty());
  EXPECT_TRUE(dialog.Messages().empty());
  EXPECT_EQ(-1, dialog.DialogResult());
}

TEST_F(MainDialog, BarcodeBoxHoldsAMegabyteOfText) {
  PrepareMainDialog(dialog);
  // Far beyond an edit box's default 30,000 characters.
  const std::string chunk(0x40000, 'A');
  for (int i = 0; i < 5; ++i) dialog.AppendAnsi(IDC_BARCODE_DATA, chunk);
  EXPECT_EQ(BarcodeTextLimit, dialog.TextLength(IDC_BARCODE_DATA));
  EXPECT_EQ(0x100000u, BarcodeTextLimit);
}

TEST_F(MainDialog, StartUpGivesTheExchangeThisWindow) {
  PrepareMainDialog(dialog);
  EXPECT_EQ(0, DialogScanner(dialog).responseMode);
  dialog.ComboSelect(IDC_RESPONSE, 2);
  EXPECT_EQ(2, DialogScanner(dialog).responseMode);
  // With no port open the exchange says so through this window.
  WindowFrontEnd window(dialog);
  EXPECT_FALSE(CheckPortsOpen(DialogSession, window));
  ASSERT_EQ(1u, dialog.Messages().size());
  EXPECT_EQ(L"Please Open Ports!", dialog.Messages()[0].text);
}

TEST_F(MainDialog, WithNoScannerThePortListStartsEmpty) {
  PrepareMainDialog(dialog);
  EXPECT_EQ(0, dialog.ComboCount(IDC_PORT_LIST));
  EXPECT_EQ(-1, dialog.ComboSelection(IDC_PORT_LIST));
  EXPECT_TRUE(dialog.Messages().empty());
}

TEST_F(MainDialog, EveryWayOfClosingEndsTheDialogWithTwo) {
  PrepareMainDialog(dialog);
  for (int notification : {NotifyClicked, 1, 0x1234}) {
    MemoryControls fresh;
    EXPECT_TRUE(DispatchCommand(fresh, CloseCommandId, notification));
    EXPECT_EQ(CloseDialogResult, fresh.DialogResult());
  }
  EXPECT_EQ(2, CloseDialogResult);
  EXPECT_EQ(-1, dialog.DialogResult());
}

TEST_F(MainDialog, StartUpReadsTheSavedSettingsOverTheDefaults) {
  PrepareMainDialog(dialog);
  EXPECT_TRUE(folder.Exists("Config.ini"));  // the first start makes it, empty
  EXPECT_EQ("", folder.Read("Config.ini"));

  const std::string saved = "\xFF\xFE" + Utf16Le(u"TimeFormat = US\nIsText = 0\n");
  folder.Write("Config.ini", saved);
  MemoryControls again;
  PrepareMainDialog(again);
  EXPECT_TRUE(again.IsChecked(IDC_FORMAT_US));
  EXPECT_FALSE(again.IsChecked(IDC_FORMAT_CN));
  EXPECT_TRUE(again.IsChecked(IDC_TYPE_CSV));
  EXPECT_FALSE(again.IsChecked(IDC_TYPE_TXT));
  EXPECT_EQ(3, again.ComboCount(IDC_RESPONSE));  // the last step still runs
  EXPECT_EQ(saved, folder.Read("Config.ini"));  // reading changes nothing
}

TEST_F(MainDialog, ClosingSavesTheSettingsAndEndsWithTwoWhateverTheSaveGives) {
  PrepareMainDialog(dialog);
  dialog.SetText(IDC_TIME_BOX, L"10:00");
  EXPECT_TRUE(DispatchCommand(dialog, CloseCommandId, NotifyClicked));
  EXPECT_EQ(CloseDialogResult, dialog.DialogResult());
  EXPECT_EQ(EncodeSettings(CollectSettings(dialog)), folder.Read("Config.ini"));
  EXPECT_EQ(L"10:00", CollectSettings(dialog).time);

  folder.Write("file", "");
  SetProgramPath(folder.Wide() + L"\\file\\Lumet.exe");  // a folder that cannot be
  MemoryControls failing;
  EXPECT_TRUE(DispatchCommand(failing, CloseCommandId, NotifyClicked));
  ASSERT_EQ(1u, failing.Messages().size());
  EXPECT_EQ(L"Save Config.ini Failed!", failing.Messages()[0].text);
  EXPECT_EQ(CloseDialogResult, failing.DialogResult());
}

TEST_F(MainDialog, EnterAndUnknownCommandsDoNothing) {
  devices = {Scanner(L"COM3")};
  PrepareMainDialog(dialog);
  EXPECT_FALSE(DispatchCommand(dialog, 1, NotifyClicked));  // IDOK: Enter
  EXPECT_FALSE(DispatchCommand(dialog, 9999, NotifyClicked));
  EXPECT_FALSE(DispatchCommand(dialog, IDC_LANGUAGE, NotifySelectionChange));
  EXPECT_FALSE(DispatchCommand(dialog, IDC_TIME_BOX, NotifyEditChange));
  EXPECT_EQ(-1, dialog.DialogResult());
  EXPECT_TRUE(link.openedPorts.empty());
  EXPECT_TRUE(dialog.Messages().empty());
}

TEST_F(MainDialog, PortListRefillsOnlyWhenItDropsDown) {
  devices = {Scanner(L"COM12"), Scanner(L"COM3")};
  PrepareMainDialog(dialog);
  dialog.ComboSelect(IDC_PORT_LIST, 1);
  devices = {Scanner(L"COM12"), Scanner(L"COM3"), Scanner(L"COM1")};

  // A selection change or a focus change starts nothing.
  EXPECT_FALSE(DispatchCommand(dialog, IDC_PORT_LIST, NotifySelectionChange));
  EXPECT_FALSE(DispatchCommand(dialog, IDC_PORT_LIST, 3));  // CBN_SETFOCUS
  EXPECT_EQ(2, dialog.ComboCount(IDC_PORT_LIST));

  EXPECT_TRUE(DispatchCommand(dialog, IDC_PORT_LIST, NotifyDropDown));
  EXPECT_EQ((std::vector<std::wstring>{L"COM1", L"COM3", L"COM12"}), Items(IDC_PORT_LIST));
  EXPECT_EQ(L"COM12", Selected(IDC_PORT_LIST));
  EXPECT_EQ(3u, PortNumbers.count);
}

TEST_F(MainDialog, OpenAndCloseButtonsActOnClicksOnly) {
  devices = {Scanner(L"COM12"), Scanner(L"COM3")};
  PrepareMainDialog(dialog);
  dialog.ComboSelect(IDC_PORT_LIST, 1);

  EXPECT_FALSE(DispatchCommand(dialog, IDC_OPEN, NotifyButtonFocus));
  EXPECT_TRUE(link.openedPorts.empty());

  EXPECT_TRUE(DispatchCommand(dialog, IDC_OPEN, NotifyClicked));
  EXPECT_EQ((std::vector<std::uint32_t>{12}), link.openedPorts);
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN));
  EXPECT_FALSE(dialog.IsEnabled(IDC_PORT_LIST));
  EXPECT_TRUE(dialog.IsEnabled(IDC_CLOSE));

  EXPECT_FALSE(DispatchCommand(dialog, IDC_CLOSE, NotifyButtonFocus));
  EXPECT_TRUE(link.IsOpen());
  EXPECT_TRUE(DispatchCommand(dialog, IDC_CLOSE, NotifyClicked));
  EXPECT_FALSE(link.IsOpen());
  EXPECT_TRUE(dialog.IsEnabled(IDC_OPEN));
  EXPECT_TRUE(dialog.IsEnabled(IDC_PORT_LIST));
  EXPECT_FALSE(dialog.IsEnabled(IDC_CLOSE));
  EXPECT_TRUE(dialog.Messages().empty());
}

TEST_F(MainDialog, OpenWithNoScannerSaysSo) {
  PrepareMainDialog(dialog);
  EXPECT_TRUE(DispatchCommand(dialog, IDC_OPEN, NotifyClicked));
  ASSERT_EQ(1u, dialog.Messages().size());
  EXPECT_EQ(L"Open Com Error!", dialog.Messages()[0].text);
  EXPECT_EQ(L"Error", dialog.Messages()[0].caption);
  EXPECT_TRUE(dialog.IsEnabled(IDC_OPEN));
  EXPECT_FALSE(dialog.IsEnabled(IDC_CLOSE));
}

bool RunHere(WorkerEntry entry, void* argument) {
  entry(argument);
  return true;
}

// Whether the window shows text: in a box, or in the device list's row 1.
bool Shows(MemoryControls& dialog, const std::wstring& text) {
  for (const auto& box : dialog.Messages())
    if (box.text == text) return true;
  return dialog.ListCell(IDC_DEVICE_LIST, 1, ColumnStatus) == text ||
         dialog.ListCell(IDC_DEVICE_LIST, 1, ColumnSerialNumber) == text;
}

// A scanner or driver that ends no request by itself: every operation ends
// within its bound (virtual ms) with its own words. A line that takes nothing
// fails at the wake-up ("Send '*' Failed!"); one that takes bytes but gives
// none at the first answer. Auto mode serves two ports.
TEST_F(MainDialog, EveryScannerOperationEndsWithinItsBoundOnAStuckLine) {
  const struct {
    int id;
    bool autoMode;
    std::uint64_t takesNothingMs, givesNothingMs;
    std::wstring givesNothing;
  } cases[] = {
      {IDC_GET_TIME, false, 4000, 10000, L"Get Time Format Failed!"},
      {IDC_GET_DEVICE_INFO, false, 4000, 8000, L"Get Devices Info Error!"},
      {IDC_DELETE_BARCODES, false, 4000, 7500, L"Delete Barcodes Failed!"},
      {IDC_GET_BARCODES, false, 4000, 7500, L"Set KT52 Display Items Failed!"},
      {IDC_SET_TIME, false, 4000, 7500, L"Set Time Format Failed!"},
      {IDC_AUTO_MODE, false, 8000, 16000, L"Get SN Failed!"},
      {IDC_REFRESH, true, 8000, 16000, L"Get SN Failed!"},
      {IDC_DELETE_BARCODES, true, 8000, 15000, L"Delete Barcodes Failed!"},
      {IDC_GET_BARCODES, true, 8000, 15000, L"Set KT52 Display Items Failed!"},
      {IDC_SET_TIME, true, 8000, 15000, L"Set Time Format Failed!"},
  };
  VirtualTimeScope time;
  SetWorkerStarter(&RunHere);  // the jobs run to their end within the click
  devices = {Scanner(L"COM3"), Scanner(L"COM7")};
  for (const auto& c : cases) {
    for (bool takesBytes : {false, true}) {
      SCOPED_TRACE(std::to_string(c.id) + (c.autoMode ? " auto" : "") + (takesBytes ? " takes" : ""));
      MemoryControls window;
      link = ScriptedLink();
      AutoMode = 0;
      PrepareMainDialog(window);
      ASSERT_TRUE(DispatchCommand(window, c.autoMode ? IDC_AUTO_MODE : IDC_OPEN, NotifyClicked));
      window.ClearMessages();
      link.stuckWrites = !takesBytes;
      link.stuckReads = true;
      const std::uint64_t start = virtual_time::NowMs();
      EXPECT_TRUE(DispatchCommand(window, c.id, NotifyClicked));
      EXPECT_LE(virtual_time::NowMs() - start, takesBytes ? c.givesNothingMs : c.takesNothingMs);
      EXPECT_TRUE(Shows(window, takesBytes ? c.givesNothing : L"Send '*' Failed!"));
    }
  }
  SetWorkerStarter(nullptr);
  AutoMode = 0;
}

// A box's message loop takes a command sent by a program: a second
// operation, or a job, does not start under the first.
TEST_F(MainDialog, NoOperationOrJobStartsUnderAnother) {
  VirtualTimeScope time;
  devices = {Scanner(L"COM3")};
  PrepareMainDialog(dialog);
  ASSERT_TRUE(DispatchCommand(dialog, IDC_OPEN, NotifyClicked));
  ScriptWakeUp(link, true);
  SetWorkerStarter(&RunHere);
  std::size_t writesMeanwhile = 0;
  dialog.onMessage = [&](const std::wstring&) {
    const std::size_t before = link.writes.size();
    for (int id : {IDC_GET_BARCODES, IDC_SET_TIME, IDC_GET_TIME, IDC_DELETE_BARCODES, IDC_CLOSE})
      EXPECT_TRUE(DispatchCommand(dialog, id, NotifyClicked));
    writesMeanwhile += link.writes.size() - before;
  };
  dialog.QueueAnswers({AnswerNo});
  EXPECT_TRUE(DispatchCommand(dialog, IDC_DELETE_BARCODES, NotifyClicked));
  dialog.onMessage = nullptr;
  SetWorkerStarter(nullptr);
  EXPECT_EQ(0u, writesMeanwhile);
  ASSERT_EQ(1u, dialog.Messages().size());  // only the question
  EXPECT_TRUE(link.IsOpen());
}

TEST(CommandTable, EachIdAndNotificationHasOneRow) {
  std::set<std::pair<int, int>> seen;
  for (const CommandRow& row : CommandTable()) {
    EXPECT_NE(nullptr, row.action) << "id " << row.id;
    EXPECT_TRUE(seen.insert({row.id, row.notification}).second)
        << "id " << row.id << " notification " << row.notification << " twice";
    // A row for every notification hides the other rows of its id.
    if (row.notification == AnyNotification)
      for (const CommandRow& other : CommandTable())
        if (&other != &row) {
          EXPECT_NE(row.id, other.id) << "id " << row.id;
        }
  }
  EXPECT_FALSE(seen.count({1, NotifyClicked})) << "IDOK must have no row";
  EXPECT_TRUE(seen.count({CloseCommandId, AnyNotification}));
}

TEST(CommandTable, FileNameBoxIgnoresFocusChanges) {
  MemoryControls dialog;
  EXPECT_FALSE(DispatchCommand(dialog, IDC_FILE_NAME, NotifyEditFocus));
  EXPECT_FALSE(DispatchCommand(dialog, IDC_FILE_NAME, 0x200));  // EN_KILLFOCUS
}
}  // namespace
