#include <windows.h>
#include <process.h>

#include "common/worker.h"

namespace {
struct Start {
  WorkerEntry entry;
  void* argument;
};

unsigned __stdcall RunWorker(void* raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  start.entry(start.argument);
  return 0;
}
}  // namespace

bool StartPlatformWorker(WorkerEntry entry, void* argument) {
  Start* start = new Start{entry, argument};
  // Created suspended, then resumed and let go: the handle is closed at once.
  uintptr_t handle = _beginthreadex(nullptr, 0, &RunWorker, start, CREATE_SUSPENDED, nullptr);
  if (handle == 0) {
    delete start;
    return false;
  }
  ResumeThread(reinterpret_cast<HANDLE>(handle));
  CloseHandle(reinterpret_cast<HANDLE>(handle));
  return true;
}
