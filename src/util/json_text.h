#pragma once

// JSON text for the files the player and the tools write (the trace, the
// variable dump, the compatibility report).

#include <string>
#include <string_view>

namespace morvane {

// A JSON string literal of UTF-8 text, quotes included; control characters
// are escaped.
std::string JsonString(std::string_view utf8);

}  // namespace morvane
