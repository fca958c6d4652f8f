#include "common/pause.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
void RealSleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
std::uint64_t RealSteadyMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}
std::atomic<PauseFunction> CurrentPause{&RealSleep};
std::atomic<SteadyClockFunction> CurrentClock{&RealSteadyMs};
}  // namespace

void Pause(unsigned milliseconds) { CurrentPause.load()(milliseconds); }

std::uint64_t SteadyMs() { return CurrentClock.load()(); }

void SetPauseFunction(PauseFunction function) {
  CurrentPause.store(function ? function : &RealSleep);
}

void SetSteadyClock(SteadyClockFunction clock) { CurrentClock.store(clock ? clock : &RealSteadyMs); }
