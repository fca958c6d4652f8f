// Any 8-bit text typed into the time box, in each date order: accepted only
// as a valid date and time, which then reads back as the typed text.
#include <cstdint>
#include <cstdio>
#include <string>

#include "clock/time_text.h"

namespace {
// The typed form of an accepted time, in the format's order.
std::string Typed(const CalendarTime& t, DateFormat format) {
  char text[64];
  const int a = format == DateFormat::US ? t.month : format == DateFormat::EU ? t.day : t.year;
  const int b = format == DateFormat::US ? t.day : t.month;
  const int c = format == DateFormat::CN ? t.day : t.year;
  const char* pattern = format == DateFormat::CN ? "%04d/%02d/%02d,%02d:%02d:%02d"
                                                 : "%02d/%02d/%04d,%02d:%02d:%02d";
  std::snprintf(text, sizeof text, pattern, a, b, c, t.hour, t.minute, t.second);
  return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed(reinterpret_cast<const char*>(data), size);
  for (DateFormat format : {DateFormat::US, DateFormat::EU, DateFormat::CN}) {
    CalendarTime t;
    if (!ParseTimeInput(typed, format, t)) continue;
    if (!IsValidDate(t.year, t.month, t.day) || t.hour > 23 || t.minute > 59 || t.second > 59)
      __builtin_trap();
    if (Typed(t, format) != typed) __builtin_trap();
    const std::string text = TypedTimeText(t);
    if (text.size() != 21 || text[11] < '1' || text[11] > '7') __builtin_trap();
  }
  return 0;
}
