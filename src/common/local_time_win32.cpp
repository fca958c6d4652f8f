#include <windows.h>

#include "common/local_time.h"

LocalTime SystemLocalTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  LocalTime t;
  t.year = now.wYear;
  t.month = now.wMonth;
  t.day = now.wDay;
  t.dayOfWeek = now.wDayOfWeek;
  t.hour = now.wHour;
  t.minute = now.wMinute;
  t.second = now.wSecond;
  return t;
}
