#include "support/virtual_time.h"

#include <atomic>

#include "common/pause.h"

namespace {
std::atomic<std::uint64_t> Now{0};
void VirtualPause(unsigned ms) { Now += ms; }
std::uint64_t VirtualNow() { return Now.load(); }
}  // namespace

namespace virtual_time {
void Install() {
  SetPauseFunction(&VirtualPause);
  SetSteadyClock(&VirtualNow);
}
void Uninstall() {
  SetPauseFunction(nullptr);
  SetSteadyClock(nullptr);
}
void Reset() { Now = 0; }
std::uint64_t NowMs() { return Now.load(); }
void Advance(std::uint64_t ms) { Now += ms; }
}  // namespace virtual_time
