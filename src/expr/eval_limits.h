#pragma once

// Bounds that keep hostile or broken expressions from exhausting the stack,
// memory or time. Every one of them ends in the evaluation error.

#include <cstddef>

#include "expr/eval_error.h"

namespace morvane {

// Nesting of evaluations on one thread: parenthesised groups, function
// arguments, array indexes, string operands. Far beyond any real script.
inline constexpr int kMaxEvalDepth = 150;
// The longest text substitution may build.
inline constexpr size_t kMaxExpressionText = 1 << 20;
// How many string variables one numeric expression may substitute: a string
// whose value names itself would otherwise be substituted for ever.
inline constexpr size_t kMaxStringSubstitutions = 4096;
// Rewriting steps of engine B within one text.
inline constexpr size_t kMaxRewriteSteps = 100000;

// Counts one level of nesting for its lifetime on the current thread.
class DepthGuard {
 public:
  DepthGuard() {
    if (++s_depth > kMaxEvalDepth) {
      --s_depth;
      throw EvalError();
    }
  }
  ~DepthGuard() { --s_depth; }
  // The nesting on this thread now.
  static int Current() { return s_depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  static inline thread_local int s_depth = 0;
};

}  // namespace morvane
