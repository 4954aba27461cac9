#pragma once

// Reads a project package (the unscrambled-on-the-fly "PDATA" bytes) into a
// Project. Never crashes on any bytes: every failure is a LoadError carrying
// the record slot and the message the player reports.

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "package/container.h"
#include "package/project_model.h"

namespace morvane {

struct LoadError {
  int slot = 0;         // 0 while the key is searched, else the record slot
  std::string message;  // the cause, exactly as the player shows it (may be empty)
  // The application title (package bytes, unscrambled) once header slot 1
  // was read; the failure box carries it as its caption. Nothing when the
  // load failed before.
  std::optional<std::string> title = std::nullopt;
};

using LoadResult = std::variant<Project, LoadError>;

LoadResult ReadPackage(std::string_view pdata);

// Reads "PDATA" from the container; a missing resource is a load failure.
LoadResult LoadProject(const Container& container);

// The text of the box the player shows when the load fails.
std::string InitialisationFailureText(const LoadError& error);

}  // namespace morvane
