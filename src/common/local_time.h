#pragma once
// The PC's local date and time. Tests fix "now" with SetLocalTimeSource.

struct LocalTime {
  int year = 0;
  int month = 0;      // 1..12
  int day = 0;        // 1..31
  int dayOfWeek = 0;  // 0 Sunday .. 6 Saturday
  int hour = 0;
  int minute = 0;
  int second = 0;
};

using LocalTimeSource = LocalTime (*)();

LocalTime CurrentLocalTime();
// Test hook: a fixed "now" (nullptr puts the system clock back).
void SetLocalTimeSource(LocalTimeSource source);

// The system clock itself (GetLocalTime on Windows, localtime_r elsewhere).
LocalTime SystemLocalTime();
