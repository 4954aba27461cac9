#include "player/automation/input_steps.h"

#include "player/events/key_names.h"

#include <charconv>
#include <optional>
#include <sstream>

namespace morvane {
namespace {

std::optional<int> Int(const std::string& text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<MouseButton> Button(const std::string& text) {
  if (text.empty() || text == "left") return MouseButton::kLeft;
  if (text == "right") return MouseButton::kRight;
  if (text == "middle") return MouseButton::kMiddle;
  return std::nullopt;
}

bool IsModifier(const std::string& word) {
  return word == "shift" || word == "ctrl" || word == "alt";
}

// The reason a line is refused, or empty.
std::string ParseLine(const std::string& line, InputStep& step) {
  std::istringstream in(line);
  std::string verb;
  in >> verb;
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  auto rest = [&]() {
    size_t at = line.find(verb) + verb.size();
    if (at < line.size() && line[at] == ' ') ++at;
    return line.substr(at);
  };
  auto point = [&](size_t max_words) -> std::string {
    if (words.size() < 2 || words.size() > max_words) return "expected X Y";
    std::optional<int> x = Int(words[0]), y = Int(words[1]);
    if (!x || !y) return "coordinates must be whole numbers";
    step.x = *x;
    step.y = *y;
    if (words.size() == 3) {
      std::optional<MouseButton> b = Button(words[2]);
      if (!b) return "unknown button '" + words[2] + "'";
      step.button = *b;
    }
    return "";
  };
  if (verb == "wait") {
    step.action = InputAction::kWait;
    std::optional<int> ms = words.size() == 1 ? Int(words[0]) : std::nullopt;
    if (!ms || *ms < 0) return "expected wait MS";
    step.amount = *ms;
    return "";
  }
  if (verb == "until") {
    step.action = InputAction::kUntil;
    if (words.empty() || words.size() > 2) return "expected until EVENT [N]";
    step.text = words[0];
    std::optional<int> n = words.size() == 2 ? Int(words[1]) : 1;
    if (!n || *n < 1) return "expected a positive count";
    step.amount = *n;
    return "";
  }
  if (verb == "move") return step.action = InputAction::kMove, point(2);
  if (verb == "press") return step.action = InputAction::kPress, point(3);
  if (verb == "release") return step.action = InputAction::kRelease, point(3);
  if (verb == "click") return step.action = InputAction::kClick, point(3);
  if (verb == "dblclick") return step.action = InputAction::kDoubleClick, point(3);
  if (verb == "wheel") {
    step.action = InputAction::kWheel;
    if (words.empty() || words.size() > 2 || (words[0] != "up" && words[0] != "down")) {
      return "expected wheel up|down [N]";
    }
    std::optional<int> n = words.size() == 2 ? Int(words[1]) : 1;
    if (!n || *n < 1) return "expected a positive count";
    step.amount = words[0] == "up" ? *n : -*n;
    return "";
  }
  if (verb == "key") {
    step.action = InputAction::kKey;
    if (words.empty()) return "expected key NAME";
    // A name may hold a blank ("NUM LOCK"): it is every word before the
    // first modifier.
    size_t i = 1;
    step.text = words[0];
    for (; i < words.size() && !IsModifier(words[i]); ++i) step.text += " " + words[i];
    KeyPress press;
    if (std::string why = KeyOfName(step.text, press); !why.empty()) return why;
    step.key = press.qt_key;
    step.keypad = press.keypad;
    for (; i < words.size(); ++i) {
      if (words[i] == "shift")
        step.shift = true;
      else if (words[i] == "ctrl")
        step.ctrl = true;
      else if (words[i] == "alt")
        step.alt = true;
      else
        return "unknown modifier '" + words[i] + "'";
    }
    return "";
  }
  if (verb == "type") return step.action = InputAction::kType, step.text = rest(), "";
  if (verb == "shot") {
    step.action = InputAction::kShot;
    if (words.size() != 1 || words[0].find('/') != std::string::npos || words[0] == "." ||
        words[0] == "..") {
      return "expected shot NAME (a file name)";
    }
    step.text = words[0];
    return "";
  }
  return "unknown step '" + verb + "'";
}

}  // namespace

InputScript ParseInputSteps(const std::string& text) {
  InputScript script;
  std::istringstream in(text);
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    line = line.substr(first);
    InputStep step;
    step.line = number;
    std::string error = ParseLine(line, step);
    if (!error.empty()) {
      script.error = "line " + std::to_string(number) + ": " + error;
      script.steps.clear();
      return script;
    }
    script.steps.push_back(std::move(step));
  }
  return script;
}

}  // namespace morvane
