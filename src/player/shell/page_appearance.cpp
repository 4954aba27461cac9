#include "player/shell/page_appearance.h"

namespace morvane {

void ApplyPageAppearance(Player&, TQMForm&, const AppearanceChange&) {}

}  // namespace morvane
