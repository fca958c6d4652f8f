#include "kt52sim/device_clock.h"

#include <cstdio>

namespace kt52 {
namespace {
constexpr std::int64_t SecondsPerDay = 86400;

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return days[month - 1];
}

// Days since 1970-01-01 (H. Hinnant's civil-date algorithm).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// Digits only, exactly `length` of them.
bool ReadNumber(const std::string& text, std::size_t at, std::size_t length, int& value) {
  if (at + length > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

bool CharAt(const std::string& text, std::size_t at, char expected) {
  return at < text.size() && text[at] == expected;
}

// "YYYY/MM/DD" at the start of text; the numbers are not range-checked.
bool ReadDate(const std::string& text, DeviceTime& t) {
  return ReadNumber(text, 0, 4, t.year) && CharAt(text, 4, '/') &&
         ReadNumber(text, 5, 2, t.month) && CharAt(text, 7, '/') && ReadNumber(text, 8, 2, t.day);
}

// "HH:MM:SS" at `at`; minutes and seconds must be below 60, the hour is the
// caller's to check.
bool ReadTimeOfDay(const std::string& text, std::size_t at, DeviceTime& t) {
  return ReadNumber(text, at, 2, t.hour) && CharAt(text, at + 2, ':') &&
         ReadNumber(text, at + 3, 2, t.minute) && CharAt(text, at + 5, ':') &&
         ReadNumber(text, at + 6, 2, t.second) && t.minute <= 59 && t.second <= 59;
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value % 100);
  return text;
}

std::string FourDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d", value);
  return text;
}
}  // namespace

bool IsValidDeviceDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return day <= DaysInMonth(year, month);
}

std::int64_t ToSeconds(const DeviceTime& time) {
  return DaysFromCivil(time.year, time.month, time.day) * SecondsPerDay + time.hour * 3600 +
         time.minute * 60 + time.second;
}

DeviceTime FromSeconds(std::int64_t seconds) {
  std::int64_t days = seconds / SecondsPerDay;
  std::int64_t rest = seconds % SecondsPerDay;
  if (rest < 0) {
    rest += SecondsPerDay;
    --days;
  }
  DeviceTime time;
  CivilFromDays(days, time.year, time.month, time.day);
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest / 60 % 60);
  time.second = static_cast<int>(rest % 60);
  return time;
}

const char* DateFormatName(DateFormat format) {
  switch (format) {
    case DateFormat::EU: return "EU";
    case DateFormat::US: return "US";
    case DateFormat::CH: break;
  }
  return "CH";
}

bool ParseDateFormat(const std::string& name, DateFormat& format) {
  if (name == "CH" || name == "CN") format = DateFormat::CH;
  else if (name == "EU") format = DateFormat::EU;
  else if (name == "US") format = DateFormat::US;
  else return false;
  return true;
}

std::string FormatDate(const DeviceTime& time, DateFormat format) {
  const std::string year = FourDigits(time.year);
  const std::string month = TwoDigits(time.month);
  const std::string day = TwoDigits(time.day);
  switch (format) {
    case DateFormat::EU: return day + "/" + month + "/" + year;
    case DateFormat::US: return month + "/" + day + "/" + year;
    case DateFormat::CH: break;
  }
  return year + "/" + month + "/" + day;
}

std::string FormatClock(const DeviceTime& time) {
  return TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second);
}

std::string ClockText(const DeviceTime& time, DateFormat format) {
  return FormatDate(time, format) + "," + FormatClock(time);
}

bool ParseDeviceTime(const std::string& text, DeviceTime& time) {
  DeviceTime t;
  if (text.size() != 19 || !ReadDate(text, t) || (text[10] != ',' && text[10] != ' ') ||
      !ReadTimeOfDay(text, 11, t))
    return false;
  if (!IsValidDeviceDate(t.year, t.month, t.day) || t.hour > 23) return false;
  time = t;
  return true;
}

bool ParseSetTimeText(const std::string& text, DeviceTime& time) {
  DeviceTime t;
  int weekday = 0;
  if (text.size() != 21 || !ReadDate(text, t) || !CharAt(text, 10, ',') ||
      !ReadNumber(text, 11, 1, weekday) || !CharAt(text, 12, ';') || !ReadTimeOfDay(text, 13, t))
    return false;
  if (!IsValidDeviceDate(t.year, t.month, t.day) || t.hour > 24) return false;
  time = FromSeconds(ToSeconds(t));  // 24:mm:ss rolls over into the next day
  return true;
}

}  // namespace kt52
