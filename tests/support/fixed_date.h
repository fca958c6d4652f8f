#pragma once
// The "today" of the file-naming tests: Wednesday 2 January 2019, 10:00.
// Install with SetLocalTimeSource(&SecondOfJanuary2019).
#include "common/local_time.h"

inline LocalTime SecondOfJanuary2019() {
  LocalTime t;
  t.year = 2019;
  t.month = 1;
  t.day = 2;
  t.dayOfWeek = 3;
  t.hour = 10;
  return t;
}
