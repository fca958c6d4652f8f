#include "clock/time_text.h"

#include <cstdio>

#include "common/local_time.h"

namespace {
constexpr std::size_t TimeTextCapacity = 64;  // 21 characters for sane numbers

struct DateFields {
  std::size_t year, month, day, slash1, slash2;
};

// Where each field sits in the 19 typed characters; the time of day is the
// same for every format: "," at 10, hours 11, ":" 13, minutes 14, ":" 16, seconds 17.
DateFields FieldsOf(DateFormat format) {
  switch (format) {
    case DateFormat::US: return {6, 0, 3, 2, 5};
    case DateFormat::EU: return {6, 3, 0, 2, 5};
    case DateFormat::CN: break;
  }
  return {0, 5, 8, 4, 7};
}

bool IsLeapYear(std::uint32_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// Exactly `length` decimal digits at `at`.
bool ReadDigits(std::string_view text, std::size_t at, std::size_t length, int& value) {
  value = 0;
  for (std::size_t i = at; i < at + length; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}
}  // namespace

DateFormat SelectedDateFormat(bool us, bool eu, bool cn) {
  DateFormat format = DateFormat::CN;
  if (us) format = DateFormat::US;
  if (eu) format = DateFormat::EU;
  if (cn) format = DateFormat::CN;
  return format;
}

bool IsValidDate(std::uint32_t year, std::uint32_t month, std::uint32_t day) {
  static const std::uint32_t lastDay[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  std::uint32_t last = lastDay[month - 1];
  if (month == 2 && IsLeapYear(year)) last = 29;
  return day <= last;
}

int DayOfWeek(int year, int month, int day) {
  // Sakamoto's method; 400 years later the calendar repeats, which keeps the
  // year positive for year 0.
  static const int offset[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 1 || month > 12) return 0;
  int y = year + 400 - (month < 3 ? 1 : 0);
  int sundayZero = (y + y / 4 - y / 100 + y / 400 + offset[month - 1] + day) % 7;
  return sundayZero == 0 ? 7 : sundayZero;
}

bool ParseTimeInput(std::string_view typed, DateFormat format, CalendarTime& time) {
  if (typed.size() != TypedTimeLength) return false;
  const DateFields f = FieldsOf(format);
  if (typed[f.slash1] != '/' || typed[f.slash2] != '/' || typed[10] != ',' || typed[13] != ':' ||
      typed[16] != ':')
    return false;
  CalendarTime t;
  if (!ReadDigits(typed, f.year, 4, t.year) || !ReadDigits(typed, f.month, 2, t.month) ||
      !ReadDigits(typed, f.day, 2, t.day) || !ReadDigits(typed, 11, 2, t.hour) ||
      !ReadDigits(typed, 14, 2, t.minute) || !ReadDigits(typed, 17, 2, t.second))
    return false;
  if (t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  if (!IsValidDate(static_cast<std::uint32_t>(t.year), static_cast<std::uint32_t>(t.month),
                   static_cast<std::uint32_t>(t.day)))
    return false;
  time = t;
  return true;
}

std::string FormatTimeText(const CalendarTime& time, int weekday) {
  char text[TimeTextCapacity] = {};
  std::snprintf(text, sizeof text, "%04d/%02d/%02d,%1d;%02d:%02d:%02d", time.year, time.month,
                time.day, weekday, time.hour, time.minute, time.second);
  return text;
}

std::string TypedTimeInOrder(const CalendarTime& time, DateFormat format) {
  const int first = format == DateFormat::CN ? time.year : format == DateFormat::US ? time.month : time.day;
  const int second = format == DateFormat::CN ? time.month : format == DateFormat::US ? time.day : time.month;
  const int third = format == DateFormat::CN ? time.day : time.year;
  char text[TimeTextCapacity] = {};
  std::snprintf(text, sizeof text, format == DateFormat::CN ? "%04d/%02d/%02d,%02d:%02d:%02d"
                                                            : "%02d/%02d/%04d,%02d:%02d:%02d",
                first, second, third, time.hour, time.minute, time.second);
  return text;
}

std::string TypedTimeText(const CalendarTime& time) {
  return FormatTimeText(time, DayOfWeek(time.year, time.month, time.day));
}

std::string FormatLocalTime() {
  const LocalTime now = CurrentLocalTime();
  const CalendarTime time{now.year, now.month, now.day, now.hour, now.minute, now.second};
  return FormatTimeText(time, now.dayOfWeek == 0 ? 7 : now.dayOfWeek);
}
