#pragma once

// The static half of the compatibility report: every script text of a
// project with its place, and a scan of those texts (and of the project's
// options and objects) for what the compatibility table lists, without
// running anything.

#include <functional>
#include <string_view>
#include <vector>

#include "package/project_model.h"
#include "script/compat_recorder.h"

namespace morvane {

struct ProjectScript {
  CompatPlace place;  // without a line
  const Script* text = nullptr;
};

// Project scripts, user functions, then each page's scripts followed by its
// objects' event scripts; empty scripts are left out.
std::vector<ProjectScript> ProjectScripts(const Project& project);

// The function codes an expression text names outside double quotes:
// numeric calls "@" code "%", and string calls (a code directly followed by
// "(" where an operand starts) of codes the table has a row for.
void ForEachFunctionCode(std::string_view text,
                         const std::function<void(CompatKind kind, int32_t code)>& found);

// Every row the project's scripts name, each with the number of times it is
// named and its first place; the services its options and objects ask for.
// An object action counts for the kinds of the objects it can name: the
// object of that number on the named page (the script's own page when the
// page argument is empty), or on any page when the page is not a literal.
std::vector<CompatEntry> ScanProject(const Project& project);

}  // namespace morvane
