// Reads arbitrary bytes as the project.yaml of a source folder. Bad input
// must end in a source error, never in a crash or another exception.

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/source_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  SourceFiles files;
  files["project.yaml"] = std::string(reinterpret_cast<const char*>(data), size);
  try {
    const ProjectSource source = SourceFromFiles(files);
    (void)PackedResources(source);
  } catch (const SourceError&) {
  }
  return 0;
}
