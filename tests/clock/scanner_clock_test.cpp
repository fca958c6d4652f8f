// "Get Time" and "Set Time" against simulated and scripted scanners, on virtual time.
#include "clock/scanner_clock.h"
#include "ui/dialog_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "common/local_time.h"
#include "common/worker.h"
#include "protocol/exchange.h"
#include "support/gated_link.h"
#include "support/scanner_desk.h"
#include "support/scanner_script.h"
#include "support/utf16le.h"
#include "ui/control_ids.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"
#include "ui/worker_job.h"
#include "ui/scanner_operations.h"

namespace {
constexpr wchar_t InputError[] = L"Time Input Error,Please Follow the Format!";
constexpr int FormatButtons[] = {IDC_FORMAT_US, IDC_FORMAT_EU, IDC_FORMAT_CN};

// Sunday 29 December 2019, 10:05:00; each call a minute later when ticking.
std::atomic<int> LocalTimeCalls{0};
bool LocalTimeTicks = false;
LocalTime SundayBeforeNewYear() {
  LocalTime t;
  t.year = 2019;
  t.month = 12;
  t.day = 29;
  t.dayOfWeek = 0;
  t.hour = 10;
  t.minute = 5 + (LocalTimeTicks ? LocalTimeCalls++ : 0);
  return t;
}

void CheckFormat(MemoryControls& dialog, int button) {
  for (int id : FormatButtons) dialog.SetChecked(id, id == button);
}

int CheckedButton(MemoryControls& dialog) {
  int checked = 0;
  for (int id : FormatButtons)
    if (dialog.IsChecked(id)) checked = checked ? -1 : id;
  return checked;
}

bool RunHere(WorkerEntry entry, void* argument) {
  entry(argument);
  return true;
}
bool NoThread(WorkerEntry, void*) { return false; }

class SetTimeTest : public ScannerDesk {
 protected:
  void SetUp() override {
    ScannerDesk::SetUp();
    LocalTimeCalls = 0;
    LocalTimeTicks = false;
    SetLocalTimeSource(&SundayBeforeNewYear);
  }
  void TearDown() override {
    SetWorkerStarter(nullptr);
    ScannerDesk::TearDown();
  }
  kt52::Kt52Device& OpenScanner(const kt52::DeviceOptions& options = {}) {
    kt52::Kt52Device& device = Attach(3, options);
    OpenPortAt(0);
    dialog.ClearMessages();
    return device;
  }
  void ExpectOneBox(const std::wstring& text, const std::wstring& caption, unsigned flags) {
    auto boxes = dialog.Messages();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(text, boxes[0].text);
    EXPECT_EQ(caption, boxes[0].caption);
    EXPECT_EQ(flags, boxes[0].flags);
  }
};

struct TypedCase {
  int button;
  const char* typed;
  const char* sent;  // the time text; "" when the box is refused
};

const TypedCase TypedCases[] = {
    // 31 December 2019 23:59:59, a Tuesday, in the three orders.
    {IDC_FORMAT_US, "12/31/2019,23:59:59", "2019/12/31,2;23:59:59"},
    {IDC_FORMAT_EU, "31/12/2019,23:59:59", "2019/12/31,2;23:59:59"},
    {IDC_FORMAT_CN, "2019/12/31,23:59:59", "2019/12/31,2;23:59:59"},
    {IDC_FORMAT_CN, "2019/12/29,00:00:00", "2019/12/29,7;00:00:00"},
    // 29 February: every fourth year, but of the centuries only every fourth.
    {IDC_FORMAT_US, "02/29/2020,10:00:00", "2020/02/29,6;10:00:00"},
    {IDC_FORMAT_US, "02/29/2019,10:00:00", ""},
    {IDC_FORMAT_US, "02/29/1900,10:00:00", ""},
    {IDC_FORMAT_US, "02/29/2000,10:00:00", "2000/02/29,2;10:00:00"},
    {IDC_FORMAT_EU, "30/04/2021,12:00:00", "2021/04/30,5;12:00:00"},
    {IDC_FORMAT_EU, "31/04/2021,12:00:00", ""},
    // Month 0 and 13, day 0.
    {IDC_FORMAT_CN, "2024/00/10,10:00:00", ""},
    {IDC_FORMAT_CN, "2024/13/10,10:00:00", ""},
    {IDC_FORMAT_CN, "2024/01/00,10:00:00", ""},
    // The time of day runs from 00:00:00 to 23:59:59.
    {IDC_FORMAT_CN, "2024/01/01,24:00:00", ""},
    {IDC_FORMAT_CN, "2024/01/01,25:00:00", ""},
    {IDC_FORMAT_CN, "2024/01/01,23:60:00", ""},
    {IDC_FORMAT_CN, "2024/01/01,23:59:60", ""},
    // Letters, blanks and signs where digits belong.
    {IDC_FORMAT_US, "ab/cd/efgh,ij:kl:mn", ""},
    {IDC_FORMAT_US, "1a/01/2020,10:00:00", ""},
    {IDC_FORMAT_CN, "2020/ 1/01,10:00:00", ""},
    {IDC_FORMAT_CN, "2020/+1/01,10:00:00", ""},
    {IDC_FORMAT_CN, "2020/01/01,-1:00:00", ""},
    // Another order's separators, a blank for the comma, 18 and 20 characters.
    {IDC_FORMAT_US, "2019/12/31,23:59:59", ""},
    {IDC_FORMAT_CN, "2019/12/31 23:59:59", ""},
    {IDC_FORMAT_CN, "2019/12/31,23:59:5", ""},
    {IDC_FORMAT_CN, "2019/12/31,23:59:590", ""},
};

TEST_F(SetTimeTest, TypedTimesGoOutInYearOrderWithTheirWeekdayOrAreRefused) {
  kt52::Kt52Device& scanner = OpenScanner();
  for (const TypedCase& c : TypedCases) {
    SCOPED_TRACE(c.typed);
    CheckFormat(dialog, c.button);
    dialog.SetText(IDC_TIME_BOX, std::wstring(c.typed, c.typed + std::strlen(c.typed)));
    dialog.ClearMessages();
    const std::size_t before = scanner.Commands().size();
    SetTimeWorker(dialog);
    std::vector<std::string> sent(scanner.Commands().begin() + static_cast<long>(before),
                                  scanner.Commands().end());
    const std::string text = c.sent;
    if (text.empty()) {
      EXPECT_TRUE(sent.empty());
      ExpectOneBox(InputError, L"Error", BoxIconError);
      continue;
    }
    const char* format = c.button == IDC_FORMAT_US   ? "$$%^1002"
                         : c.button == IDC_FORMAT_EU ? "$$%^1001"
                                                     : "$$%^1000";
    EXPECT_EQ((std::vector<std::string>{format, "$$%^11" + text}), sent);
    EXPECT_EQ(text.substr(0, 11) + text.substr(13),
              kt52::ClockText(scanner.Clock(), kt52::DateFormat::CH));
    ExpectOneBox(L"Set Time Succeed!", L"Information", BoxIconInformation);
  }
}

TEST_F(SetTimeTest, EmptyBoxSendsThePcTimeAfterTheCheckedFormat) {
  for (int button : {IDC_FORMAT_CN, IDC_FORMAT_US}) {
    kt52::Kt52Device& scanner = OpenScanner();
    CheckFormat(dialog, button);
    SetTimeWorker(dialog);
    EXPECT_EQ((std::vector<std::string>{button == IDC_FORMAT_CN ? "$$%^1000" : "$$%^1002",
                                        "$$%^112019/12/29,7;10:05:00"}),
              scanner.Commands());
    EXPECT_EQ(button == IDC_FORMAT_CN ? kt52::DateFormat::CH : kt52::DateFormat::US,
              scanner.CurrentDateFormat());
    EXPECT_EQ(7, scanner.GivenWeekday());
    ExpectOneBox(L"Set Time Succeed!", L"Information", BoxIconInformation);
    EXPECT_TRUE(link.IsOpen());  // the port stays open
  }
}

// A time Lumet put into the box itself (restored at start, read by "Get Time")
// would set the scanner back: the PC's time goes out instead. A time typed
// afterwards goes out as typed.
TEST_F(SetTimeTest, OnlyATimeTypedInThisSessionIsSent) {
  const std::string pcTime = "$$%^112019/12/29,7;10:05:00";
  programFolder.Write("Config.ini", "\xFF\xFE" + Utf16Le(u"Time = 2019/12/31,23:59:59\r\n"));
  PrepareMainDialog(dialog);  // a start with that file
  kt52::Kt52Device& scanner = OpenScanner();
  ASSERT_EQ(L"2019/12/31,23:59:59", dialog.GetText(IDC_TIME_BOX, 100));
  SetTimeWorker(dialog);
  EXPECT_EQ(pcTime, scanner.Commands().back());
  ASSERT_EQ(1, GetDeviceTime(dialog));
  SetTimeWorker(dialog);
  EXPECT_EQ(pcTime, scanner.Commands().back());
  dialog.SetText(IDC_TIME_BOX, L"2020/01/01,08:00:00");
  SetTimeWorker(dialog);
  EXPECT_EQ("$$%^112020/01/01,3;08:00:00", scanner.Commands().back());
}

TEST_F(SetTimeTest, RefusedCommandsEndTheRunWithTheirBox) {
  struct Case {
    const char* refused;
    std::wstring box;
    std::vector<std::string> sent;
  };
  const Case cases[] = {
      {"1000", L"Set Time Format Failed!", {"$$%^1000"}},  // the time is not sent
      {"11", L"Set Time Failed!", {"$$%^1000", "$$%^112019/12/29,7;10:05:00"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.refused);
    kt52::DeviceOptions options;
    options.refused = {c.refused};
    options.dateFormat = kt52::DateFormat::US;
    kt52::Kt52Device& scanner = OpenScanner(options);
    SetTimeWorker(dialog);
    EXPECT_EQ(c.sent, scanner.Commands());
    EXPECT_EQ(options.clock, scanner.Clock());
    ExpectOneBox(c.box, L"Error", BoxIconError);
  }
}

TEST_F(SetTimeTest, NoOpenPortSendsNothing) {
  Attach(3, {});
  SetTimeWorker(dialog);
  ExpectOneBox(L"Please Open Ports!", L"Tip", BoxIconWarning);
  EXPECT_EQ(0u, link.OpenCount());
  dialog.ClearMessages();
  EXPECT_EQ(0, StartSetTime(dialog));  // the button: the warning, and no job with "Open" usable
  ExpectOneBox(L"Please Open Ports!", L"Tip", BoxIconWarning);
  EXPECT_TRUE(dialog.IsEnabled(IDC_OPEN) && !IsWorkerJobRunning());
}

TEST_F(SetTimeTest, AutoModeServesEveryPortWithItsOwnPcTime) {
  kt52::DeviceOptions refusing;
  refusing.refused = {"1000"};
  kt52::Kt52Device& com3 = Attach(3, refusing);
  AttachDeadPort(5);
  kt52::Kt52Device& com7 = Attach(7, {});
  kt52::Kt52Device& com9 = Attach(9, {});
  StartAutoMode();
  LocalTimeTicks = true;
  SetTimeWorker(dialog);
  EXPECT_EQ((std::vector<std::wstring>{L"Set Time Format Failed!", L"Open Ports Failed!",
                                       L"Set Time Succeed!", L"Set Time Succeed!"}),
            Statuses());
  EXPECT_EQ("$$%^1000", com3.Commands().back());  // and no time after it
  // The PC time is taken only for a set-time command that goes out.
  EXPECT_EQ("$$%^112019/12/29,7;10:05:00", com7.Commands().back());
  EXPECT_EQ("$$%^112019/12/29,7;10:06:00", com9.Commands().back());
  EXPECT_TRUE(dialog.Messages().empty());
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(dialog.IsEnabled(IDC_GET_TIME));  // left as auto mode has it
  EXPECT_TRUE(dialog.IsEnabled(IDC_SET_TIME));
}

TEST_F(SetTimeTest, AutoModeWithAnEmptyListOrABadBoxServesNoPort) {
  StartAutoMode();  // nothing attached
  SetTimeWorker(dialog);
  EXPECT_TRUE(dialog.Messages().empty());
  EXPECT_TRUE(dialog.IsEnabled(IDC_SET_TIME));

  Attach(3, {});
  Attach(7, {});
  ASSERT_EQ(1, ToggleAutoMode(dialog));
  StartAutoMode();
  const std::size_t opened = link.OpenCount();
  dialog.SetText(IDC_TIME_BOX, L"2019/12/31,23:59");
  SetTimeWorker(dialog);
  ExpectOneBox(InputError, L"Error", BoxIconError);
  EXPECT_EQ(opened, link.OpenCount());
  EXPECT_EQ((std::vector<std::wstring>{L"", L""}), Statuses());
}

TEST_F(SetTimeTest, ClosingDuringARunEndsItAfterThePortWithoutBoxes) {
  kt52::Kt52Device& com3 = Attach(3, {});
  kt52::Kt52Device& com7 = Attach(7, {});
  StartAutoMode();
  GatedLink gated(link, 2);  // the first port's format command
  DialogSession.link = &gated;
  ASSERT_EQ(1, StartSetTime(dialog));
  ASSERT_TRUE(gated.WaitUntilHeld());
  EXPECT_TRUE(IsWorkerJobRunning());
  EXPECT_FALSE(dialog.IsEnabled(IDC_SET_TIME));
  EXPECT_TRUE(DispatchCommand(dialog, CloseCommandId, 0));
  EXPECT_EQ(-1, dialog.DialogResult());
  gated.Release();
  ASSERT_TRUE(WaitForWorkerJobEnd());

  EXPECT_EQ(std::vector<int>{CloseCommandId}, dialog.TakePostedCommands());
  EXPECT_EQ((std::vector<std::wstring>{L"Set Time Succeed!", L""}), Statuses());
  EXPECT_EQ("$$%^112019/12/29,7;10:05:00", com3.Commands().back());
  EXPECT_EQ(1u, com7.Commands().size());  // only the refresh's serial number
  EXPECT_TRUE(dialog.Messages().empty());
  EXPECT_TRUE(dialog.IsEnabled(IDC_SET_TIME));
  EXPECT_TRUE(DispatchCommand(dialog, CloseCommandId, 0));
  EXPECT_EQ(CloseDialogResult, dialog.DialogResult());
}

TEST_F(SetTimeTest, WorkerThatCannotStartGivesTheClockControlsBack) {
  OpenScanner();
  SetWorkerStarter(&NoThread);
  EXPECT_EQ(0, StartSetTime(dialog));
  EXPECT_FALSE(IsWorkerJobRunning());
  for (int id : {IDC_SET_TIME, IDC_TIME_BOX, IDC_FORMAT_CN, IDC_GET_TIME, IDC_CLOSE})
    EXPECT_TRUE(dialog.IsEnabled(id)) << id;
  ExpectOneBox(L"Start Job Failed!", L"Error", BoxIconError);
}

// Scripted scanners: what goes over the wire, byte for byte and in time.
class ClockWireTest : public ScriptedScannerTest {
 protected:
  void TearDown() override {
    SetWorkerStarter(nullptr);
    SetLocalTimeSource(nullptr);
    ScriptedScannerTest::TearDown();
  }
};

TEST_F(ClockWireTest, SetTimeDisablesTheClockControlsAndPausesBeforeTheTime) {
  SetLocalTimeSource(&SundayBeforeNewYear);
  dialog.SetChecked(IDC_FORMAT_EU, true);
  ScriptWakeUp(link, true);
  link.ReplyToNextWrite({{0x02, 0x01, Ack, 0x3B, 0x03}});
  link.ReplyToNextWrite({{0x02, 0x01, Ack, 0x3B, 0x03}});
  const int switched[] = {IDC_CLOSE,     IDC_GET_TIME,  IDC_GET_DEVICE_INFO, IDC_DELETE_BARCODES,
                          IDC_GET_BARCODES, IDC_FORMAT_US, IDC_FORMAT_EU,    IDC_FORMAT_CN,
                          IDC_TIME_BOX,  IDC_SET_TIME,  IDC_AUTO_MODE,      IDC_REFRESH,
                          IDC_PORT_LIST};
  const int untouched[] = {IDC_SAVE_TO_FILE, IDC_CHOOSE_FOLDER, IDC_AUTO_NAMING, IDC_FILE_NAME,
                           IDC_TYPE_TXT,     IDC_TYPE_CSV,      IDC_LINE_WINDOWS, IDC_LINE_UNIX,
                           IDC_SEPARATOR,    IDC_SHOW_SERIAL_NUMBER, IDC_SHOW_TIME_STAMP,
                           IDC_EXPORT,       IDC_RESPONSE};
  std::vector<std::uint64_t> writtenAt;
  bool disabledAsListed = false;
  link.onWrite = [&](ScriptedLink&, const ScriptedLink::Bytes&) {
    writtenAt.push_back(virtual_time::NowMs());
    if (writtenAt.size() > 1) return;
    disabledAsListed = true;
    for (int id : switched) disabledAsListed &= !dialog.IsEnabled(id);
    for (int id : untouched) disabledAsListed &= dialog.IsEnabled(id);
  };
  SetWorkerStarter(&RunHere);
  ASSERT_EQ(1, StartSetTime(dialog));

  EXPECT_TRUE(disabledAsListed);
  for (int id : switched) EXPECT_TRUE(dialog.IsEnabled(id)) << id;
  EXPECT_FALSE(dialog.IsEnabled(IDC_OPEN));  // given back as it was: the port is open
  ASSERT_EQ(3u, link.writes.size());
  EXPECT_EQ(DataFrame("$$%^1001"), link.writes[1]);
  EXPECT_EQ(DataFrame("$$%^112019/12/29,7;10:05:00"), link.writes[2]);
  EXPECT_EQ(100u, writtenAt[2] - writtenAt[1]);
  EXPECT_EQ(L"Set Time Succeed!", dialog.Messages().at(0).text);
}

// Sunday 29 December 2019, 10:05 and the virtual seconds gone by.
LocalTime SundayAsTimeGoesBy() {
  LocalTime t = SundayBeforeNewYear();
  t.second = static_cast<int>(virtual_time::NowMs() / 1000);
  return t;
}

// The PC time is taken as the set-time command is made: in plain mode 5.1 s
// after the click (the unanswered wake-up, the format command's pauses and
// its acknowledgement, the pause after it), 1 s before the command goes out.
TEST_F(ClockWireTest, PcTimeIsTakenWhenTheSetTimeCommandIsMade) {
  SetLocalTimeSource(&SundayAsTimeGoesBy);
  ScriptWakeUp(link, false);
  link.ReplyToNextWrite({ToBytes(OkMarker)});
  link.ReplyToNextWrite({ToBytes(OkMarker)});
  SetTimeWorker(dialog);
  ASSERT_EQ(3u, link.writes.size());
  EXPECT_EQ("$$%^112019/12/29,7;10:05:05", ToText(link.writes[2]));
}

TEST_F(ClockWireTest, SetTimeWithoutAWakeUpShowsTheErrorAndSendsNothing) {
  link.failWrites = true;
  SetTimeWorker(dialog);
  ASSERT_EQ(1u, dialog.Messages().size());
  EXPECT_EQ(L"Send '*' Failed!", dialog.Messages()[0].text);
  EXPECT_EQ(AppCaption, dialog.Messages()[0].caption);
  EXPECT_TRUE(link.writes.empty());
  EXPECT_TRUE(dialog.IsEnabled(IDC_SET_TIME));
}

struct FormatAnswer {
  const char* answer;
  int checked;  // 0: the buttons stay as they were (EU)
};
const FormatAnswer FormatAnswers[] = {
    {"CH", IDC_FORMAT_CN}, {"US", IDC_FORMAT_US}, {"EU", IDC_FORMAT_EU},
    {"CN", 0},             {"ch", 0},             {"U", 0},
};

TEST_F(ClockWireTest, GetTimeChecksTheNamedFormatAndShowsTheClock) {
  for (bool framed : {true, false}) {
    for (const FormatAnswer& a : FormatAnswers) {
      SCOPED_TRACE(std::string(a.answer) + (framed ? " framed" : " plain"));
      link.writes.clear();
      link.readRequests.clear();
      dialog.ClearMessages();
      CheckFormat(dialog, IDC_FORMAT_EU);
      ScriptWakeUp(link, framed);
      ScriptQueryReply(link, framed, a.answer);
      ScriptQueryReply(link, framed, "31/12/2019,23:59:58");
      ASSERT_EQ(1, GetDeviceTime(dialog));
      EXPECT_EQ(a.checked ? a.checked : IDC_FORMAT_EU, CheckedButton(dialog));
      EXPECT_EQ(L"31/12/2019,23:59:58", dialog.GetText(IDC_TIME_BOX, 100));
      ASSERT_EQ(1u, dialog.Messages().size());
      EXPECT_EQ(L"Get Time Succeed!", dialog.Messages()[0].text);
      EXPECT_EQ(L"Information", dialog.Messages()[0].caption);
      const std::size_t overhead = framed ? 11 : MarkerLength;
      std::vector<ScriptedLink::Bytes> commands;  // without the host acknowledgements
      for (const auto& w : link.writes)
        if (w[0] != 0x02) commands.push_back(w);
      ASSERT_EQ(3u, commands.size());
      EXPECT_EQ(framed ? DataFrame("$$%^1004") : ToBytes("$$%^1004"), commands[1]);
      EXPECT_EQ(framed ? DataFrame("$$%^1003") : ToBytes("$$%^1003"), commands[2]);
      // A framed reply is read in steps once its first bytes tell its length
      // (the follow-on reads wait a gap each, total equal to interval), so
      // its reads add up to the frame sent; a plain read is sized to the most.
      const std::size_t formatBytes = framed ? std::strlen(a.answer) : 2;
      bool formatRead = false, timeRead = false;
      const auto& reads = link.readRequests;
      for (std::size_t i = 0; i < reads.size(); ++i) {
        std::size_t count = reads[i].count;
        for (std::size_t j = i + 1; framed && j < reads.size() && reads[j].intervalMs != 0 &&
                                    reads[j].intervalMs == reads[j].totalMs;
             ++j)
          count += reads[j].count;
        const bool window = reads[i].intervalMs == 0;
        formatRead |= window && count == formatBytes + overhead && reads[i].totalMs == 3000;
        timeRead |= window && count == 19 + overhead && reads[i].totalMs == 500;
      }
      EXPECT_TRUE(formatRead && timeRead);
    }
  }
}

TEST_F(ClockWireTest, GetTimeFailuresNameWhatFailed) {
  struct Case {
    int writesBeforeFailure;  // -1: none fails
    const char* formatReply;  // nullptr: silence
    const char* timeReply;
    std::wstring box;
    std::wstring caption;
  };
  const Case cases[] = {
      {0, nullptr, nullptr, L"Send '*' Failed!", AppCaption},
      {1, nullptr, nullptr, L"Send Get KT52 Time Command Failed!", L"Error"},
      {2, "US", nullptr, L"Send Get KT52 Time Command Failed!", L"Error"},
      {-1, nullptr, nullptr, L"Get Time Format Failed!", L"Error"},
      {-1, "US", nullptr, L"Get Time Failed!", L"Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.writesBeforeFailure);
    dialog.ClearMessages();
    dialog.SetText(IDC_TIME_BOX, L"kept");
    link = ScriptedLink();
    link.Open(3, 115200, 8, 0, 0, 0);
    link.failWrites = c.writesBeforeFailure == 0;
    link.onWrite = [&](ScriptedLink& l, const ScriptedLink::Bytes&) {
      l.failWrites = static_cast<int>(l.writes.size()) == c.writesBeforeFailure;
    };
    ScriptWakeUp(link, false);
    if (c.formatReply) ScriptQueryReply(link, false, c.formatReply);
    EXPECT_EQ(0, GetDeviceTime(dialog));
    ASSERT_EQ(1u, dialog.Messages().size());
    EXPECT_EQ(c.box, dialog.Messages()[0].text);
    EXPECT_EQ(c.caption, dialog.Messages()[0].caption);
    EXPECT_EQ(unsigned{BoxIconError}, dialog.Messages()[0].flags);
    EXPECT_EQ(L"kept", dialog.GetText(IDC_TIME_BOX, 100));
  }
}

}  // namespace
