#pragma once

// The appearance actions on a page window.

#include "script/script_stage.h"

namespace morvane {

class Player;
class TQMForm;

void ApplyPageAppearance(Player& player, TQMForm& page, const AppearanceChange& change);

}  // namespace morvane
