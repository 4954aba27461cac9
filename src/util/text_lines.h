#pragma once

// Lines of 8-bit text, as scripts, list boxes, text files and the start-up
// options all break them.

#include <string_view>
#include <vector>

namespace morvane {

// The lines of the text, broken at CR, LF or CR LF. A break at the very end
// starts no further line; an empty text has no lines. The views point into
// `text`.
std::vector<std::string_view> LinesOf(std::string_view text);

}  // namespace morvane
