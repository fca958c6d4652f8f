#include "kt52sim/kt52_device.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/exchange.h"

using kt52::Bytes;
using kt52::DeviceOptions;
using kt52::Kt52Device;
using kt52::Transport;

namespace {
Bytes Frame(const std::string& command) {
  Bytes frame(command.size() + 11);
  BuildCommandFrame(reinterpret_cast<const std::uint8_t*>(command.data()), command.size(),
                    frame.data(), frame.size());
  return frame;
}

Bytes HostAck(std::uint8_t verdict, std::uint8_t mode = 0) {
  return {0x02, 0x01, verdict, mode, 0x3B, 0x03};
}

const Bytes DeviceAck{0x02, 0x01, Ack, 0x3B, 0x03};
const Bytes DeviceNak{0x02, 0x01, Nak, 0x3B, 0x03};

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The payload of the one valid data frame in bytes, or "<invalid>".
std::string Payload(const Bytes& bytes) {
  int n = CheckDataFrame(bytes.data(), bytes.size());
  if (n < 0) return "<invalid>";
  return std::string(bytes.begin() + 8, bytes.begin() + 8 + n);
}

Bytes Answer(Kt52Device& device, const Bytes& input) {
  device.Receive(input);
  return device.TakeOutput();
}

std::string PlainAnswer(Kt52Device& device, const std::string& command) {
  return Text(Answer(device, Bytes(command.begin(), command.end())));
}

DeviceOptions Plain() {
  DeviceOptions options;
  options.transport = Transport::Plain;
  return options;
}

const std::string Ok = "\r\n$$%~OK\r\n";
const std::string Er = "\r\n$$%~ER\r\n";
}  // namespace

TEST(Kt52DeviceWake, AnswersAckFramedNakPlainOrWhatItIsTold) {
  Kt52Device framed;
  EXPECT_EQ(Answer(framed, {'*'}), Bytes{Ack});
  Kt52Device plain(Plain());
  EXPECT_EQ(Answer(plain, {'*'}), Bytes{Nak});

  DeviceOptions silent = Plain();
  silent.wake.kind = kt52::WakeAnswer::Silence;
  Kt52Device quiet(silent);
  EXPECT_TRUE(Answer(quiet, {'*'}).empty());
  EXPECT_EQ(quiet.WakeUps(), 1u);

  DeviceOptions odd;
  odd.wake = {kt52::WakeAnswer::Byte, 0x41};
  Kt52Device other(odd);
  EXPECT_EQ(Answer(other, {'*'}), Bytes{0x41});
}

TEST(Kt52DeviceFramed, QueryIsADataFrameConfirmedAfterTheHostAck) {
  Kt52Device device;
  Bytes reply = Answer(device, Frame("$$%^5202"));
  EXPECT_EQ(Payload(reply), "KT5200001");
  EXPECT_EQ(Answer(device, HostAck(Ack, 2)), DeviceAck);
  EXPECT_EQ(device.LastResponseMode(), 2);
  // Nothing is awaited any more: a stray acknowledgement gets no answer.
  EXPECT_TRUE(Answer(device, HostAck(Ack)).empty());
  EXPECT_EQ(device.Commands(), std::vector<std::string>{"$$%^5202"});
}

TEST(Kt52DeviceFramed, HostNakGetsConfirmationAndTheSameFrameAgain) {
  Kt52Device device;
  Bytes first = Answer(device, Frame("$$%^5207"));
  Bytes again = Answer(device, HostAck(Nak));
  ASSERT_EQ(again.size(), 5 + first.size());
  EXPECT_EQ(Bytes(again.begin(), again.begin() + 5), DeviceAck);
  EXPECT_EQ(Bytes(again.begin() + 5, again.end()), first);
  EXPECT_EQ(Payload(first), "{Model:KT52};{SN:KT5200001};{Firmware:3.1.7};{Records:0}");
  EXPECT_EQ(device.HostNaks(), 1u);
}

TEST(Kt52DeviceFramed, SettingsAreAcknowledgedAndRefusalsAndBrokenFramesAreNot) {
  DeviceOptions options;
  options.refused = {"1401"};
  Kt52Device device(options);
  EXPECT_EQ(Answer(device, Frame("$$%^0301")), DeviceAck);
  EXPECT_FALSE(device.ShowsTime());
  EXPECT_EQ(Answer(device, Frame("$$%^1401")), DeviceNak);
  EXPECT_TRUE(device.ShowsSerial());
  EXPECT_EQ(Answer(device, Frame("$$%^9999")), DeviceNak);

  Bytes broken = Frame("$$%^1200");
  broken.back() ^= 0x55;
  EXPECT_EQ(Answer(device, broken), DeviceNak);
  EXPECT_EQ(device.Commands().size(), 3u);  // the broken frame is no command
}

TEST(Kt52DeviceFramed, FrameArrivingInPiecesAmidNoiseIsOneCommand) {
  Kt52Device device;
  Bytes input = {0x00, 0x7E, 0x13};  // noise, and a false start
  Bytes frame = Frame("$$%^1004");
  input.insert(input.end(), frame.begin(), frame.end());
  for (std::uint8_t byte : input) device.Receive(&byte, 1);
  EXPECT_EQ(Payload(device.TakeOutput()), "CH");
}

TEST(Kt52DeviceFramed, UnfinishedInputIsDroppedAfterTwoQuietSeconds) {
  Kt52Device device;
  Bytes frame = Frame("$$%^5202");
  device.Receive(frame.data(), 5);
  device.PassTime(1999);
  device.Receive(frame.data() + 5, frame.size() - 5);
  EXPECT_EQ(Payload(device.TakeOutput()), "KT5200001");

  device.Receive(frame.data(), 5);
  device.PassTime(2000);
  device.Receive(frame.data() + 5, frame.size() - 5);
  EXPECT_TRUE(device.TakeOutput().empty());
}

TEST(Kt52DeviceFramed, DownloadGoesFrameByFrameOnEachHostAck) {
  DeviceOptions options;
  options.generatedRecords = 10;
  options.frameSize = 100;
  Kt52Device device(options);
  const std::string expected = device.DownloadText();
  ASSERT_GT(expected.size(), 300u);

  Bytes out = Answer(device, Frame("$$%^0206"));
  ASSERT_GT(out.size(), 5u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 5), DeviceAck);
  std::string received = Payload(Bytes(out.begin() + 5, out.end()));
  EXPECT_EQ(received.size(), 100u);
  // A NAK brings the same frame again; an ACK the next one.
  EXPECT_EQ(Payload(Answer(device, HostAck(Nak))), received);
  for (;;) {
    Bytes next = Answer(device, HostAck(Ack));
    if (next.empty()) break;
    received += Payload(next);
  }
  EXPECT_EQ(received, expected);
  EXPECT_EQ(device.DataFramesSent(), (expected.size() + 99) / 100 + 1);
}

TEST(Kt52DeviceFramed, EmptyMemoryDownloadsNothingAfterTheAck) {
  Kt52Device device;
  EXPECT_EQ(Answer(device, Frame("$$%^0206")), DeviceAck);
}

TEST(Kt52DevicePlain, RepliesEndWithTheOkMarkerAndRefusalsWithEr) {
  DeviceOptions options = Plain();
  options.refused = {"11"};
  options.separator = ";";
  Kt52Device device(options);
  EXPECT_EQ(PlainAnswer(device, "$$%^5202"), "KT5200001" + Ok);
  EXPECT_EQ(PlainAnswer(device, "$$%^1004"), "CH" + Ok);
  EXPECT_EQ(PlainAnswer(device, "$$%^5603"), "Separator:;" + Ok);
  EXPECT_EQ(PlainAnswer(device, "$$%^1002"), Ok);
  EXPECT_EQ(PlainAnswer(device, "$$%^1003"), "05/17/2024,09:30:00" + Ok);
  EXPECT_EQ(PlainAnswer(device, "$$%^112019/12/29,7;10:05:00"), Er);
  EXPECT_EQ(PlainAnswer(device, "$$%^0000"), Er);
}

TEST(Kt52DevicePlain, CommandsAreFoundAmidWakeUpsNoiseAndBrokenStarts) {
  Kt52Device device(Plain());
  EXPECT_EQ(PlainAnswer(device, "*"), std::string(1, Nak));
  // A broken start is dropped at the byte that cannot belong to it.
  EXPECT_EQ(PlainAnswer(device, "xx$$%^12\r$$%^1200"), Ok);
  EXPECT_EQ(device.Commands(), std::vector<std::string>{"$$%^1200"});
  // A plain scanner sees only the command text inside a frame, and answers
  // in plain text, which a framed host cannot take for a data frame.
  EXPECT_EQ(Text(Answer(device, Frame("$$%^5202"))), "KT5200001" + Ok);
}

TEST(Kt52DevicePlain, DownloadIsPiecesEachFollowedByTheSeparatorOrOneRun) {
  for (kt52::PlainShape shape : {kt52::PlainShape::Pieces, kt52::PlainShape::OneRun}) {
    DeviceOptions options = Plain();
    options.generatedRecords = shape == kt52::PlainShape::Pieces ? 5 : 600;
    options.pieceSize = 64;  // one run: its units are as a host reads them
    options.plainShape = shape;
    Kt52Device device(options);
    const std::string text = device.DownloadText();
    std::string out = PlainAnswer(device, "$$%^0206");
    ASSERT_EQ(out.compare(0, Ok.size(), Ok), 0);
    std::string expected;
    if (shape == kt52::PlainShape::Pieces) {
      for (std::size_t at = 0; at < text.size(); at += 64) expected += text.substr(at, 64) + "END";
    } else {
      expected = text + "END";
      EXPECT_EQ(device.PlainPieces().at(0).size(), 10247u);
    }
    EXPECT_EQ(out.substr(Ok.size()), expected);
    EXPECT_EQ(device.PlainDownloadStream(), expected);
  }
}

TEST(Kt52DevicePlain, DefaultPieceAndSeparatorFillOneHostRead) {
  DeviceOptions options = Plain();
  options.generatedRecords = 600;
  options.separator = "<EOT>";
  Kt52Device device(options);
  std::vector<std::string> pieces = device.PlainPieces();
  ASSERT_GE(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].size(), 10250u);
  EXPECT_EQ(pieces[1].size(), 10250u);
  EXPECT_EQ(pieces.back().substr(pieces.back().size() - 5), "<EOT>");
}

TEST(Kt52DeviceRecords, DisplayItemsAndDateOrderShapeEachRecord) {
  DeviceOptions options = Plain();
  options.records = {{{2023, 12, 31, 23, 59, 58}, "ABC,123"}};
  Kt52Device device(options);
  EXPECT_EQ(device.DownloadText(), "KT5200001,2023/12/31,23:59:58,ABC,123\r");
  PlainAnswer(device, "$$%^1001");
  PlainAnswer(device, "$$%^1401");
  EXPECT_EQ(device.DownloadText(), "31/12/2023,23:59:58,ABC,123\r");
  PlainAnswer(device, "$$%^0301");
  EXPECT_EQ(device.DownloadText(), "ABC,123\r");
  PlainAnswer(device, "$$%^1400");
  EXPECT_EQ(device.DownloadText(), "KT5200001,ABC,123\r");
  PlainAnswer(device, "$$%^1200");
  EXPECT_EQ(device.DownloadText(), "");
  EXPECT_NE(device.DeviceInfo().find("{Records:0}"), std::string::npos);
}

TEST(Kt52DeviceRecords, GeneratedRecordsAreDistinctScansBeforeTheClock) {
  DeviceOptions options;
  options.generatedRecords = 8;
  Kt52Device device(options);
  const auto& records = device.Records();
  ASSERT_EQ(records.size(), 8u);
  EXPECT_EQ(records[0].barcode, "6900000000014");  // EAN-13 with its check digit
  EXPECT_EQ(records[3].barcode, "PN-000004/A");
  EXPECT_EQ(records[0].scanned, (kt52::DeviceTime{2024, 5, 16, 9, 30, 0}));
  EXPECT_EQ(records[1].scanned, (kt52::DeviceTime{2024, 5, 16, 9, 30, 37}));
  EXPECT_NE(records[4].barcode, records[0].barcode);
}

TEST(Kt52DeviceClock, SetTimeRunsOnAndInvalidTimesAreRefused) {
  Kt52Device device(Plain());
  EXPECT_EQ(PlainAnswer(device, "$$%^112019/12/31,1;23:59:59"), Ok);
  device.PassTime(1500);
  EXPECT_EQ(device.Clock(), (kt52::DeviceTime{2020, 1, 1, 0, 0, 0}));
  PlainAnswer(device, "$$%^1000");
  EXPECT_EQ(PlainAnswer(device, "$$%^1003"), "2020/01/01,00:00:00" + Ok);

  EXPECT_EQ(PlainAnswer(device, "$$%^112019/02/29,1;10:00:00"), Er);
  EXPECT_EQ(PlainAnswer(device, "$$%^11ab/cd/efgh,1;ij:kl:mn"), Er);
  EXPECT_EQ(PlainAnswer(device, "$$%^112020/02/29,1;24:00:00"), Ok);  // midnight, next day
  EXPECT_EQ(device.Clock(), (kt52::DeviceTime{2020, 3, 1, 0, 0, 0}));
}

TEST(Kt52DeviceFaults, WrongXorOnTheNthFrameOnceOrFromThenOn) {
  DeviceOptions options;
  options.badXorFrame = 2;
  Kt52Device once(options);
  EXPECT_EQ(Payload(Answer(once, Frame("$$%^5202"))), "KT5200001");
  Answer(once, HostAck(Ack));
  EXPECT_EQ(Payload(Answer(once, Frame("$$%^5202"))), "<invalid>");
  Bytes resent = Answer(once, HostAck(Nak));
  EXPECT_EQ(Payload(Bytes(resent.begin() + 5, resent.end())), "KT5200001");

  options.badXorAlways = true;
  Kt52Device always(options);
  Answer(always, Frame("$$%^5202"));
  Answer(always, HostAck(Ack));
  EXPECT_EQ(Payload(Answer(always, Frame("$$%^5202"))), "<invalid>");
  for (int i = 0; i < 3; ++i) {
    Bytes again = Answer(always, HostAck(Nak));
    EXPECT_EQ(Payload(Bytes(again.begin() + 5, again.end())), "<invalid>");
  }
}

TEST(Kt52DeviceFaults, LateTailComesAfterItsPauseWithWhatWasSentMeanwhile) {
  DeviceOptions options;
  options.lateTailFrame = 1;
  options.lateTailMs = 500;
  Kt52Device device(options);
  const Bytes head = Answer(device, Frame("$$%^5202"));
  EXPECT_EQ(Payload(head), "<invalid>");
  EXPECT_TRUE(Answer(device, HostAck(Nak)).empty());  // the resend waits behind the tail
  device.PassTime(499);
  EXPECT_FALSE(device.HasOutput());
  device.PassTime(1);
  const Bytes rest = device.TakeOutput();
  Bytes whole = head;
  whole.insert(whole.end(), rest.begin(), rest.begin() + static_cast<long>(head.size()));
  EXPECT_EQ(Payload(whole), "KT5200001");
  const Bytes resent(rest.begin() + static_cast<long>(head.size() + DeviceAck.size()), rest.end());
  EXPECT_EQ(Payload(resent), "KT5200001");
}

TEST(Kt52DeviceFaults, SilentAfterNCommandsAnswersNothingMore) {
  DeviceOptions options = Plain();
  options.silentAfter = 1;
  Kt52Device device(options);
  EXPECT_EQ(PlainAnswer(device, "$$%^5202"), "KT5200001" + Ok);
  EXPECT_EQ(PlainAnswer(device, "$$%^1200"), "");
  EXPECT_EQ(PlainAnswer(device, "*"), "");
  EXPECT_TRUE(device.Silent());
  EXPECT_EQ(device.Commands().size(), 2u);

  options.silentAfter = 0;
  Kt52Device dead(options);
  EXPECT_EQ(PlainAnswer(dead, "*"), "");
}

TEST(Kt52DeviceFaults, LineClosesAfterNFramesOrPieces) {
  DeviceOptions options;
  options.generatedRecords = 20;
  options.frameSize = 50;
  options.closeAfter = 2;
  Kt52Device framed(options);
  Answer(framed, Frame("$$%^0206"));
  EXPECT_FALSE(Answer(framed, HostAck(Ack)).empty());
  EXPECT_TRUE(Answer(framed, HostAck(Ack)).empty());
  EXPECT_TRUE(framed.LineClosed());
  EXPECT_TRUE(Answer(framed, {'*'}).empty());

  options.transport = Transport::Plain;
  options.pieceSize = 100;
  options.closeAfter = 1;
  Kt52Device plain(options);
  std::string out = PlainAnswer(plain, "$$%^0206");
  EXPECT_EQ(out, Ok + plain.DownloadText().substr(0, 100) + "END");
  EXPECT_TRUE(plain.LineClosed());
}

TEST(Kt52DeviceFaults, PlainDownloadCutShiftedOrHeldAsTold) {
  const struct {
    const char* name;
    void (*fault)(DeviceOptions&);
    std::string (*expected)(const std::string& stream);  // right after the command
    bool closed, silent;
  } cases[] = {
      {"hang-up after 30 bytes", [](DeviceOptions& o) { o.hangUpAfterBytes = 30; },
       [](const std::string& s) { return Ok + s.substr(0, 30); }, true, false},
      {"silence after 30 bytes", [](DeviceOptions& o) { o.silentAfterBytes = 30; },
       [](const std::string& s) { return Ok + s.substr(0, 30); }, false, true},
      {"a stray byte first", [](DeviceOptions& o) { o.strayBeforeAck = "x"; },
       [](const std::string& s) { return "x" + Ok + s; }, false, false},
      {"the command ignored", [](DeviceOptions& o) { o.ignored = {"0206"}; },
       [](const std::string&) { return std::string(); }, false, false},
      {"busy before the first piece", [](DeviceOptions& o) { o.pauseBefore = 1; },
       [](const std::string&) { return Ok; }, false, false},
  };
  for (const auto& c : cases) {
    DeviceOptions options = Plain();
    options.generatedRecords = 5;
    c.fault(options);
    Kt52Device device(options);
    const std::string stream = device.PlainDownloadStream();
    EXPECT_EQ(PlainAnswer(device, "$$%^0206"), c.expected(stream)) << c.name;
    EXPECT_EQ(device.LineClosed(), c.closed) << c.name;
    EXPECT_EQ(device.Silent(), c.silent) << c.name;
    if (c.silent) {
      EXPECT_EQ(PlainAnswer(device, "*"), "") << c.name;
    }
  }
}

TEST(Kt52DeviceFaults, BusyDeviceSendsItsHeldUnitBeforeAnsweringWhatCameMeanwhile) {
  DeviceOptions options = Plain();
  options.generatedRecords = 5;
  options.pauseBefore = 1;
  options.pauseMs = 2000;
  Kt52Device plain(options);
  EXPECT_EQ(PlainAnswer(plain, "$$%^0206"), Ok);
  EXPECT_EQ(PlainAnswer(plain, "$$%^5202"), "");  // taken once the piece is out
  plain.PassTime(2000);
  EXPECT_EQ(Text(plain.TakeOutput()), plain.PlainDownloadStream() + "KT5200001" + Ok);

  // Framed: a wake-up in the middle of a download is answered after the held
  // frame, and the download goes on.
  DeviceOptions framedOptions;
  framedOptions.generatedRecords = 20;
  framedOptions.frameSize = 300;
  framedOptions.pauseBefore = 2;
  framedOptions.pauseMs = 2000;
  Kt52Device framed(framedOptions);
  Answer(framed, Frame("$$%^0206"));
  EXPECT_TRUE(Answer(framed, HostAck(Ack)).empty());  // frame 2 is held
  EXPECT_TRUE(Answer(framed, {'*'}).empty());
  framed.PassTime(2000);
  Bytes out = framed.TakeOutput();
  ASSERT_EQ(out.size(), 300u + 11 + 1);
  EXPECT_EQ(Payload(Bytes(out.begin(), out.end() - 1)), framed.DownloadText().substr(300, 300));
  EXPECT_EQ(out.back(), Ack);
  EXPECT_EQ(Payload(Answer(framed, HostAck(Ack))), framed.DownloadText().substr(600, 300));
}

TEST(Kt52DeviceFaults, GarbageComesBeforeEveryAnswerToACommand) {
  DeviceOptions options;
  options.garbage = std::string("\xFF\x00Z", 3);
  Kt52Device device(options);
  EXPECT_EQ(Answer(device, {'*'}), Bytes{Ack});
  Bytes out = Answer(device, Frame("$$%^1400"));
  Bytes expected = {0xFF, 0x00, 'Z'};
  expected.insert(expected.end(), DeviceAck.begin(), DeviceAck.end());
  EXPECT_EQ(out, expected);
}

TEST(Kt52DeviceConnection, ReconnectForgetsUnreadAnswersAndUnfinishedExchanges) {
  Kt52Device device;
  device.Receive(Frame("$$%^5202"));
  device.Reconnect();
  EXPECT_FALSE(device.HasOutput());
  EXPECT_TRUE(Answer(device, HostAck(Nak)).empty());  // no reply is pending any more
}
