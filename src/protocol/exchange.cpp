#include "protocol/exchange.h"

#include <cstring>
#include <vector>

#include "common/outcome.h"
#include "common/pause.h"
#include "transport/port_discovery.h"

namespace {

constexpr std::size_t FrameOverhead = 11;     // header 6, length 2, trailer 2, XOR 1
// A data frame's payload length stands in bytes 6 and 7.
constexpr LengthField FrameLength{6, 2, FrameOverhead};
constexpr std::uint32_t AckWaitMs = 3000;     // device acknowledgement, wake-up answer
constexpr std::uint32_t PlainPauseMs = 1000;  // before and after a plain command
constexpr std::uint32_t PlainAckTotalMs = 500;
constexpr std::uint32_t PlainAckIntervalMs = 20;

std::uint8_t Xor(const std::uint8_t* bytes, std::size_t length) {
  std::uint8_t x = 0;
  for (std::size_t i = 0; i < length; ++i) x ^= bytes[i];
  return x;
}

// The device acknowledgement: 5 bytes, of which only byte 2 counts.
CommandAnswer ReadDeviceAnswer(ScannerSession& session) {
  std::uint8_t ack[6] = {};
  std::size_t n = session.link->Read(ack, 5, AckWaitMs, 0);
  if (n < 3) return CommandAnswer::NoAnswer;
  return ack[2] == Ack ? CommandAnswer::Accepted : CommandAnswer::Refused;
}

bool ReadDeviceAck(ScannerSession& session) {
  return ReadDeviceAnswer(session) == CommandAnswer::Accepted;
}

bool WriteHostAck(ScannerSession& session, bool valid) {
  const std::uint8_t ack[6] = {0x02, 0x01, valid ? Ack : Nak, session.responseMode, 0x3B, 0x03};
  return session.link->Write(ack, sizeof ack);
}
}  // namespace

std::size_t BuildCommandFrame(const std::uint8_t* command, std::size_t length, std::uint8_t* out,
                              std::size_t outCapacity) {
  if (length > 0xFFFF || outCapacity < length + FrameOverhead) return 0;
  const std::uint8_t head[6] = {0x7E, 0x01, 0x30, 0x30, 0x30, 0x30};
  std::memcpy(out, head, sizeof head);
  out[6] = static_cast<std::uint8_t>(length >> 8);
  out[7] = static_cast<std::uint8_t>(length & 0xFF);
  if (length) std::memcpy(out + 8, command, length);
  out[8 + length] = 0x3B;
  out[9 + length] = 0x03;
  out[10 + length] = Xor(command, length);
  return length + FrameOverhead;
}

int CheckDataFrame(const std::uint8_t* bytes, std::size_t count) {
  if (count < FrameOverhead) return -1;
  std::size_t n = (static_cast<std::size_t>(bytes[6]) << 8) | bytes[7];
  if (count != n + FrameOverhead) return -1;
  if (bytes[10 + n] != Xor(bytes + 8, n)) return -1;
  return static_cast<int>(n);
}

namespace {
// Whether the n bytes are how the OK or the ER marker begins.
bool IsMarkerStart(const char* bytes, std::size_t n) {
  return std::memcmp(bytes, OkMarker, n) == 0 || std::memcmp(bytes, ErMarker, n) == 0;
}
}  // namespace

bool EndsWithMarker(const char* text, const char* marker) {
  std::size_t length = std::strlen(text);
  if (length < MarkerLength) return false;
  return std::memcmp(text + length - MarkerLength, marker, MarkerLength) == 0;
}

WakeAnswer WakeForAnswer(ScannerSession& session) {
  SerialLink& link = *session.link;
  link.DiscardInput();
  const std::uint8_t wake = WakeByte;
  if (!link.Write(&wake, 1)) return WakeAnswer::NotWritten;
  std::uint8_t answer = 0;
  std::size_t n = link.Read(&answer, 1, AckWaitMs, 0);
  if (n == 0 || answer == Nak) {
    session.framed = 0;
    return n == 0 ? WakeAnswer::Silent : WakeAnswer::Nak;
  }
  if (answer == Ack) {
    session.framed = 1;
    return WakeAnswer::Ack;
  }
  return WakeAnswer::Other;  // the mode stays as it was
}

bool WakeDevice(ScannerSession& session) {
  return WakeForAnswer(session) != WakeAnswer::NotWritten;
}

namespace {
bool WriteCommand(ScannerSession& session, const char* command, std::size_t length) {
  SerialLink& link = *session.link;
  link.DiscardInput();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(command);
  if (session.framed) {
    std::vector<std::uint8_t> frame(length + FrameOverhead + 1, 0);
    std::size_t size = BuildCommandFrame(bytes, length, frame.data(), frame.size());
    return size != 0 && link.Write(frame.data(), size);
  }
  Pause(PlainPauseMs);
  bool written = link.Write(bytes, length);
  Pause(PlainPauseMs);
  return written;
}

// Plain: the acknowledgement is exactly the OK marker.
CommandAnswer ReadPlainAnswer(ScannerSession& session, std::string* answerBytes) {
  SerialLink& link = *session.link;
  char reply[MarkerLength + 1] = {};
  auto* ack = reinterpret_cast<std::uint8_t*>(reply);
  std::size_t n = link.Read(ack, MarkerLength, PlainAckTotalMs, PlainAckIntervalMs);
  // A marker cut by a gap on a busy line: its rest is read too, or it would
  // stand in front of the data that follow it (the download's first record).
  if (n > 0 && n < MarkerLength && IsMarkerStart(reply, n))
    n += link.Read(ack + n, MarkerLength - n, PlainAckTotalMs, PlainAckTotalMs);
  if (answerBytes) answerBytes->assign(reply, n);
  if (n == 0) return CommandAnswer::NoAnswer;
  if (EndsWithMarker(reply, OkMarker)) return CommandAnswer::Accepted;
  return EndsWithMarker(reply, ErMarker) ? CommandAnswer::Refused : CommandAnswer::Other;
}
}  // namespace

bool SendCommand(ScannerSession& session, const char* command, std::size_t length,
                 bool waitForAck) {
  if (!waitForAck) return WriteCommand(session, command, length);
  return SendCommandForAnswer(session, command, length) == CommandAnswer::Accepted;
}

CommandAnswer SendCommandForAnswer(ScannerSession& session, const char* command,
                                   std::size_t length, std::string* answerBytes) {
  if (answerBytes) answerBytes->clear();
  if (!WriteCommand(session, command, length)) return CommandAnswer::NotWritten;
  return session.framed ? ReadDeviceAnswer(session) : ReadPlainAnswer(session, answerBytes);
}

FrameReceipt ReceiveDataFrame(ScannerSession& session, std::uint8_t* destination, std::size_t maxPayload,
                              std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs,
                              const std::uint8_t* lead, std::size_t leadCount) {
  SerialLink& link = *session.link;
  const std::size_t most = maxPayload + FrameOverhead;
  std::vector<std::uint8_t> buffer(most + 1, 0);
  if (leadCount > most) leadCount = most;
  if (leadCount) std::memcpy(buffer.data(), lead, leadCount);
  // The read ends with the frame: bytes queued behind it are the next read's.
  std::size_t n = ReadMessage(link, buffer.data(), most, FrameLength, totalTimeoutMs,
                              intervalTimeoutMs, leadCount);
  FrameReceipt receipt;
  if (n == 0) return receipt;
  int payload = CheckDataFrame(buffer.data(), n);
  const bool valid = payload >= 0;
  if (valid) {
    receipt.kind = FrameReceipt::Taken;
    receipt.payload = static_cast<std::size_t>(payload);
    if (payload > 0) std::memcpy(destination, buffer.data() + 8, receipt.payload);
  } else {
    receipt.kind = FrameReceipt::Refused;
    // What is left of a broken read (the rest of a cut frame, bytes after
    // garbage) would put the read of the resent frame out of step.
    link.DiscardInput();
  }
  if (!WriteHostAck(session, valid)) receipt.kind = FrameReceipt::AckUnsent;
  return receipt;
}

int ReceiveReply(ScannerSession& session, std::uint8_t* destination, std::size_t maxPayload,
                 std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs, bool bulk,
                 bool stripMarker) {
  SerialLink& link = *session.link;
  if (session.framed) {
    FrameReceipt frame =
        ReceiveDataFrame(session, destination, maxPayload, totalTimeoutMs, intervalTimeoutMs);
    if (frame.kind == FrameReceipt::Nothing) return 0;
    if (frame.kind == FrameReceipt::AckUnsent) return ReplyRetry;
    // The scanner confirms a NAK as well as an ACK.
    if (!bulk && !ReadDeviceAck(session)) return ReplyRetry;
    return frame.kind == FrameReceipt::Taken ? static_cast<int>(frame.payload) : ReplyRetry;
  }

  std::vector<std::uint8_t> buffer(maxPayload + MarkerLength + 1, 0);
  // A bulk read is not cut by its window while data keep coming: the scanner's
  // pieces end with its separator, and a read that ended inside one would leave
  // that separator between two records of the next.
  const std::size_t want = maxPayload + MarkerLength;
  std::size_t n = bulk ? ReadUntilQuiet(link, buffer.data(), want, totalTimeoutMs, intervalTimeoutMs)
                       : link.Read(buffer.data(), want, totalTimeoutMs, intervalTimeoutMs);
  const char* text = reinterpret_cast<const char*>(buffer.data());
  if (!bulk) {
    if (EndsWithMarker(text, ErMarker) || !EndsWithMarker(text, OkMarker)) return ReplyError;
  }
  std::size_t copy = n;
  if (stripMarker && n >= MarkerLength) copy = n - MarkerLength;
  // A short bulk read keeps its bytes, but never more than the caller's room.
  const std::size_t room = maxPayload + (stripMarker ? 0 : MarkerLength);
  if (copy > room) copy = room;
  if (copy) std::memcpy(destination, buffer.data(), copy);
  return static_cast<int>(copy);
}

int ReceiveWholeReply(ScannerSession& session, std::uint8_t* destination, std::size_t maxPayload,
                      std::uint32_t totalTimeoutMs, std::uint32_t intervalTimeoutMs, bool bulk,
                      bool stripMarker) {
  for (int attempt = 0; attempt <= MaxReplyRetries; ++attempt) {
    int result = ReceiveReply(session, destination, maxPayload, totalTimeoutMs, intervalTimeoutMs, bulk,
                              stripMarker);
    // A refused frame that never comes again is lost, not the end of the data.
    if (attempt > 0 && result == 0) return ReplyGivenUp;
    if (result != ReplyRetry) return result;
  }
  return ReplyGivenUp;
}

bool CheckPortsOpen(const ScannerSession& session, FrontEnd& front) {
  if (session.link->IsOpen()) return true;
  WarnNoOpenPort(front);
  return false;
}

void WarnNoOpenPort(FrontEnd& front) {
  front.ShowBox(OutcomeWords(Outcome::NoPortOpen), L"Tip", BoxIconWarning);
}

bool OpenSessionPort(ScannerSession& session, std::uint32_t number) {
  const bool opened = session.link->Open(number, ScannerBaudRate, 8, 0, 0, FlowNone);
  session.port = opened ? PortId{number, {}} : PortId{};
  return opened;
}

void CloseSessionPort(ScannerSession& session) {
  session.link->DiscardInput();
  session.link->Close();
  session.port = PortId{};
}
