#pragma once

// Exact (case-sensitive) replacement in 8-bit text.

#include <string>
#include <string_view>

namespace morvane {

// Replaces every occurrence of `from`, left to right and not overlapping, by
// `to`. Replacements are not searched again. An empty `from` changes nothing;
// a text without `from` is left untouched, without a copy.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to);

}  // namespace morvane
