#pragma once

// Printing a page window's client area (the print command of page windows):
// to the default printer, or with --print-to to a PDF file per job.

#include <string>

namespace morvane {

class Player;
class TQMForm;

// Never blocks on a missing printer: without one (always so headless, unless
// --print-to names a folder) the job is logged and dropped.
void PrintPage(Player& player, TQMForm& page);

// The file the next job writes into `folder`: print<N>.pdf with the lowest N
// from 1 on that is not taken yet.
std::string NextPrintFile(const std::string& folder);

}  // namespace morvane
