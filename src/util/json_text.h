#pragma once

// JSON text for the files the player and the tools write for other programs
// (the trace, the variable dumps).

#include <string>
#include <string_view>

namespace morvane {

// The UTF-8 text as a JSON string, quotes included: the quote, the backslash
// and the control characters escaped, every other byte as it is.
std::string JsonString(std::string_view utf8);

}  // namespace morvane
