#pragma once

// Object actions: 10(object,page).tail applied to a page object. The tail is
// a code with up to five arguments, 7(#x+10,120); each action evaluates its
// arguments in the kind it needs and does nothing on objects of other kinds.
// A failure inside an action ends it with a box titled with the application
// title; the script goes on.

#include "package/project_model.h"
#include "script/script_stage.h"

#include <string>
#include <string_view>

namespace morvane {

class Player;

// The object-action table: whether an object of that kind accepts the code.
// An action applied to an object that does not accept it does nothing.
bool AcceptsObjectAction(ObjectKind kind, int32_t code);

// `DoObjAction`: nothing happens when the page or the object does not exist.
// A request from a worker thread (`thread` 1 or more) is handed to the main
// thread as one step, with its own text, object and page, and waited for.
void DoObjAction(Player& player, const ObjectActionRequest& request);

// A carried event script back in its stored form: every byte lowered by 5
// (modulo 256), then every byte 1 a carriage return.
std::string UncarryEventScript(std::string_view carried);

}  // namespace morvane
