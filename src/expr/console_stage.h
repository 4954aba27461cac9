#pragma once

// The stage of the command-line tools and the tests: a 1024x768 screen with
// nothing on it unless configured, an in-memory clipboard, every key up. The
// configuration is public; tests set what they need.

#include <map>
#include <mutex>

#include "expr/stage.h"

namespace morvane {

class ConsoleStage : public virtual Stage {
 public:
  struct Page {
    std::string name;
    StageSize client_size{800, 600};
    StagePoint window_origin{0, 0};
    StagePoint client_origin{0, 0};
    // Objects by their number text.
    std::map<std::string, ObjectSnapshot> objects;
    std::map<std::string, std::map<std::string, std::string>> object_variables;
  };

  ConsoleStage() = default;
  explicit ConsoleStage(std::vector<std::string> command_line)
      : m_command_line(std::move(command_line)) {}

  // Configuration; safe to change between evaluations.
  void SetPages(std::vector<Page> pages, int32_t current);
  void SetPointer(StagePoint point);
  void SetKeyState(int32_t virtual_key, int16_t state);
  void SetClipboardText(std::string text);
  void SetCommandLine(std::vector<std::string> command_line);

  StagePoint PointerPosition() override;
  StageSize ScreenSize() override { return {1024, 768}; }
  StageSize WorkAreaSize() override { return {1024, 768}; }
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

 private:
  const Page* PageAt(int32_t page) const;

  std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::vector<Page> m_pages;
  int32_t m_current = 0;
  StagePoint m_pointer;
  std::map<int32_t, int16_t> m_keys;
  std::string m_clipboard;
  std::vector<std::string> m_command_line{"Z:\\morvane-script"};
};

}  // namespace morvane
