#pragma once

// Object actions: 10(object,page).tail applied to a page object. The tail is
// a code with up to five arguments, 7(#x+10,120); each action evaluates its
// arguments in the kinds its row names and does nothing on objects of other
// kinds.
// A failure inside an action ends it with a box titled with the application
// title; the script goes on.

#include "package/project_model.h"
#include "script/script_stage.h"

#include <string>
#include <string_view>

namespace morvane {

class Player;

// Whether an object of that kind accepts the code: its class's row has the
// action. An action applied to an object that does not accept it does nothing.
bool AcceptsObjectAction(ObjectKind kind, int32_t code);

// `DoObjAction`, on the main thread: nothing happens when the page or the
// object does not exist, or the action has no meaning for the object's class
// (its row in the object-class table).
void DoObjAction(Player& player, const ObjectActionRequest& request);

}  // namespace morvane
