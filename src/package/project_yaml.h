#pragma once

// project.yaml: the whole project model in readable YAML. Every field of the
// model has a lower_snake_case key; a key left out takes the model's default,
// so hand-written projects stay short. Multi-line scripts live in script files
// beside it, referred to as `!file scripts/<name>.mvs`.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "package/project_model.h"
#include "package/source_text.h"

namespace morvane {

inline constexpr const char* kProjectFileName = "project.yaml";
// The trailer payload of a fresh project: a first byte the player skips,
// then an empty first line: no loading window.
inline constexpr std::string_view kDefaultStartupOptions{"0\r\n"};

struct ProjectYaml {
  Project project;
  int code_page = kDefaultCodePage;
  // The payload of the executable trailer; nothing for no trailer at all.
  std::optional<std::string> startup_options = std::string(kDefaultStartupOptions);
  // Resource name -> file (relative to the source folder) for the resources
  // whose file the folder layout does not name by itself.
  std::vector<std::pair<std::string, std::string>> resource_files;
};

// Files of a source folder, by path relative to the folder ("scripts/x.mvs").
using SourceFiles = std::map<std::string, std::string>;

// The text of project.yaml. Scripts that go to files are added to `files`
// (their names are new to `files`). Throws SourceError when the code page is
// not supported.
std::string WriteProjectYaml(const ProjectYaml& yaml, SourceFiles& files);

// Reads project.yaml. `read_file` returns the bytes of a file that the YAML
// refers to (a path relative to the folder, already checked to stay inside
// it) and throws SourceError when it cannot. Derived fields (the image picture
// numbers) are computed as the package reader computes them. Throws
// SourceError naming the line of any bad input.
ProjectYaml ReadProjectYaml(std::string_view text,
                            const std::function<std::string(const std::string&)>& read_file);

// The number of object records a complete object of the kind has.
int FullObjectRecords(ObjectKind kind);

// Numbers image pictures the way the package reader does: every image with
// its picture record counts, over the whole project.
void NumberImagePictures(Project& project);

}  // namespace morvane
