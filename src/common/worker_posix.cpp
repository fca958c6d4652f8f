#include <system_error>
#include <thread>

#include "common/worker.h"

bool StartPlatformWorker(WorkerEntry entry, void* argument) {
  try {
    std::thread(entry, argument).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}
