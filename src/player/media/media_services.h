#pragma once

// The media engine as the shell and the stage see it.

#include <string>
#include <string_view>

namespace morvane {

class Player;

// Before the first page is built: the sound and video rows, and where audio
// goes. Nothing of GStreamer starts here.
void SetUpMedia(Player& player);

// Action 39 on the main thread: the error text of a refused command, or empty.
std::string SendMultimediaCommand(Player& player, std::string_view command);

}  // namespace morvane
