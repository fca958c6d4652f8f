#include "common/local_time.h"

#include <atomic>

namespace {
std::atomic<LocalTimeSource> CurrentSource{&SystemLocalTime};
}

LocalTime CurrentLocalTime() { return CurrentSource.load()(); }

void SetLocalTimeSource(LocalTimeSource source) {
  CurrentSource.store(source ? source : &SystemLocalTime);
}
