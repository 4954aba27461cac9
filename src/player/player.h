#pragma once

// What the parts of the player (objects, media, transitions, events, the
// engines loaded on first use) see of the running player: its pages, its
// process-wide state (variables, environment, cursors, trace), the scripts
// it runs and the boxes it shows, and the hooks that come with the pages.
//
// Only declarations: a part includes this and the headers of the pieces it
// uses, never the shell that implements it (PlayerShell, player/shell/).
//
// Everything here lives on the main thread; the stage hands other threads'
// calls over.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class QObject;
class QWidget;

namespace morvane {

class CompatRecorder;
class Container;
class CursorTable;
class Environment;
class PlayerStage;
class ScriptEngine;
class TQMForm;
class TValues;
class TraceLog;
class UserHost;
struct PlayerOptions;
struct Project;
struct TAPDatabase;
using Script = std::string;

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

class Player {
 public:
  // Runs a script in a page's context on a thread slot; raises the script's
  // failure. Start() plugs in the script engine.
  using ScriptRunner = std::function<void(const Script& script, TQMForm& page, int thread)>;

  virtual ~Player() = default;

  // --- Pages
  virtual const Project& project() const = 0;
  virtual const Container& project_container() const = 0;
  virtual int PageCount() const = 0;
  // `GetFormByNum`: nothing outside 1 ... PageCount().
  virtual TQMForm* GetFormByNum(int page) const = 0;
  // The page of the active window when it is a page window (remembered), else
  // the last one remembered; 0 before any page was active.
  virtual int CurrentPage() = 0;
  virtual void NoteActivePage(int page) = 0;
  // Headless: a hidden page that was the active one hands the activation to
  // the visible page window activated before it, as a window manager would.
  virtual void NotePageHidden(int page) = 0;
  // 1-based; -1 when no page has that name (ignoring case).
  virtual int PageNumberByName(std::string_view name) const = 0;
  // Why a page window appears: at start, by a page switch, by a window or
  // page-window action, as a modal page, maximized.
  enum class ShowReason { kStart, kPageSwitch, kWindowAction, kPageAction, kModal, kMaximize };
  // Every page window appears through here; what comes with a page's
  // appearance (its show effect, the media that start with it) hooks in here.
  // `replaced` is the page it takes the place of in a page switch.
  virtual void ShowPage(TQMForm& form, ShowReason reason, TQMForm* replaced = nullptr) = 0;
  // `GoGoToPage`: the current page's bounds go to the named page, which is
  // shown, and the current page is hidden.
  virtual void GoGoToPage(std::string_view name) = 0;
  virtual bool drag_by_background() const = 0;
  virtual void SetDragByBackground(bool on) = 0;
  virtual bool minimize_on_close() const = 0;
  virtual void SetMinimizeOnClose(bool on) = 0;
  // Left = work-area left + work-area width / 2 - window width / 2, top alike.
  virtual void CentreInWorkArea(TQMForm& form) = 0;
  // The application as a whole: every visible page window. The on-minimize
  // and on-restore scripts run when the state changes.
  virtual void MinimizeApplication() = 0;
  virtual void RestoreApplication() = 0;
  // A page window's state changed: the application counts as minimized when
  // every visible page window is.
  virtual void NoteWindowStates() = 0;

  // --- Services for the windows and the script layer
  // The core of the run; nothing of it before Start() has read the project.
  virtual TValues& values() = 0;
  virtual Environment& environment() = 0;
  virtual PlayerStage& stage() = 0;
  // Nothing before Start() has read the project.
  virtual ScriptEngine* engine() = 0;
  virtual CursorTable& cursors() = 0;
  virtual TraceLog& trace() = 0;
  // Nothing unless --compat-report asked for a report.
  virtual CompatRecorder* compat_recorder() = 0;
  virtual const PlayerOptions& options() const = 0;
  virtual int code_page() const = 0;
  virtual bool headless() const = 0;
  // True from the start of `TerminateApp` on: no script runs any more.
  virtual bool terminating() const = 0;

  virtual void SetScriptRunner(ScriptRunner runner) = 0;
  // Runs a script of an event: its failure goes to ReportException, as one
  // that reaches the event loop.
  virtual void RunScript(const Script& script, TQMForm& page, int thread = 0) = 0;
  // The resize script of a shown page; its failures are ignored.
  virtual void RunResizeScript(TQMForm& page) = 0;

  // A message box; caption and text are UTF-8. Headless, the box is answered
  // from --answers, then by its default button. Every box is traced.
  virtual int MessageBox(std::string_view caption, std::string_view text, int flags,
                         QWidget* owner = nullptr) = 0;
  // Who answers the boxes and dialogs: the desktop's person, or headless the
  // answer files.
  virtual UserHost& user() = 0;

  // The application-wide handler for failures that reach the event loop.
  // `message` is in the project's code page.
  virtual void ReportException(std::string message) = 0;

  // Ends the program: the pictures of --screenshot, `TerminateApp`, the
  // variable dump, the exit trace; then the event loop returns `exit_code`.
  virtual void EndProgram(int exit_code = 1) = 0;
  // Releases what the run acquired; safe to call twice.
  virtual void TerminateApp() = 0;

  // `GetDB`: the declaration named so (ignoring case) goes to `record`;
  // false, and `record` unchanged, when there is none.
  virtual bool GetDB(std::string_view name, TAPDatabase& record) const = 0;

  // --- Hooks of the parts that come with the pages
  // Runs after every show script of a page (the sounds that start with it).
  virtual void AddShowScriptHook(std::function<void(TQMForm&)> hook) = 0;
  virtual void RunShowScriptHooks(TQMForm& page) = 0;
  // Runs in `TerminateApp` (media stops there).
  virtual void AddTerminateHook(std::function<void()> hook) = 0;
  // The media engine's state for this run; nothing until a project needs it.
  virtual QObject* media_host() const = 0;
  virtual void SetMediaHost(std::unique_ptr<QObject> host) = 0;

  // A picture of a page window's client area.
  virtual bool SavePagePicture(int page, const std::string& path) = 0;
};

}  // namespace morvane
