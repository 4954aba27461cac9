#include "expr/far_date.h"

#include <gtest/gtest.h>

#include "util/code_page.h"

namespace morvane {
namespace {

TEST(TFarDate, ConvertsAtTheMonthThresholds) {
  struct Case {
    int y, m, d;
    PersianDate expected;
  };
  const Case cases[] = {
      {2024, 3, 20, {1403, 1, 1}},
      {2024, 3, 19, {1402, 12, 29}},
      {2023, 3, 21, {1402, 1, 1}},
      {2023, 3, 20, {1401, 12, 29}},
      {2025, 3, 20, {1403, 12, 30}},
      {2025, 3, 21, {1404, 1, 1}},
      {2025, 1, 15, {1403, 10, 26}},
      {2024, 1, 15, {1402, 10, 25}},
      {2024, 6, 21, {1403, 4, 1}},
      {2023, 6, 22, {1402, 4, 1}},
      {2024, 12, 21, {1403, 10, 1}},
      {2024, 12, 20, {1403, 9, 30}},
      {2023, 12, 22, {1402, 10, 1}},
      {2024, 3, 15, {1402, 12, 25}},
      {2023, 9, 23, {1402, 7, 1}},
      {2023, 10, 23, {1402, 8, 1}},
      {2023, 2, 19, {1401, 11, 30}},
      {2023, 2, 20, {1401, 12, 1}},
      // Outside the flag lists every year is common.
      {2400, 3, 21, {1779, 1, 1}},
      {1500, 1, 1, {878, 10, 11}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.y) + "-" + std::to_string(c.m) + "-" + std::to_string(c.d));
    EXPECT_EQ(TFarDate::FromGregorian(c.y, c.m, c.d), c.expected);
  }
}

TEST(TFarDate, NamesAreWindows1256) {
  const char* months[] = {"فروردين", "ارديبهشت", "خرداد", "تير", "مرداد", "شهريور",
                          "مهر",     "آبان",     "آذر",   "دي",  "بهمن",  "اسفند"};
  for (int m = 1; m <= 12; ++m) EXPECT_EQ(ToUtf8(TFarDate::MonthName(m), 1256), months[m - 1]);
  const char* days[] = {"يکشنبه", "دوشنبه", "سه شنبه", "چهارشنبه", "پنجشنبه", "جمعه", "شنبه"};
  for (int d = 0; d < 7; ++d) EXPECT_EQ(ToUtf8(TFarDate::DayName(d), 1256), days[d]);
  EXPECT_EQ(TFarDate::MonthName(13), "");
}

}  // namespace
}  // namespace morvane
