#pragma once

// Engine A: the precedence parser that computes numeric expressions without
// function calls. Tokens: numbers, the word operators (cmp or xor bor bxor div
// mod and shl shr band not bnot, any case), + - * / ( ) < = > <= <> >=.
// Lowest first: comparisons; + - or xor bor bxor; * / div mod and shl shr
// band; prefix + - not bnot. All binary operators are left-associative.
// Computes in extended precision.
//
// A text compiles into a small postfix program, run as often as wanted. A
// template may hold variable references ("#name", "!name") where an operand
// stands; they become holes filled at each run (expr/fast_path.cpp).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

struct EngineAHole {
  char prefix;       // '#' or '!'
  std::string name;  // as written, up to the next terminator
};

class EngineAProgram {
 public:
  enum class Op : uint8_t {
    kPush,
    kHole,
    kPlus,
    kNeg,
    kNot,
    kBnot,
    kEq,
    kNe,
    kLt,
    kLe,
    kGt,
    kGe,
    kCmp,
    kAdd,
    kSub,
    kOr,
    kXor,
    kBor,
    kBxor,
    kMul,
    kDiv,
    kIntDiv,
    kMod,
    kAnd,
    kShl,
    kShr,
    kBand,
  };
  // Where a binary operator finds its right operand: on the stack, or, when
  // that operand is a single number or hole, in the step itself.
  enum class Right : uint8_t { kStack, kValue, kHole };
  struct Step {
    Op op;
    uint32_t hole = 0;
    long double value = 0;
    Right right = Right::kStack;
  };

  // Nothing when the text is not a valid expression. With `holes`, references
  // in operand places become holes (appended in text order); a reference
  // anywhere else makes the template fail to compile.
  static std::optional<EngineAProgram> Compile(std::string_view text,
                                               std::vector<EngineAHole>* holes = nullptr);

  // The value; nothing for a failure (division by zero, an integer operand
  // out of range, a result no double can hold).
  std::optional<double> Run(const long double* hole_values = nullptr) const;

  // How deep the parser nested (groups, prefix operators): the evaluation
  // depth compiling the text again would take.
  int nesting() const { return m_nesting; }

 private:
  std::vector<Step> m_steps;
  int m_nesting = 0;
  friend class EngineAParser;
};

// Compiles and runs `text`; nothing on failure.
std::optional<double> TryEvaluateEngineA(std::string_view text);

// The value engine A reads from the number text of `value`: the written-out
// text, not the double, is what the engine sees.
long double EngineAOperandOf(double value);

// Number text read in extended precision, whatever the process locale says
// the decimal separator is. `text` must be terminated.
long double ReadExtended(const char* text);

// Extended-precision rounding to a 64-bit integer, halves to even.
std::optional<int64_t> RoundExtended(long double value);

}  // namespace morvane
