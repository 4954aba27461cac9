// Opens arbitrary bytes as a Windows executable and reads everything it holds.

#include <cstddef>
#include <cstdint>
#include <string>

#include "package/pe_container.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const morvane::PeContainer pe(std::string(reinterpret_cast<const char*>(data), size));
    for (const std::string& name : pe.ResourceNames()) {
      if (!pe.Resource(name)) __builtin_trap();  // a listed name must be readable
    }
    (void)pe.Trailer();
  } catch (const morvane::ContainerError&) {
  }
  return 0;
}
