#include "expr/evaluator.h"

#include "expr/eval_error.h"
#include "expr/eval_internal.h"
#include "expr/fast_path.h"

namespace morvane {

bool IsNumericFunctionCode(int code) {
  return expr_detail::NumericArity(code) != expr_detail::Arity::kUnknown;
}

bool IsStringFunctionCode(int code) {
  return expr_detail::IsStringFunction(code);
}

Evaluator::Evaluator(TValues& values, Environment& environment, EvalMode mode)
    : m_values(values), m_environment(environment), m_mode(mode) {
  if (!m_values.GetIndexEvaluator()) m_values.SetIndexEvaluator(this);
  if (m_mode == EvalMode::kFast) m_cache = expr_detail::MakeFastCache();
}

Evaluator::~Evaluator() {
  if (m_values.GetIndexEvaluator() == this) m_values.SetIndexEvaluator(nullptr);
}

double Evaluator::Number(std::string_view text) {
  std::optional<double> value;
  try {
    value = m_mode == EvalMode::kFast ? expr_detail::NumberFast(*this, text)
                                      : expr_detail::NumberReference(*this, text);
  } catch (const EvalError&) {
    throw;
  } catch (const std::exception&) {
    // Whatever failed inside, a numeric evaluation reports one error.
    throw EvalError();
  }
  if (!value) throw EvalError();
  return *value;
}

std::optional<double> Evaluator::TryNumber(std::string_view text) {
  try {
    return m_mode == EvalMode::kFast ? expr_detail::NumberFast(*this, text)
                                     : expr_detail::NumberReference(*this, text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

Evaluator::FastStats Evaluator::fast_stats() const {
  if (!m_cache) return {};
  return {m_cache->fast.load(), m_cache->fallback.load()};
}

std::string Evaluator::String(std::string_view text) {
  return m_mode == EvalMode::kFast ? expr_detail::StringFast(*this, text)
                                   : expr_detail::StringReference(*this, text);
}

}  // namespace morvane
