#pragma once

// `ScriptStage`: what the actions of scripts ask of the running player beyond
// what expressions read: message boxes, dialogs, page windows and their
// appearance, page objects, the clipboard, multimedia commands, keyboard
// layouts, beeps and tones, fonts, program starts, and the hand-over of work
// to the main thread. The LAN is the core's own (lan_port.h).
//
// Pages are named by their number (1 = the main window). The engine calls
// every method that touches a window, a dialog or a page object on the main
// thread; it hands the call over with RunOnMainThread when the script runs on
// a worker. The remaining calls may come from any thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "expr/stage.h"
#include "platform/drive_table.h"
#include "script/action_arguments.h"
#include "script/compat_recorder.h"
#include "script/message_box.h"

namespace morvane {

class Evaluator;

// Commands on the script's window (6, 7, 8, 16, 24) and the application (17, 18).
enum class WindowCommand { kClose, kHide, kShow, kMaximize, kRepaint, kMinimizeApp, kRestoreApp };

// Commands on a page window named by a script (58, 63, 97, 98, 99, 108, 115).
enum class PageWindowCommand { kBringToFront, kCentre, kShow, kHide, kShowModal, kPrint, kClose };

// One appearance change of the current page window (codes 57 to 101). The
// engine has evaluated the arguments: `text` for 57, 59 and 81; `number` and
// `second` for the N kinds (76 already taken modulo 256); `on` for the B
// kinds; `colour` (red + 256 green + 65536 blue) for 78, 80 and 90.
struct AppearanceChange {
  int32_t code = 0;
  std::string text;
  int32_t number = 0;
  int32_t second = 0;
  bool on = false;
  uint32_t colour = 0;
};

// 10(object,page).tail: the page is named, the object number evaluated, the
// tail split into its code and arguments when the line was parsed; the
// object's action evaluates the arguments it needs with `evaluator`.
struct ObjectActionRequest {
  std::string page_name;
  std::string object;
  std::string tail;  // as written, for traces
  ObjectActionText action;
  int32_t thread = 0;
  int32_t script_page = 1;
  Evaluator* evaluator = nullptr;
  // The line that asked, while a compatibility recorder is installed.
  ScriptSite site;
};

// A dialog keeps every setting until an action changes it; a missing optional
// leaves the setting as it was.
struct OpenFileRequest {
  std::string filter;
  std::optional<std::string> initial_file;
  std::optional<std::string> initial_folder;
  bool multiple = false;
};

struct SaveFileRequest {
  std::string filter;
  std::string initial_file;
  std::string initial_folder;
  std::string default_extension;
};

struct FolderRequest {
  std::string caption;
  std::string prompt;
  std::string initial_folder;
  bool show_files = false;
  bool new_folder_button = false;
};

struct FontChoice {
  std::string name;
  int32_t size = 0;
  int32_t charset = 0;
  uint32_t colour = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike_out = false;
};

// The font text of a font dialog: name,size,charset then ,B ,I ,U ,S or ,N.
std::string FontText(const FontChoice& font);

// What scripts ask of the running player, by capability. Each host
// implements the ones it has; ScriptStage is all of them over the queries of
// expressions (Stage).

// --- Threads and system services (any thread)
class SystemHost {
 public:
  virtual ~SystemHost() = default;
  // Runs `task` on the main thread and returns when it has finished; runs it
  // at once when called there. Exceptions of the task reach the caller.
  virtual void RunOnMainThread(const std::function<void()>& task) = 0;
  // Runs the hand-overs that are waiting; called on the main thread by whoever
  // waits there for worker threads (the command-line tools, tests).
  virtual void ProcessMainThreadTasks() {}
  // Action 25: blocks the calling thread for the time; `wait` is the
  // engine's own wait, which ends early when the engine terminates. A host
  // that must not wait for real (a fuzzer) skips it.
  virtual void Sleep(int32_t milliseconds, const std::function<void(int32_t)>& wait) {
    wait(milliseconds);
  }
  virtual void SetClipboardText(std::string_view text) = 0;
  virtual void MultimediaCommand(std::string_view command) = 0;
  virtual void LoadKeyboardLayout(std::string_view layout_id) = 0;
  virtual void MessageBeep(int32_t type) = 0;
  // Returns when the tone has ended.
  virtual void Tone(int32_t frequency, int32_t duration_ms) = 0;
  // Registers (or unregisters) a font file for the session; failures are silent.
  virtual void RegisterFont(const std::string& host_path, bool add) = 0;
  // Starts a program with its argument vector (no shell); failures are silent.
  virtual void Spawn(const std::vector<std::string>& argv);
  // Fetches `url` into the file at the Windows path `path` (action 31); the
  // default is the platform's HTTP download.
  virtual void Download(const DriveTable& drives, std::string_view url, std::string_view path);
  // A resource of the running executable by name ("DATAE3", "DAFname").
  virtual std::optional<std::string> ReadResource(std::string_view name) { return std::nullopt; }
};

// --- Messages and dialogs (main thread)
class DialogHost {
 public:
  virtual ~DialogHost() = default;
  virtual std::string ApplicationTitle() = 0;
  virtual int32_t MessageBox(int32_t page, std::string_view text, std::string_view caption,
                             int32_t flags) = 0;
  // The chosen paths; empty when cancelled.
  virtual std::vector<std::string> OpenFileDialog(int32_t page, const OpenFileRequest& request) = 0;
  virtual std::optional<std::string> SaveFileDialog(int32_t page,
                                                    const SaveFileRequest& request) = 0;
  // The dialog's folder afterwards: the chosen one, or the initial one.
  virtual std::string FolderDialog(int32_t page, const FolderRequest& request) = 0;
  // `initial`: nothing keeps the dialog's last colour. Nothing when cancelled.
  virtual std::optional<uint32_t> ColourDialog(int32_t page, std::optional<uint32_t> initial) = 0;
  // The dialog's font afterwards, whether confirmed or cancelled.
  virtual FontChoice FontDialog(int32_t page, const FontChoice& initial) = 0;
};

// --- Windows and pages (main thread)
class WindowHost {
 public:
  virtual ~WindowHost() = default;
  virtual void WindowAction(int32_t page, WindowCommand command) = 0;
  virtual void PageWindowAction(int32_t page, PageWindowCommand command) = 0;
  // The page switch to the page named `name`; `script_page` is the window of
  // the script that asked (the main window sets its minimize-on-close flag).
  virtual void GoToPage(std::string_view name, int32_t script_page) = 0;
  // Ends the program. From a worker the stage only arranges it and returns.
  virtual void EndProgram(int32_t script_page, bool from_worker) = 0;
  virtual void PageAppearance(const AppearanceChange& change) = 0;
};

// --- Page objects (main thread)
class ObjectHost {
 public:
  virtual ~ObjectHost() = default;
  // Nothing happens when the page or the object does not exist.
  virtual void ObjectAction(const ObjectActionRequest& request) = 0;
  // Creates "OBJ" + number of that kind (both lower case) on the current page;
  // false when it cannot.
  virtual bool CreateObject(std::string_view kind, std::string_view number,
                            int32_t script_page) = 0;
};

// Stage is a virtual base: a host may take the queries of expressions from a
// stage of its own (the console's) without forwarding them.
class ScriptStage : public virtual Stage,
                    public SystemHost,
                    public DialogHost,
                    public WindowHost,
                    public ObjectHost {};

}  // namespace morvane
