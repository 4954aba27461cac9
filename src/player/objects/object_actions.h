#pragma once

// Object actions: 10(object,page).tail applied to a page object.

#include "script/script_stage.h"

namespace morvane {

class Player;

// `DoObjAction`: nothing happens when the page or the object does not exist.
void DoObjAction(Player& player, const ObjectActionRequest& request);

}  // namespace morvane
