// The command exchange against the simulated scanner on virtual time: the
// link behaves like a port with a KT52 behind it.
#include "support/simulated_scanner_link.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "support/exchange_flow.h"
#include "support/virtual_time.h"
#include "support/program_state.h"

namespace {
class SimulatedLinkTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetProgramState(); }
  void TearDown() override { ResetProgramState(); }

  // Opens the link, makes it the exchange's and wakes the scanner.
  void Start(SimulatedScannerLink& link) {
    ASSERT_TRUE(link.OpenPort(3));
    session.link = &link;
    ASSERT_TRUE(WakeDevice(session));
  }

  VirtualTimeScope time_;
  ScannerSession session;
};

kt52::DeviceOptions PlainScanner() {
  kt52::DeviceOptions options;
  options.transport = kt52::Transport::Plain;
  return options;
}
}  // namespace

TEST_F(SimulatedLinkTest, WakeUpChoosesTheTransport) {
  SimulatedScannerLink framed{kt52::DeviceOptions{}};
  Start(framed);
  EXPECT_EQ(session.framed, 1);
  SimulatedScannerLink plain{PlainScanner()};
  Start(plain);
  EXPECT_EQ(session.framed, 0);
}

TEST_F(SimulatedLinkTest, QueriesAndSettingsInBothModes) {
  for (auto transport : {kt52::Transport::Framed, kt52::Transport::Plain}) {
    kt52::DeviceOptions options;
    options.transport = transport;
    options.serialNumber = "SN-42";
    SimulatedScannerLink link(options);
    Start(link);
    EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "SN-42");
    EXPECT_TRUE(SendSetting(session, Command::TimeFormatEU));
    EXPECT_EQ(AskText(session, Command::GetTimeFormat, Reply::TimeFormat), "EU");
    EXPECT_EQ(AskText(session, Command::GetTime, Reply::Time).substr(0, 10), "17/05/2024");
    EXPECT_TRUE(SendSetting(session, "$$%^112030/01/02,3;04:05:06"));
    // Plain mode: the clock was set before the pause after the command.
    std::int64_t late = kt52::ToSeconds(link.Device().Clock()) -
                        kt52::ToSeconds({2030, 1, 2, 4, 5, 6});
    EXPECT_EQ(late, transport == kt52::Transport::Plain ? 1 : 0);
  }
}

TEST_F(SimulatedLinkTest, PlainCommandsCostTheirPausesInVirtualTime) {
  SimulatedScannerLink link{PlainScanner()};
  Start(link);
  std::uint64_t before = virtual_time::NowMs();
  EXPECT_TRUE(SendSetting(session, Command::EraseBarcodes));
  EXPECT_EQ(virtual_time::NowMs() - before, 2000u);  // an exact OK marker ends the read at once
  // The scanner's clock ran along.
  EXPECT_EQ(link.Device().Clock(), (kt52::DeviceTime{2024, 5, 17, 9, 30, 2}));
}

TEST_F(SimulatedLinkTest, SilentScannerLeavesThePlainModeAndFailsItsQueries) {
  kt52::DeviceOptions options;
  options.silentAfter = 0;
  SimulatedScannerLink link(options);
  session.framed = 1;
  Start(link);
  EXPECT_EQ(session.framed, 0);
  std::uint64_t before = virtual_time::NowMs();
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "<reply failed>");
  EXPECT_EQ(virtual_time::NowMs() - before, 3000u);  // two pauses and one read window
}

TEST_F(SimulatedLinkTest, BrokenFrameIsResentAndTheBoundedRetryEndsAnEndlessOne) {
  kt52::DeviceOptions options;
  options.badXorFrame = 1;
  SimulatedScannerLink once(options);
  Start(once);
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "KT5200001");
  EXPECT_EQ(once.Device().HostNaks(), 1u);

  options.badXorAlways = true;
  SimulatedScannerLink always(options);
  Start(always);
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "<reply failed>");
  EXPECT_EQ(always.Device().HostNaks(), static_cast<std::size_t>(MaxReplyRetries) + 1);
}

TEST_F(SimulatedLinkTest, DownloadArrivesWholeInBothModes) {
  kt52::DeviceOptions options;
  options.generatedRecords = 400;
  options.frameSize = 2000;
  SimulatedScannerLink framed(options);
  Start(framed);
  EXPECT_EQ(DownloadAll(session), framed.Device().DownloadText());

  options.transport = kt52::Transport::Plain;
  SimulatedScannerLink plain(options);
  Start(plain);
  EXPECT_EQ(DownloadAll(session), plain.Device().PlainDownloadStream());
}

TEST_F(SimulatedLinkTest, ClosedLineEndsTheDownloadAndRefusesWrites) {
  kt52::DeviceOptions options;
  options.generatedRecords = 100;
  options.frameSize = 500;
  options.closeAfter = 2;
  SimulatedScannerLink link(options);
  Start(link);
  EXPECT_EQ(DownloadAll(session), link.Device().DownloadText().substr(0, 1000));
  EXPECT_FALSE(WakeDevice(session));
  // Opening the port again does not plug the scanner back in.
  ASSERT_TRUE(link.OpenPort(3));
  EXPECT_FALSE(WakeDevice(session));
}

TEST_F(SimulatedLinkTest, SeveralScannersEachOnTheirOwnPort) {
  SimulatedScannerLink link;
  kt52::DeviceOptions first;
  first.serialNumber = "FIRST";
  kt52::DeviceOptions second = PlainScanner();
  second.serialNumber = "SECOND";
  link.AddScanner(3, first);
  link.AddScanner(12, second);
  session.link = &link;

  EXPECT_FALSE(link.OpenPort(5));
  EXPECT_FALSE(link.IsOpen());
  ASSERT_TRUE(link.OpenPort(12));
  ASSERT_TRUE(WakeDevice(session));
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "SECOND");
  ASSERT_TRUE(link.OpenPort(3));
  ASSERT_TRUE(WakeDevice(session));
  EXPECT_EQ(AskText(session, Command::GetSerialNumber, Reply::SerialNumberForList), "FIRST");
  EXPECT_EQ(link.Device(12).Commands(), std::vector<std::string>{"$$%^5202"});
  EXPECT_EQ(link.OpenCount(), 2u);
}

TEST_F(SimulatedLinkTest, ClosedLinkNeitherReadsNorWrites) {
  SimulatedScannerLink link{kt52::DeviceOptions{}};
  const std::uint8_t wake = '*';
  EXPECT_FALSE(link.Write(&wake, 1));
  ASSERT_TRUE(link.OpenPort(1));
  EXPECT_FALSE(link.Open(1, 115200, 8, 0, 0, 3));
  EXPECT_TRUE(link.IsOpen());  // a refused flow control leaves the port as it was
  EXPECT_FALSE(link.Write(&wake, 0));
  ASSERT_TRUE(link.Write(&wake, 1));
  EXPECT_EQ(link.BytesWaiting(), 1u);
  link.Close();
  std::uint8_t byte = 0;
  EXPECT_EQ(link.Read(&byte, 1, 3000, 0), 0u);
}
