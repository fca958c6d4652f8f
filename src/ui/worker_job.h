#pragma once
// A scanner operation that runs on a worker thread ("Get Barcodes", "Set
// Time"). Its controls are disabled before the worker starts and enabled again
// on every way out; closing the window meanwhile waits for the job's end: the
// job stops at its next safe point, shows no more boxes, and then posts the
// close command again. One such job runs at a time (its controls see to that).
#include <span>

class Controls;

struct WorkerJob {
  // The operation itself, on the worker thread.
  void (*run)(Controls& dialog);
  // Disables (false) or enables (true) the controls the job keeps from the user.
  void (*switchControls)(Controls& dialog, bool enable);
  // The button that starts it.
  int button;
};

// Disables the job's controls and starts the worker. False, with nothing
// changed, while a job runs (when that job has ended and is only giving its
// controls back, the click is posted again, to be taken after that); false when no thread can be started: the controls
// are enabled again and an "Error" box says so.
bool StartWorkerJob(Controls& dialog, const WorkerJob& job);
// The worker's whole run on the calling thread: the operation, the controls
// enabled again, then a close that came meanwhile.
void RunWorkerJob(Controls& dialog, const WorkerJob& job);

// The controls every scanner job switches: in manual mode "Close" (only while
// a port is open), "Get Time" and "Get Device Info"; then the job's own list.
void SwitchJobControls(Controls& dialog, std::span<const int> alwaysSwitched, bool enable);

// True from the start of a job until its worker has taken its last step.
bool IsWorkerJobRunning();
// True once the window asked to close during the job: stop at the next safe
// point (between chunks or ports) and show no more boxes.
bool IsJobStopping();
// The close command while a job runs: remembered for the job's end (true), or
// false when no job runs (close now).
bool RequestCloseDuringJob();

inline constexpr wchar_t ThreadFailedText[] = L"Start Job Failed!";
