#include "ui/worker_job.h"

#include <atomic>

#include "common/worker.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"

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

void JobWorker(void* raw) {
  Started started = *static_cast<Started*>(raw);
  delete static_cast<Started*>(raw);
  RunWorkerJob(*started.dialog, started.job);
  --Workers;
}
}  // namespace

void SwitchJobControls(Controls& dialog, std::span<const int> alwaysSwitched, bool enable) {
  if (!AutoMode) {
    if (!dialog.IsEnabled(IDC_OPEN)) dialog.SetEnabled(IDC_CLOSE, enable);
    dialog.SetEnabled(IDC_GET_TIME, enable);
    dialog.SetEnabled(IDC_GET_DEVICE_INFO, enable);
  }
  for (int id : alwaysSwitched) dialog.SetEnabled(id, enable);
}

bool StartWorkerJob(Controls& dialog, const WorkerJob& job) {
  // A click that reaches the table while a job runs (its button is disabled,
  // but a command can still be sent) must not start a second writer.
  int idle = NoJob;
  if (!State.compare_exchange_strong(idle, Running)) {
    // A button enabled again a moment before its job ends: the click is not
    // lost, and not taken while the old job still switches the controls.
    if (idle == Finishing) dialog.PostCommand(job.button);
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
