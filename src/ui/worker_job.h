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
// changed, while a job or a dialog operation runs (when that job has ended
// and is only giving its controls back, the click is posted again, to be
// taken after that); false in manual mode with no port open, after the
// warning ("Please Open Ports!"), so that no job runs while "Open" is usable;
// false when no thread can be started: the controls are enabled again and an
// "Error" box says so.
bool StartWorkerJob(Controls& dialog, const WorkerJob& job);
// The worker's whole run on the calling thread: the operation, the controls
// enabled again, then a close that came meanwhile.
void RunWorkerJob(Controls& dialog, const WorkerJob& job);

// The controls every scanner job switches: in manual mode "Close" (only while
// a port is open), "Get Time" and "Get Device Info"; then the job's own list;
// last the port list and "Open", which are given back as they were when the
// job began.
void SwitchJobControls(Controls& dialog, std::span<const int> alwaysSwitched, bool enable);

// A command that talks to a scanner or the port, or reads the store, on the
// dialog's own thread, held for as long as it runs: meanwhile no job starts
// and no other such command runs, not even one taken by the message loop of
// one of its boxes. Refused (false) while another one runs, and, unless
// besideJobs, while a job runs; a click (repostId, 0 for none) that comes
// while the job only gives its controls back is posted again.
class DialogOperation {
 public:
  DialogOperation(Controls& dialog, int repostId, bool besideJobs);
  ~DialogOperation();
  DialogOperation(const DialogOperation&) = delete;
  DialogOperation& operator=(const DialogOperation&) = delete;
  explicit operator bool() const { return held_; }

 private:
  bool held_ = false;
};

// True from the start of a job until its worker has taken its last step.
bool IsWorkerJobRunning();
// True once the window asked to close during the job: stop at the next safe
// point (between chunks or ports) and show no more boxes.
bool IsJobStopping();
// The close command while a job runs: remembered for the job's end (true), or
// false when no job runs (close now).
bool RequestCloseDuringJob();

inline constexpr wchar_t ThreadFailedText[] = L"Start Job Failed!";
