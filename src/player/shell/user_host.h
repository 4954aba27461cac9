#pragma once

// Who answers what a run asks: on a desktop, the person in front of it
// through Qt's message boxes and dialogs; headless, the answer files of the
// automation options (--answers for boxes, --dialog-answers for dialogs). The
// player picks one when it starts and asks it every question; what comes
// around a question (the page's dialog settings, the trace) is the shell's
// and the same for both.
//
// Paths go in and come back as Windows paths, texts in the project's code
// page unless said otherwise; everything runs on the main thread.

#include "script/script_stage.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace morvane {

class Player;
struct PlayerOptions;

// Where a file dialog opens: the folder, else the initial file's.
struct DialogStart {
  QWidget* parent = nullptr;
  std::string folder;
  std::string file;
};

class UserHost {
 public:
  virtual ~UserHost() = default;

  // The button the user chose; `default_result` is the box's default button.
  // Caption and text are UTF-8.
  virtual int MessageBox(std::string_view caption, std::string_view text, int flags,
                         int default_result, QWidget* owner) = 0;

  // Nothing when cancelled.
  virtual std::vector<std::string> OpenFiles(const OpenFileRequest& request,
                                             const DialogStart& start) = 0;
  virtual std::optional<std::string> SaveFile(const SaveFileRequest& request,
                                              const DialogStart& start) = 0;
  virtual std::optional<std::string> Folder(const FolderRequest& request, QWidget* parent) = 0;
  virtual std::optional<uint32_t> Colour(uint32_t start, QWidget* parent) = 0;
  virtual std::optional<FontChoice> Font(const FontChoice& initial, QWidget* parent) = 0;
};

// The desktop's: Qt's boxes and dialogs.
std::unique_ptr<UserHost> MakeDesktopUser(Player& player);
// Headless: the answer files, in order; a question without an answer takes
// the box's default button or cancels the dialog.
std::unique_ptr<UserHost> MakeScriptedUser(Player& player, const PlayerOptions& options);

}  // namespace morvane
