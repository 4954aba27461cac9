#pragma once

// The rows of browsers and Flash objects in the object-class table,
// registered before the first page is built. Registering loads nothing: the
// web engine loads when the first browser or Flash object is built.

namespace morvane {

class Player;

void RegisterWebClasses();

// The Flash-available flag: the web engine starts and has the Flash
// player's files. Asking loads the engine.
bool FlashAvailable(Player& player);

}  // namespace morvane
