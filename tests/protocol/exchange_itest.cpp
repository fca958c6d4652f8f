// The command exchange and the catalogue over SerialPort and a pty, against
// kt52sim in both transports. Plain mode costs two seconds per command, so
// each test sends only what it needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "kt52sim/kt52_device.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "support/exchange_flow.h"
#include "support/sim_process.h"
#include "transport/serial_port.h"
#include "support/program_state.h"

namespace {
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

kt52::DeviceOptions Framed() { return {}; }

kt52::DeviceOptions Plain() {
  kt52::DeviceOptions options;
  options.transport = kt52::Transport::Plain;
  return options;
}

// How often bytes occur in haystack.
std::size_t Occurrences(const Bytes& haystack, const Bytes& needle) {
  std::size_t count = 0;
  auto at = haystack.begin();
  while ((at = std::search(at, haystack.end(), needle.begin(), needle.end())) != haystack.end()) {
    ++count;
    ++at;
  }
  return count;
}

const Bytes HostNak{0x02, 0x01, 0x15, 0x00, 0x3B, 0x03};

class ExchangeWire : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramState(); }
  void TearDown() override { ResetProgramState(); }

  // Starts a simulator with these options on COM3, opens it and wakes it.
  void Start(const kt52::DeviceOptions& options) {
    options_ = options;
    sim_ = std::make_unique<SimProcess>(options);
    ASSERT_TRUE(sim_->Started());
    ASSERT_TRUE(sim_->LinkAsCom(com_.Path(), 3));
    ASSERT_TRUE(port_.Open(3, 115200, 8, 0, 0, FlowNone));
    session.link = &port_;
    ASSERT_TRUE(WakeDevice(session));
    ASSERT_EQ(session.framed, options.transport == kt52::Transport::Framed ? 1 : 0);
  }

  // The three time formats and set-time, each seen in the scanner's answers.
  void ExpectClockSettingsTakeEffect() {
    EXPECT_TRUE(SendSetting(session, Command::TimeFormatEU));
    EXPECT_TRUE(SendSetting(session, "$$%^112030/01/02,3;04:05:06"));
    EXPECT_EQ(AskText(session, Command::GetTime, Reply::Time).substr(0, 17), "02/01/2030,04:05:");
    EXPECT_TRUE(SendSetting(session, Command::TimeFormatUS));
    EXPECT_EQ(AskText(session, Command::GetTimeFormat, Reply::TimeFormat), "US");
    EXPECT_TRUE(SendSetting(session, Command::TimeFormatCN));
    EXPECT_EQ(AskText(session, Command::GetTimeFormat, Reply::TimeFormat), "CH");
  }

  // What a scanner with the test's records, separator and piece size sends
  // after these (plain) commands: the records, or the plain download stream.
  std::string Expected(const std::vector<std::string>& commands, bool plainStream = false) {
    kt52::DeviceOptions plain = options_;
    plain.transport = kt52::Transport::Plain;
    plain.refused.clear();
    plain.silentAfter.reset();
    plain.garbage.clear();
    kt52::Kt52Device device(plain);
    for (const std::string& c : commands) device.Receive(Bytes(c.begin(), c.end()));
    return plainStream ? device.PlainDownloadStream() : device.DownloadText();
  }

  ComFolder com_;
  std::unique_ptr<SimProcess> sim_;
  SerialPort port_;
  ScannerSession session{&port_};
  kt52::DeviceOptions options_;
};
}  // namespace

TEST_F(ExchangeWire, FramedEveryQueryAndSettingOfTheCatalogue) {
  kt52::DeviceOptions options = Framed();
  options.generatedRecords = 6;
  options.serialNumber = "KT52-WIRE";
  Start(options);

  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "KT52-WIRE");
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForFileName), "KT52-WIRE");
  EXPECT_EQ(AskText(session, Command::GetDeviceInfo, Reply::DeviceInfo),
            "{Model:KT52};{SN:KT52-WIRE};{Firmware:3.1.7};{Records:6}");
  EXPECT_EQ(AskText(session, Command::GetDefaultSeparator, Reply::DefaultSeparator), "Separator:END");
  EXPECT_EQ(AskText(session, Command::GetTimeFormat, Reply::TimeFormat), "CH");
  EXPECT_EQ(AskText(session, Command::GetTime, Reply::Time).substr(0, 11), "2024/05/17,");

  ExpectClockSettingsTakeEffect();

  EXPECT_TRUE(SendSetting(session, Command::HideSerialNumber));
  EXPECT_TRUE(SendSetting(session, Command::HideTimeStamp));
  EXPECT_EQ(DownloadAll(session), Expected({"$$%^1401", "$$%^0301"}));
  EXPECT_TRUE(SendSetting(session, Command::ShowSerialNumber));
  EXPECT_TRUE(SendSetting(session, Command::ShowTimeStamp));
  EXPECT_EQ(DownloadAll(session), Expected({}));
  EXPECT_TRUE(SendSetting(session, Command::EraseBarcodes));
  EXPECT_EQ(DownloadAll(session), "");

  // The get-device-info command went over the wire as its 19-byte frame.
  const Bytes frame{0x7E, 0x01, 0x30, 0x30, 0x30, 0x30, 0x00, 0x08, 0x24, 0x24,
                    0x25, 0x5E, 0x35, 0x32, 0x30, 0x37, 0x3B, 0x03, 0x7B};
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), frame), 1u);
}

TEST_F(ExchangeWire, FramedRefusedSettingAndSilentScanner) {
  kt52::DeviceOptions options = Framed();
  options.refused = {"1400"};
  options.silentAfter = 1;
  Start(options);
  EXPECT_FALSE(SendSetting(session, Command::ShowSerialNumber));
  // From now on the scanner is silent: the acknowledgement read waits out its
  // 3000 ms and the wake-up falls back to plain mode.
  Clock::time_point start = Clock::now();
  EXPECT_FALSE(SendSetting(session, Command::HideSerialNumber));
  long elapsed = MsSince(start);
  EXPECT_GE(elapsed, 2990);
  EXPECT_LT(elapsed, 2 * 3000);
  start = Clock::now();
  EXPECT_TRUE(WakeDevice(session));
  elapsed = MsSince(start);
  EXPECT_EQ(session.framed, 0);
  EXPECT_GE(elapsed, 2990);
  EXPECT_LT(elapsed, 2 * 3000);
}

TEST_F(ExchangeWire, FramedBrokenFrameIsResentAndTheReplyRecovers) {
  kt52::DeviceOptions options = Framed();
  options.badXorFrame = 1;
  Start(options);
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "KT5200001");
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), HostNak), 1u);
}

TEST_F(ExchangeWire, FramedGarbageBeforeAReplyIsRefusedThenTheResendCounts) {
  kt52::DeviceOptions options = Framed();
  options.garbage = "\xFF\xFE";
  Start(options);
  // The serial number read is larger than the frame, so garbage and frame
  // arrive in one read: refused, and the clean resend is taken.
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "KT5200001");
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), HostNak), 1u);
  // A read sized exactly to the frame leaves the garbage's length of bytes
  // behind; they are dropped before the NAK, so the resend is read cleanly.
  EXPECT_EQ(AskText(session, Command::GetTimeFormat, Reply::TimeFormat), "CH");
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), HostNak), 2u);
}

TEST_F(ExchangeWire, FramedGarbageBeforeAFullDownloadFrameIsDroppedWithIt) {
  kt52::DeviceOptions options = Framed();
  options.generatedRecords = 1000;  // several full frames
  options.garbage = "\xFF\xFE";      // before the download's acknowledgement
  Start(options);
  // The first read holds the acknowledgement's last bytes and all but two
  // bytes of the first frame: refused, the two dropped, the resend read whole.
  std::string received = DownloadAll(session);
  EXPECT_EQ(received.size(), Expected({}).size());
  EXPECT_TRUE(received == Expected({})) << "download bytes differ";
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), HostNak), 1u);
}

TEST_F(ExchangeWire, FramedEndlesslyBrokenFramesEndAfterTheBoundedRetry) {
  kt52::DeviceOptions options = Framed();
  options.badXorFrame = 1;
  options.badXorAlways = true;
  Start(options);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "<reply failed>");
  EXPECT_LT(MsSince(start), 10000);
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), HostNak),
            static_cast<std::size_t>(MaxReplyRetries) + 1);
}

TEST_F(ExchangeWire, FramedDownloadOfHundredsOfRecordsByteForByte) {
  kt52::DeviceOptions options = Framed();
  options.generatedRecords = 400;
  options.frameSize = 4096;
  options.badXorFrame = 3;  // one frame in the middle comes broken and is sent again
  Start(options);
  std::string received = DownloadAll(session);
  EXPECT_EQ(received.size(), Expected({}).size());
  EXPECT_EQ(received, Expected({}));
  EXPECT_EQ(Occurrences(sim_->ReceivedBytes(), HostNak), 1u);
}

TEST_F(ExchangeWire, FramedLineClosedMidDownloadEndsWithoutHanging) {
  kt52::DeviceOptions options = Framed();
  options.generatedRecords = 300;
  options.frameSize = 1000;
  options.closeAfter = 2;
  Start(options);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(DownloadAll(session), Expected({}).substr(0, 2000));
  EXPECT_LT(MsSince(start), 5000);
  EXPECT_FALSE(WakeDevice(session));
}

TEST_F(ExchangeWire, PlainQueriesAnswerWithTheirPayloads) {
  kt52::DeviceOptions options = Plain();
  options.deviceInfo = "{Model:KT52};{Ver:2};{X}";
  options.separator = ";";
  options.dateFormat = kt52::DateFormat::US;
  Start(options);
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "KT5200001");
  EXPECT_EQ(AskText(session, Command::GetDeviceInfo, Reply::DeviceInfo), "{Model:KT52};{Ver:2};{X}");
  EXPECT_EQ(AskText(session, Command::GetDefaultSeparator, Reply::DefaultSeparator), "Separator:;");
  EXPECT_EQ(AskText(session, Command::GetTimeFormat, Reply::TimeFormat), "US");
  EXPECT_EQ(AskText(session, Command::GetTime, Reply::Time).substr(0, 11), "05/17/2024,");
  // Bare command text on the wire, nothing else but the wake-up.
  const Bytes bytes = sim_->ReceivedBytes();
  const std::string sent(bytes.begin(), bytes.end());
  EXPECT_EQ(sent, "*$$%^5202$$%^5207$$%^5603$$%^1004$$%^1003");
}

TEST_F(ExchangeWire, PlainDisplayItemsShapeTheDownloadAndEraseEmptiesIt) {
  kt52::DeviceOptions options = Plain();
  options.generatedRecords = 1000;
  options.refused = {"0300"};
  Start(options);
  EXPECT_TRUE(SendSetting(session, Command::HideSerialNumber));
  EXPECT_FALSE(SendSetting(session, Command::ShowTimeStamp));  // refused: ER marker
  EXPECT_TRUE(SendSetting(session, Command::HideTimeStamp));
  std::string received = DownloadAll(session);
  EXPECT_EQ(received, Expected({"$$%^1401", "$$%^0301"}, true));
  EXPECT_GT(received.size(), 10250u);  // more than one piece
  EXPECT_TRUE(SendSetting(session, Command::EraseBarcodes));
  EXPECT_EQ(DownloadAll(session), "");
}

TEST_F(ExchangeWire, PlainClockAndDateFormatSettings) {
  Start(Plain());
  ExpectClockSettingsTakeEffect();
  EXPECT_TRUE(SendSetting(session, Command::ShowSerialNumber));
}

TEST_F(ExchangeWire, PlainSilentScannerFailsAQueryAfterItsWindow) {
  kt52::DeviceOptions options = Plain();
  options.wake.kind = kt52::WakeAnswer::Silence;
  options.silentAfter = 0;
  Start(options);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "<reply failed>");
  long elapsed = MsSince(start);
  EXPECT_GE(elapsed, 2990);  // two pauses and the 1000 ms read window
  EXPECT_LT(elapsed, 2 * 3000);
}
