#pragma once

// Scanning of script text that treats double-quoted stretches as opaque. A
// double quote toggles between outside and inside quotes; scanning starts
// outside at the position it is given. There is no escape for a quote: a
// quote always toggles.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The first `c` at or after `from` that stands outside quotes, or npos.
// `c` must not be the double quote itself.
size_t FindOutsideQuotes(std::string_view text, char c, size_t from = 0);

// The first occurrence of `needle` at or after `from` whose first character
// stands outside quotes, or npos.
size_t FindOutsideQuotes(std::string_view text, std::string_view needle, size_t from = 0);

// The first `c` at or after `from` that stands outside quotes and outside
// parentheses (those outside quotes are counted; a stray ")" does not make the
// depth negative), or npos. `c` may be "(" or ")": it is then found where it
// opens a group or closes a group that was not opened.
size_t FindOutsideQuotesAndParens(std::string_view text, char c, size_t from = 0);

// How many times `c` stands outside quotes.
size_t CountOutsideQuotes(std::string_view text, char c);

// The argument text of a function call split for `count` arguments at commas
// outside quotes; the last argument takes the rest, commas and all. Missing
// arguments are empty; there are always `count` pieces (one when `count` is
// below 1).
std::vector<std::string_view> SplitCallArguments(std::string_view text, int count);

constexpr size_t kActionArgumentCount = 5;
using ActionArguments = std::array<std::string, kActionArgumentCount>;

struct ActionLineParts {
  // The text between the first "(" and the first ")" after it outside quotes,
  // split at commas outside quotes; quotes and spaces are kept, pieces after
  // the fifth are dropped, missing ones are empty.
  ActionArguments arguments;
  // Everything after that ")"; empty when the line has no "(" or the ")" is
  // missing (the arguments then run to the end of the line).
  std::string tail;
};

ActionLineParts SplitActionLine(std::string_view line);

// SplitActionLine without the tail. A line without "(" gives five empty
// arguments.
ActionArguments SplitActionArguments(std::string_view line);

}  // namespace morvane
