#pragma once

// `Stage`: what the core asks of the running player. Built-in functions read
// the pointer, the screen, the pages and their objects, the clipboard and the
// keyboard through it. The script layer adds message boxes, dialogs and the
// hand-over of work to the main thread; the Qt player implements it for real
// windows and ConsoleStage (console_stage.h) for the command-line tools.
//
// Calls come from any thread that evaluates expressions; an implementation
// whose state lives on one thread hands the call over and waits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

struct StagePoint {
  int32_t x = 0;
  int32_t y = 0;
};

struct StageSize {
  int32_t width = 0;
  int32_t height = 0;
};

// What expressions can learn about one page object at the moment of the call.
struct ObjectSnapshot {
  bool visible = true;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  // Sounds and videos: the volume setting and 1 playing, 2 paused, 3 stopped,
  // 0 nothing loaded. Nothing for objects without media.
  std::optional<double> media_volume;
  int32_t media_state = 0;
  // List boxes: the items and which are selected. Nothing for other objects.
  std::optional<std::vector<std::string>> list_items;
  std::vector<bool> list_selected;
};

class Stage {
 public:
  virtual ~Stage() = default;

  // The pointer in screen coordinates.
  virtual StagePoint PointerPosition() = 0;
  virtual StageSize ScreenSize() = 0;
  virtual StageSize WorkAreaSize() = 0;

  // The raw key state of a virtual-key code: negative while the key is down,
  // lowest bit the toggle state. Codes 1, 2 and 4 are the left, right and
  // middle mouse buttons.
  virtual int16_t KeyState(int32_t virtual_key) = 0;

  virtual std::string ClipboardText() = 0;

  // The process's command line; element 0 is the program's own path.
  virtual std::vector<std::string> CommandLine() = 0;

  // Pages are numbered from 1; the current page is the page of the active
  // window, 0 when there is none.
  virtual int32_t CurrentPage() = 0;
  virtual int32_t PageCount() = 0;
  // Nothing for a number outside 1 ... PageCount().
  virtual std::optional<std::string> PageName(int32_t page) = 0;
  // The number of the page of that name (compared ignoring case).
  virtual std::optional<int32_t> PageByName(std::string_view name) = 0;
  virtual std::optional<StageSize> PageClientSize(int32_t page) = 0;
  // The page window's top-left corner and its client area's, screen coordinates.
  virtual std::optional<StagePoint> PageWindowOrigin(int32_t page) = 0;
  virtual std::optional<StagePoint> PageClientOrigin(int32_t page) = 0;

  // The object "OBJ" + number on the current page; nothing when it is absent.
  virtual std::optional<ObjectSnapshot> CurrentPageObject(std::string_view number) = 0;
  // A variable that the content shown by that object keeps (a movie's
  // variables); nothing when there is no such object or no such content.
  virtual std::optional<std::string> ObjectVariable(std::string_view number,
                                                    std::string_view name) = 0;
};

}  // namespace morvane
