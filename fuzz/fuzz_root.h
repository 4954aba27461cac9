#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace morvane::fuzz {

// The folder a target's world lives in. The test gate names it (and so the
// paths the fuzzer sees in comparisons) in MORVANE_FUZZ_ROOT, so that a run
// from a fixed seed repeats; otherwise each process has a folder of its own.
inline std::string FuzzRoot(const std::string& target) {
  const char* fixed = std::getenv("MORVANE_FUZZ_ROOT");
  if (fixed && *fixed) return std::string(fixed) + "/" + target;
  return (std::filesystem::temp_directory_path() /
          ("morvane-fuzz-" + target + "-" + std::to_string(getpid())))
      .string();
}

}  // namespace morvane::fuzz
