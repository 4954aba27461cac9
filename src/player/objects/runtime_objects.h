#pragma once

// Page objects created by scripts while the project runs.

#include <cstdint>
#include <string_view>

namespace morvane {

class Player;

// The property that keeps, on an object made by a script, the page whose
// window runs the object's event scripts.
inline constexpr char kScriptPageProperty[] = "MorvaneScriptPage";

// Creates "OBJ" + number of the kind on the current page; false when it cannot.
bool CreateRuntimeObject(Player& player, std::string_view kind, std::string_view number,
                         int32_t script_page);

}  // namespace morvane
