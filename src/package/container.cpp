#include "package/container.h"

#include <filesystem>

#include "package/executable.h"
#include "package/source_folder.h"

namespace morvane {

std::unique_ptr<Container> OpenContainer(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return OpenSourceFolder(path);
  return OpenExecutable(path);
}

}  // namespace morvane
