#pragma once
// The scanner's calendar: a date and time of day, the three date orders the
// scanner writes, and the arithmetic its clock needs. No system clock here:
// whoever runs the device tells it how much time passed.
#include <cstdint>
#include <string>

namespace kt52 {

enum class DateFormat { CH, EU, US };  // YYYY/MM/DD, DD/MM/YYYY, MM/DD/YYYY

struct DeviceTime {
  int year = 2024;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DeviceTime&) const = default;
};

bool IsValidDeviceDate(int year, int month, int day);
// Seconds since 1970-01-01 00:00:00 on the proleptic Gregorian calendar.
std::int64_t ToSeconds(const DeviceTime& time);
DeviceTime FromSeconds(std::int64_t seconds);

// "US", "EU" or "CH": the scanner's name for its date order.
const char* DateFormatName(DateFormat format);
bool ParseDateFormat(const std::string& name, DateFormat& format);

// "2024/05/17" in the given order, and "09:30:00".
std::string FormatDate(const DeviceTime& time, DateFormat format);
std::string FormatClock(const DeviceTime& time);
// The 19 characters the get-time command answers: date "," time.
std::string ClockText(const DeviceTime& time, DateFormat format);

// "YYYY/MM/DD,HH:MM:SS" (or a space for the comma), year first. False when
// the text is not a valid date and time.
bool ParseDeviceTime(const std::string& text, DeviceTime& time);
// The set-time text "YYYY/MM/DD,w;HH:MM:SS" (21 characters; w is ignored, the
// clock works the weekday out itself). Hour 24 is taken as midnight of the
// next day. False when malformed.
bool ParseSetTimeText(const std::string& text, DeviceTime& time);

}  // namespace kt52
