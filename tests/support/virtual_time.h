#pragma once
// Virtual time for unit tests: Pause and the scripted links add to one counter
// instead of sleeping.
#include <cstdint>

namespace virtual_time {
void Install();    // Pause() now advances the virtual clock
void Uninstall();  // real sleeping again
void Reset();
std::uint64_t NowMs();
void Advance(std::uint64_t ms);
}  // namespace virtual_time

// Installs virtual time for the life of a test.
struct VirtualTimeScope {
  VirtualTimeScope() {
    virtual_time::Reset();
    virtual_time::Install();
  }
  ~VirtualTimeScope() { virtual_time::Uninstall(); }
};
