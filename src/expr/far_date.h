#pragma once

// `TFarDate`: today's date in the Persian (solar hijri) calendar, by the fixed
// month thresholds and leap flags scripts have always seen, not by a day
// count. Every Gregorian day has a Persian date; outside 1596 ... 2396 every
// year is taken as common.

#include <string>

namespace morvane {

struct PersianDate {
  int year = 0;
  int month = 0;  // 1 Farvardin ... 12 Esfand
  int day = 0;
  bool operator==(const PersianDate&) const = default;
};

class TFarDate {
 public:
  static PersianDate FromGregorian(int year, int month, int day);
  // The month's name, windows-1256 text; empty outside 1 ... 12.
  static std::string MonthName(int month);
  // The weekday's name, windows-1256 text; 0 Sunday ... 6 Saturday.
  static std::string DayName(int weekday);
};

}  // namespace morvane
