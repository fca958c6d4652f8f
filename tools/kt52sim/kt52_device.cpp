#include "kt52sim/kt52_device.h"

#include <algorithm>
#include <cstring>

namespace kt52 {
namespace {
constexpr std::uint8_t Ack = 0x06;
constexpr std::uint8_t Nak = 0x15;
constexpr std::uint8_t WakeByte = '*';
constexpr std::uint8_t FrameStart = 0x7E;
constexpr std::uint8_t HostAckStart = 0x02;
constexpr std::uint8_t FrameHeader[] = {0x7E, 0x01, 0x30, 0x30, 0x30, 0x30};
constexpr std::uint8_t FrameTrailer[] = {0x3B, 0x03};
constexpr std::size_t FrameOverhead = 11;  // header 6, length 2, trailer 2, XOR 1
constexpr std::size_t HostAckLength = 6;
constexpr char OkMarker[] = "\r\n$$%~OK\r\n";
constexpr char ErMarker[] = "\r\n$$%~ER\r\n";
constexpr char CommandPrefix[] = "$$%^";
constexpr std::size_t PlainCommandLength = 8;
constexpr std::size_t SetTimeCommandLength = 27;
// The host reads a plain download 10240 + 10 bytes at a time.
constexpr std::size_t PlainHostRead = 10250;
constexpr std::uint64_t StaleInputMs = 2000;
constexpr std::int64_t SecondsBetweenScans = 37;

// The device keeps its own framing code rather than the host's, so that a
// fault in one is not hidden by the same fault in the other.
std::uint8_t Xor(const std::uint8_t* bytes, std::size_t length) {
  std::uint8_t x = 0;
  for (std::size_t i = 0; i < length; ++i) x ^= bytes[i];
  return x;
}

// Whether the bytes seen so far agree with the start of pattern.
bool MatchesSoFar(const Bytes& input, const std::uint8_t* pattern, std::size_t length) {
  std::size_t n = std::min(input.size(), length);
  return std::memcmp(input.data(), pattern, n) == 0;
}

// What may follow "$$%^" in a plain command: printable, and neither the
// wake-up byte nor the start of another command.
bool IsCommandChar(std::uint8_t c) { return c > 0x20 && c < 0x7F && c != '*' && c != '$'; }

std::string Ean13(std::size_t number) {
  std::string digits = "690" + std::to_string(1000000000 + number % 1000000000).substr(1);
  int sum = 0;
  for (std::size_t i = 0; i < 12; ++i) sum += (digits[i] - '0') * (i % 2 ? 3 : 1);
  digits += static_cast<char>('0' + (10 - sum % 10) % 10);
  return digits;
}

std::string GeneratedBarcode(std::size_t index) {
  if (index % 4 == 3) {
    std::string number = std::to_string(1000000 + (index + 1) % 1000000).substr(1);
    return "PN-" + number + "/A";
  }
  return Ean13(index + 1);
}
}  // namespace

// The i-th made-up record: a scan every 37 seconds from a day before the clock.
StoredRecord GeneratedRecord(const DeviceOptions& options, std::size_t i) {
  const std::int64_t first = ToSeconds(options.clock) - 86400;
  return {FromSeconds(first + static_cast<std::int64_t>(i) * SecondsBetweenScans),
          GeneratedBarcode(i)};
}

std::vector<StoredRecord> InitialRecords(const DeviceOptions& options) {
  std::vector<StoredRecord> records;
  records.reserve(options.generatedRecords + options.records.size());
  for (std::size_t i = 0; i < options.generatedRecords; ++i)
    records.push_back(GeneratedRecord(options, i));
  records.insert(records.end(), options.records.begin(), options.records.end());
  return records;
}

Kt52Device::Kt52Device(DeviceOptions options)
    : options_(std::move(options)),
      records_(InitialRecords(options_)),
      clockSeconds_(ToSeconds(options_.clock)),
      dateFormat_(options_.dateFormat),
      showSerial_(options_.showSerial),
      showTime_(options_.showTime),
      silent_(options_.silentAfter && *options_.silentAfter == 0) {}

void Kt52Device::Receive(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  received_.insert(received_.end(), bytes, bytes + count);
  if (lineClosed_) return;
  if (busyLeft_) {
    deferred_.insert(deferred_.end(), bytes, bytes + count);
    return;
  }
  Process(bytes, count);
}

void Kt52Device::Process(const std::uint8_t* bytes, std::size_t count) {
  input_.insert(input_.end(), bytes, bytes + count);
  idleMillis_ = 0;
  if (options_.transport == Transport::Framed)
    ParseFramed();
  else
    ParsePlain();
}

Bytes Kt52Device::TakeOutput() {
  if (plainDownloading_ && output_.empty() && !busyLeft_) SendNextPlainPiece();
  Bytes out;
  out.swap(output_);
  return out;
}

void Kt52Device::PassTime(std::uint64_t milliseconds) {
  if (busyLeft_) {
    busyLeft_ -= std::min(busyLeft_, milliseconds);
    if (busyLeft_ == 0) EndBusy();
  }
  clockMillis_ += milliseconds;
  clockSeconds_ += static_cast<std::int64_t>(clockMillis_ / 1000);
  clockMillis_ %= 1000;
  if (!lateTail_.empty()) {
    lateTailWaited_ += milliseconds;
    if (lateTailWaited_ >= options_.lateTailMs) {
      output_.insert(output_.end(), lateTail_.begin(), lateTail_.end());
      lateTail_.clear();
    }
  }
  if (input_.empty()) return;
  idleMillis_ += milliseconds;
  if (idleMillis_ >= StaleInputMs) input_.clear();
}

void Kt52Device::Reconnect() {
  input_.clear();
  output_.clear();
  awaiting_ = Awaiting::Nothing;
  downloadText_.clear();
  lateTail_.clear();
  busyLeft_ = 0;
  held_.clear();
  deferred_.clear();
  plainDownloading_ = false;
  plainRest_.clear();
}

void Kt52Device::ParseFramed() {
  while (!input_.empty()) {
    const std::uint8_t first = input_[0];
    if (first == WakeByte) {
      input_.erase(input_.begin());
      WakeUp();
      continue;
    }
    if (first == FrameStart) {
      if (!MatchesSoFar(input_, FrameHeader, sizeof FrameHeader)) {
        input_.erase(input_.begin());
        continue;
      }
      if (input_.size() < 8) return;
      const std::size_t length = (static_cast<std::size_t>(input_[6]) << 8) | input_[7];
      if (input_.size() < length + FrameOverhead) return;
      const std::uint8_t* command = input_.data() + 8;
      if (std::memcmp(command + length, FrameTrailer, sizeof FrameTrailer) != 0) {
        input_.erase(input_.begin());
        continue;
      }
      const bool intact = command[length + 2] == Xor(command, length);
      std::string text(reinterpret_cast<const char*>(command), length);
      input_.erase(input_.begin(), input_.begin() + static_cast<long>(length + FrameOverhead));
      if (intact) {
        HandleCommand(text);
      } else if (!silent_) {
        SendGarbage();
        Acknowledge(false);
      }
      continue;
    }
    if (first == HostAckStart) {
      if (input_.size() >= 2 && input_[1] != 0x01) {
        input_.erase(input_.begin());
        continue;
      }
      if (input_.size() < HostAckLength) return;
      if (input_[4] != 0x3B || input_[5] != 0x03) {
        input_.erase(input_.begin());
        continue;
      }
      const std::uint8_t verdict = input_[2];
      const std::uint8_t mode = input_[3];
      input_.erase(input_.begin(), input_.begin() + HostAckLength);
      HandleHostAck(verdict, mode);
      continue;
    }
    input_.erase(input_.begin());  // noise between messages
  }
}

void Kt52Device::ParsePlain() {
  const auto* prefix = reinterpret_cast<const std::uint8_t*>(CommandPrefix);
  while (!input_.empty()) {
    if (input_[0] == WakeByte) {
      input_.erase(input_.begin());
      WakeUp();
      continue;
    }
    if (input_[0] != '$' || !MatchesSoFar(input_, prefix, 4)) {
      input_.erase(input_.begin());
      continue;
    }
    std::size_t length = PlainCommandLength;
    if (input_.size() >= 6 && input_[4] == '1' && input_[5] == '1') length = SetTimeCommandLength;
    // A byte that cannot belong to a command ends the unfinished one.
    std::size_t seen = std::min(input_.size(), length);
    std::size_t bad = 4;
    while (bad < seen && IsCommandChar(input_[bad])) ++bad;
    if (bad < seen) {
      input_.erase(input_.begin(), input_.begin() + static_cast<long>(bad));
      continue;
    }
    if (input_.size() < length) return;
    std::string text(input_.begin(), input_.begin() + static_cast<long>(length));
    input_.erase(input_.begin(), input_.begin() + static_cast<long>(length));
    HandleCommand(text);
  }
}

void Kt52Device::WakeUp() {
  ++wakeUps_;
  if (awaiting_ == Awaiting::QueryAck) awaiting_ = Awaiting::Nothing;
  switch (options_.wake.kind) {
    case WakeAnswer::Silence: return;
    case WakeAnswer::Byte: Send(Bytes{options_.wake.byte}); return;
    case WakeAnswer::Usual: break;
  }
  Send(Bytes{options_.transport == Transport::Framed ? Ack : Nak});
}

namespace {
// Whether the command's code (after "$$%^") begins with one of codes, or codes holds "all".
bool Matches(const std::vector<std::string>& codes, const std::string& command) {
  const std::string code = command.substr(std::min<std::size_t>(4, command.size()));
  for (const std::string& listed : codes) {
    if (listed == "all") return true;
    if (!listed.empty() && code.compare(0, listed.size(), listed) == 0) return true;
  }
  return false;
}
}  // namespace

bool Kt52Device::IsRefused(const std::string& command) const {
  return Matches(options_.refused, command);
}

void Kt52Device::HandleCommand(const std::string& command) {
  commands_.push_back(command);
  if (options_.silentAfter && commands_.size() > *options_.silentAfter) silent_ = true;
  if (silent_ || Matches(options_.ignored, command)) return;
  awaiting_ = Awaiting::Nothing;
  plainDownloading_ = false;
  SendGarbage();
  if (command.compare(0, 4, CommandPrefix) != 0 || IsRefused(command)) {
    Acknowledge(false);
    return;
  }
  const std::string code = command.substr(4);
  if (code == "0206") {
    if (options_.pauseBefore && *options_.pauseBefore == 0) StartBusy();
    if (!options_.strayBeforeAck.empty()) Send(options_.strayBeforeAck);
    Acknowledge(true);
    StartDownload();
  } else if (code == "0300" || code == "0301") {
    showTime_ = code == "0300";
    Acknowledge(true);
  } else if (code == "1400" || code == "1401") {
    showSerial_ = code == "1400";
    Acknowledge(true);
  } else if (code == "1000" || code == "1001" || code == "1002") {
    dateFormat_ = code == "1000"   ? DateFormat::CH
                  : code == "1001" ? DateFormat::EU
                                   : DateFormat::US;
    Acknowledge(true);
  } else if (code == "1200") {
    records_.clear();
    Acknowledge(true);
  } else if (code.size() == 23 && code.compare(0, 2, "11") == 0) {
    DeviceTime time;
    const bool valid = ParseSetTimeText(code.substr(2), time);
    if (valid) {
      clockSeconds_ = ToSeconds(time);
      clockMillis_ = 0;
      givenWeekday_ = code[13] - '0';  // "11" + "YYYY/MM/DD," + w
    }
    Acknowledge(valid);
  } else if (code == "1003") {
    Reply(ClockText(Clock(), dateFormat_));
  } else if (code == "1004") {
    Reply(DateFormatName(dateFormat_));
  } else if (code == "5202") {
    Reply(options_.serialNumber);
  } else if (code == "5207") {
    Reply(DeviceInfo());
  } else if (code == "5603") {
    Reply("Separator:" + options_.separator);
  } else {
    Acknowledge(false);
  }
}

void Kt52Device::HandleHostAck(std::uint8_t verdict, std::uint8_t responseMode) {
  lastResponseMode_ = responseMode;
  const bool accepted = verdict == Ack;
  if (accepted) ++hostAcks_;
  else ++hostNaks_;
  if (silent_) return;
  switch (awaiting_) {
    case Awaiting::QueryAck:
      Send(Bytes{0x02, 0x01, Ack, 0x3B, 0x03});
      if (accepted) awaiting_ = Awaiting::Nothing;
      else SendDataFrame(lastPayload_);
      break;
    case Awaiting::DownloadAck:
      if (accepted) SendNextDownloadFrame();
      else SendDataFrame(lastPayload_, FrameKind::Resend);
      break;
    case Awaiting::Nothing:
      break;
  }
}

void Kt52Device::Send(const Bytes& bytes) {
  if (silent_ || lineClosed_) return;
  Bytes& queue = busyLeft_ ? held_ : lateTail_.empty() ? output_ : lateTail_;
  queue.insert(queue.end(), bytes.begin(), bytes.end());
}

void Kt52Device::Send(const std::string& text) { Send(Bytes(text.begin(), text.end())); }

void Kt52Device::SendGarbage() {
  if (!options_.garbage.empty()) Send(options_.garbage);
}

void Kt52Device::Acknowledge(bool accepted) {
  if (options_.transport == Transport::Framed)
    Send(Bytes{0x02, 0x01, accepted ? Ack : Nak, 0x3B, 0x03});
  else
    Send(std::string(accepted ? OkMarker : ErMarker));
}

void Kt52Device::Reply(const std::string& text) {
  if (options_.transport == Transport::Plain) {
    Send(text + OkMarker);
    return;
  }
  SendDataFrame(text);
  awaiting_ = Awaiting::QueryAck;
}

void Kt52Device::SendDataFrame(const std::string& payload, FrameKind kind) {
  lastPayload_ = payload;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(payload.data());
  const std::size_t n = payload.size();
  Bytes frame(FrameHeader, FrameHeader + sizeof FrameHeader);
  frame.push_back(static_cast<std::uint8_t>(n >> 8));
  frame.push_back(static_cast<std::uint8_t>(n & 0xFF));
  frame.insert(frame.end(), bytes, bytes + n);
  frame.insert(frame.end(), FrameTrailer, FrameTrailer + sizeof FrameTrailer);
  ++dataFramesSent_;
  const bool broken = options_.badXorFrame != 0 &&
                      (dataFramesSent_ == options_.badXorFrame ||
                       (options_.badXorAlways && dataFramesSent_ > options_.badXorFrame));
  frame.push_back(static_cast<std::uint8_t>(Xor(bytes, n) ^ (broken ? 0xFF : 0x00)));
  if (kind != FrameKind::Reply) {
    SendDownloadBytes(frame, kind == FrameKind::DownloadUnit);
    return;
  }
  if (dataFramesSent_ != options_.lateTailFrame || silent_ || lineClosed_) {
    Send(frame);
    return;
  }
  const auto half = frame.begin() + static_cast<long>(frame.size() / 2);
  Send(Bytes(frame.begin(), half));
  lateTail_.assign(half, frame.end());
  lateTailWaited_ = 0;
}

void Kt52Device::StartDownload() {
  downloadUnits_ = 0;
  downloadBytes_ = 0;
  if (options_.transport == Transport::Framed) {
    downloadText_ = DownloadText();
    downloadSent_ = 0;
    SendNextDownloadFrame();
    return;
  }
  if (options_.endless) {
    plainRest_ = DownloadText();
    plainDownloading_ = true;
    SendNextPlainPiece();
    return;
  }
  for (const std::string& piece : PlainPieces())
    SendDownloadBytes(Bytes(piece.begin(), piece.end()), true);
}

void Kt52Device::SendNextDownloadFrame() {
  awaiting_ = Awaiting::Nothing;
  if (downloadSent_ >= downloadText_.size()) {
    if (!options_.endless) return;
    downloadText_ = MoreEndlessText();
    downloadSent_ = 0;
  }
  const std::string payload = downloadText_.substr(downloadSent_, options_.frameSize);
  downloadSent_ += payload.size();
  SendDataFrame(payload, FrameKind::DownloadUnit);
  awaiting_ = Awaiting::DownloadAck;
}

// An endless plain download: always a whole piece, as the stream never ends.
void Kt52Device::SendNextPlainPiece() {
  if (silent_ || lineClosed_) {
    plainDownloading_ = false;
    return;
  }
  const std::size_t size = PieceSize();
  while (plainRest_.size() < size) plainRest_ += MoreEndlessText();
  // One run never reaches its end, so never its separator.
  const std::string piece = plainRest_.substr(0, size) +
                            (options_.plainShape == PlainShape::Pieces ? options_.separator : "");
  plainRest_.erase(0, size);
  SendDownloadBytes(Bytes(piece.begin(), piece.end()), true);
}

void Kt52Device::SendDownloadBytes(const Bytes& unit, bool newUnit) {
  if (newUnit) {
    // The line closes when the download is about to send one unit more than
    // closeAfter allows.
    if (options_.closeAfter && downloadUnits_ >= *options_.closeAfter) lineClosed_ = true;
    ++downloadUnits_;
    if (options_.pauseBefore && *options_.pauseBefore == downloadUnits_) StartBusy();
  }
  const std::optional<std::size_t>& limit =
      options_.hangUpAfterBytes ? options_.hangUpAfterBytes : options_.silentAfterBytes;
  std::size_t take = unit.size();
  if (limit) take = std::min(take, *limit > downloadBytes_ ? *limit - downloadBytes_ : 0);
  Send(Bytes(unit.begin(), unit.begin() + static_cast<long>(take)));
  downloadBytes_ += take;
  if (take == unit.size()) return;
  if (options_.hangUpAfterBytes) lineClosed_ = true;
  else silent_ = true;
}

void Kt52Device::StartBusy() { busyLeft_ = std::max<std::uint64_t>(options_.pauseMs, 1); }

// What waited goes out, then what the host sent meanwhile is taken.
void Kt52Device::EndBusy() {
  Bytes out, in;
  out.swap(held_);
  in.swap(deferred_);
  Send(out);
  if (!in.empty()) Process(in.data(), in.size());
}

std::string Kt52Device::MoreEndlessText() {
  std::string text;
  for (int i = 0; i < 100; ++i)
    text += FormatRecord(GeneratedRecord(options_, options_.generatedRecords + endlessNext_++));
  return text;
}

std::string Kt52Device::DeviceInfo() const {
  if (!options_.deviceInfo.empty()) return options_.deviceInfo;
  return "{Model:KT52};{SN:" + options_.serialNumber + "};{Firmware:3.1.7};{Records:" +
         std::to_string(records_.size()) + "}";
}

std::string Kt52Device::StateText() const {
  return "clock " + ClockText(Clock(), DateFormat::CH) + "\ndate-format " +
         DateFormatName(dateFormat_) + "\nweekday " + std::to_string(givenWeekday_) +
         "\nrecords " + std::to_string(records_.size()) + "\n";
}

std::string Kt52Device::FormatRecord(const StoredRecord& record) const {
  std::string text;
  if (showSerial_) text += options_.serialNumber + ",";
  if (showTime_) text += ClockText(record.scanned, dateFormat_) + ",";
  return text + record.barcode + "\r";
}

std::string Kt52Device::DownloadText() const {
  std::string text;
  for (const StoredRecord& record : records_) text += FormatRecord(record);
  return text;
}

std::size_t Kt52Device::PieceSize() const {
  const std::size_t separator = options_.separator.size();
  if (options_.pieceSize && options_.plainShape == PlainShape::Pieces) return options_.pieceSize;
  return PlainHostRead > separator ? PlainHostRead - separator : 1;
}

std::vector<std::string> Kt52Device::PlainPieces() const {
  const std::string text = DownloadText();
  const std::size_t size = PieceSize();
  const bool everyPiece = options_.plainShape == PlainShape::Pieces;
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size(); at += size) {
    const bool last = at + size >= text.size();
    pieces.push_back(text.substr(at, size) + (everyPiece || last ? options_.separator : ""));
  }
  return pieces;
}

std::string Kt52Device::PlainDownloadStream() const {
  std::string stream;
  for (const std::string& piece : PlainPieces()) stream += piece;
  return stream;
}

}  // namespace kt52
