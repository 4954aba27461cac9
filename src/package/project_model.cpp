#include "package/project_model.h"

#include <array>

namespace morvane {
namespace {

constexpr std::array<const char*, kObjectKindCount> kKindNames{
    "text", "edit", "button", "image", "shape", "timer",
    "sound", "video", "flash", "browser", "plugin", "listbox"};

}  // namespace

const char* ObjectKindName(ObjectKind kind) { return kKindNames[static_cast<size_t>(kind)]; }

std::optional<ObjectKind> ObjectKindFromName(std::string_view name) {
  for (size_t i = 0; i < kKindNames.size(); ++i)
    if (name == kKindNames[i]) return static_cast<ObjectKind>(i);
  return std::nullopt;
}

}  // namespace morvane
