#include "ui/worker_job.h"

#include <atomic>

#include "common/worker.h"
#include "protocol/exchange.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"
#include "ui/window_front_end.h"

namespace {
// One word, so that a close request and the job's end cannot cross: either
// the request finds the job running and the job posts the close, or it finds
// the job past that point (Finishing, Closing, NoJob) and the window closes
// at once.
enum JobState : int { NoJob, Running, CloseRequested, Closing, Finishing };
std::atomic<int> State{NoJob};
// Worker threads not yet through their last step (the controls given back, a
// close posted): a job's end as a test sees it.
std::atomic<int> Workers{0};

struct Started {
  Controls* dialog;
  WorkerJob job;
};

// A DialogOperation runs. Set and cleared on the dialog's thread; atomic, as
// a job's start may be tried from another thread too.
std::atomic<bool> OperationHeld{false};

// The port list and "Open" as a job found them: set when its controls are
// disabled (on the dialog's thread, before the worker starts), given back and
// cleared when the worker enables them again.
struct PortControls {
  bool held = false;
  bool listEnabled = false;
  bool openEnabled = false;
};
PortControls HeldPortControls;

void HoldPortControls(Controls& dialog) {
  HeldPortControls = {true, dialog.IsEnabled(IDC_PORT_LIST), dialog.IsEnabled(IDC_OPEN)};
  dialog.SetEnabled(IDC_PORT_LIST, false);
  dialog.SetEnabled(IDC_OPEN, false);
}

void GivePortControlsBack(Controls& dialog) {
  if (!HeldPortControls.held) return;
  dialog.SetEnabled(IDC_PORT_LIST, HeldPortControls.listEnabled);
  dialog.SetEnabled(IDC_OPEN, HeldPortControls.openEnabled);
  HeldPortControls = {};
}

// A click that meets a job: posted again when the job only gives its controls
// back, so it is taken after that instead of lost.
void RepostIfFinishing(Controls& dialog, int state, int id) {
  if (state == Finishing && id != 0) dialog.PostCommand(id);
}

void JobWorker(void* raw) {
  Started started = *static_cast<Started*>(raw);
  delete static_cast<Started*>(raw);
  RunWorkerJob(*started.dialog, started.job);
  --Workers;
}
}  // namespace

void SwitchJobControls(Controls& dialog, std::span<const int> alwaysSwitched, bool enable) {
  // "Open" disabled is the sign of an open port: it is read before the job
  // holds it, and after the job gave it back.
  if (enable) GivePortControlsBack(dialog);
  if (!AutoMode) {
    if (!dialog.IsEnabled(IDC_OPEN)) dialog.SetEnabled(IDC_CLOSE, enable);
    dialog.SetEnabled(IDC_GET_TIME, enable);
    dialog.SetEnabled(IDC_GET_DEVICE_INFO, enable);
  }
  for (int id : alwaysSwitched) dialog.SetEnabled(id, enable);
  if (!enable) HoldPortControls(dialog);
}

bool StartWorkerJob(Controls& dialog, const WorkerJob& job) {
  // A click that reaches the table while a job or a dialog operation runs
  // (its button is disabled, or a box's message loop took it) must not start
  // a second writer.
  if (OperationHeld) return false;
  int idle = NoJob;
  if (!State.compare_exchange_strong(idle, Running)) {
    // A button enabled again a moment before its job ends: the click is not
    // lost, and not taken while the old job still switches the controls.
    RepostIfFinishing(dialog, idle, job.button);
    return false;
  }
  // Manual mode serves the open port: without one there is only the
  // warning, shown with no job running and nothing switched.
  if (!AutoMode && dialog.IsEnabled(IDC_OPEN)) {
    State = NoJob;
    WindowFrontEnd window(dialog);
    WarnNoOpenPort(window);
    return false;
  }
  job.switchControls(dialog, false);
  auto* started = new Started{&dialog, job};
  ++Workers;
  if (!StartWorker(&JobWorker, started)) {
    delete started;
    --Workers;
    State = NoJob;
    job.switchControls(dialog, true);
    dialog.ShowMessage(ThreadFailedText, L"Error", BoxIconError);
    return false;
  }
  return true;
}

void RunWorkerJob(Controls& dialog, const WorkerJob& job) {
  job.run(dialog);
  int state = Running;
  if (State.compare_exchange_strong(state, Finishing)) {
    job.switchControls(dialog, true);
    State = NoJob;
    return;
  }
  job.switchControls(dialog, true);
  if (state == NoJob) return;  // run directly, not through StartWorkerJob
  // A close came while the job ran: it is carried out now. The command is
  // posted before the job counts as ended, so whoever sees the end sees it
  // too; meanwhile (Closing) the posted close, which the dialog's thread may
  // take at once, is no longer deferred.
  State = Closing;
  dialog.PostCommand(CloseCommandId);
  State = NoJob;
}

bool IsWorkerJobRunning() { return State.load() != NoJob || Workers.load() > 0; }

bool IsJobStopping() {
  int state = State.load();
  return state == CloseRequested || state == Closing;
}

bool RequestCloseDuringJob() {
  int running = Running;
  return State.compare_exchange_strong(running, CloseRequested) || running == CloseRequested;
}

DialogOperation::DialogOperation(Controls& dialog, int repostId, bool besideJobs) {
  if (OperationHeld) return;
  int state = State.load();
  if (!besideJobs && state != NoJob) {
    RepostIfFinishing(dialog, state, repostId);
    return;
  }
  OperationHeld = true;
  held_ = true;
}

DialogOperation::~DialogOperation() {
  if (held_) OperationHeld = false;
}
