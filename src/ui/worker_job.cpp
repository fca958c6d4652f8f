#include "ui/worker_job.h"

#include <atomic>

#include "common/worker.h"
#include "ui/control_ids.h"
#include "ui/controls.h"
#include "ui/device_list.h"
#include "ui/main_dialog.h"

namespace {
std::atomic<bool> JobRunning{false};
std::atomic<bool> CloseRequested{false};

struct Started {
  Controls* dialog;
  WorkerJob job;
};

void JobWorker(void* raw) {
  Started started = *static_cast<Started*>(raw);
  delete static_cast<Started*>(raw);
  RunWorkerJob(*started.dialog, started.job);
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
  job.switchControls(dialog, false);
  JobRunning = true;
  auto* started = new Started{&dialog, job};
  if (!StartWorker(&JobWorker, started)) {
    delete started;
    JobRunning = false;
    job.switchControls(dialog, true);
    dialog.ShowMessage(ThreadFailedText, L"Error", BoxIconError);
    return false;
  }
  return true;
}

void RunWorkerJob(Controls& dialog, const WorkerJob& job) {
  job.run(dialog);
  job.switchControls(dialog, true);
  JobRunning = false;
  // A close that came while the job ran is carried out now.
  if (CloseRequested.exchange(false)) dialog.PostCommand(CloseCommandId);
}

bool IsWorkerJobRunning() { return JobRunning.load(); }

bool IsJobStopping() { return CloseRequested.load(); }

bool RequestCloseDuringJob() {
  CloseRequested = true;
  if (JobRunning.load()) return true;
  CloseRequested = false;
  return false;
}
