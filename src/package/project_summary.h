#pragma once

// The human-readable summary that morvane-inspect prints: title, key, pages
// with their object counts per class, the project lists, the resources with
// their sizes and the start-up options.

#include <string>
#include <string_view>

#include "package/container.h"
#include "package/project_model.h"
#include "package/source_text.h"

namespace morvane {

// A project text for a terminal: converted from the code page, in quotes,
// with C escapes for control bytes and for bytes the code page lacks.
std::string DisplayText(std::string_view bytes, const SourceText& text);

// The summary of a loaded project and the container it came from.
std::string ProjectSummary(const Project& project, const Container& container);

}  // namespace morvane
