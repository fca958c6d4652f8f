#pragma once
// A KT52 scanner as a byte-stream state machine, with no I/O and no clock of
// its own: feed it what the host wrote (Receive), send what it answers
// (TakeOutput), tell it how much time passed (PassTime).
//
// It speaks one transport, chosen by its options:
// - framed: "*" is answered with ACK; commands come as 7E 01 "0000" L(2) cmd
//   3B 03 XOR. A setting is answered with a 5-byte device acknowledgement
//   (02 01 ACK|NAK 3B 03); a query with a data frame, which the host
//   acknowledges (02 01 ACK|NAK mode 3B 03) and the device confirms (ACK) or
//   confirms and sends again (NAK). The download is acknowledged, then sent
//   frame by frame, each after the host's ACK of the one before (a NAK gets
//   the same frame again, unconfirmed).
// - plain: "*" is answered with NAK (or not at all); commands are bare text,
//   "$$%^" + 4 characters, or "$$%^11" + 21 for set-time. Replies are text +
//   "\r\n$$%~OK\r\n", refusals "\r\n$$%~ER\r\n". The download is the OK marker
//   and then the record text in pieces, each followed by the separator, or
//   (PlainShape::OneRun) in one run with the separator once, after the last
//   piece; sent back to back.
// Faults (DeviceOptions) bend this: wrong checksums, refusals, commands never
// answered, silence, a closed line (after so many units or bytes of the
// download), garbage before answers, a frame whose second half comes late
// (everything sent after it waits behind it, as on a serial line), a device
// busy before one unit of the download (what the host sends meanwhile is taken
// once that unit has gone out), and a download that never ends.
// A wake-up in the middle of a download is answered and does not end it.
// A record reads [serial ","] [date "," time ","] barcode CR, with the fields
// chosen by the show/hide commands and the date in the clock's date order.
// StateText reports the device's state for whoever watches it from outside.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kt52sim/device_options.h"

namespace kt52 {

using Bytes = std::vector<std::uint8_t>;

class Kt52Device {
 public:
  explicit Kt52Device(DeviceOptions options = {});

  // Bytes the host wrote. Answers are queued for TakeOutput.
  void Receive(const std::uint8_t* bytes, std::size_t count);
  void Receive(const Bytes& bytes) { Receive(bytes.data(), bytes.size()); }
  // Everything the device has to send now, in order; empties the queue. An
  // endless plain download offers its next piece each time.
  Bytes TakeOutput();
  bool HasOutput() const { return !output_.empty(); }
  // The clock runs; input left unfinished for two seconds is dropped.
  void PassTime(std::uint64_t milliseconds);
  // The host opened the port afresh: unfinished input, unsent answers and an
  // unfinished exchange are forgotten.
  void Reconnect();
  // The line was closed by a fault: nothing more is answered.
  bool LineClosed() const { return lineClosed_; }
  bool Silent() const { return silent_; }

  // What went on, for tests.
  const Bytes& Received() const { return received_; }
  // Every complete command, as text, in order (wake-ups not included).
  const std::vector<std::string>& Commands() const { return commands_; }
  std::size_t WakeUps() const { return wakeUps_; }
  std::size_t DataFramesSent() const { return dataFramesSent_; }
  std::size_t HostAcks() const { return hostAcks_; }
  std::size_t HostNaks() const { return hostNaks_; }
  std::uint8_t LastResponseMode() const { return lastResponseMode_; }

  // The device's state.
  const std::vector<StoredRecord>& Records() const { return records_; }
  const std::string& SerialNumber() const { return options_.serialNumber; }
  std::string DeviceInfo() const;
  DeviceTime Clock() const { return FromSeconds(clockSeconds_); }
  // The weekday digit of the last accepted set-time command (1 Monday .. 7
  // Sunday); 0 before one came.
  int GivenWeekday() const { return givenWeekday_; }
  DateFormat CurrentDateFormat() const { return dateFormat_; }
  bool ShowsSerial() const { return showSerial_; }
  bool ShowsTime() const { return showTime_; }
  const DeviceOptions& Options() const { return options_; }

  // The records as a download would send them now (display items and date
  // order applied), and that download as it goes over the wire in plain mode
  // (pieces with their separators).
  std::string DownloadText() const;
  std::string PlainDownloadStream() const;
  // The plain download's pieces, each with its separator (one run: only the last).
  std::vector<std::string> PlainPieces() const;
  // Record text per plain piece (the separator follows it).
  std::size_t PieceSize() const;
  // One record as sent.
  std::string FormatRecord(const StoredRecord& record) const;
  // The state as lines of "name value": clock (YYYY/MM/DD,HH:MM:SS, year
  // first), date-format (US, EU, CH), weekday (GivenWeekday), records (count).
  std::string StateText() const;

 private:
  enum class Awaiting { Nothing, QueryAck, DownloadAck };

  enum class FrameKind { Reply, DownloadUnit, Resend };

  void Process(const std::uint8_t* bytes, std::size_t count);
  void ParseFramed();
  void ParsePlain();
  void WakeUp();
  void HandleCommand(const std::string& command);
  void HandleHostAck(std::uint8_t verdict, std::uint8_t responseMode);
  bool IsRefused(const std::string& command) const;

  void Send(const Bytes& bytes);
  void Send(const std::string& text);
  void SendGarbage();
  void Acknowledge(bool accepted);
  void Reply(const std::string& text);
  void SendDataFrame(const std::string& payload, FrameKind kind = FrameKind::Reply);
  void StartDownload();
  void SendNextDownloadFrame();
  void SendNextPlainPiece();
  // One frame or piece of the download: counted, paused before, and cut where
  // a byte budget of the faults ends. Resends count bytes, not units.
  void SendDownloadBytes(const Bytes& unit, bool newUnit);
  void StartBusy();
  void EndBusy();
  // Records an endless download sends after the stored ones.
  std::string MoreEndlessText();

  DeviceOptions options_;
  std::vector<StoredRecord> records_;
  std::int64_t clockSeconds_;
  int givenWeekday_ = 0;
  std::uint64_t clockMillis_ = 0;
  DateFormat dateFormat_;
  bool showSerial_;
  bool showTime_;

  Bytes input_;
  std::uint64_t idleMillis_ = 0;
  Bytes output_;
  Bytes received_;
  std::vector<std::string> commands_;
  std::size_t wakeUps_ = 0;
  std::size_t dataFramesSent_ = 0;
  std::size_t hostAcks_ = 0;
  std::size_t hostNaks_ = 0;
  std::uint8_t lastResponseMode_ = 0;
  bool silent_ = false;
  bool lineClosed_ = false;

  Awaiting awaiting_ = Awaiting::Nothing;
  std::string lastPayload_;     // the data frame that may have to be sent again
  std::string downloadText_;    // framed download in progress
  std::size_t downloadSent_ = 0;
  std::size_t downloadUnits_ = 0;
  Bytes lateTail_;               // sent once it has waited lateTailMs
  std::uint64_t lateTailWaited_ = 0;
  std::size_t downloadBytes_ = 0;  // of the download's units, resends included
  std::uint64_t busyLeft_ = 0;     // while busy: output held, input deferred
  Bytes held_;
  Bytes deferred_;
  bool plainDownloading_ = false;  // an endless plain download is under way
  std::string plainRest_;          // its record text not yet in a piece
  std::size_t endlessNext_ = 0;    // the next generated record of an endless download
};

// The stored records a device with these options starts with.
std::vector<StoredRecord> InitialRecords(const DeviceOptions& options);

}  // namespace kt52
