#pragma once

// The running player: reads the project, builds the page windows, owns the
// process-wide state (variables, environment, fonts, cursors, the extracted
// files) and ends the program through `TerminateApp`.
//
// Everything here lives on the main thread; the stage hands other threads'
// calls over.

#include "package/container.h"
#include "package/project_model.h"
#include "player/assets/cursors.h"
#include "player/assets/fonts.h"
#include "player/automation/options.h"
#include "player/automation/trace.h"
#include "script/compat_recorder.h"
#include "script/session.h"

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

// Message-box flags and results as the message-box action stores them.
enum MessageBoxFlags : int {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbAbortRetryIgnore = 0x2,
  kMbYesNoCancel = 0x3,
  kMbYesNo = 0x4,
  kMbRetryCancel = 0x5,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconExclamation = 0x30,
  kMbIconInformation = 0x40,
  kMbTaskModal = 0x2000,
};

// The box a project that needs the Flash control shows before it ends.
extern const char* const kFlashMissingText;
// The caption of the box for a file or folder that holds no project.
inline constexpr const char* kNotAProjectCaption = "Morvane Player";

class Player {
 public:
  // Runs a script in a page's context on a thread slot; raises the script's
  // failure. Start() plugs in the script engine.
  using ScriptRunner = std::function<void(const Script& script, TQMForm& page, int thread)>;

  Player(PlayerOptions options, std::vector<std::string> command_line);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Reads the project and shows its pages; false when the program must end
  // (the reason was shown and traced, and the exit code is set).
  bool Start();
  int exit_code() const { return m_exit_code; }

  // --- Pages
  const Project& project() const { return m_project; }
  const Container& project_container() const { return *m_container; }
  int PageCount() const { return int(m_pages.size()); }
  // `GetFormByNum`: nothing outside 1 ... PageCount().
  TQMForm* GetFormByNum(int page) const;
  // The page of the active window when it is a page window (remembered), else
  // the last one remembered; 0 before any page was active.
  int CurrentPage();
  void NoteActivePage(int page);
  // Headless: a hidden page that was the active one hands the activation to
  // the visible page window activated before it, as a window manager would.
  void NotePageHidden(int page);
  // 1-based; -1 when no page has that name (ignoring case).
  int PageNumberByName(std::string_view name) const;
  // Why a page window appears: at start, by a page switch, by a window or
  // page-window action, as a modal page, maximized.
  enum class ShowReason { kStart, kPageSwitch, kWindowAction, kPageAction, kModal, kMaximize };
  // Every page window appears through here; what comes with a page's
  // appearance (its show effect, the media that start with it) hooks in here.
  // `replaced` is the page it takes the place of in a page switch.
  void ShowPage(TQMForm& form, ShowReason reason, TQMForm* replaced = nullptr);
  // `GoGoToPage`: the current page's bounds go to the named page, which is
  // shown, and the current page is hidden.
  void GoGoToPage(std::string_view name);
  bool drag_by_background() const { return m_drag_by_background; }
  void SetDragByBackground(bool on) { m_drag_by_background = on; }
  bool minimize_on_close() const { return m_minimize_on_close; }
  void SetMinimizeOnClose(bool on) { m_minimize_on_close = on; }
  // Left = work-area left + work-area width / 2 - window width / 2, top alike.
  void CentreInWorkArea(TQMForm& form);
  // The application as a whole: every visible page window. The on-minimize
  // and on-restore scripts run when the state changes.
  void MinimizeApplication();
  void RestoreApplication();
  // A page window's state changed: the application counts as minimized when
  // every visible page window is.
  void NoteWindowStates();

  // --- Services for the windows and the script layer
  // The core of the run; nothing of it before Start() has read the project.
  TValues& values() { return m_session->values(); }
  Environment& environment() { return m_session->environment(); }
  PlayerStage& stage() { return *m_stage; }
  // Nothing before Start() has read the project.
  ScriptEngine* engine() { return m_session ? &m_session->engine() : nullptr; }
  CursorTable& cursors() { return m_cursors; }
  TraceLog& trace() { return m_trace; }
  // Nothing unless --compat-report asked for a report.
  CompatRecorder* compat_recorder() { return m_compat.get(); }
  const PlayerOptions& options() const { return m_options; }
  int code_page() const { return m_code_page; }
  bool headless() const { return m_options.headless; }
  // True from the start of `TerminateApp` on: no script runs any more.
  bool terminating() const { return m_terminating; }

  void SetScriptRunner(ScriptRunner runner) { m_script_runner = std::move(runner); }
  // Runs a script of an event: its failure goes to ReportException, as one
  // that reaches the event loop.
  void RunScript(const Script& script, TQMForm& page, int thread = 0);
  // The resize script of a shown page; its failures are ignored.
  void RunResizeScript(TQMForm& page);

  // A message box; caption and text are UTF-8. Headless, the box is answered
  // from --answers, then by its default button. Every box is traced.
  int MessageBox(std::string_view caption, std::string_view text, int flags,
                 QWidget* owner = nullptr);

  // The application-wide handler for failures that reach the event loop.
  // `message` is in the project's code page.
  void ReportException(std::string message);

  // Ends the program: the pictures of --screenshot, `TerminateApp`, the
  // variable dump, the exit trace; then the event loop returns `exit_code`.
  void EndProgram(int exit_code = 1);
  // Releases what the run acquired; safe to call twice.
  void TerminateApp();

  // `GetDB`: the declaration named so (ignoring case) goes to `record`;
  // false, and `record` unchanged, when there is none.
  bool GetDB(std::string_view name, TAPDatabase& record) const;

  // --- Hooks of the parts that come with the pages
  // Runs after every show script of a page (the sounds that start with it).
  void AddShowScriptHook(std::function<void(TQMForm&)> hook);
  void RunShowScriptHooks(TQMForm& page);
  // Runs in `TerminateApp` (media stops there).
  void AddTerminateHook(std::function<void()> hook);
  // The media engine's state for this run; nothing until a project needs it.
  QObject* media_host() const { return m_media_host.get(); }
  void SetMediaHost(std::unique_ptr<QObject> host) { m_media_host = std::move(host); }

  // A picture of a page window's client area.
  bool SavePagePicture(int page, const std::string& path);

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
  std::vector<int> m_answers;
  size_t m_next_answer = 0;
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
};

}  // namespace morvane
