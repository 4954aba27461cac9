#pragma once

// The plug-in window's row in the object-class table: windows built with
// their page, so that every plug-in starts shortly after the program does
// whichever page it is on, and the actions 8, 65, 66 and 67.

#include "player/objects/object_class.h"

namespace morvane {

ObjectClass PluginClass();

// Action 67's message for a variable name without a type prefix.
inline constexpr const char* kPluginPrefixError = "Morvane Syntax Error: Excepted (! / $ / #)";

}  // namespace morvane
