#pragma once

// The argument kinds of actions and object actions, evaluated in one place.
// An action asks for an argument in the kind it needs when it needs it; an
// argument may be asked for more than once (evaluation has no side effects
// a script can see), and an argument an action never asks for is never
// evaluated, so its errors never show.
//
//   S string expression        D numeric expression
//   N D rounded to the nearest integer, halves to even (a 32-bit value)
//   B N, true when greater than zero
//   C S upper-cased, read as a colour string (red + 256 green + 65536 blue)
//   F S read as a font string       P S with the path macros expanded
//   E S read as a carried event script
//   R the raw argument text, not evaluated

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "util/font_string.h"
#include "util/quoted_text.h"

namespace morvane {

class Evaluator;

// The rounded value as a 32-bit integer, or the conversion error.
int32_t ActionInteger(double value);
// The truth value of a number as B arguments read it.
bool ActionTruth(double value);

// A carried event script back in its stored form: every byte lowered by 5
// (modulo 256), then every byte 1 a carriage return.
std::string UncarryEventScript(std::string_view carried);

class ActionArgs {
 public:
  ActionArgs(Evaluator& evaluator, const ActionArguments& raw)
      : m_evaluator(evaluator), m_raw(raw) {}

  const std::string& R(size_t i) const { return m_raw[i]; }
  std::string S(size_t i);
  double D(size_t i);
  int32_t N(size_t i) { return ActionInteger(D(i)); }
  bool B(size_t i) { return ActionTruth(D(i)); }
  uint32_t C(size_t i);
  std::optional<FontSpec> F(size_t i);
  std::string P(size_t i);
  std::string E(size_t i) { return UncarryEventScript(S(i)); }

  Evaluator& evaluator() { return m_evaluator; }

 private:
  Evaluator& m_evaluator;
  const ActionArguments& m_raw;
};

// An object-action text, 7(#x+10,120), split once when its line is parsed:
// the code is the text before the first "(" as an integer, the arguments
// those of an action line.
struct ObjectActionText {
  std::optional<int32_t> code;
  // Why the code text is no integer, raised when the action runs.
  std::string code_error;
  ActionArguments arguments;
};

ObjectActionText ParseObjectActionText(std::string_view tail);

}  // namespace morvane
