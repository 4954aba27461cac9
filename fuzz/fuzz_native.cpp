// Opens arbitrary bytes as a packed executable and reads everything it holds.

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/native_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const morvane::NativeContainer native(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& name : native.ResourceNames()) {
      if (!native.Resource(name)) __builtin_trap();  // a listed name must be readable
    }
    (void)native.Trailer();
  } catch (const morvane::ContainerError&) {
  }
  return 0;
}
