#pragma once

// Opens a player executable as a container: a Windows PE file (it begins with
// "MZ") or one of our packed executables (an archive footer at its end, past
// any trailer blocks).

#include <memory>
#include <string>

#include "package/container.h"

namespace morvane {

// Throws ContainerError for a file that is neither, or a malformed one.
std::unique_ptr<Container> OpenExecutable(const std::string& path);

}  // namespace morvane
