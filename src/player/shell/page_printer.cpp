#include "player/shell/page_printer.h"

namespace morvane {

void PrintPage(Player&, TQMForm&) {}

}  // namespace morvane
