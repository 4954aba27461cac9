#pragma once

// Page objects created by scripts while the project runs.

#include <cstdint>
#include <string_view>

namespace morvane {

class Player;

// Creates "OBJ" + number of the kind on the current page; false when it cannot.
bool CreateRuntimeObject(Player& player, std::string_view kind, std::string_view number,
                         int32_t script_page);

}  // namespace morvane
