#include "player/web/web_engine_loader.h"

#include "player/automation/trace.h"
#include "player/player.h"
#include "player/web/web_engine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLibrary>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace morvane {
namespace {

namespace fs = std::filesystem;

std::string g_failure;

fs::path ExeFolder() {
  std::error_code ec;
  return fs::read_symlink("/proc/self/exe", ec).parent_path();
}

// The variable's when it is set (only there); else beside the program (the
// build tree), then where the package installs it.
std::vector<fs::path> Candidates(const char* variable, const fs::path& beside,
                                 const fs::path& installed) {
  std::vector<fs::path> out;
  if (const char* set = std::getenv(variable); set && *set) return {fs::path(set)};
  const fs::path exe = ExeFolder();
  out.push_back(exe / beside);
  out.push_back(exe / ".." / installed);
  return out;
}

// Chromium refuses to start as root with its sandbox on; in a container the
// player usually is root, so the sandbox goes, and the user is told once.
void PrepareChromium() {
  if (geteuid() != 0) return;
  if (const char* set = std::getenv("QTWEBENGINE_DISABLE_SANDBOX"); set && *set) return;
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  std::fputs("morvane-player: running as root: the web engine runs without its sandbox\n", stderr);
}

}  // namespace

const std::string& web_engine_failure() {
  return g_failure;
}

std::string FindRuffleFolder() {
  for (const fs::path& dir : Candidates("MORVANE_RUFFLE_DIR", "ruffle",
                                        MORVANE_INSTALL_DATADIR "/morvane-player/ruffle")) {
    std::error_code ec;
    if (fs::is_regular_file(dir / "ruffle.js", ec)) return fs::weakly_canonical(dir, ec).string();
  }
  return {};
}

bool WebModulePresent() {
  for (const fs::path& file :
       Candidates("MORVANE_WEB_MODULE", "libmorvane-web.so",
                  MORVANE_INSTALL_LIBDIR "/morvane-player/libmorvane-web.so")) {
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) return true;
  }
  return false;
}

WebEngine* LoadWebEngine(Player& player) {
  static WebEngine* engine = nullptr;
  static bool tried = false;
  if (tried) return engine;
  tried = true;
  QElapsedTimer clock;
  clock.start();
  PrepareChromium();
  static QLibrary module;
  std::string errors;
  for (const fs::path& file :
       Candidates("MORVANE_WEB_MODULE", "libmorvane-web.so",
                  MORVANE_INSTALL_LIBDIR "/morvane-player/libmorvane-web.so")) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) continue;
    module.setFileName(QString::fromStdString(file.string()));
    if (module.load()) break;
    errors += module.errorString().toStdString() + "; ";
  }
  auto make = module.isLoaded()
                  ? reinterpret_cast<MakeWebEngineFunction>(module.resolve(kMakeWebEngineSymbol))
                  : nullptr;
  if (!make) {
    g_failure = errors.empty() ? "the web engine module is not installed" : errors;
    std::fprintf(stderr, "morvane-player: no web engine: %s\n", g_failure.c_str());
    player.trace().Write("web-engine", {{"loaded", 0LL}, {"reason", g_failure}});
    return nullptr;
  }
  WebEngineSetup setup;
  setup.ruffle_dir = FindRuffleFolder();
  setup.headless = player.headless();
  // The module and the engine stay for the run; the engine's profile goes
  // with the application, after the page windows and their views.
  engine = make(setup);
  player.trace().Write("web-engine", {{"loaded", 1LL},
                                      {"flash", engine && engine->flash_available() ? 1LL : 0LL},
                                      {"ms", static_cast<long long>(clock.elapsed())}});
  return engine;
}

}  // namespace morvane
