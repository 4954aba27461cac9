#pragma once

// The stage scripts act through, over the real windows. The engine hands the
// calls it documents as main-thread calls (windows, pages, objects, dialogs)
// over itself; the queries expressions make from any thread (pointer, keys,
// pages, objects, clipboard) are handed to the main thread here and waited
// for. The main thread runs the hand-overs from its event loop and whenever
// it waits for worker threads itself, so a worker waiting on it cannot
// deadlock.

#include "script/main_thread_queue.h"
#include "script/script_stage.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace morvane {

class Player;
class TQMForm;

class PlayerStage : public ScriptStage {
 public:
  // Construct on the main thread: it becomes the hand-over's target.
  explicit PlayerStage(Player& player);
  ~PlayerStage() override;

  // --- Stage
  StagePoint PointerPosition() override;
  StageSize ScreenSize() override;
  StageSize WorkAreaSize() override;
  int16_t KeyState(int32_t virtual_key) override;
  std::string ClipboardText() override;
  std::vector<std::string> CommandLine() override;
  int32_t CurrentPage() override;
  int32_t PageCount() override;
  std::optional<std::string> PageName(int32_t page) override;
  std::optional<int32_t> PageByName(std::string_view name) override;
  std::optional<StageSize> PageClientSize(int32_t page) override;
  std::optional<StagePoint> PageWindowOrigin(int32_t page) override;
  std::optional<StagePoint> PageClientOrigin(int32_t page) override;
  std::optional<ObjectSnapshot> CurrentPageObject(std::string_view number) override;
  std::optional<std::string> ObjectVariable(std::string_view number,
                                            std::string_view name) override;

  // --- ScriptStage
  void RunOnMainThread(const std::function<void()>& task) override;
  void ProcessMainThreadTasks() override;
  std::string ApplicationTitle() override;
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
  std::optional<std::string> ReadResource(std::string_view name) override;

  void SetCommandLine(std::vector<std::string> command_line) {
    m_command_line = std::move(command_line);
  }
  // From now on hand-overs are dropped and their callers released; the
  // waiting ones too. Called when the program ends.
  void CloseHandOver() { m_queue.Close(); }
  // Removes the fonts scripts registered. Main thread.
  void UnregisterScriptFonts();

 private:
  template <typename T, typename F>
  T OnMain(F f);
  void ShowModal(TQMForm& form);

  Player& m_player;
  std::vector<std::string> m_command_line;
  MainThreadQueue m_queue;
  // Fonts added by scripts: host path to the application font id. Main thread.
  std::map<std::string, int> m_script_fonts;
  std::mutex m_resource_mutex;  // the container is read by one thread at a time
};

}  // namespace morvane
