// morvane-player: runs a Morvane project.

#include "player/assets/fonts.h"
#include "player/automation/options.h"
#include "player/shell/player.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  morvane::ParsedOptions parsed = morvane::ParsePlayerArguments(arguments);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "morvane-player: %s\n\n%s", parsed.error.c_str(), morvane::PlayerUsage());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(morvane::PlayerUsage(), stdout);
    return 0;
  }
  if (parsed.options.headless) {
    // Must be set before the application object exists.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The offscreen platform has no font configuration of its own to offer.
    setenv("QT_QPA_FONTDIR", "/usr/share/fonts", 0);
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  morvane::InstallFontSubstitutes();

  morvane::Player player(parsed.options, std::vector<std::string>(argv, argv + argc));
  if (!player.Start()) return player.exit_code();
  return app.exec();
}
