// The command exchange on a scripted link, on virtual time.
#include "protocol/exchange.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ui/dialog_session.h"
#include "support/scripted_link.h"
#include "support/virtual_time.h"
#include "ui/control_ids.h"
#include "support/memory_controls.h"
#include "support/program_state.h"
#include "ui/data_controls.h"
#include "ui/window_front_end.h"

namespace {
using Bytes = ScriptedLink::Bytes;

Bytes Frame(const std::string& payload) {
  Bytes out(payload.size() + 11);
  std::size_t n = BuildCommandFrame(reinterpret_cast<const std::uint8_t*>(payload.data()),
                                    payload.size(), out.data(), out.size());
  out.resize(n);
  return out;
}

const Bytes DeviceAck = {0x02, 0x01, Ack, 0x00, 0x03};
const Bytes DeviceRefusal = {0x02, 0x01, Nak, 0x00, 0x03};

class Exchange : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    session.link = &link;
    FillResponseModeList(dialog);
    link.Open(3, 115200, 8, 0, 0, 0);
  }
  void TearDown() override { ResetProgramState(); }
  void Framed() { session.framed = 1; }
  int Receive(std::uint8_t* out, std::size_t max, bool bulk = false, bool strip = true) {
    return ReceiveReply(session, out, max, 1000, 20, bulk, strip);
  }

  VirtualTimeScope time;
  ScriptedLink link;
  ScannerSession session{&link};
  MemoryControls dialog;
};

TEST(CommandFrame, WrapsCommandWithLengthTrailerAndXor) {
  const Bytes expected = {0x7E, 0x01, 0x30, 0x30, 0x30, 0x30, 0x00, 0x08, 0x24, 0x24,
                          0x25, 0x5E, 0x35, 0x32, 0x30, 0x37, 0x3B, 0x03, 0x7B};
  EXPECT_EQ(Frame("$$%^5207"), expected);
}

TEST(CommandFrame, RefusesTooSmallBuffer) {
  std::uint8_t out[18];
  EXPECT_EQ(0u, BuildCommandFrame(reinterpret_cast<const std::uint8_t*>("$$%^5207"), 8, out,
                                  sizeof out));
}

TEST(DataFrame, ValidOnlyWhenCountAndXorAgree) {
  Bytes frame = Frame("12345");
  EXPECT_EQ(5, CheckDataFrame(frame.data(), frame.size()));
  Bytes badXor = frame;
  badXor.back() ^= 0xFF;
  EXPECT_EQ(-1, CheckDataFrame(badXor.data(), badXor.size()));
  EXPECT_EQ(-1, CheckDataFrame(frame.data(), frame.size() - 1));
  EXPECT_EQ(-1, CheckDataFrame(frame.data(), 10));
  Bytes empty = Frame("");
  EXPECT_EQ(0, CheckDataFrame(empty.data(), empty.size()));
}

TEST(Markers, CountOnlyTheLastTenCharactersUpToTheFirstZero) {
  EXPECT_TRUE(EndsWithMarker("12345\r\n$$%~OK\r\n", OkMarker));
  EXPECT_TRUE(EndsWithMarker("\r\n$$%~OK\r\n", OkMarker));
  EXPECT_FALSE(EndsWithMarker("\n$$%~OK\r\n", OkMarker));
  EXPECT_FALSE(EndsWithMarker("12345\r\n$$%~OK\r\nx", OkMarker));
  EXPECT_TRUE(EndsWithMarker("x\r\n$$%~ER\r\n", ErMarker));
  const char zeroInside[] = "\r\n$$%~OK\r\n\0tail";
  EXPECT_TRUE(EndsWithMarker(zeroInside, OkMarker));
  EXPECT_FALSE(EndsWithMarker("", OkMarker));
}

TEST_F(Exchange, WakeUpAnsweredWithAckSelectsFramedMode) {
  link.QueueNow({0x41, 0x42});  // stale bytes are dropped first
  link.ReplyToNextWrite({{Ack}});
  EXPECT_TRUE(WakeDevice(session));
  EXPECT_EQ(1, session.framed);
  EXPECT_EQ(2u, link.discardedBytes);
  ASSERT_EQ(1u, link.writes.size());
  EXPECT_EQ(Bytes{'*'}, link.writes[0]);
  EXPECT_EQ(3000u, link.readRequests.back().totalMs);
  EXPECT_EQ(0u, link.readRequests.back().intervalMs);
}

TEST_F(Exchange, WakeUpAnsweredWithNakOrSilenceSelectsPlainMode) {
  Framed();
  link.ReplyToNextWrite({{Nak}});
  EXPECT_TRUE(WakeDevice(session));
  EXPECT_EQ(0, session.framed);

  Framed();
  std::uint64_t before = virtual_time::NowMs();
  EXPECT_TRUE(WakeDevice(session));  // silence is no failure
  EXPECT_EQ(0, session.framed);
  EXPECT_EQ(3000u, virtual_time::NowMs() - before);

  // ... but it is told apart from an answer.
  Framed();
  EXPECT_EQ(WakeAnswer::Silent, WakeForAnswer(session));
  EXPECT_EQ(0, session.framed);
  link.ReplyToNextWrite({{Nak}});
  EXPECT_EQ(WakeAnswer::Nak, WakeForAnswer(session));
}

TEST_F(Exchange, WakeUpAnsweredWithOtherByteKeepsTheMode) {
  Framed();
  link.ReplyToNextWrite({{'?'}});
  EXPECT_TRUE(WakeDevice(session));
  EXPECT_EQ(1, session.framed);
  session.framed = 0;
  link.ReplyToNextWrite({{'?'}});
  EXPECT_TRUE(WakeDevice(session));
  EXPECT_EQ(0, session.framed);
}

TEST_F(Exchange, WakeUpFailsOnlyWhenTheByteCannotBeWritten) {
  Framed();
  link.failWrites = true;
  EXPECT_FALSE(WakeDevice(session));
  EXPECT_EQ(WakeAnswer::NotWritten, WakeForAnswer(session));
  EXPECT_EQ(1, session.framed);
}

TEST_F(Exchange, FramedSettingWaitsForTheDeviceAcknowledgement) {
  Framed();
  link.ReplyToNextWrite({DeviceAck});
  EXPECT_TRUE(SendCommand(session, "$$%^1200", 8, true));
  ASSERT_EQ(1u, link.writes.size());
  EXPECT_EQ(Frame("$$%^1200"), link.writes[0]);
  EXPECT_EQ(5u, link.readRequests.back().count);
  EXPECT_EQ(3000u, link.readRequests.back().totalMs);

  link.ReplyToNextWrite({DeviceRefusal});
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  link.ReplyToNextWrite({{0x02, 0x01}});  // too short to hold the verdict
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));  // nothing at all
}

TEST_F(Exchange, FramedQueryDoesNotWaitAndSendsNoPause) {
  Framed();
  EXPECT_TRUE(SendCommand(session, "$$%^5202", 8, false));
  EXPECT_TRUE(link.readRequests.empty());
  EXPECT_EQ(0u, virtual_time::NowMs());
}

TEST_F(Exchange, CommandThatCannotBeWrittenFails) {
  Framed();
  link.failWrites = true;
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  EXPECT_TRUE(link.readRequests.empty());
}

TEST_F(Exchange, PlainCommandIsSentBareBetweenTwoPauses) {
  link.ReplyToNextWrite({ToBytes(OkMarker)});
  EXPECT_TRUE(SendCommand(session, "$$%^1200", 8, true));
  ASSERT_EQ(1u, link.writes.size());
  EXPECT_EQ(ToBytes("$$%^1200"), link.writes[0]);
  EXPECT_EQ(2000u + 0u, virtual_time::NowMs());  // the OK arrived whole: no wait
  EXPECT_EQ(10u, link.readRequests.back().count);
  EXPECT_EQ(500u, link.readRequests.back().totalMs);
  EXPECT_EQ(20u, link.readRequests.back().intervalMs);
}

TEST_F(Exchange, PlainPausesAreTakenEvenWhenTheWriteFails) {
  link.failWrites = true;
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  EXPECT_EQ(2000u, virtual_time::NowMs());
}

TEST_F(Exchange, PlainAcknowledgementMustBeExactlyTheOkMarker) {
  link.ReplyToNextWrite({ToBytes(ErMarker)});
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  link.ReplyToNextWrite({ToBytes("\r\n$$%~OK")});
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
  link.ReplyToNextWrite({ToBytes("x\r\n$$%~OK\r\n")});  // the first 10 bytes are not the marker
  EXPECT_FALSE(SendCommand(session, "$$%^1200", 8, true));
}

// A gap longer than the 20 ms interval inside the marker: the rest is still
// the marker's, not the first bytes of the data behind it.
TEST_F(Exchange, PlainAcknowledgementCutByAGapIsReadWhole) {
  link.ReplyToNextWrite({ToBytes("\r\n$$%~O"), ToBytes("K\r\nA,1\r")});
  EXPECT_TRUE(SendCommand(session, "$$%^0206", 8, true));
  std::uint8_t out[64] = {};
  ASSERT_EQ(4, ReceiveReply(session, out, 40, 500, 2000, true, false));
  EXPECT_EQ(0, std::memcmp(out, "A,1\r", 4));
}

// The scripted replies are released by writes; drive the receive after one.
class FramedReply : public Exchange {
 protected:
  void SetUp() override {
    Exchange::SetUp();
    Framed();
  }
  // Makes the next read see bursts, then the confirmation after our host ack.
  void Arrive(const Bytes& reply, const Bytes& confirmation = DeviceAck) {
    link.QueueNow(reply);
    link.ReplyToNextWrite({confirmation});
  }
  Bytes HostAck(std::uint8_t verdict, std::uint8_t mode) {
    return {0x02, 0x01, verdict, mode, 0x3B, 0x03};
  }
};

TEST_F(FramedReply, ValidFrameGivesPayloadAndAck) {
  Arrive(Frame("SN001"));
  std::uint8_t out[101] = {};
  EXPECT_EQ(5, Receive(out, 100));
  EXPECT_EQ(0, std::memcmp(out, "SN001", 5));
  ASSERT_EQ(1u, link.writes.size());
  EXPECT_EQ(HostAck(Ack, 0), link.writes[0]);
  ASSERT_EQ(4u, link.readRequests.size());
  EXPECT_EQ(1000u, link.readRequests[0].totalMs);  // the window, for the first byte
  EXPECT_EQ(16u, link.readRequests[0].count + link.readRequests[1].count +
                     link.readRequests[2].count);  // then exactly the frame's N + 11
  EXPECT_EQ(5u, link.readRequests[3].count);       // the confirmation
  EXPECT_EQ(3000u, link.readRequests[3].totalMs);
}

TEST_F(FramedReply, HostAcknowledgementCarriesTheResponseChoice) {
  session.responseMode = 2;
  Arrive(Frame("x"));
  std::uint8_t out[8] = {};
  EXPECT_EQ(1, Receive(out, 4));
  EXPECT_EQ(HostAck(Ack, 2), link.writes[0]);
  session.responseMode = 1;
  Arrive(Frame("x"));
  EXPECT_EQ(1, Receive(out, 4));
  EXPECT_EQ(HostAck(Ack, 1), link.writes[1]);
}

// What a framed reply that is not taken comes to: the result, the host's
// verdicts on the wire, and a destination left as it was when refused.
TEST_F(FramedReply, RepliesNotTakenAreRetriedOrEmpty) {
  Bytes lengthDisagrees = Frame("123456");  // 17 bytes
  lengthDisagrees[7] = 5;                   // says 5
  Bytes badXor = Frame("ABC");
  badXor.back() ^= 1;
  const Bytes tooShort = {0x7E, 0x01, 0x30, 0x30, 0x30, 0x30, 0x00, 0x00, 0x3B, 0x03};
  struct Case {
    const char* name;
    Bytes reply;
    std::vector<Bytes> confirmation;  // after our verdict
    bool failWrites;
    int result;
    std::string verdicts;  // A: ACK, N: NAK, as written
  };
  const std::vector<Case> cases = {
      {"length field disagrees with the count", lengthDisagrees, {DeviceAck}, false, ReplyRetry, "N"},
      {"wrong XOR", badXor, {DeviceAck}, false, ReplyRetry, "N"},
      {"read too short for a frame", tooShort, {DeviceAck}, false, ReplyRetry, "N"},
      {"our ACK refused", Frame("SN1"), {DeviceRefusal}, false, ReplyRetry, "A"},
      {"our ACK not confirmed", Frame("SN1"), {}, false, ReplyRetry, "A"},
      {"our ACK cannot be written", Frame("SN1"), {}, true, ReplyRetry, ""},
      {"nothing received", {}, {}, false, 0, ""},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    link.DiscardInput();
    link.writes.clear();
    link.failWrites = t.failWrites;
    if (!t.reply.empty()) link.QueueNow(t.reply);
    if (!t.confirmation.empty()) link.ReplyToNextWrite(t.confirmation);
    std::uint8_t out[32];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(t.result, Receive(out, 20));
    std::string verdicts;
    for (const Bytes& w : link.writes) {
      EXPECT_EQ(HostAck(w[2], 0), w);
      verdicts += w[2] == Ack ? 'A' : 'N';
    }
    EXPECT_EQ(t.verdicts, verdicts);
    if (t.verdicts == "N" || t.reply.empty()) {
      EXPECT_EQ(0xAA, out[0]) << "destination written";
    }
  }
}

TEST_F(FramedReply, BulkReceiveDoesNotWaitForConfirmation) {
  link.QueueNow(Frame("A\r"));
  std::uint8_t out[32] = {};
  EXPECT_EQ(2, ReceiveReply(session, out, 20, 500, 2000, true, false));
  for (const auto& read : link.readRequests) EXPECT_NE(3000u, read.totalMs);
  EXPECT_EQ(HostAck(Ack, 0), link.writes[0]);
}

TEST_F(FramedReply, WholeReplyReadsAgainAfterABrokenFrame) {
  Bytes bad = Frame("SN001");
  bad.back() ^= 1;
  link.QueueNow(bad);
  link.ReplyToNextWrite({DeviceAck, Frame("SN001")});  // our NAK confirmed, the frame resent
  link.ReplyToNextWrite({DeviceAck});                  // our ACK confirmed
  std::uint8_t out[101] = {};
  EXPECT_EQ(5, ReceiveWholeReply(session, out, 100, 1000, 20, false, true));
  EXPECT_EQ(0, std::memcmp(out, "SN001", 5));
  ASSERT_EQ(2u, link.writes.size());
  EXPECT_EQ(HostAck(Nak, 0), link.writes[0]);
  EXPECT_EQ(HostAck(Ack, 0), link.writes[1]);
}

TEST_F(FramedReply, WholeReplyGivesUpOnABrokenFrameThatNeverComesRight) {
  Bytes bad = Frame("SN001");
  bad.back() ^= 1;
  for (bool resent : {false, true}) {
    SCOPED_TRACE(resent ? "broken at every resend" : "never sent again");
    link.DiscardInput();
    link.writes.clear();
    link.QueueNow(bad);
    link.onWrite = [&](ScriptedLink& l, const Bytes& written) {
      if (written.size() == 6 && written[2] == Nak) {
        l.QueueNow(DeviceAck);
        if (resent) l.QueueNow(bad);
      }
    };
    std::uint8_t out[101] = {};
    EXPECT_EQ(ReplyGivenUp, ReceiveWholeReply(session, out, 100, 1000, 20, false, true));
    EXPECT_EQ(resent ? MaxReplyRetries + 1u : 1u, link.writes.size());
  }
}

TEST_F(FramedReply, WhatABrokenReadLeftIsDroppedSoTheResendIsReadCleanly) {
  const Bytes frame = Frame("A\rB\r");
  Bytes garbageFirst = {0xFF, 0xFE};
  garbageFirst.insert(garbageFirst.end(), frame.begin(), frame.end());
  const std::vector<std::vector<Bytes>> cases = {
      {garbageFirst},  // a read sized by the garbage leaves the frame's end behind
  };
  link.onWrite = [&](ScriptedLink& l, const Bytes& written) {
    if (written[2] == Nak) l.QueueNow(frame);  // the scanner sends it again
  };
  for (const auto& bursts : cases) {
    link.writes.clear();
    for (const Bytes& burst : bursts) link.QueueNow(burst);
    std::uint8_t out[16] = {};
    EXPECT_EQ(4, ReceiveWholeReply(session, out, 4, 500, 2000, true, false));
    EXPECT_EQ(0, std::memcmp(out, "A\rB\r", 4));
    EXPECT_EQ((std::vector<Bytes>{HostAck(Nak, 0), HostAck(Ack, 0)}), link.writes);
  }
}

// A bulk download on virtual time: the scanner's first bursts, then one frame
// after each host ACK, and one resend after a NAK. The read takes exactly one
// frame, however its bytes are spread, and the download ends at the first
// window in which nothing arrives.
TEST_F(FramedReply, DownloadReadsFrameByFrameAndEndsAtTheFirstEmptyWindow) {
  const Bytes a = Frame("A1\r"), b = Frame("B22\r"), c = Frame(std::string(300, 'C'));
  auto join = [](Bytes x, const Bytes& y) { return x.insert(x.end(), y.begin(), y.end()), x; };
  auto part = [](const Bytes& f, std::size_t from, std::size_t to) {
    return Bytes(f.begin() + static_cast<long>(from), f.begin() + static_cast<long>(to));
  };
  std::vector<Bytes> small;
  std::string smallText;
  for (int i = 0; i < 20; ++i) {
    small.push_back(Frame(std::to_string(100 + i) + "\r"));
    smallText += std::to_string(100 + i) + "\r";
  }
  struct Case {
    const char* name;
    std::vector<Bytes> arriving;  // bursts: what arrives within one read each
    std::vector<Bytes> afterAck;  // one frame after each ACK
    Bytes resend;                 // sent once after a NAK
    std::string payload;
    std::string verdicts;         // A: ACK, N: NAK, in order
    std::uint64_t ms;             // virtual time taken; 0: not checked
  };
  const std::vector<Case> cases = {
      {"small frames, one window in all", {small[0]}, {small.begin() + 1, small.end()}, {},
       smallText, std::string(20, 'A'), 500},
      {"frame slower than the window", {part(c, 0, 5), part(c, 5, 100), part(c, 100, c.size())},
       {}, {}, std::string(300, 'C'), "A", 0},
      {"two frames queued together", {join(a, b)}, {}, {}, "A1\rB22\r", "AA", 0},
      {"frame with an invalid rest", {join(a, ToBytes("xyz"))}, {}, {}, "A1\r", "AN", 0},
      {"frame cut by a silent scanner", {part(b, 0, 9)}, {}, b, "B22\r", "NA", 0},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    link.writes.clear();
    std::size_t next = 0;
    Bytes resend = t.resend;
    link.onWrite = [&](ScriptedLink& l, const Bytes& written) {
      if (written[2] == Ack && next < t.afterAck.size()) l.QueueNow(t.afterAck[next++]);
      if (written[2] == Nak && !resend.empty()) l.QueueNow(resend), resend.clear();
    };
    for (const Bytes& burst : t.arriving) link.QueueNow(burst);
    const std::uint64_t start = virtual_time::NowMs();
    std::string payload;
    std::uint8_t chunk[10241];
    for (int n; (n = ReceiveWholeReply(session, chunk, 10240, 500, 2000, true, false)) > 0;)
      payload.append(reinterpret_cast<char*>(chunk), static_cast<std::size_t>(n));
    std::string verdicts;
    for (const Bytes& w : link.writes) verdicts += w[2] == Ack ? 'A' : 'N';
    EXPECT_EQ(t.payload, payload);
    EXPECT_EQ(t.verdicts, verdicts);
    if (t.ms) {
      EXPECT_EQ(t.ms, virtual_time::NowMs() - start);
    }
  }
}

// A plain reply ends with the OK marker: stripped or kept as asked; the ER
// marker, no marker or nothing at all is an error that writes nothing.
TEST_F(Exchange, PlainRepliesAreTakenOnlyWithTheOkMarker) {
  const struct {
    std::string arriving;
    bool strip;
    int result;
    std::string payload;
  } cases[] = {
      {std::string("12345") + OkMarker, true, 5, "12345"},
      {std::string("AB") + OkMarker, false, 12, "AB\r\n$$%~OK\r\n"},
      {std::string("12") + ErMarker, true, ReplyError, ""},
      {"12345", true, ReplyError, ""},
      {"", true, ReplyError, ""},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.arriving);
    link.readRequests.clear();
    if (!t.arriving.empty()) link.QueueNow(ToBytes(t.arriving));
    std::uint8_t out[32];
    std::memset(out, 0xAA, sizeof out);
    EXPECT_EQ(t.result, Receive(out, 20, false, t.strip));
    EXPECT_EQ(t.payload, std::string(reinterpret_cast<char*>(out), t.payload.size()));
    EXPECT_EQ(0xAA, out[t.payload.size()]);
    EXPECT_EQ(30u, link.readRequests[0].count);  // max + 10
  }
  EXPECT_TRUE(link.writes.empty());  // plain replies are not acknowledged
}

// A plain bulk read tests no marker, and its window does not cut data still
// coming: it ends with its room full or after a window without a byte.
TEST_F(Exchange, PlainBulkReadTakesWhatComesBackToBackUpToItsRoom) {
  struct Case {
    const char* name;
    std::vector<std::string> bursts;  // what arrives within one window each
    std::vector<std::string> reads;   // what each read returns, up to the empty one
    std::uint64_t ms;                 // virtual time of all the reads
  };
  const std::string room(50, 'x');  // maxPayload 40 + the marker's 10
  const std::vector<Case> cases = {
      {"nothing", {}, {""}, 500},
      {"records, then silence", {"A,1\rB,2\r"}, {"A,1\rB,2\r", ""}, 1500},
      {"a piece over three windows", {"A,1\rB", ",2\rC,", "3\rEND"}, {"A,1\rB,2\rC,3\rEND", ""},
       2500},
      {"more than the room", {room + "yz"}, {room, "yz", ""}, 1500},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.name);
    for (const std::string& burst : t.bursts) link.QueueNow(ToBytes(burst));
    const std::uint64_t start = virtual_time::NowMs();
    for (const std::string& expected : t.reads) {
      std::uint8_t out[64] = {};
      ASSERT_EQ(static_cast<int>(expected.size()), ReceiveReply(session, out, 40, 500, 2000, true, false));
      EXPECT_EQ(expected, std::string(reinterpret_cast<char*>(out), expected.size()));
    }
    EXPECT_EQ(t.ms, virtual_time::NowMs() - start);
  }
}

// A short bulk read with the marker stripped was copied whole, past a room
// of maxPayload bytes.
TEST_F(Exchange, PlainBulkReplyNeverFillsMoreThanTheRoom) {
  std::vector<std::uint8_t> out(2);
  link.QueueNow(ToBytes("ABCDE"));
  EXPECT_EQ(2, ReceiveReply(session, out.data(), 2, 500, 20, true, true));
  EXPECT_EQ(0, std::memcmp(out.data(), "AB", 2));
}

TEST_F(Exchange, ResponseModeFollowsTheSelectedEntry) {
  EXPECT_EQ(0, DialogScanner(dialog).responseMode);
  dialog.ComboSelect(IDC_RESPONSE, 1);
  EXPECT_EQ(1, DialogScanner(dialog).responseMode);
  dialog.ComboSelect(IDC_RESPONSE, 2);
  EXPECT_EQ(2, DialogScanner(dialog).responseMode);
  dialog.ComboSelect(IDC_RESPONSE, -1);
  EXPECT_EQ(0, DialogScanner(dialog).responseMode);
}

TEST_F(Exchange, ResponseListOffersThreeChoicesWithNoneSelected) {
  MemoryControls fresh;
  FillResponseModeList(fresh);
  ASSERT_EQ(3, fresh.ComboCount(IDC_RESPONSE));
  EXPECT_EQ(L"None", fresh.ComboItemText(IDC_RESPONSE, 0));
  EXPECT_EQ(L"Beep", fresh.ComboItemText(IDC_RESPONSE, 1));
  EXPECT_EQ(L"Vibration", fresh.ComboItemText(IDC_RESPONSE, 2));
  EXPECT_EQ(0, fresh.ComboSelection(IDC_RESPONSE));
}

TEST_F(Exchange, PortCheckWarnsWhenNoPortIsOpen) {
  WindowFrontEnd window(dialog);
  link.Close();
  EXPECT_FALSE(CheckPortsOpen(session, window));
  auto boxes = dialog.Messages();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"Please Open Ports!", boxes[0].text);
  EXPECT_EQ(L"Tip", boxes[0].caption);
  EXPECT_EQ(static_cast<unsigned>(BoxIconWarning), boxes[0].flags);

  link.Open(3, 115200, 8, 0, 0, 0);
  EXPECT_TRUE(CheckPortsOpen(session, window));
  EXPECT_EQ(1u, dialog.Messages().size());
}
}  // namespace
