// Evaluates arbitrary bytes as a numeric expression with both evaluators.
// Neither may crash, hang or grow without bound, and both must give the same
// number text or both fail. Every other input goes to the fast evaluator as a
// trial evaluation (TryNumber), which must agree just the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "fuzz_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  morvane::fuzz::World& world = morvane::fuzz::TheWorld();
  const std::string want = world.Numeric(*world.reference, text);
  std::string got;
  if (size % 2 == 1) {
    world.env->SeedRandom(1);
    const std::optional<double> value = world.fast->TryNumber(text);
    got = value ? morvane::FloatToText(*value) : "error";
  } else {
    got = world.Numeric(*world.fast, text);
  }
  if (want != got) __builtin_trap();
  return 0;
}
