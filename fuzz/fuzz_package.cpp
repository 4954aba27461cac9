// Reads arbitrary bytes as a project package. Whatever loads must write back
// to a package that loads to the same project. (Bytes that only read as they
// do because a record ran into its separator may need another key.)

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_reader.h"
#include "package/package_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace morvane;
  const LoadResult loaded = ReadPackage(std::string_view(reinterpret_cast<const char*>(data), size));
  const Project* project = std::get_if<Project>(&loaded);
  if (!project) return 0;
  Project copy = *project;
  std::string written;
  try {
    written = WritePackageChoosingKey(copy);
  } catch (const WriteError&) {
    __builtin_trap();  // a project the reader made must be writable
  }
  const LoadResult again = ReadPackage(written);
  const Project* reloaded = std::get_if<Project>(&again);
  if (!reloaded || !(*reloaded == copy)) __builtin_trap();
  copy.key = project->key;
  if (!(copy == *project)) __builtin_trap();
  return 0;
}
