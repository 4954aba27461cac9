#pragma once

// Tells, before a project is loaded, whether a path offered as a project holds
// one at all, so that an executable or a folder that is no project is reported
// as such and not as a damaged project.

#include <memory>
#include <string>
#include <string_view>

#include "package/container.h"

namespace morvane {

enum class ProjectKind {
  // A container carrying a project's parts; loading it may still fail.
  kProject,
  // An executable (a Linux binary without an archive, or a Windows executable
  // that reads) or a folder in which no part of a project is found.
  kNoProject,
  // Nothing a container opens from: a damaged executable, a missing file, a
  // file of another kind, a source folder that does not read.
  kUnreadable,
};

struct ProbedProject {
  ProjectKind kind = ProjectKind::kUnreadable;
  std::unique_ptr<Container> container;  // set for kProject only
  bool demo = false;  // the container carries the marker of the player's demo
  std::string error;  // for kUnreadable: why the container did not open
};

ProbedProject ProbeProject(const std::string& path);

// The resource that marks the demo project the default player carries. A
// player started without a project whose own executable carries only the
// demo shows its start window instead of running it.
inline constexpr std::string_view kDemoMarkerResource = "MORVANEDEMO";

// The text of the box for kNoProject: "NAME is not a Morvane project", NAME
// being the last part of the path, the file's or the folder's name.
std::string NotAProjectText(const std::string& path);

}  // namespace morvane
