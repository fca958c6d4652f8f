#include "support/gated_link.h"

#include <chrono>
#include <thread>

#include "ui/worker_job.h"

namespace {
// Room for a loaded machine: a healthy job ends in well under a second.
constexpr auto Deadline = std::chrono::seconds(30);
}

GatedLink::~GatedLink() {
  Release();
  WaitForWorkerJobEnd();
}

std::size_t GatedLink::Read(std::uint8_t* buffer, std::size_t count, std::uint32_t total,
                            std::uint32_t interval) {
  if (total != 0 && ++reads_ == gateAt_) {
    std::unique_lock<std::mutex> hold(lock_);
    held_ = true;
    changed_.notify_all();
    // The test releases the gate or fails; past the deadline the worker goes on.
    changed_.wait_for(hold, Deadline, [&] { return released_; });
  }
  return inner_.Read(buffer, count, total, interval);
}

bool GatedLink::WaitUntilHeld() {
  std::unique_lock<std::mutex> hold(lock_);
  return changed_.wait_for(hold, Deadline, [&] { return held_; });
}

void GatedLink::Release() {
  std::lock_guard<std::mutex> hold(lock_);
  released_ = true;
  changed_.notify_all();
}

bool WaitForWorkerJobEnd() {
  const auto until = std::chrono::steady_clock::now() + Deadline;
  while (IsWorkerJobRunning()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
