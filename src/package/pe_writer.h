#pragma once

// Writes a small 32-bit Windows PE executable that carries resources as
// RCDATA entries of a .rsrc section, optionally followed by a trailer block.
// The code section is a stub that returns at once: the image is there to
// carry a project in the layout Windows tools and our reader expect.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane {

// Resources are (name, bytes). Names are UTF-8 and stored as given (they are
// compared ignoring case); "#" + a number up to 65535 makes a numbered entry.
// The output depends on the inputs only. Throws WriteError (package_writer.h)
// for an empty or too long name, a name twice (ignoring case) or an image
// beyond the 2 GB a PE image may span.
std::string WritePeExecutable(const std::vector<std::pair<std::string, std::string>>& resources,
                              std::optional<std::string_view> trailer_payload);

}  // namespace morvane
