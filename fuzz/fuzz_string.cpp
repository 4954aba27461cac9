// Evaluates arbitrary bytes as a string expression with both evaluators.
// Neither may crash, hang or grow without bound, and both must give the same
// text or the same failure.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  morvane::fuzz::World& world = morvane::fuzz::TheWorld();
  const std::string want = world.Text(*world.reference, text);
  const std::string got = world.Text(*world.fast, text);
  if (want != got) __builtin_trap();
  return 0;
}
