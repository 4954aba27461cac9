// Evaluates arbitrary bytes as a numeric expression with both evaluators.
// Neither may crash, hang or grow without bound, and both must give the same
// number text or both fail.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  morvane::fuzz::World& world = morvane::fuzz::TheWorld();
  const std::string want = world.Numeric(*world.reference, text);
  const std::string got = world.Numeric(*world.fast, text);
  if (want != got) __builtin_trap();
  return 0;
}
