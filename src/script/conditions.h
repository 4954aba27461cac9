#pragma once

// The conditions of if and while lines: groups in parentheses joined by "|"
// (any) or "&" (all), each a comparison that is numeric when both operands
// evaluate as numbers and textual otherwise.

#include <vector>

#include "script/script_program.h"

namespace morvane {

class Evaluator;

// The condition record of one run, reused by every if and while line of it.
struct Tifclause {
  const std::vector<ConditionGroup>* groups = nullptr;  // nothing: no condition yet
  bool unused = false;
  bool all = false;

  // Takes what the line says: its groups when it has any, its connector when
  // it has one.
  void Read(const ConditionLine& line);
};

// 1 when the condition holds, else 0; groups after the deciding one are not
// evaluated. Raises what the evaluators raise, and an error with an empty
// message for a textual "<".
int EvaluateClause(const Tifclause& clause, Evaluator& evaluator);

// 1 true, 0 false, -1 no operator recognised (which counts as false).
int EvaluateGroup(const ConditionGroup& group, Evaluator& evaluator);

}  // namespace morvane
