#pragma once
// The scanner's time text "YYYY/MM/DD,w;HH:MM:SS" (w: 1 Monday .. 7 Sunday),
// made from the PC clock or from what the user typed into the time box in the
// order of the checked date format.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/date_format.h"


// The format of the checked buttons, tested US, EU, CN so the last checked one
// wins; CN, the format at start, when none is checked.
DateFormat SelectedDateFormat(bool us, bool eu, bool cn);

// What the time box holds: exactly this many 8-bit characters, or nothing.
inline constexpr std::size_t TypedTimeLength = 19;

struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Month 1..12 and day 1..the month's last (29 February in leap years: divisible
// by 4 and not by 100, or by 400).
bool IsValidDate(std::uint32_t year, std::uint32_t month, std::uint32_t day);
// 1 Monday .. 7 Sunday, on the proleptic Gregorian calendar (0 for no month).
int DayOfWeek(int year, int month, int day);

// Reads 19 typed characters in the format's order ("12/31/2019,23:59:59" for
// US). False unless every separator is in place, every other character is a
// digit, and the date and the time of day (00:00:00 .. 23:59:59) are valid.
bool ParseTimeInput(std::string_view typed, DateFormat format, CalendarTime& time);

// The 19 characters of a valid time as typed in the format's order.
std::string TypedTimeInOrder(const CalendarTime& time, DateFormat format);

// The 21-character time text, with the weekday given.
std::string FormatTimeText(const CalendarTime& time, int weekday);
// The time text of a typed time, with the weekday of its date.
std::string TypedTimeText(const CalendarTime& time);
// The time text of the PC's local time now.
std::string FormatLocalTime();
