#include "script/lan_port.h"

#include "expr/eval_error.h"

namespace morvane {

void UnavailableLan::Fail() {
  throw ScriptError("The network connection is not available.");
}

}  // namespace morvane
