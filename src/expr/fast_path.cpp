// The fast evaluators: each text is taken apart once and the plan kept; what
// a plan cannot express goes to the reference, which the plans must match
// result for result (tests/unit/expr/differential_test.cpp).

#include "expr/fast_path.h"

#include <cmath>

#include "expr/engine_b.h"
#include "expr/eval_error.h"
#include "expr/eval_internal.h"
#include "expr/eval_limits.h"
#include "util/ascii_case.h"
#include "util/number_text.h"
#include "util/quoted_text.h"

namespace morvane::expr_detail {
namespace {

using Plan = NumericPlan;

std::shared_ptr<const Plan> CompileNumeric(std::string_view text) {
  auto plan = std::make_shared<Plan>();
  const std::string t = PrepareNumericText(text);
  if (t.find_first_of("\"$") != std::string::npos) return plan;
  if (t.find('@') == std::string::npos) {
    std::optional<EngineAProgram> program = EngineAProgram::Compile(t, &plan->holes);
    if (!program) return plan;
    plan->nesting = program->nesting();
    plan->program = std::move(program);
    for (char prefix : {'#', '!'}) {
      for (uint32_t i = 0; i < plan->holes.size(); ++i) {
        if (plan->holes[i].prefix == prefix) plan->read_order.push_back(i);
      }
    }
    plan->kind = Plan::Kind::kEngineA;
    return plan;
  }

  // Every "@" must begin a call of a known code whose arguments hold no
  // further call; then the calls are independent of each other.
  size_t done = 0;
  for (size_t at = t.find('@'); at != std::string::npos; at = t.find('@', done)) {
    size_t digits_end = at + 1;
    while (digits_end < t.size() && t[digits_end] >= '0' && t[digits_end] <= '9') ++digits_end;
    if (digits_end == at + 1 || digits_end - at > 4 || digits_end >= t.size() ||
        t[digits_end] != '%')
      return std::make_shared<Plan>();
    const std::string digits = t.substr(at + 1, digits_end - at - 1);
    const int code = std::stoi(digits);
    // "@01%" is no call of code 1: the phase looks for "@1%".
    if (std::to_string(code) != digits) return std::make_shared<Plan>();
    const Arity arity = NumericArity(code);
    // The clipboard is inserted as text that could hold anything.
    if (arity == Arity::kUnknown || code == 16 || RunsToEnd(code)) return std::make_shared<Plan>();
    Plan::Call call;
    call.code = code;
    size_t end = digits_end + 1;
    if (arity == Arity::kSome) {
      const size_t close = t.find(')', at);
      const size_t open = t.find('(', at);
      if (close == std::string::npos || open == std::string::npos || open > close)
        return std::make_shared<Plan>();
      // No other call may begin inside this call's text.
      const size_t next_call = t.find('@', at + 1);
      if (next_call != std::string::npos && next_call < close) return std::make_shared<Plan>();
      const std::string_view argument_text = std::string_view(t).substr(open + 1, close - open - 1);
      for (std::string_view argument :
           SplitStringArguments(argument_text, NumericArgumentCount(code))) {
        call.arguments.emplace_back(argument);
      }
      end = close + 1;
    }
    plan->pieces.push_back(t.substr(done, at - done));
    call.text = t.substr(at, end - at);
    plan->calls.push_back(std::move(call));
    done = end;
  }
  plan->pieces.push_back(t.substr(done));

  // The function phase's order: codes without arguments first, each code's
  // calls in text order; a call whose text equals an earlier one of its code
  // (ignoring case for code 48) takes its value.
  for (const std::vector<int>* order : {&NoArgumentOrder(), &ArgumentOrder()}) {
    for (int code : *order) {
      for (size_t i = 0; i < plan->calls.size(); ++i) {
        Plan::Call& call = plan->calls[i];
        if (call.code != code) continue;
        bool shared = false;
        for (size_t j : plan->call_order) {
          const Plan::Call& earlier = plan->calls[j];
          if (earlier.code == code && (code == 48 ? EqualsIgnoreCase(earlier.text, call.text)
                                                  : earlier.text == call.text)) {
            call.group = earlier.group;
            shared = true;
            break;
          }
        }
        if (!shared) call.group = plan->group_count++;
        plan->call_order.push_back(i);
      }
    }
  }
  plan->kind = Plan::Kind::kEngineB;
  return plan;
}

template <typename Map, typename Make>
auto CachedPlan(Evaluator::FastCache& cache, Map& map, std::string_view text, Make&& make) {
  {
    std::lock_guard lock(cache.mutex);
    const auto it = map.find(text);
    if (it != map.end()) return it->second;
  }
  auto plan = make(text);
  std::lock_guard lock(cache.mutex);
  if (map.size() >= Evaluator::FastCache::kMaxPlans) map.clear();
  map.emplace(std::string(text), plan);
  return plan;
}

// Nothing when the plan cannot give the reference's result.
std::optional<double> RunEngineA(Evaluator& ev, const Plan& plan) {
  constexpr size_t kInline = 16;
  long double inline_values[kInline];
  std::vector<long double> heap;
  long double* values = inline_values;
  if (plan.holes.size() > kInline) {
    heap.resize(plan.holes.size());
    values = heap.data();
  }
  bool finite = true;
  for (uint32_t i : plan.read_order) {
    const EngineAHole& hole = plan.holes[i];
    if (hole.prefix == '#') {
      const double value = ev.values().GetNumber(hole.name, &ev);
      finite &= std::isfinite(value);
      values[i] = finite ? EngineAOperandOf(value) : 0;
    } else {
      values[i] = ev.values().GetBoolean(hole.name, &ev) ? 1 : 0;
    }
  }
  // Number text of no number. The reference reads the same variables again,
  // which changes nothing.
  if (!finite) return std::nullopt;
  // The reference parses the substituted text here, one level per group.
  if (DepthGuard::Current() + plan.nesting > kMaxEvalDepth) throw EvalError();
  const std::optional<double> result = plan.program->Run(values);
  if (!result) throw EvalError();
  return *result;
}

double EngineBCached(Evaluator& ev, const std::string& t) {
  Evaluator::FastCache& cache = *ev.fast_cache();
  // Without groups engine B nests only a few levels, so its result does not
  // depend on how deep this evaluation already is.
  const bool cacheable =
      t.find('(') == std::string::npos && DepthGuard::Current() + 8 < kMaxEvalDepth;
  if (cacheable) {
    std::lock_guard lock(cache.mutex);
    const auto it = cache.engine_b.find(t);
    if (it != cache.engine_b.end()) {
      if (!it->second) throw EvalError();
      return *it->second;
    }
  }
  std::optional<double> result;
  try {
    result = EvaluateEngineB(t);
  } catch (const EvalError&) {
  }
  if (cacheable) {
    std::lock_guard lock(cache.mutex);
    if (cache.engine_b.size() >= Evaluator::FastCache::kMaxResults) cache.engine_b.clear();
    cache.engine_b.emplace(t, result);
  }
  if (!result) throw EvalError();
  return *result;
}

std::optional<double> RunEngineB(Evaluator& ev, const Plan& plan) {
  std::vector<std::string> values(plan.group_count);
  std::vector<bool> known(plan.group_count, false);
  for (size_t i : plan.call_order) {
    const Plan::Call& call = plan.calls[i];
    if (known[call.group]) continue;
    std::vector<std::string_view> arguments(call.arguments.begin(), call.arguments.end());
    values[call.group] = CallNumericFunction(ev, call.code, arguments);
    known[call.group] = true;
  }
  std::string t;
  for (size_t i = 0; i < plan.pieces.size(); ++i) {
    t += plan.pieces[i];
    if (i < plan.calls.size()) t += values[plan.calls[i].group];
  }
  SubstituteVariables(ev, t);
  return EngineBCached(ev, t);
}

std::shared_ptr<const StringPlan> CompileString(std::string_view text) {
  auto plan = std::make_shared<StringPlan>();
  std::vector<std::string_view> pieces;
  std::string_view rest = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  for (;;) {
    const size_t plus = FindOutsideQuotesAndParens(rest, '+');
    if (plus == std::string_view::npos) {
      pieces.push_back(rest);
      break;
    }
    pieces.push_back(rest.substr(0, plus));
    rest = rest.substr(plus + 1);
    rest = rest.substr(std::min(rest.find_first_not_of(' '), rest.size()));
  }
  using Kind = StringPlan::Operand::Kind;
  for (std::string_view s : pieces) {
    StringPlan::Operand operand;
    if (s.empty()) {
      operand.kind = Kind::kEmpty;
    } else if (s[0] == '"') {
      operand.kind = Kind::kLiteral;
      operand.text = s.size() >= 2 ? std::string(s.substr(1, s.size() - 2)) : std::string();
      operand.literal_is_final = ResultStepIsIdentity(operand.text);
    } else if (s[0] == '$' || s[0] == '#' || s[0] == '!') {
      operand.kind = s[0] == '$' ? Kind::kString : s[0] == '#' ? Kind::kNumber : Kind::kBoolean;
      operand.text = std::string(s.substr(1));
    } else {
      const size_t open = s.find('(');
      const std::string_view code_text = s.substr(0, open);
      int code = -1;
      if (!code_text.empty() && code_text.size() <= 2 &&
          code_text.find_first_not_of("0123456789") == std::string_view::npos &&
          !(code_text.size() == 2 && code_text[0] == '0')) {
        code = std::stoi(std::string(code_text));
      }
      if (!IsStringFunction(code)) {
        operand.kind = Kind::kEmpty;
      } else {
        operand.kind = Kind::kCall;
        operand.code = code;
        std::string_view argument_text;
        if (open != std::string_view::npos) {
          const size_t close = FindOutsideQuotes(s, ')', open + 1);
          argument_text =
              s.substr(open + 1,
                       close == std::string_view::npos ? std::string_view::npos : close - open - 1);
        }
        for (std::string_view argument :
             SplitStringArguments(argument_text, StringArgumentCount(code))) {
          operand.arguments.emplace_back(argument);
        }
      }
    }
    plan->operands.push_back(std::move(operand));
  }
  return plan;
}

// The operand's value after its own result step.
std::string OperandValue(Evaluator& ev, const StringPlan::Operand& operand) {
  using Kind = StringPlan::Operand::Kind;
  switch (operand.kind) {
    case Kind::kEmpty:
      return "";
    case Kind::kLiteral:
      return operand.literal_is_final ? operand.text : ResultStep(ev.environment(), operand.text);
    case Kind::kString:
      return ResultStep(ev.environment(), ev.values().GetString(operand.text, &ev));
    case Kind::kNumber:
      return FloatToText(ev.values().GetNumber(operand.text, &ev));
    case Kind::kBoolean:
      return ev.values().GetBoolean(operand.text, &ev) ? "True" : "False";
    case Kind::kCall: {
      std::vector<std::string_view> arguments(operand.arguments.begin(), operand.arguments.end());
      return ResultStep(ev.environment(),
                        CallStringFunction(ev, operand.code, arguments, std::string_view()));
    }
  }
  return "";
}

}  // namespace

std::unique_ptr<Evaluator::FastCache> MakeFastCache() {
  return std::make_unique<Evaluator::FastCache>();
}

double NumberFast(Evaluator& ev, std::string_view text) {
  Evaluator::FastCache& cache = *ev.fast_cache();
  const std::shared_ptr<const Plan> plan =
      CachedPlan(cache, cache.numeric, text, [](std::string_view t) -> std::shared_ptr<const Plan> {
        try {
          return CompileNumeric(t);
        } catch (const EvalError&) {
          return std::make_shared<Plan>();
        }
      });
  std::optional<double> result;
  if (plan->kind != Plan::Kind::kReference) {
    DepthGuard guard;  // the level the reference would take
    result = plan->kind == Plan::Kind::kEngineA ? RunEngineA(ev, *plan) : RunEngineB(ev, *plan);
  }
  if (result) {
    cache.fast.fetch_add(1, std::memory_order_relaxed);
    return *result;
  }
  cache.fallback.fetch_add(1, std::memory_order_relaxed);
  return NumberReference(ev, text);
}

std::string StringFast(Evaluator& ev, std::string_view text) {
  Evaluator::FastCache& cache = *ev.fast_cache();
  const std::shared_ptr<const StringPlan> plan =
      CachedPlan(cache, cache.strings, text, [](std::string_view t) { return CompileString(t); });
  DepthGuard guard;
  Environment& env = ev.environment();
  const std::vector<StringPlan::Operand>& operands = plan->operands;
  std::string result = OperandValue(ev, operands.back());
  for (size_t i = operands.size() - 1; i-- > 0;) {
    std::string left = OperandValue(ev, operands[i]);
    left += result;
    result = ResultStep(env, std::move(left));
  }
  cache.fast.fetch_add(1, std::memory_order_relaxed);
  return result;
}

}  // namespace morvane::expr_detail
