#pragma once
// Every wait the program makes between commands goes through Pause, and every
// measured stretch of time through SteadyMs, so the protocol can run on
// virtual time in tests.
#include <cstdint>

using PauseFunction = void (*)(unsigned milliseconds);
using SteadyClockFunction = std::uint64_t (*)();

void Pause(unsigned milliseconds);
// Milliseconds on a clock that only moves forward (not the time of day).
std::uint64_t SteadyMs();
// Test hook: virtual time (tests/support/virtual_time.h) puts its own pause and
// clock in place; nullptr puts the real sleep, or the real clock, back.
void SetPauseFunction(PauseFunction function);
void SetSteadyClock(SteadyClockFunction clock);
