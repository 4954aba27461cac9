#include "player/objects/object_actions.h"

namespace morvane {

void DoObjAction(Player&, const ObjectActionRequest&) {}

}  // namespace morvane
