#include "cli/clock_check.h"

#include "common/local_time.h"
#include "protocol/catalogue.h"

std::int64_t StampSeconds(std::uint64_t stamp) {
  std::int64_t year = static_cast<std::int64_t>(stamp / 10000000000ull);
  const auto month = static_cast<std::int64_t>(stamp / 100000000 % 100);
  const auto day = static_cast<std::int64_t>(stamp / 1000000 % 100);
  // Days from the civil date (the proleptic Gregorian calendar).
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + static_cast<std::int64_t>(stamp / 10000 % 100) * 3600 +
         static_cast<std::int64_t>(stamp / 100 % 100) * 60 + static_cast<std::int64_t>(stamp % 100);
}

ClockCheck CheckScannerClock(ScannerSession& session, StampDateOrder order) {
  ClockCheck check;
  std::uint8_t reply[Reply::Time.maxPayload + 1] = {};
  std::size_t length = 0;
  if (Query(session, Command::GetTime, Reply::Time, reply, sizeof reply, &length) != QueryOutcome::Ok) return check;
  const LocalTime now = CurrentLocalTime();
  check.shown.assign(reinterpret_cast<const char*>(reply), length);
  std::uint64_t scanner = 0;
  if (!ReadStamp(check.shown, order, scanner)) return check;
  const std::uint64_t pc =
      ((((static_cast<std::uint64_t>(now.year) * 100 + now.month) * 100 + now.day) * 100 + now.hour) * 100 +
       now.minute) * 100 + now.second;
  check.read = true;
  check.offset = StampSeconds(scanner) - StampSeconds(pc);
  check.reset = scanner / 10000000000ull < 2001;
  return check;
}

std::string ClockWords(const ClockCheck& check) {
  if (!check.read) return "clock not read" + (check.shown.empty() ? "" : " (" + check.shown + ")");
  if (check.reset) return "clock reset (" + check.shown + ")";
  const std::int64_t off = check.offset < 0 ? -check.offset : check.offset;
  if (off <= ClockTolerance) return {};
  const std::int64_t days = off / 86400, hours = off / 3600 % 24, minutes = off / 60 % 60;
  std::string words = "clock ";
  if (days) words += std::to_string(days) + " d ";
  if (days || hours) words += std::to_string(hours) + " h ";
  words += std::to_string(minutes) + " min ";
  return words + (check.offset < 0 ? "behind this PC" : "ahead of this PC");
}
