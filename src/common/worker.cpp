#include <atomic>

#include "common/worker.h"

namespace {
std::atomic<WorkerStarter> CurrentStarter{&StartPlatformWorker};
}

bool StartWorker(WorkerEntry entry, void* argument) { return CurrentStarter.load()(entry, argument); }

void SetWorkerStarter(WorkerStarter starter) {
  CurrentStarter.store(starter ? starter : &StartPlatformWorker);
}
