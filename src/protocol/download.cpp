#include "protocol/download.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "common/pause.h"
#include "protocol/catalogue.h"
#include "protocol/exchange.h"
#include "protocol/scanner_session.h"
#include "transport/serial_link.h"

namespace {
constexpr std::uint32_t WindowMs = Reply::Download.totalMs;   // a silent one ends the data
constexpr std::uint32_t GapMs = Reply::Download.intervalMs;
constexpr std::size_t FramePayload = Reply::Download.maxPayload;
constexpr std::uint32_t WakeAnswerMs = 3000;  // as at the start of every operation
constexpr unsigned PlainPauseMs = 1000;       // before and after a plain command
constexpr std::uint32_t AnswerTotalMs = Reply::DefaultSeparator.totalMs;
constexpr std::uint32_t AnswerGapMs = Reply::DefaultSeparator.intervalMs;

class Download {
 public:
  Download(ScannerSession& session, const PlainSeparator& plain, const DownloadData& data)
      : session_(session),
        link_(*session.link),
        plain_(plain),
        data_(data),
        limits_(session.limits),
        buffer_(PlainPieceBytes + 1, 0),
        cutter_(plain.separator, true) {}

  DownloadResult Run() {
    link_.TakeFault();  // a line error from before the download is not its own
    start_ = SteadyMs();
    std::string answerBytes;
    const CommandAnswer answer =
        SendCommandForAnswer(session_, Command::DownloadBarcodes, CommandLength, &answerBytes);
    if (answer == CommandAnswer::NotWritten) return {DownloadEnd::NotAccepted, 0};
    accepted_ = answer == CommandAnswer::Accepted;
    if (!session_.framed) {
      // What the acknowledgement's read took that was not the OK marker may
      // be the marker's start, with noise in front, or a late one.
      cutter_ = PlainDataCutter(plain_.separator, !accepted_);
      if (!accepted_ && !FeedPlain(answerBytes.data(), answerBytes.size()))
        return {DownloadEnd::Unclear, 0};
    }
    DownloadEnd end = Receive();
    // A download that did not finish still keeps the records it brought.
    if (end != DownloadEnd::Complete && !session_.framed) FinishPlain();
    return {end, bytes_};
  }

 private:
  DownloadEnd Receive() {
    for (;;) {
      if (Overdue()) return DownloadEnd::TooLong;
      if (StopAsked(session_)) return DownloadEnd::Stopped;
      std::optional<DownloadEnd> end = session_.framed ? FramedStep() : PlainStep();
      if (end) return *end;
    }
  }

  bool Overdue() const {
    return bytes_ > limits_.maxBytes || SteadyMs() - start_ > limits_.maxMs;
  }
  bool LineFaulted() { return link_.TakeFault() != LinkFault::None; }

  void Deliver(const char* bytes, std::size_t count) {
    if (count == 0) return;
    bytes_ += count;
    data_(bytes, count);
  }

  // The first silent window: nothing at all came after a command the scanner
  // did not take, so there is no download to check.
  bool NothingAfterRefusal() const { return !accepted_ && received_ == 0; }

  std::optional<DownloadEnd> FramedStep() {
    std::uint8_t lead = 0;
    std::size_t leadCount = 0;
    if (haveLead_) {
      lead = leadByte_;
      leadCount = 1;
      haveLead_ = false;
    } else if (wakeAnswerDue_) {
      // The answer to the wake-up sent in the middle: it stands in front of
      // the next frame and is no part of it.
      wakeAnswerDue_ = false;
      std::size_t n = link_.Read(&lead, 1, WindowMs, 0);
      if (LineFaulted()) return DownloadEnd::LineFailed;
      if (n == 1 && lead != Ack) leadCount = 1;
    }
    auto* payload = buffer_.data();
    FrameReceipt frame = ReceiveDataFrame(session_, reinterpret_cast<std::uint8_t*>(payload), FramePayload,
                                          WindowMs, GapMs, &lead, leadCount);
    // A frame that passed its check came whole, even if the port went away after it.
    const LinkFault fault = link_.TakeFault();
    if (fault == LinkFault::LineError) return DownloadEnd::LineFailed;
    if (fault == LinkFault::Broken) {
      if (frame.kind == FrameReceipt::Taken) Deliver(payload, frame.payload);
      return DownloadEnd::LineFailed;
    }
    switch (frame.kind) {
      case FrameReceipt::Nothing:
        if (NothingAfterRefusal()) return DownloadEnd::NotAccepted;
        // A refused frame that never came again is lost, not the end.
        if (refusedInARow_) return DownloadEnd::Unclear;
        return FramedEndCheck();
      case FrameReceipt::Refused:
        ++received_;
        if (++refusedInARow_ > MaxReplyRetries) return DownloadEnd::Unclear;
        return std::nullopt;
      case FrameReceipt::AckUnsent:
        return DownloadEnd::LineFailed;
      case FrameReceipt::Taken:
        break;
    }
    ++received_;
    refusedInARow_ = 0;
    ++framesSinceResume_;
    Deliver(payload, frame.payload);
    return std::nullopt;
  }

  std::optional<DownloadEnd> FramedEndCheck() {
    const std::uint8_t wake = WakeByte;
    if (!link_.Write(&wake, 1)) return DownloadEnd::LineFailed;
    std::uint8_t answer = 0;
    std::size_t n = link_.Read(&answer, 1, WakeAnswerMs, 0);
    if (LineFaulted()) return DownloadEnd::LineFailed;
    if (n == 0) return DownloadEnd::ScannerGone;
    if (answer == Ack) {
      // After data came in front of an answer, only a frame beyond that one
      // shows the wake-up did not stop the download.
      return resumed_ && framesSinceResume_ < 2 ? DownloadEnd::Unclear : DownloadEnd::Complete;
    }
    leadByte_ = answer;  // a frame the scanner was still to send
    haveLead_ = true;
    resumed_ = true;
    framesSinceResume_ = 0;
    wakeAnswerDue_ = true;
    return std::nullopt;
  }

  bool FeedPlain(const char* bytes, std::size_t count) {
    text_.clear();
    const bool followed = cutter_.Feed(bytes, count, text_);
    Deliver(text_.data(), text_.size());
    return followed;
  }

  std::optional<DownloadEnd> PlainStep() {
    char* bytes = buffer_.data();
    std::size_t n = ReadUntilQuiet(link_, reinterpret_cast<std::uint8_t*>(bytes), PlainPieceBytes,
                                   WindowMs, GapMs);
    // Bytes lost or garbled may stand in what was read; a port that went away
    // only ends what came before.
    const LinkFault fault = link_.TakeFault();
    if (fault == LinkFault::LineError) return DownloadEnd::LineFailed;
    received_ += n;
    if (n > 0 && !FeedPlain(bytes, n)) return DownloadEnd::Unclear;
    if (fault == LinkFault::Broken) return DownloadEnd::LineFailed;
    if (n == 0) return NothingAfterRefusal() ? DownloadEnd::NotAccepted : PlainEndCheck();
    return std::nullopt;
  }

  std::optional<DownloadEnd> PlainEndCheck() {
    char* bytes = buffer_.data();
    auto* raw = reinterpret_cast<std::uint8_t*>(bytes);
    Pause(PlainPauseMs);
    // A scanner that only paused has gone on meanwhile: nothing was sent to it.
    std::size_t n = link_.Read(raw, PlainPieceBytes, 0, 0);
    if (LineFaulted()) return DownloadEnd::LineFailed;
    if (n > 0) {
      received_ += n;
      return FeedPlain(bytes, n) ? std::nullopt : std::optional(DownloadEnd::Unclear);
    }
    // Written as it is: the input queue is not emptied first, as a command's
    // is, since data still coming are the download's.
    const auto* query = reinterpret_cast<const std::uint8_t*>(Command::GetDefaultSeparator);
    if (!link_.Write(query, CommandLength)) return DownloadEnd::LineFailed;
    Pause(PlainPauseMs);
    const std::string expected = plain_.answer + OkMarker;
    std::string tail;
    n = link_.Read(raw, PlainPieceBytes, AnswerTotalMs, AnswerGapMs);
    if (LineFaulted()) return DownloadEnd::LineFailed;
    if (n == 0) return DownloadEnd::ScannerGone;
    tail.assign(bytes, n);
    if (tail != expected) {
      // More than the answer, or something else: whatever else comes is read
      // until a window stays silent; all but the last bytes are the download's.
      for (;;) {
        if (tail.size() > expected.size()) {
          const std::size_t front = tail.size() - expected.size();
          if (!FeedPlain(tail.data(), front)) return DownloadEnd::Unclear;
          tail.erase(0, front);
        }
        if (Overdue()) return DownloadEnd::TooLong;
        if (StopAsked(session_)) return DownloadEnd::Stopped;
        n = link_.Read(raw, PlainPieceBytes, WindowMs, GapMs);
        if (LineFaulted()) return DownloadEnd::LineFailed;
        if (n == 0) break;
        tail.append(bytes, n);
      }
      if (tail != expected) {
        FeedPlain(tail.data(), tail.size());  // complete records in it are kept
        return DownloadEnd::Unclear;
      }
    }
    // The answer came after the last data: the pieces must have ended too.
    return FinishPlain() ? DownloadEnd::Complete : DownloadEnd::Unclear;
  }

  // The last piece's text handed on; whether it ended as a piece ends.
  bool FinishPlain() {
    text_.clear();
    const bool ended = cutter_.Finish(text_);
    Deliver(text_.data(), text_.size());
    return ended;
  }

  ScannerSession& session_;
  SerialLink& link_;
  const PlainSeparator& plain_;
  const DownloadData& data_;
  DownloadLimits limits_;
  std::vector<char> buffer_;
  PlainDataCutter cutter_;
  std::string text_;
  std::uint64_t start_ = 0;
  std::uint64_t bytes_ = 0;     // handed on
  std::uint64_t received_ = 0;  // plain: bytes read after the acknowledgement; framed: frames
  bool accepted_ = false;
  // Framed.
  int refusedInARow_ = 0;
  bool haveLead_ = false;
  std::uint8_t leadByte_ = 0;
  bool wakeAnswerDue_ = false;
  bool resumed_ = false;
  unsigned framesSinceResume_ = 0;
};
}  // namespace

DownloadResult RunDownload(ScannerSession& session, const PlainSeparator& plain,
                           const DownloadData& data) {
  return Download(session, plain, data).Run();
}

PlainDataCutter::PlainDataCutter(std::string separator, bool markerFirst, std::size_t pieceBytes)
    : separator_(std::move(separator)),
      pieceBytes_(pieceBytes > separator_.size() ? pieceBytes : separator_.size() + 1),
      awaitingMarker_(markerFirst) {}

bool PlainDataCutter::Feed(const char* bytes, std::size_t count, std::string& text) {
  if (failed_) return false;
  if (!awaitingMarker_) return FeedData(bytes, count, text);
  front_.append(bytes, count);
  const std::size_t marker = front_.find(OkMarker);
  if (marker != std::string::npos && marker <= MaxStrayBytes) {
    awaitingMarker_ = false;
    const std::string rest = front_.substr(marker + MarkerLength);
    front_.clear();
    return FeedData(rest.data(), rest.size(), text);
  }
  if (front_.size() >= MaxStrayBytes + MarkerLength) failed_ = true;
  return !failed_;
}

bool PlainDataCutter::EndsWithSeparator() const {
  return held_.size() >= separator_.size() &&
         held_.compare(held_.size() - separator_.size(), separator_.size(), separator_) == 0;
}

bool PlainDataCutter::FeedData(const char* bytes, std::size_t count, std::string& text) {
  while (count > 0) {
    if (shape_ == Shape::OneRun) {
      held_.append(bytes, count);
      // Only the last separator's length can still be the closing separator.
      const std::size_t keep = separator_.size();
      if (held_.size() > keep) {
        text.append(held_, 0, held_.size() - keep);
        held_.erase(0, held_.size() - keep);
      }
      return true;
    }
    const std::size_t take = std::min(count, pieceBytes_ - held_.size());
    held_.append(bytes, take);
    bytes += take;
    count -= take;
    if (held_.size() < pieceBytes_) continue;
    const bool ended = EndsWithSeparator();
    if (shape_ == Shape::Unknown) {
      // The first whole piece tells the shape; in one run it is all text so far.
      shape_ = ended ? Shape::Pieces : Shape::OneRun;
      if (!ended) continue;
    } else if (!ended) {
      failed_ = true;
      held_.clear();
      return false;
    }
    text.append(held_, 0, held_.size() - separator_.size());
    held_.clear();
  }
  return true;
}

bool PlainDataCutter::Finish(std::string& text) {
  if (failed_) return false;
  if (awaitingMarker_) return front_.empty();
  if (held_.empty() && shape_ != Shape::OneRun) return true;
  const bool ended = EndsWithSeparator();
  text.append(held_, 0, held_.size() - (ended ? separator_.size() : 0));
  held_.clear();
  return ended;
}
