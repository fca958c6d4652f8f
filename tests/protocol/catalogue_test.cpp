// Named commands and how their replies are read, on a scripted link.
#include "protocol/catalogue.h"

#include <gtest/gtest.h>

#include <cstring>

#include "protocol/exchange.h"
#include "support/scripted_link.h"
#include "support/virtual_time.h"
#include "support/program_state.h"

namespace {
using Bytes = ScriptedLink::Bytes;

class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    session.link = &link;
    link.Open(3, 115200, 8, 0, 0, 0);
  }
  void TearDown() override { ResetProgramState(); }
  VirtualTimeScope time;
  ScriptedLink link;
  ScannerSession session{&link};
};

TEST(CommandTable, EveryCommandIsEightBytesButSetTime) {
  const char* all[] = {Command::DownloadBarcodes, Command::ShowTimeStamp,   Command::HideTimeStamp,
                       Command::TimeFormatCN,     Command::TimeFormatEU,    Command::TimeFormatUS,
                       Command::GetTime,          Command::GetTimeFormat,   Command::EraseBarcodes,
                       Command::ShowSerialNumber, Command::HideSerialNumber, Command::GetSerialNumber,
                       Command::GetDeviceInfo,    Command::GetDefaultSeparator};
  for (const char* c : all) {
    EXPECT_EQ(CommandLength, std::strlen(c)) << c;
    EXPECT_EQ(0, std::strncmp(c, "$$%^", 4)) << c;
  }
  EXPECT_EQ(SetTimeCommandLength, std::strlen(Command::SetTimePrefix) + SetTimeTextLength);
}

TEST_F(Catalogue, PlainQueryReadsWithItsOwnParameters) {
  link.ReplyToNextWrite({ToBytes(std::string("CH") + OkMarker)});
  std::uint8_t out[16];
  std::size_t n = 0;
  EXPECT_EQ(QueryOutcome::Ok, Query(session, Command::GetTimeFormat, Reply::TimeFormat, out, sizeof out, &n));
  EXPECT_EQ(2u, n);
  EXPECT_STREQ("CH", reinterpret_cast<char*>(out));
  EXPECT_EQ(ToBytes("$$%^1004"), link.writes.at(0));
  ASSERT_EQ(1u, link.readRequests.size());  // a query waits for no acknowledgement
  EXPECT_EQ(12u, link.readRequests[0].count);
  EXPECT_EQ(3000u, link.readRequests[0].totalMs);
  EXPECT_EQ(0u, link.readRequests[0].intervalMs);
}

TEST_F(Catalogue, FramedQuerySizesItsReadToTheExpectedFrame) {
  session.framed = 1;
  Bytes frame(30);
  const char time[] = "2024/05/06,07:08:09";
  frame.resize(BuildCommandFrame(reinterpret_cast<const std::uint8_t*>(time), 19, frame.data(),
                                 frame.size()));
  link.ReplyToNextWrite({frame});
  link.ReplyToNextWrite({{0x02, 0x01, Ack, 0x00, 0x03}});
  std::uint8_t out[20];
  std::size_t n = 0;
  EXPECT_EQ(QueryOutcome::Ok, Query(session, Command::GetTime, Reply::Time, out, sizeof out, &n));
  EXPECT_EQ(19u, n);
  EXPECT_STREQ(time, reinterpret_cast<char*>(out));
  EXPECT_EQ(30u, link.readRequests.at(0).count + link.readRequests.at(1).count +
                     link.readRequests.at(2).count);  // 19 + 11, learned from the frame
  EXPECT_EQ(500u, link.readRequests.at(0).totalMs);
}

TEST_F(Catalogue, QueryReportsWhichStepFailed) {
  std::uint8_t out[120];
  std::size_t n = 0;
  link.failWrites = true;
  EXPECT_EQ(QueryOutcome::SendFailed,
            Query(session, Command::GetSerialNumber, Reply::SerialNumberForList, out, sizeof out, &n));
  link.failWrites = false;
  EXPECT_EQ(QueryOutcome::ReplyFailed,
            Query(session, Command::GetSerialNumber, Reply::SerialNumberForList, out, sizeof out, &n));
  link.ReplyToNextWrite({ToBytes(std::string("x") + ErMarker)});
  EXPECT_EQ(QueryOutcome::ReplyFailed,
            Query(session, Command::GetSerialNumber, Reply::SerialNumberForList, out, sizeof out, &n));
}

TEST_F(Catalogue, QueryRefusesADestinationTooSmallForItsReply) {
  std::uint8_t out[100];  // no room for the terminating zero
  std::size_t n = 0;
  EXPECT_EQ(QueryOutcome::ReplyFailed,
            Query(session, Command::GetSerialNumber, Reply::SerialNumberForList, out, sizeof out, &n));
  EXPECT_TRUE(link.writes.empty());
}

TEST_F(Catalogue, SettingIsAcknowledged) {
  link.ReplyToNextWrite({ToBytes(OkMarker)});
  EXPECT_TRUE(SendSetting(session, Command::EraseBarcodes));
  EXPECT_EQ(ToBytes("$$%^1200"), link.writes.at(0));
  link.ReplyToNextWrite({ToBytes(ErMarker)});
  EXPECT_FALSE(SendSetting(session, Command::EraseBarcodes));
}
}  // namespace
