#include "common/pause.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
void RealSleep(unsigned milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
std::atomic<PauseFunction> CurrentPause{&RealSleep};
}  // namespace

void Pause(unsigned milliseconds) { CurrentPause.load()(milliseconds); }

void SetPauseFunction(PauseFunction function) {
  CurrentPause.store(function ? function : &RealSleep);
}
