// Device information and the serial-number query, on a scripted scanner.
#include "protocol/device_info.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "ui/dialog_session.h"
#include "support/scanner_script.h"
#include "support/simulated_scanner_link.h"
#include "support/virtual_time.h"
#include "ui/control_ids.h"
#include "support/memory_controls.h"
#include "support/program_state.h"
#include "ui/scanner_operations.h"
#include "ui/data_controls.h"

namespace {
std::wstring Formatted(std::wstring text) {
  FormatDeviceInfo(text);
  return text;
}

TEST(FormatDeviceInfo, PutsOneGroupOnEachLine) {
  EXPECT_EQ(Formatted(L"{Model:KT52};{FW:1.2};{SN:S1}"),
            L"{Model:KT52};\r\n{FW:1.2};\r\n{SN:S1}\r\n");
}

TEST(FormatDeviceInfo, DropsTextAfterTheLastGroupAndTextWithoutGroups) {
  EXPECT_EQ(Formatted(L"{A};{B}tail"), L"{A};\r\n{B}\r\n");
  EXPECT_EQ(Formatted(L"no groups here"), L"");
  EXPECT_EQ(Formatted(L""), L"");
  EXPECT_EQ(Formatted(L"{A}};"), L"{A}\r\n};\r\n");
}

TEST(FormatDeviceInfo, KeepsEveryGroupOfALongReply) {
  std::wstring reply, expected;
  for (int i = 0; i < 40; ++i) {
    std::wstring group = L"{G" + std::to_wstring(i) + L"};";
    reply += group;
    expected += group + L"\r\n";
  }
  EXPECT_EQ(Formatted(reply), expected);
}

class DeviceInfo : public ScriptedScannerTest {
 protected:
  // What went out after the wake-up: the command bytes (framed or bare).
  std::string CommandSent(std::size_t writeIndex) {
    return ToText(link.writes.at(writeIndex));
  }
};

const std::string Info = "{Model:KT52};{Firmware:V1.07};{Memory:512K}";
const std::wstring Shown = L"{Model:KT52};\r\n{Firmware:V1.07};\r\n{Memory:512K}\r\n";

TEST_F(DeviceInfo, FramedReplyIsShownOneGroupALine) {
  ScriptWakeUp(link, true);
  ScriptQueryReply(link, true, Info);
  EXPECT_TRUE(ShowDeviceInfo(dialog));

  auto messages = dialog.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, Shown);
  EXPECT_EQ(messages[0].caption, L"Device Infomation");
  EXPECT_EQ(messages[0].flags, unsigned{BoxIconInformation});
  ASSERT_EQ(link.writes.size(), 3u);  // "*", the command frame, the host acknowledgement
  EXPECT_EQ(CommandSent(0), "*");
  EXPECT_EQ(link.writes[1], DataFrame(Command::GetDeviceInfo));
  EXPECT_TRUE(link.IsOpen());
}

TEST_F(DeviceInfo, PlainReplyIsShownWithoutItsMarker) {
  ScriptWakeUp(link, false);
  ScriptQueryReply(link, false, Info);
  EXPECT_TRUE(ShowDeviceInfo(dialog));
  ASSERT_EQ(dialog.Messages().size(), 1u);
  EXPECT_EQ(dialog.Messages()[0].text, Shown);
  ASSERT_EQ(link.writes.size(), 2u);
  EXPECT_EQ(CommandSent(1), Command::GetDeviceInfo);
}

TEST_F(DeviceInfo, NoOpenPortOnlyWarnsAndSendsNothing) {
  link.Close();
  dialog.SetEnabled(IDC_OPEN, true);
  EXPECT_FALSE(ShowDeviceInfo(dialog));
  auto messages = dialog.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, L"Please Open Ports!");
  EXPECT_TRUE(link.writes.empty());
}

TEST_F(DeviceInfo, FailuresAreReportedWithTheirOwnWords) {
  struct Case {
    const char* name;
    std::function<void(ScriptedLink&)> script;
    std::wstring text;
    std::wstring caption;
  };
  const std::vector<Case> cases = {
      {"wake-up not written", [](ScriptedLink& l) { l.failWrites = true; },
       L"Send '*' Failed!", AppCaption},
      {"command not written",
       [](ScriptedLink& l) {
         ScriptWakeUp(l, true);
         l.onWrite = [](ScriptedLink& link, const ScriptedLink::Bytes&) { link.failWrites = true; };
       },
       L"Get Device Info Error!", L"Error"},
      {"no reply", [](ScriptedLink& l) { ScriptWakeUp(l, true); }, L"Get Devices Info Error!",
       L"Error"},
      {"plain error reply",
       [](ScriptedLink& l) {
         ScriptWakeUp(l, false);
         l.ReplyToNextWrite({ToBytes(std::string("{A}") + ErMarker)});
       },
       L"Get Devices Info Error!", L"Error"},
      {"plain reply without marker",
       [](ScriptedLink& l) {
         ScriptWakeUp(l, false);
         l.ReplyToNextWrite({ToBytes("{A};{B}")});
       },
       L"Get Devices Info Error!", L"Error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    link = ScriptedLink();
    link.Open(3, 115200, 8, 0, 0, 0);
    dialog.ClearMessages();
    c.script(link);
    EXPECT_FALSE(ShowDeviceInfo(dialog));
    auto messages = dialog.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, c.text);
    EXPECT_EQ(messages[0].caption, c.caption);
    EXPECT_EQ(messages[0].flags, unsigned{BoxIconError});
    EXPECT_TRUE(link.IsOpen());
  }
}

TEST_F(DeviceInfo, BrokenFrameIsReadAgain) {
  ScriptWakeUp(link, true);
  ScriptedLink::Bytes broken = DataFrame(Info);
  broken.back() ^= 0x55;
  const ScriptedLink::Bytes deviceAck = {0x02, 0x01, Ack, 0x00, 0x03};
  link.ReplyToNextWrite({broken});                        // after the command
  link.ReplyToNextWrite({deviceAck, DataFrame(Info)});  // after the NAK: the frame again
  link.ReplyToNextWrite({deviceAck});                     // after the ACK
  EXPECT_TRUE(ShowDeviceInfo(dialog));
  ASSERT_FALSE(dialog.Messages().empty());
  EXPECT_EQ(dialog.Messages().back().text, Shown);
  EXPECT_EQ(link.writes.at(2)[2], Nak);
}

TEST_F(DeviceInfo, SerialNumberOfOneHundredCharactersIsReturnedWhole) {
  const std::string serial(100, 'K');
  for (bool framed : {true, false}) {
    SCOPED_TRACE(framed ? "framed" : "plain");
    session.framed = framed ? 1 : 0;
    ScriptQueryReply(link, framed, serial);
    std::wstring out;
    ASSERT_TRUE(QuerySerialNumber(session, out));
    EXPECT_EQ(out, std::wstring(100, L'K'));
  }
}

TEST_F(DeviceInfo, SerialNumberQueryFailsWithoutAReply) {
  session.framed = 1;
  std::wstring out = L"unchanged";
  EXPECT_FALSE(QuerySerialNumber(session, out));
  EXPECT_EQ(out, L"unchanged");
  ASSERT_EQ(link.writes.size(), 1u);
  EXPECT_EQ(link.writes[0], DataFrame(Command::GetSerialNumber));

  session.framed = 0;
  link.ReplyToNextWrite({ToBytes(std::string("S1") + ErMarker)});
  EXPECT_FALSE(QuerySerialNumber(session, out));
  EXPECT_TRUE(dialog.Messages().empty());
}

TEST_F(DeviceInfo, SerialNumberEndsAtAZeroByte) {
  session.framed = 1;
  ScriptQueryReply(link, true, std::string("S1\0junk", 7));
  std::wstring out;
  ASSERT_TRUE(QuerySerialNumber(session, out));
  EXPECT_EQ(out, L"S1");
}

// The same queries against a simulated KT52, in both transports.
class DeviceInfoOnSimulator : public ::testing::TestWithParam<kt52::Transport> {
 protected:
  void SetUp() override {
    ResetProgramState();
    options.transport = GetParam();
    options.serialNumber = "KT52SIM7";
    options.deviceInfo = "{Model:KT52};{SN:KT52SIM7};{Firmware:3.1.7}";
  }
  void TearDown() override { ResetProgramState(); }
  void Connect(SimulatedScannerLink& link) {
    session.link = &link;
    FillResponseModeList(dialog);
    dialog.SetEnabled(IDC_OPEN, false);
    ASSERT_TRUE(link.OpenPort(3));
  }

  VirtualTimeScope time;
  ScannerSession& session = DialogSession;  // the dialog's operations run on it
  kt52::DeviceOptions options;
  MemoryControls dialog;
};

TEST_P(DeviceInfoOnSimulator, ShowsTheDeviceInformation) {
  SimulatedScannerLink link(options);
  Connect(link);
  EXPECT_TRUE(ShowDeviceInfo(dialog));
  auto messages = dialog.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, L"{Model:KT52};\r\n{SN:KT52SIM7};\r\n{Firmware:3.1.7}\r\n");
  EXPECT_EQ(messages[0].caption, L"Device Infomation");
  EXPECT_EQ(link.Device().Commands(), (std::vector<std::string>{Command::GetDeviceInfo}));
}

TEST_P(DeviceInfoOnSimulator, ReadsTheSerialNumber) {
  SimulatedScannerLink link(options);
  Connect(link);
  ASSERT_TRUE(WakeDevice(session));
  std::wstring serial;
  ASSERT_TRUE(QuerySerialNumber(session, serial));
  EXPECT_EQ(serial, L"KT52SIM7");
}

TEST_P(DeviceInfoOnSimulator, RefusedQueryIsAnError) {
  options.refused = {"5207"};
  SimulatedScannerLink link(options);
  Connect(link);
  EXPECT_FALSE(ShowDeviceInfo(dialog));
  ASSERT_EQ(dialog.Messages().size(), 1u);
  EXPECT_EQ(dialog.Messages()[0].text, L"Get Devices Info Error!");
}

TEST_P(DeviceInfoOnSimulator, SilentScannerGivesAnErrorWithoutHanging) {
  options.silentAfter = 0;
  SimulatedScannerLink link(options);
  Connect(link);
  std::uint64_t start = virtual_time::NowMs();
  EXPECT_FALSE(ShowDeviceInfo(dialog));
  ASSERT_EQ(dialog.Messages().size(), 1u);
  EXPECT_EQ(dialog.Messages()[0].text, L"Get Devices Info Error!");
  EXPECT_LT(virtual_time::NowMs() - start, 10000u);
}

INSTANTIATE_TEST_SUITE_P(BothTransports, DeviceInfoOnSimulator,
                         ::testing::Values(kt52::Transport::Framed, kt52::Transport::Plain),
                         [](const auto& info) {
                           return info.param == kt52::Transport::Framed ? "Framed" : "Plain";
                         });
}  // namespace
