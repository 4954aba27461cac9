#pragma once

// The running player: reads the project, builds the page windows, owns the
// process-wide state (variables, environment, fonts, cursors, the extracted
// files) and ends the program through `TerminateApp`. The parts of the player
// see it through the interface of player/player.h.
//
// Everything here lives on the main thread; the stage hands other threads'
// calls over.

#include "package/container.h"
#include "package/project_model.h"
#include "player/assets/cursors.h"
#include "player/assets/fonts.h"
#include "player/automation/options.h"
#include "player/automation/trace.h"
#include "player/player.h"
#include "player/shell/end_watch.h"
#include "script/compat_recorder.h"
#include "script/session.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QObject;
class QWidget;

namespace morvane {

class TQMForm;
class TQMLoad;
class PlayerStage;
class InputPlayback;
class HintHandler;
class DisplayModes;
class DesktopSettings;
class PageTransitions;
class UserHost;

// The box a project that needs the Flash control shows before it ends.
extern const char* const kFlashMissingText;
// The caption of the box for a file or folder that holds no project.
inline constexpr const char* kNotAProjectCaption = "Morvane Player";

// The player of a desktop or headless run: reads the project, builds the page
// windows and owns the process-wide state.
class PlayerShell final : public Player {
 public:
  PlayerShell(PlayerOptions options, std::vector<std::string> command_line);
  ~PlayerShell() override;
  PlayerShell(const PlayerShell&) = delete;
  PlayerShell& operator=(const PlayerShell&) = delete;

  // Reads the project and shows its pages; false when the program must end
  // (the reason was shown and traced, and the exit code is set).
  bool Start();
  int exit_code() const { return m_exit_code; }

  // --- Pages
  const Project& project() const override { return m_project; }
  const Container& project_container() const override { return *m_container; }
  int PageCount() const override { return int(m_pages.size()); }
  TQMForm* GetFormByNum(int page) const override;
  int CurrentPage() override;
  void NoteActivePage(int page) override;
  void NotePageHidden(int page) override;
  int PageNumberByName(std::string_view name) const override;
  void ShowPage(TQMForm& form, ShowReason reason, TQMForm* replaced = nullptr) override;
  void GoGoToPage(std::string_view name) override;
  bool drag_by_background() const override { return m_drag_by_background; }
  void SetDragByBackground(bool on) override { m_drag_by_background = on; }
  bool minimize_on_close() const override { return m_minimize_on_close; }
  void SetMinimizeOnClose(bool on) override { m_minimize_on_close = on; }
  void CentreInWorkArea(TQMForm& form) override;
  void MinimizeApplication() override;
  void RestoreApplication() override;
  void NoteWindowStates() override;

  // --- Services for the windows and the script layer
  TValues& values() override { return m_session->values(); }
  Environment& environment() override { return m_session->environment(); }
  PlayerStage& stage() override { return *m_stage; }
  ScriptEngine* engine() override { return m_session ? &m_session->engine() : nullptr; }
  CursorTable& cursors() override { return m_cursors; }
  TraceLog& trace() override { return m_trace; }
  CompatRecorder* compat_recorder() override { return m_compat.get(); }
  const PlayerOptions& options() const override { return m_options; }
  int code_page() const override { return m_code_page; }
  bool headless() const override { return m_options.headless; }
  bool terminating() const override { return m_terminating; }

  void SetScriptRunner(ScriptRunner runner) override { m_script_runner = std::move(runner); }
  void RunScript(const Script& script, TQMForm& page, int thread = 0) override;
  void RunResizeScript(TQMForm& page) override;
  int MessageBox(std::string_view caption, std::string_view text, int flags,
                 QWidget* owner = nullptr) override;
  UserHost& user() override { return *m_user; }
  void ReportException(std::string message) override;
  void EndProgram(int exit_code = 1) override;
  void TerminateApp() override;
  bool GetDB(std::string_view name, TAPDatabase& record) const override;

  // --- Hooks of the parts that come with the pages
  void AddShowScriptHook(std::function<void(TQMForm&)> hook) override;
  void RunShowScriptHooks(TQMForm& page) override;
  void AddTerminateHook(std::function<void()> hook) override;
  QObject* media_host() const override { return m_media_host.get(); }
  void SetMediaHost(std::unique_ptr<QObject> host) override { m_media_host = std::move(host); }

  bool SavePagePicture(int page, const std::string& path) override;

 private:
  bool Fail(std::string_view caption, std::string_view text, int flags);
  // Runs the script; false when there was nothing to run. Raises its failure.
  bool RunScriptRaw(const Script& script, TQMForm& page, int thread);
  void SetApplicationMinimized(bool minimized);
  void ExtractEmbeddedFiles(TQMLoad* load_window);
  void RegisterFonts();
  void LoadCursors();
  std::optional<std::string> HostPath(std::string_view windows_path) const;
  std::string QmTempHostFolder() const;
  void DumpVariables();
  void WriteCompatReport();

  PlayerOptions m_options;
  std::vector<std::string> m_command_line;
  std::string m_project_path;  // host path
  int m_exit_code = 1;
  int m_code_page = 1252;
  std::unique_ptr<Container> m_container;
  Project m_project;
  std::unique_ptr<PlayerStage> m_stage;
  // Invariant: the recorder outlives the session, its engine and its worker threads.
  std::unique_ptr<CompatRecorder> m_compat;
  // Invariant: the session (its engine first) goes before the stage it works on.
  std::unique_ptr<Session> m_session;
  TraceLog m_trace;
  std::unique_ptr<DisplayModes> m_display_modes;  // only when the project switches modes
  std::unique_ptr<DesktopSettings> m_desktop_settings;
  RunFonts m_fonts;
  CursorTable m_cursors;
  std::vector<std::function<void(TQMForm&)>> m_show_script_hooks;
  std::vector<std::function<void()>> m_terminate_hooks;
  // Invariant: the media host outlives the pages, whose graphs it serves.
  std::unique_ptr<QObject> m_media_host;
  std::vector<std::unique_ptr<TQMForm>> m_pages;  // page n is m_pages[n - 1]
  std::unique_ptr<InputPlayback> m_input;
  std::unique_ptr<PageTransitions> m_transitions;
  std::unique_ptr<HintHandler> m_hints;
  std::unique_ptr<UserHost> m_user;
  std::vector<std::string> m_extracted;  // host paths written at start
  ScriptRunner m_script_runner;
  int m_current_page = 0;
  std::vector<int> m_activation_order;  // pages, the last activated last
  bool m_drag_by_background = false;
  bool m_minimize_on_close = false;
  bool m_app_minimized = false;
  bool m_terminating = false;
  bool m_terminated = false;
  bool m_ended = false;
  // Lets a busy script go when the end was asked for and the main thread
  // does not come to it.
  std::unique_ptr<EndWatch> m_end_watch;
  std::atomic<ScriptEngine*> m_watched_engine{nullptr};
};

}  // namespace morvane
