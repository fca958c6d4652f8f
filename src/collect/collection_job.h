#pragma once
// "Get Barcodes": downloads every stored barcode record of the open scanner
// (manual mode) or of every listed scanner (auto mode) on a worker thread, into
// the output file, the "Barcode Data" box and the export store.
#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/download.h"
#include "ui/worker_job.h"

class Controls;

// Most bytes one bulk receive delivers: a framed payload of 10,240, or a plain
// read of 10,240 + 10.
inline constexpr std::size_t ChunkCapacity = 10250;
inline constexpr std::size_t DefaultSeparatorCapacity = 24;

// The button: disables the job controls and starts the worker. False (and the
// controls enabled again, with an error box) when no thread can be started.
bool StartCollection(Controls& dialog);
// The worker's whole run, on the calling thread; ends by enabling the controls.
void CollectionJob(Controls& dialog);

void SetJobControls(Controls& dialog, bool enable);
// Tells the scanner to show or hide serial number and time stamp, as checked.
bool SetDisplayItems(Controls& dialog);
// Plain mode: the scanner's default separator, the text after the first ":"
// of its answer (empty without one); the whole answer in *answer.
bool QueryDefaultSeparator(std::string& separator, std::string* answer = nullptr);

// Closing the window while a job runs: the download under way finishes (it
// is checked and saved as any other), no further port is started, no more
// boxes are shown, and then the close command is posted again.
// RequestCloseDuringJob returns false when no job runs (close now).
bool IsCollectionRunning();
bool RequestCloseDuringJob();

// Whether the last download from COM<port> in this session failed (any
// failure text). False for a port not downloaded in this session, or whose
// last download succeeded or found no data.
bool LastDownloadFailed(std::uint32_t port);
// As at start: no port downloaded yet.
void ForgetDownloads();

// The bounds every download runs under (MaxDownloadBytes, MaxDownloadMs). The
// one test hook here: tests lower them to see a scanner that never stops
// sending ended, without sending 64 MiB.
void SetDownloadLimits(const DownloadLimits& limits);

// Texts of a failed write, in the style of the others.
inline constexpr wchar_t WriteFailedText[] = L"Write File Failed!";
// A download that did not finish: the line failed, the scanner went silent or
// could not vouch for the end, the command was not taken, or text was left
// open after the last record.
inline constexpr wchar_t GetDataFailedText[] = L"Get Data Failed!";
