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
// The same from the files alone, for the start-up: the engine loads when the
// first Flash object is built (with the page that holds it), so a project
// whose first page has none shows it without waiting for the engine.
bool FlashFilesPresent();

}  // namespace morvane
