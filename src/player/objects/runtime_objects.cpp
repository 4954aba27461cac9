#include "player/objects/runtime_objects.h"

namespace morvane {

bool CreateRuntimeObject(Player&, std::string_view, std::string_view, int32_t) {
  return false;
}

}  // namespace morvane
