#pragma once

// The numeric and string evaluators over one variable store and one
// environment.
//
// Numeric expressions work by substitution on the text: "()" removed, named
// constants (#__OK ... #__CONTINUE) replaced, built-in calls ("@" code "%"
// and arguments) replaced by number text in a fixed order of codes, then the
// "#", "!" and "$" references; what is left is computed by engine A (no "@" in
// the text) or engine B. Every failure is EvalError ("Parsing integer
// failed.").
//
// String expressions are operands joined by "+" outside quotes and
// parentheses: "literal", $var, #var, !var or a string function call such as
// 3("ABC"). Every result, at every level, goes through the macro and escape
// step. Errors of files, lists and the registry keep their own messages.
//
// Two implementations give the same results: the reference does literally
// what the rules say, rebuilding the text at every step; the fast one parses
// each text once, keeps the parsed form in a bounded cache, and hands what it
// does not handle to the reference. Thread-safe.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "expr/environment.h"
#include "expr/values.h"

namespace morvane {

enum class EvalMode { kReference, kFast };

// Whether a built-in function of that code exists.
bool IsNumericFunctionCode(int code);
bool IsStringFunctionCode(int code);

class Evaluator : public IndexEvaluator {
 public:
  // Becomes the store's index evaluator when the store has none yet.
  Evaluator(TValues& values, Environment& environment, EvalMode mode = EvalMode::kFast);
  ~Evaluator() override;
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;

  double Number(std::string_view text);
  // Number, with nothing where Number raises EvalError: the same evaluation
  // with the same effects on the store, for callers that only ask whether a
  // text is numeric. The common failure, text that is no expression, costs
  // no exception.
  std::optional<double> TryNumber(std::string_view text);
  std::string String(std::string_view text);

  double EvaluateIndex(std::string_view text) override { return Number(text); }
  std::optional<double> TryEvaluateIndex(std::string_view text) override { return TryNumber(text); }

  TValues& values() { return m_values; }
  Environment& environment() { return m_environment; }
  EvalMode mode() const { return m_mode; }

  // How many evaluations the fast path handed to the reference, and how many
  // it did itself (for tests and benchmarks).
  struct FastStats {
    uint64_t fast = 0;
    uint64_t fallback = 0;
  };
  FastStats fast_stats() const;

  struct FastCache;  // expr/fast_path.h
  FastCache* fast_cache() { return m_cache.get(); }

 private:
  TValues& m_values;
  Environment& m_environment;
  EvalMode m_mode;
  std::unique_ptr<FastCache> m_cache;
};

}  // namespace morvane
