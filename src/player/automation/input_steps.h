#pragma once

// The steps of an --input file, one per line:
//
//   wait MS | move X Y | press X Y [left|right|middle] | release X Y [button]
//   click X Y [button] | dblclick X Y | wheel up|down [N]
//   key NAME [shift] [ctrl] [alt] | type TEXT | shot NAME
//
// Coordinates are in the current page's client area. Empty lines and lines
// starting with "#" are skipped. A key NAME is a shortcut key name, a single
// character or a Qt key name (KeyOfName); a name that is none refuses the
// line.

#include <string>
#include <variant>
#include <vector>

namespace morvane {

enum class InputAction {
  kWait,
  kUntil,  // wait until the trace has had N events of that name
  kMove,
  kPress,
  kRelease,
  kClick,
  kDoubleClick,
  kWheel,
  kKey,
  kType,
  kShot
};
enum class MouseButton { kLeft, kRight, kMiddle };

struct InputStep {
  InputAction action = InputAction::kWait;
  int line = 0;
  int x = 0, y = 0;  // move, press, release, click, dblclick
  int amount = 0;    // wait: ms; wheel: notches, negative for down; until: count
  MouseButton button = MouseButton::kLeft;
  std::string text;  // key: name; type: text; shot: picture name; until: event
  int key = 0;       // key: the Qt key the name stands for
  bool keypad = false;
  bool shift = false, ctrl = false, alt = false;
};

struct InputScript {
  std::vector<InputStep> steps;
  std::string error;  // "line N: ..." for the first bad line
};

InputScript ParseInputSteps(const std::string& text);

}  // namespace morvane
