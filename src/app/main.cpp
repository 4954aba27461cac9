// morvane-player: runs a Morvane project.

#include "package/project_probe.h"
#include "player/assets/fonts.h"
#include "player/automation/options.h"
#include "player/shell/end_watch.h"
#include "player/shell/launcher.h"
#include "player/shell/recent_projects.h"

#include <QApplication>
#include <QSocketNotifier>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int) {
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(g_signal_pipe[1], &byte, 1);
  morvane::EndWatch::NoteSignal();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  std::error_code ec;
  std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  // An executable that carries its project passes its arguments on to it.
  const morvane::ProbedProject own = morvane::ProbeProject(self);
  const bool packed = own.kind == morvane::ProjectKind::kProject && !own.demo;
  morvane::ParsedOptions parsed = morvane::ParsePlayerArguments(arguments, packed);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "morvane-player: %s\n\n%s", parsed.error.c_str(), morvane::PlayerUsage());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(morvane::PlayerUsage(), stdout);
    return 0;
  }
  const morvane::PlayerConfig config = morvane::ReadPlayerConfig(morvane::PlayerConfigPath());
  if (!config.error.empty()) {
    std::fprintf(stderr, "morvane-player: %s\n", config.error.c_str());
    return 2;
  }
  parsed.options.user_settings = config.sandbox;
  if (parsed.options.version) {
    std::puts("morvane-player " MORVANE_VERSION);
    return 0;
  }
  if (parsed.options.headless) {
    // Must be set before the application object exists.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  // The web engine, loaded only by projects with browsers or Flash objects,
  // shares its contexts with the windows; that has to be known before the
  // application exists, and costs nothing when it never loads.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  // Ties the windows to the desktop entry (its name and icon).
  QGuiApplication::setDesktopFileName("morvane-player");
  morvane::InstallFontSubstitutes();

  morvane::Launcher launcher(parsed.options, std::vector<std::string>(argv, argv + argc),
                             std::move(self),
                             morvane::RecentProjects(morvane::RecentProjects::DefaultFile()));
  // An interrupt or a termination request ends the program the orderly way,
  // so extracted files are removed and the trace and variable dump written.
  std::unique_ptr<QSocketNotifier> signal_notifier;
  if (pipe(g_signal_pipe) == 0) {
    signal_notifier = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
    QObject::connect(signal_notifier.get(), &QSocketNotifier::activated, [&launcher] {
      char byte;
      [[maybe_unused]] ssize_t got = read(g_signal_pipe[0], &byte, 1);
      launcher.EndProgram(1);
    });
    signal(SIGTERM, OnSignal);
    signal(SIGINT, OnSignal);
  }
  if (!launcher.Launch()) return launcher.exit_code();
  return app.exec();
}
