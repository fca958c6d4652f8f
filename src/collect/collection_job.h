#pragma once
// "Get Barcodes": downloads every stored barcode record of the open scanner
// (manual mode) or of every listed scanner (auto mode) on a worker thread, into
// the output file, the "Barcode Data" box and the export store.
#include <cstddef>
#include <string>

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
// of its answer (empty without one).
bool QueryDefaultSeparator(std::string& separator);
// Ends the zero-terminated chunk at the last occurrence of separator (found
// from its second byte on) when no CR follows it; empties the chunk when it
// also begins with separator and holds no CR before that occurrence.
void CutAtDefaultSeparator(char* chunk, const std::string& separator);

// Closing the window while a job runs: the job stops at its next safe point
// (between chunks or ports), closes its file, and then posts the close command
// again. RequestCloseDuringJob returns false when no job runs (close now).
bool IsCollectionRunning();
bool RequestCloseDuringJob();

// Texts of a failed write, in the style of the others.
inline constexpr wchar_t WriteFailedText[] = L"Write File Failed!";
// A download given up because the scanner's frames kept failing their check.
inline constexpr wchar_t GetDataFailedText[] = L"Get Data Failed!";
