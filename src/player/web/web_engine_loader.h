#pragma once

// Loads the web engine module the first time a project needs it, once per
// run; a project that never asks never maps the engine's libraries.

#include <string>

namespace morvane {

class Player;
class WebEngine;

// The engine; nothing when its module or its libraries are missing (the
// reason is on standard error and in web_engine_failure()).
WebEngine* LoadWebEngine(Player& player);
const std::string& web_engine_failure();

// The folder of the self-hosted Flash player's files; empty when missing.
std::string FindRuffleFolder();
// The module's file is where LoadWebEngine looks (nothing is loaded).
bool WebModulePresent();

}  // namespace morvane
