#include "util/ascii_case.h"
#include "util/replace_all.h"

#include <gtest/gtest.h>

namespace morvane {
namespace {

TEST(AsciiCase, ChangesOnlyAsciiLetters) {
  // 0xC0 and 0xE0 are a letter pair in most code pages; they must stay.
  EXPECT_EQ(AsciiUpper("abz\xE0[`{@"), "ABZ\xE0[`{@");
  EXPECT_EQ(AsciiLower("ABZ\xC0[`{@"), "abz\xC0[`{@");
  EXPECT_TRUE(EqualsIgnoreCase("Page1", "PAGE1"));
  EXPECT_FALSE(EqualsIgnoreCase("\xC0", "\xE0"));
  EXPECT_FALSE(EqualsIgnoreCase("ab", "abc"));
  EXPECT_TRUE(StartsWithIgnoreCase("RGB(1,2,3)", "rgb("));
  EXPECT_FALSE(StartsWithIgnoreCase("RG", "rgb("));
}

TEST(AsciiCase, FindsAndReplacesIgnoringCase) {
  EXPECT_EQ(FindIgnoreCase("a[SRC]b[src]", "[src]"), 1u);
  EXPECT_EQ(FindIgnoreCase("a[SRC]b[src]", "[src]", 2), 7u);
  EXPECT_EQ(FindIgnoreCase("abc", "abcd"), std::string_view::npos);
  EXPECT_EQ(FindIgnoreCase("abc", "", 3), 3u);
  EXPECT_EQ(FindIgnoreCase("abc", "", 4), std::string_view::npos);

  struct Case {
    std::string_view text, from, to, expected;
  };
  const Case cases[] = {
      {"[SRC]\\a[Src]", "[src]", "C:\\p", "C:\\p\\aC:\\p"},
      {"aaa", "A", "aa", "aaaaaa"},  // replacements are not searched again
      {"aaaa", "aa", "b", "bb"},
      {"abc", "", "x", "abc"},
      {"abc", "d", "x", "abc"},
      {"", "a", "x", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplaceAllIgnoreCase(c.text, c.from, c.to), c.expected) << c.text;
  }
}

TEST(ReplaceAll, ReplacesExactlyLeftToRight) {
  struct Case {
    std::string text;
    std::string_view from, to, expected;
  };
  Case cases[] = {
      {"[SRC]\\a[src]", "[src]", "C:\\p", "[SRC]\\aC:\\p"},  // case counts
      {"aaa", "a", "aa", "aaaaaa"},                          // replacements are not searched again
      {"aaaa", "aa", "b", "bb"},
      {"abc", "", "x", "abc"},
      {"abc", "d", "x", "abc"},
      {"", "a", "x", ""},
  };
  for (Case& c : cases) {
    ReplaceAll(c.text, c.from, c.to);
    EXPECT_EQ(c.text, c.expected) << c.from;
  }
}

}  // namespace
}  // namespace morvane
