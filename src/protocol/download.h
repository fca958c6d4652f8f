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
// - plain: the OK marker, then the record text and the scanner's default
//   separator, in one of two shapes (PlainDataCutter): the records in one run
//   with the separator once, at the end; or pieces of record text, each
//   ending with the separator, cut so that a piece and its separator fill one
//   host read of 10,250 bytes. Separators are taken out only where the shape
//   puts them, counted from the marker, never where reads happen to end. At
//   the first silent window comes the plain command's first pause (data that
//   arrive meanwhile go on the download), then the get-default-separator query,
//   whose answer must be the one the scanner gave before the download. Data
//   in front of that answer are the download's, which must then end as its
//   shape ends.
// What the data mean is the caller's: it gets them as they come.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "protocol/scanner_session.h"

// A plain piece and its separator fill one host read: 10,240 + 10 bytes.
inline constexpr std::size_t PlainPieceBytes = 10250;

enum class DownloadEnd {
  Complete,     // the scanner is there and idle; with 0 bytes it holds no records
  NotAccepted,  // the command was not written, refused or not acknowledged, and no data came
  LineFailed,   // the port failed (unplugged) or reported bytes lost or garbled
  ScannerGone,  // silent where the end check asked for an answer
  Unclear,      // the data or the end check cannot vouch for the end: an answer
                // other than the one asked for, a piece not ending with the
                // separator, text after the last separator, a frame refused
                // until given up
  TooLong,      // past DownloadLimits
  Stopped,      // the session was asked to stop (ScannerSession::stop)
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

// The download on the session's link, after the scanner was woken and
// prepared (session.framed says how it talks), within session.limits.
DownloadResult RunDownload(ScannerSession& session, const PlainSeparator& plain,
                           const DownloadData& data);

// The plain download's bytes after its acknowledgement, turned into record text:
// the OK marker found first (up to MaxStrayBytes of noise may stand in front
// of it) unless the acknowledgement was already read whole, then the
// separators taken out where the data's shape puts them. The shape is read
// from the data: when the first pieceBytes after the marker end with the
// separator, the data come in pieces of that size, each ending with it;
// otherwise they are one run, and only the separator that ends them is taken
// out. Separator text anywhere else is record text (a barcode such as
// LEGEND-0042) and stays. Text is handed on only once no separator to be
// taken out can stand in it.
class PlainDataCutter {
 public:
  static constexpr std::size_t MaxStrayBytes = 10;

  PlainDataCutter(std::string separator, bool markerFirst,
                  std::size_t pieceBytes = PlainPieceBytes);
  // Appends to text what the bytes make certain. False, from then on, once
  // they cannot be followed: no OK marker where it must lead, or, in pieces,
  // a whole piece not ending with the separator (that piece is dropped).
  bool Feed(const char* bytes, std::size_t count, std::string& text);
  // At the end of a download: true when what came ends as its shape ends,
  // with the separator (after a shorter last piece, a whole one, or the run),
  // or with nothing at all; the rest of the text goes to text. False when it
  // does not: the rest goes to text as it is (the download did not finish,
  // and the records complete in it are kept).
  bool Finish(std::string& text);

 private:
  enum class Shape { Unknown, Pieces, OneRun };
  bool FeedData(const char* bytes, std::size_t count, std::string& text);
  bool EndsWithSeparator() const;

  std::string separator_;
  std::size_t pieceBytes_;
  bool awaitingMarker_;
  Shape shape_ = Shape::Unknown;
  std::string front_;  // what came before the marker was found
  // Unknown and pieces: the current piece so far; one run: its last bytes,
  // which may be the closing separator.
  std::string held_;
  bool failed_ = false;
};
