#pragma once
// A download of the scanner's stored records: the download command, the data
// as the scanner sends them, and the check that it really finished. A KT52
// download has no end marker and no record count, and the first silent read
// window only shows where the scanner stopped sending. So before a download
// counts as complete the scanner shows that it is still there and idle:
// - framed: every data frame is acknowledged. At the first silent window the
//   wake-up "*" goes out again and must be answered with ACK. Data in front of
//   that answer mean the scanner was only pausing: the download goes on, and
//   its end is trusted only when at least one more frame followed (a scanner
//   that the wake-up stopped looks the same as one that finished).
// - plain: the OK marker, then pieces of record text, each ending with the
//   scanner's default separator and cut so that a piece and its separator fill
//   one host read of 10,250 bytes. The separators are taken out where the
//   pieces end, counted from the marker, never where reads happen to end. At
//   the first silent window comes the plain command's first pause (data that
//   arrive meanwhile go on the download), then the get-default-separator query,
//   whose answer must be the one the scanner gave before the download. Data
//   in front of that answer are the download's, which must then end as pieces end.
// What the data mean is the caller's: it gets them as they come.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Far above any scanner's memory: a download past either bound has gone wrong
// (a scanner that keeps sending, or keeps resending).
inline constexpr std::uint64_t MaxDownloadBytes = 64ull << 20;
inline constexpr std::uint64_t MaxDownloadMs = 10ull * 60 * 1000;

struct DownloadLimits {
  std::uint64_t maxBytes = MaxDownloadBytes;
  std::uint64_t maxMs = MaxDownloadMs;
};

// A plain piece and its separator fill one host read: 10,240 + 10 bytes.
inline constexpr std::size_t PlainPieceBytes = 10250;

enum class DownloadEnd {
  Complete,     // the scanner is there and idle; with 0 bytes it holds no records
  NotAccepted,  // the command was not written, refused or not acknowledged, and no data came
  LineFailed,   // the port failed (unplugged) or reported bytes lost or garbled
  ScannerGone,  // silent where the end check asked for an answer
  Unclear,      // the data or the end check cannot vouch for the end: an answer
                // other than the one asked for, separators out of place, text
                // left after the last piece, a frame refused until given up
  TooLong,      // past DownloadLimits
};

struct DownloadResult {
  DownloadEnd end = DownloadEnd::Unclear;
  std::uint64_t bytes = 0;  // data bytes handed on
};

// Gets each run of data as it comes, anywhere inside a record.
using DownloadData = std::function<void(const char* bytes, std::size_t count)>;

// Plain mode: the scanner's default separator and its whole answer to the
// get-default-separator query, as taken before the download.
struct PlainSeparator {
  std::string separator;
  std::string answer;
};

// The download on the exchange's link, after the scanner was woken and
// prepared (FramedMode says how it talks).
DownloadResult RunDownload(const PlainSeparator& plain, const DownloadData& data,
                           const DownloadLimits& limits = {});

// The plain download's bytes after its acknowledgement, turned into record text:
// the OK marker found first (up to MaxStrayBytes of noise may stand in front
// of it) unless the acknowledgement was already read whole, then each piece's
// separator taken out where the piece ends. A piece's text is handed on only
// once its end is known, so a separator out of place never reaches a record.
class PlainPieceCutter {
 public:
  static constexpr std::size_t MaxStrayBytes = 10;

  PlainPieceCutter(std::string separator, bool markerFirst,
                   std::size_t pieceBytes = PlainPieceBytes);
  // Appends the text of every piece the bytes complete to text. False, from
  // then on, once they cannot be followed: no OK marker where it must lead, or
  // a whole piece not ending with the separator (that piece is dropped).
  bool Feed(const char* bytes, std::size_t count, std::string& text);
  // At the end of a download: true when what came ends as a download ends,
  // right after the separator of a piece (a shorter, last one or a whole one),
  // or with nothing at all; the last piece's text goes to text. False when it
  // ends inside a piece: that piece's text goes to text as it is (the download
  // did not finish, and the records complete in it are kept).
  bool Finish(std::string& text);

 private:
  bool FeedPieces(const char* bytes, std::size_t count, std::string& text);
  bool EndsWithSeparator() const;

  std::string separator_;
  std::size_t pieceBytes_;
  bool awaitingMarker_;
  std::string front_;   // what came before the marker was found
  std::string piece_;   // the current piece so far
  bool failed_ = false;
};
