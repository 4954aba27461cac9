#pragma once

// The stage the core's built-in functions read, over the real windows. Calls
// from other threads are handed to the main thread and waited for.

#include "expr/stage.h"

#include <functional>

namespace morvane {

class Player;

class PlayerStage : public Stage {
 public:
  explicit PlayerStage(Player& player) : m_player(player) {}

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
  std::optional<std::string> FlashVariable(std::string_view number, std::string_view name) override;

  void SetCommandLine(std::vector<std::string> command_line) {
    m_command_line = std::move(command_line);
  }

 private:
  Player& m_player;
  std::vector<std::string> m_command_line;
};

// Runs `work` on the main thread: at once when called there, else handed
// over and waited for.
void RunOnMainThread(const std::function<void()>& work);

}  // namespace morvane
