#include "package/project_probe.h"

#include <filesystem>
#include <fstream>

#include "package/executable.h"
#include "package/native_container.h"
#include "package/source_folder.h"
#include "util/ascii_case.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// The package, or any of the resources a project's records refer to; a
// container with one of them is a project, if a damaged one.
bool IsProjectResource(std::string_view name) {
  for (std::string_view exact : {"PDATA", "SQLite3"}) {
    if (EqualsIgnoreCase(name, exact)) return true;
  }
  for (std::string_view prefix : {"BDATAG", "IDATA", "DATAE", "DAF"}) {
    if (name.size() > prefix.size() && StartsWithIgnoreCase(name, prefix)) return true;
  }
  return false;
}

bool IsLinuxBinary(const std::string& path) {
  char magic[4] = {};
  std::ifstream in(path, std::ios::binary);
  return in.read(magic, 4) && magic[0] == '\x7f' && magic[1] == 'E' && magic[2] == 'L' &&
         magic[3] == 'F';
}

}  // namespace

ProbedProject ProbeProject(const std::string& path) {
  ProbedProject probed;
  std::error_code ec;
  const bool folder = fs::is_directory(path, ec);
  if (folder && !fs::exists(fs::path(path) / "project.yaml", ec)) {
    probed.kind = ProjectKind::kNoProject;
    return probed;
  }
  try {
    probed.container = OpenContainer(path);
  } catch (const std::exception& e) {
    // A Linux binary without an archive is a program, not a damaged project.
    if (!folder && IsLinuxBinary(path) && !NativeContainer::HasArchive(path))
      probed.kind = ProjectKind::kNoProject;
    else
      probed.error = e.what();
    return probed;
  }
  bool parts = false;
  for (const std::string& name : probed.container->ResourceNames()) {
    if (IsProjectResource(name)) parts = true;
    if (EqualsIgnoreCase(name, kDemoMarkerResource)) probed.demo = true;
  }
  if (!parts) {
    probed.container.reset();
    probed.demo = false;
    probed.kind = ProjectKind::kNoProject;
    return probed;
  }
  probed.kind = ProjectKind::kProject;
  return probed;
}

std::string NotAProjectText(const std::string& path) {
  fs::path name = fs::path(path).filename();
  if (name.empty()) name = fs::path(path).parent_path().filename();  // "folder/"
  return (name.empty() ? path : name.string()) + " is not a Morvane project";
}

}  // namespace morvane
