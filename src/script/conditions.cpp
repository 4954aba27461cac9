#include "script/conditions.h"

#include "expr/eval_error.h"
#include "expr/evaluator.h"

namespace morvane {
namespace {

// The trial evaluation: a full numeric evaluation, effects and all, whose
// failure only means the text is not numeric.
bool IsNumber(std::string_view text, Evaluator& evaluator) {
  return evaluator.TryNumber(text).has_value();
}

}  // namespace

void Tifclause::Read(const ConditionLine& line) {
  if (line.has_groups) groups = &line.groups;
  if (line.all) all = *line.all;
}

int EvaluateGroup(const ConditionGroup& group, Evaluator& evaluator) {
  if (group.op == CompareOp::kNone) return -1;
  // The trial evaluations only decide the kind; the comparison evaluates
  // each operand again.
  const bool numeric = IsNumber(group.left, evaluator) && IsNumber(group.right, evaluator);
  if (numeric) {
    const double left = evaluator.Number(group.left);
    const double right = evaluator.Number(group.right);
    switch (group.op) {
      case CompareOp::kLess:
        return left < right;
      case CompareOp::kGreater:
        return left > right;
      case CompareOp::kEqual:
        return left == right;
      case CompareOp::kLessEqual:
        return left <= right;
      case CompareOp::kGreaterEqual:
        return left >= right;
      case CompareOp::kNotEqual:
        return left != right;
      case CompareOp::kNone:
        break;
    }
    return -1;
  }
  const std::string left = evaluator.String(group.left);
  const std::string right = evaluator.String(group.right);
  switch (group.op) {
    case CompareOp::kEqual:
      return left == right;
    case CompareOp::kNotEqual:
      return left != right;
    case CompareOp::kGreater:
      // char_traits<char> compares bytes as unsigned; a proper prefix sorts first.
      return left.compare(right) > 0;
    case CompareOp::kLess:
      throw ScriptError("");
    case CompareOp::kLessEqual:
    case CompareOp::kGreaterEqual:
    case CompareOp::kNone:
      break;
  }
  return 0;
}

int EvaluateClause(const Tifclause& clause, Evaluator& evaluator) {
  if (!clause.groups || clause.groups->empty()) return 0;
  if (clause.all) {
    for (const ConditionGroup& group : *clause.groups) {
      if (EvaluateGroup(group, evaluator) != 1) return 0;
    }
    return 1;
  }
  for (const ConditionGroup& group : *clause.groups) {
    if (EvaluateGroup(group, evaluator) == 1) return 1;
  }
  return 0;
}

}  // namespace morvane
