#pragma once
// "Get Barcodes": downloads every stored barcode record of the open scanner
// (manual mode) or of every listed scanner (auto mode), into the output file
// and the front end's received text, and says how it went: each scanner's
// report holds the records it took.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/outcome.h"
#include "common/output_file.h"
#include "collect/download_choices.h"
#include "collect/output_naming.h"
#include "common/scan_summary.h"
#include "protocol/download.h"

class FrontEnd;
struct PortList;

// Most bytes one bulk receive delivers: a framed payload of 10,240, or a plain
// read of 10,240 + 10.
inline constexpr std::size_t ChunkCapacity = 10250;
inline constexpr std::size_t DefaultSeparatorCapacity = 24;

// One scanner's download, for a program that acts on how it went.
struct DownloadReport {
  std::uint32_t entry = 0;    // the listed port's entry; 0 for the open port
  std::uint32_t port = 0;     // its COM number (0: a port named by path)
  Outcome outcome = Outcome::GetDataFailed;  // how it ended (OutcomeWords: what it says)
  bool succeeded = false;     // every record saved (or got), or the scanner held none
  std::vector<ScanRecord> records;  // every record it took, in order
  std::uint64_t recordsInFile = 0;  // whole records of it that the file holds
  std::wstring filePath;      // the output file; empty when none was opened
  std::uint64_t fileStart = 0;                 // its length before the download
  std::uint64_t bytesWritten = 0;              // appended by it
  std::uint64_t writtenHash = FileHashStart;   // FileHash of those bytes
  std::string received;  // the download's data as received (keepReceived)
};
struct DownloadRun {
  bool keepReceived = false;
  bool started = false;  // the scanners were ready and the downloads began
  std::vector<DownloadReport> reports;  // one a scanner served, in order
};

// The whole download run: of the open scanner (listed nullptr), or of every
// listed one in turn, each outcome in its "Status". A window that closes
// meanwhile lets the download under way finish (it is checked and saved as
// any other); no further port is started and no more boxes are shown. run,
// when given, gets a report of each scanner.
void DownloadScanners(ScannerSession& session, FrontEnd& front, const DownloadChoices& choices,
                      OutputNames& names, const PortList* listed, DownloadRun* run = nullptr);

// Whether the report's file, read back from the disk at its path, holds from
// fileStart on exactly the bytes the download wrote (their count and hash).
// digest, when given, gets what was read.
bool FileHoldsWhatWasWritten(const DownloadReport& report, FileDigest* digest = nullptr);

// Tells the scanner to show or hide serial number and time stamp, as chosen.
bool SetDisplayItems(ScannerSession& session, const DownloadChoices& choices);
// Plain mode: the scanner's default separator, the text after the first ":"
// of its answer (empty without one); the whole answer in *answer.
bool QueryDefaultSeparator(ScannerSession& session, std::string& separator,
                           std::string* answer = nullptr);

// The ports whose last download failed, kept by whoever runs downloads: the
// erase asks before erasing such a scanner, or leaves it. Safe to share
// between the thread that downloads and the one that erases.
class DownloadHistory {
 public:
  // Each report of the run: its port failed, or did not.
  void Note(const DownloadRun& run);
  // Whether the last download from COM<port> failed (any failure). False for
  // a port not downloaded yet, or whose last download succeeded or found no data.
  bool LastFailed(std::uint32_t port) const;
  // As at start: no port downloaded yet.
  void Forget();

 private:
  mutable std::mutex lock_;
  std::set<std::uint32_t> failed_;
};

