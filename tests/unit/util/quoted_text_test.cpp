#include "util/quoted_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace morvane {
namespace {

constexpr size_t npos = std::string_view::npos;

TEST(QuotedText, FindsOnlyOutsideQuotes) {
  struct Case {
    std::string_view text;
    char c;
    size_t from;
    size_t expected;
  };
  const Case cases[] = {
      {"a,b", ',', 0, 1},
      {R"("a,b",c)", ',', 0, 5},
      {R"("a,b""c,d",e)", ',', 0, 10},  // "" closes and reopens
      {R"("unclosed,)", ',', 0, npos},
      {"a,b,c", ',', 2, 3},
      {"abc", ',', 0, npos},
      {"a,b", ',', 9, npos},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindOutsideQuotes(c.text, c.c, c.from), c.expected) << c.text;
  }
  EXPECT_EQ(FindOutsideQuotes(R"("<="<=x)", "<="), 4u);
  EXPECT_EQ(FindOutsideQuotes(R"(a"<=")", "<="), npos);
  EXPECT_EQ(FindOutsideQuotes("a<=b<=c", "<=", 2), 4u);
  EXPECT_EQ(CountOutsideQuotes(R"(a="b=c"=)", '='), 2u);
  EXPECT_EQ(CountOutsideQuotes("", '='), 0u);
}

TEST(QuotedText, FindsOutsideQuotesAndParentheses) {
  EXPECT_EQ(FindOutsideQuotesAndParens("f(a,b),c", ','), 6u);
  EXPECT_EQ(FindOutsideQuotesAndParens(R"q(f(")",a),c)q", ','), 8u);
  EXPECT_EQ(FindOutsideQuotesAndParens(R"("(",x)", ','), 3u);
  EXPECT_EQ(FindOutsideQuotesAndParens("(a(b))c)", ')'), 7u);
  EXPECT_EQ(FindOutsideQuotesAndParens(")(", ','), npos);
  EXPECT_EQ(FindOutsideQuotesAndParens("a(b)(c)", '('), 1u);
}

TEST(SplitActionLine, SplitsByTheActionLineRule) {
  struct Case {
    std::string_view line;
    ActionArguments arguments;
    std::string_view tail;
  };
  const Case cases[] = {
      {"20", {}, ""},
      {"20()", {}, ""},
      {"20(a)", {"a"}, ""},
      {"7(#x+10,120)", {"#x+10", "120"}, ""},
      {R"q(20("a,b", c ,"(x)"))q", {R"q("a,b")q", " c ", R"q("(x)")q"}, ""},
      {"1(a,b,c,d,e,f,g)", {"a", "b", "c", "d", "e"}, ""},
      {"1(a,,c)", {"a", "", "c"}, ""},
      {"1(,)", {"", ""}, ""},
      // The first ")" outside quotes ends the arguments, also inside a call.
      {"5(@3%(1,2),x)", {"@3%(1", "2"}, ",x)"},
      {"10(3,$p).5(#x+10)", {"3", "$p"}, ".5(#x+10)"},
      // Without a closing parenthesis the arguments run to the end.
      {"20(a,b", {"a", "b"}, ""},
      {R"q(20("a)b)q", {R"q("a)b)q"}, ""},
      {"x)(a)", {"a"}, ""},
  };
  for (const Case& c : cases) {
    const ActionLineParts parts = SplitActionLine(c.line);
    EXPECT_EQ(parts.arguments, c.arguments) << c.line;
    EXPECT_EQ(parts.tail, c.tail) << c.line;
    EXPECT_EQ(SplitActionArguments(c.line), c.arguments) << c.line;
  }
}

TEST(SplitCallArguments, TheLastArgumentTakesTheRest) {
  struct Case {
    std::string_view text;
    int count;
    std::vector<std::string_view> expected;
  };
  const Case cases[] = {
      {"a,b,c", 2, {"a", "b,c"}}, {R"q("x,y",z)q", 2, {R"q("x,y")q", "z"}},
      {"a", 3, {"a", "", ""}},    {"", 1, {""}},
      {"a,b", 0, {"a,b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCallArguments(c.text, c.count), c.expected) << c.text;
}

}  // namespace
}  // namespace morvane
