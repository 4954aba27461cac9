#include "player/shell/launcher.h"

#include "package/project_probe.h"
#include "player/shell/player.h"
#include "player/shell/start_window.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace morvane {
namespace {

// The window's own handler of the choice is still running: the window goes
// once the event loop is back.
void Dismiss(std::unique_ptr<StartWindow>& window) {
  window->hide();
  window.release()->deleteLater();
}

}  // namespace

Launcher::Launcher(PlayerOptions options, std::vector<std::string> command_line, std::string self,
                   RecentProjects recent)
    : m_options(std::move(options)),
      m_command_line(std::move(command_line)),
      m_self(std::move(self)),
      m_recent(std::move(recent)) {}

Launcher::~Launcher() {
  m_player.reset();
  m_start_window.reset();
}

int Launcher::exit_code() const {
  return m_player ? m_player->exit_code() : m_exit_code;
}

bool Launcher::Launch() {
  if (!m_options.project.empty()) return StartPlayer(m_options.project, true);
  const ProbedProject self = ProbeProject(m_self);
  if (m_options.demo) {
    if (!self.demo) {
      std::fprintf(stderr, "morvane-player: %s carries no demo\n", m_self.c_str());
      m_exit_code = 2;
      return false;
    }
    return StartPlayer(m_self, false);
  }
  // A packed project runs as it always did; headless runs have nobody to
  // choose in a window, so they run the demo (or report that there is none).
  if (m_options.headless || (self.kind == ProjectKind::kProject && !self.demo))
    return StartPlayer(m_self, false);
  ShowStartWindow(self.demo);
  return true;
}

bool Launcher::StartPlayer(std::string project, bool record) {
  PlayerOptions options = m_options;
  options.project = project;
  options.demo = false;
  m_player = std::make_unique<PlayerShell>(options, m_command_line);
  if (!m_player->Start()) return false;
  if (record && !m_options.headless) m_recent.Add(project);
  return true;
}

void Launcher::ShowStartWindow(bool demo_available) {
  StartWindow::Callbacks callbacks;
  callbacks.open = [this](const QString& project) {
    Dismiss(m_start_window);
    StartPlayer(project.toStdString(), true);
  };
  callbacks.demo = [this] {
    Dismiss(m_start_window);
    StartPlayer(m_self, false);
  };
  callbacks.closed = [this] { EndProgram(1); };
  m_start_window = std::make_unique<StartWindow>(m_recent.Load(), demo_available, callbacks);
  m_start_window->show();
  if (m_options.quit_after_ms) {
    QTimer::singleShot(*m_options.quit_after_ms, m_start_window.get(), [this] {
      if (!m_player) EndProgram(1);
    });
  }
}

void Launcher::EndProgram(int exit_code) {
  if (m_player) {
    m_player->EndProgram(exit_code);
    return;
  }
  m_exit_code = exit_code;
  QCoreApplication::exit(exit_code);
}

}  // namespace morvane
