#pragma once

// Printing a page window's client area.

namespace morvane {

class Player;
class TQMForm;

void PrintPage(Player& player, TQMForm& page);

}  // namespace morvane
