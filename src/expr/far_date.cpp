#include "expr/far_date.h"

#include <array>

namespace morvane {
namespace {

// windows-1256 text.
constexpr std::array<const char*, 12> kMonths = {
    "\xdd\xd1\xe6\xd1\xcf\xed\xe4",      // Farvardin
    "\xc7\xd1\xcf\xed\xc8\xe5\xd4\xca",  // Ordibehesht
    "\xce\xd1\xcf\xc7\xcf",              // Khordad
    "\xca\xed\xd1",                      // Tir
    "\xe3\xd1\xcf\xc7\xcf",              // Mordad
    "\xd4\xe5\xd1\xed\xe6\xd1",          // Shahrivar
    "\xe3\xe5\xd1",                      // Mehr
    "\xc2\xc8\xc7\xe4",                  // Aban
    "\xc2\xd0\xd1",                      // Azar
    "\xcf\xed",                          // Dey
    "\xc8\xe5\xe3\xe4",                  // Bahman
    "\xc7\xd3\xdd\xe4\xcf",              // Esfand
};

constexpr std::array<const char*, 7> kDays = {
    "\xed\x98\xd4\xe4\xc8\xe5",          // Sunday
    "\xcf\xe6\xd4\xe4\xc8\xe5",          // Monday
    "\xd3\xe5\x20\xd4\xe4\xc8\xe5",      // Tuesday
    "\x8d\xe5\xc7\xd1\xd4\xe4\xc8\xe5",  // Wednesday
    "\x81\xe4\xcc\xd4\xe4\xc8\xe5",      // Thursday
    "\xcc\xe3\xda\xe5",                  // Friday
    "\xd4\xe4\xc8\xe5",                  // Saturday
};

bool InStepList(int year, int first, int last) {
  return year >= first && year <= last && (year - first) % 4 == 0;
}

}  // namespace

PersianDate TFarDate::FromGregorian(int gy, int gm, int gd) {
  const int g = InStepList(gy, 1596, 2396) ? 1 : 0;
  int l = 0;
  int py = 0;
  if (gy % 2 != 0 && ((gm == 3 && gd > 20) || gm > 4)) {
    py = gy - 621;
  } else {
    py = gy - 622;
    l = InStepList(py, 975, 1775) ? 1 : 0;
    if ((gm == 3 && gd > 20 - g + l) || gm > 3) ++py;
    if (g == 1) l = 0;
  }
  PersianDate date{py, 0, 0};
  auto pick = [&](int threshold, int m1, int d1, int m2, int d2) {
    if (gd < threshold) {
      date.month = m1;
      date.day = d1;
    } else {
      date.month = m2;
      date.day = d2;
    }
  };
  switch (gm) {
    case 1:
      pick(21 - l, 10, gd + 10 + l, 11, gd - 20 + l);
      break;
    case 2:
      pick(20 - l, 11, gd + 11 + l, 12, gd - 19 + l);
      break;
    case 3:
      pick(21 - g, 12, gd + 9 + g + l, 1, gd - 20 + g);
      break;
    case 4:
      pick(21 - g, 1, gd + 11 + g, 2, gd - 20 + g);
      break;
    case 5:
      pick(22 - g, 2, gd + 10 + g, 3, gd - 21 + g);
      break;
    case 6:
      pick(22 - g, 3, gd + 10 + g, 4, gd - 21 + g);
      break;
    case 7:
      pick(23 - g, 4, gd + 9 + g, 5, gd - 22 + g);
      break;
    case 8:
      pick(23 - g, 5, gd + 9 + g, 6, gd - 22 + g);
      break;
    case 9:
      pick(23 - g, 6, gd + 9 + g, 7, gd - 22 + g);
      break;
    case 10:
      pick(23 - g, 7, gd + 8 + g, 8, gd - 22 + g);
      break;
    case 11:
      pick(22 - g, 8, gd + 9 + g, 9, gd - 21 + g);
      break;
    case 12:
      pick(22 - g, 9, gd + 9 + g, 10, gd - 21 + g);
      break;
    default:
      break;
  }
  return date;
}

std::string TFarDate::MonthName(int month) {
  if (month < 1 || month > 12) return "";
  return kMonths[static_cast<size_t>(month - 1)];
}

std::string TFarDate::DayName(int weekday) {
  if (weekday < 0 || weekday > 6) return "";
  return kDays[static_cast<size_t>(weekday)];
}

}  // namespace morvane
