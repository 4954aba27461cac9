#pragma once

// Builds a Windows executable with GNU binutils (the resource compiler and
// linker of mingw-w64): a PE laid out by tools independent of ours, holding
// the given RCDATA resources and, optionally, a trailer block.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/trailer.h"

namespace morvane::test {

inline bool HaveBinutilsPe() {
  return std::system(
             "command -v i686-w64-mingw32-windres >/dev/null 2>&1 && "
             "command -v i686-w64-mingw32-ld >/dev/null 2>&1 && "
             "command -v cpp >/dev/null 2>&1") == 0;
}

// Writes `exe` (and its build files in a folder beside it); false when a tool
// failed.
inline bool BuildBinutilsPe(const std::filesystem::path& exe,
                            const std::vector<std::pair<std::string, std::string>>& resources,
                            const std::optional<std::string>& trailer) {
  namespace fs = std::filesystem;
  const fs::path work = exe.string() + ".build";
  fs::create_directories(work);
  std::string script;
  for (size_t i = 0; i < resources.size(); ++i) {
    const std::string file = "r" + std::to_string(i) + ".bin";
    std::ofstream(work / file, std::ios::binary) << resources[i].second;
    script += resources[i].first + " RCDATA \"" + file + "\"\n";
  }
  std::ofstream(work / "res.rc") << script;
  const std::string build = "cd '" + work.string() +
                            "' && i686-w64-mingw32-windres --preprocessor=cpp res.rc -O coff -o "
                            "res.o && i686-w64-mingw32-ld --dll -e 0 --subsystem windows -o '" +
                            exe.string() + "' res.o";
  if (std::system(build.c_str()) != 0) return false;
  return !trailer || AppendTrailerFile(exe.string(), *trailer);
}

}  // namespace morvane::test
