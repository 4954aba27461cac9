#include "package/executable.h"

#include <fstream>

#include "package/native_container.h"
#include "package/pe_container.h"

namespace morvane {

std::unique_ptr<Container> OpenExecutable(const std::string& path) {
  char signature[2] = {};
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ContainerError(path + ": cannot be opened");
    in.read(signature, 2);
  }
  if (signature[0] == 'M' && signature[1] == 'Z') return PeContainer::Open(path);
  return NativeContainer::Open(path);
}

}  // namespace morvane
