#pragma once

// The script stage of morvane-script and the tests: the console stage's
// screen and pages, message boxes printed as "message: TEXT" (in UTF-8) and
// answered from a list, dialogs that are always cancelled, and a log of every
// other thing the scripts asked the stage to do, one line per request.

#include <deque>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "expr/console_stage.h"
#include "script/lan_port.h"
#include "script/main_thread_queue.h"
#include "script/script_stage.h"
#include "util/code_page.h"

namespace morvane {

// It is a LAN too, one that only logs what it was asked to do.
class ConsoleScriptStage : public ConsoleStage, public ScriptStage, public LanPort {
 public:
  // Message boxes are printed to `out` when given.
  explicit ConsoleScriptStage(std::ostream* out = nullptr, int code_page = kDefaultCodePage);

  ConsoleStage& console() { return *this; }
  // The pages; the current one is the page number `current`.
  void SetPages(std::vector<ConsoleStage::Page> pages, int32_t current);
  // Message-box results, taken in turn; then each box's default button.
  void SetAnswers(std::vector<int32_t> answers);
  // Whether Spawn starts programs (by default it only logs them).
  void SetSpawnPrograms(bool spawn) { m_spawn = spawn; }
  void SetTitle(std::string title) { m_title = std::move(title); }
  void SetResource(std::string name, std::string bytes);

  // Every request so far: "message: caption|text|flags", "goto: Menu",
  // "window: 2 hide", "object: page|3|.5(1)", "appearance: 59 ...", ...
  std::vector<std::string> Log() const;
  void ClearLog();
  bool ProgramEnded() const;
  MainThreadQueue& queue() { return m_queue; }

  // ScriptStage
  void RunOnMainThread(const std::function<void()>& task) override { m_queue.Run(task); }
  void ProcessMainThreadTasks() override { m_queue.Process(); }
  std::string ApplicationTitle() override { return m_title; }
  int32_t MessageBox(int32_t page, std::string_view text, std::string_view caption,
                     int32_t flags) override;
  std::vector<std::string> OpenFileDialog(int32_t page, const OpenFileRequest& request) override;
  std::optional<std::string> SaveFileDialog(int32_t page, const SaveFileRequest& request) override;
  std::string FolderDialog(int32_t page, const FolderRequest& request) override;
  std::optional<uint32_t> ColourDialog(int32_t page, std::optional<uint32_t> initial) override;
  FontChoice FontDialog(int32_t page, const FontChoice& initial) override;
  void WindowAction(int32_t page, WindowCommand command) override;
  void PageWindowAction(int32_t page, PageWindowCommand command) override;
  void GoToPage(std::string_view name, int32_t script_page) override;
  void EndProgram(int32_t script_page, bool from_worker) override;
  void ObjectAction(const ObjectActionRequest& request) override;
  void PageAppearance(const AppearanceChange& change) override;
  bool CreateObject(std::string_view kind, std::string_view number, int32_t script_page) override;
  void SetClipboardText(std::string_view text) override;
  void MultimediaCommand(std::string_view command) override;
  void LoadKeyboardLayout(std::string_view layout_id) override;
  void MessageBeep(int32_t type) override;
  void Tone(int32_t frequency, int32_t duration_ms) override;
  void RegisterFont(const std::string& host_path, bool add) override;
  void Spawn(const std::vector<std::string>& argv) override;
  std::optional<std::string> ReadResource(std::string_view name) override;

  // LanPort
  void SetHost(std::string_view host) override;
  void SetPort(int32_t port) override;
  void Server(bool active) override;
  void SendText(std::string_view text) override;
  void SendFile(std::string_view windows_path) override;

 private:
  void Record(std::string line);

  MainThreadQueue m_queue;
  std::ostream* m_out;
  int m_code_page;
  std::string m_title = "Morvane";
  bool m_spawn = false;

  mutable std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::vector<ConsoleStage::Page> m_pages;
  std::deque<int32_t> m_answers;
  std::vector<std::string> m_log;
  std::vector<std::pair<std::string, std::string>> m_resources;
  bool m_ended = false;
};

}  // namespace morvane
