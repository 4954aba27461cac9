// The fast evaluators: each text is taken apart once and the plan kept; what
// a plan cannot express goes to the reference, which the plans must match
// result for result (tests/unit/expr/differential_test.cpp).

#include "expr/fast_path.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

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

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

void* NewPlace(TValues& store, char prefix, std::string_view canonical_name) {
  switch (prefix) {
    case '#':
      return store.NumberPlace(canonical_name);
    case '!':
      return store.BooleanPlace(canonical_name);
    default:
      return store.StringPlace(canonical_name);
  }
}

// The place of an indexed reference at `index`; the store's lock is held.
void* IndexedPlace(TValues& store, const VariableRef& ref, int64_t index) {
  if (ref.last_place && ref.last_index == index) return ref.last_place;
  char digits[24];
  char* digits_end = std::to_chars(digits, digits + sizeof digits, index).ptr;
  std::string name;
  name.reserve(ref.name.size() + 2 + static_cast<size_t>(digits_end - digits));
  name += ref.name;
  name += '[';
  name.append(digits, digits_end);
  name += ']';
  ref.last_place = NewPlace(store, ref.prefix, name);
  ref.last_index = index;
  return ref.last_place;
}

// Finds the places of references in the order an evaluation reads them. The
// store stays locked between plain references and is let go while an index
// is evaluated, which reads the store itself.
class StoreReader {
 public:
  explicit StoreReader(Evaluator& ev) : m_ev(ev) {}

  // The place of `ref`, the store locked; nothing when its index does not
  // evaluate.
  void* Place(const VariableRef& ref) {
    if (!ref.indexed) {
      Lock();
      if (!ref.place) ref.place = NewPlace(m_ev.values(), ref.prefix, ref.name);
      return ref.place;
    }
    return PlaceWithIndex(ref);
  }

  void Unlock() {
    if (m_lock.owns_lock()) m_lock.unlock();
  }

 private:
  void Lock() {
    if (m_lock.owns_lock()) return;
    if (!m_lock.mutex()) {
      m_lock = m_ev.values().Lock();
    } else {
      m_lock.lock();
    }
  }

  [[gnu::noinline]] void* PlaceWithIndex(const VariableRef& ref) {
    TValues& store = m_ev.values();
    // Evaluating "#i" as an index would take a level or two (a sign in the
    // number text is one) and read i as engine A reads number text. Close to
    // the limit the evaluation itself decides.
    if (ref.index_ref && DepthGuard::Current() + 2 < kMaxEvalDepth) {
      Lock();
      const double value = *static_cast<const double*>(Place(*ref.index_ref));
      if (std::isfinite(value)) {
        const long double operand = EngineAOperandOf(value);
        if (std::fabs(operand) > 1.7976931348623157e308L) return nullptr;
        const std::optional<int64_t> index = RoundHalfEven(static_cast<double>(operand));
        if (!index) return nullptr;
        return IndexedPlace(store, ref, *index);
      }
    }
    Unlock();
    const std::optional<double> value = m_ev.TryEvaluateIndex(ref.index_text);
    const std::optional<int64_t> index = value ? RoundHalfEven(*value) : std::nullopt;
    if (!index) return nullptr;
    Lock();
    return IndexedPlace(store, ref, *index);
  }

  Evaluator& m_ev;
  std::unique_lock<std::mutex> m_lock;
};

std::shared_ptr<const Plan> CompileNumeric(std::string_view text) {
  auto plan = std::make_shared<Plan>();
  const std::string t = PrepareNumericText(text);
  if (t.find_first_of("\"$") != std::string::npos) return plan;
  if (t.find('@') == std::string::npos) {
    std::vector<EngineAHole> holes;
    std::optional<EngineAProgram> program = EngineAProgram::Compile(t, &holes);
    if (!program) return plan;
    plan->nesting = program->nesting();
    plan->program = std::move(program);
    for (const EngineAHole& hole : holes)
      plan->holes.push_back(MakeVariableRef(hole.prefix, hole.name));
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
           SplitCallArguments(argument_text, NumericArgumentCount(code))) {
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
  for (Plan::Call& call : plan->calls)
    call.argument_views.assign(call.arguments.begin(), call.arguments.end());

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

// The plans this thread used last, by text, in front of the shared map: most
// evaluations find their plan here without taking the cache's lock. Slots
// for evaluations at depth zero and for nested ones are kept apart.
template <typename P>
struct RecentPlan {
  uint64_t owner = 0;  // FastCache::id
  std::string text;
  std::shared_ptr<const P> plan;
};

uint64_t Load8(const char* at) {
  uint64_t word;
  std::memcpy(&word, at, 8);
  return word;
}

// Picks a slot from the length and the first and last eight bytes; texts
// that share a slot only push each other out.
inline size_t SlotHash(std::string_view text) {
  const size_t n = text.size();
  uint64_t first = 0;
  uint64_t last = 0;
  if (n >= 8) {
    first = Load8(text.data());
    last = Load8(text.data() + n - 8);
  } else {
    for (char c : text) first = (first << 8) | static_cast<unsigned char>(c);
  }
  const uint64_t h = (first + n) * 0x9E3779B97F4A7C15ull ^ last * 0xC2B2AE3D27D4EB4Full;
  return static_cast<size_t>(h ^ (h >> 29));
}

inline bool SameText(const std::string& kept, std::string_view text) {
  const size_t n = text.size();
  if (kept.size() != n) return false;
  if (n >= 8 && n <= 16) {
    return Load8(kept.data()) == Load8(text.data()) &&
           Load8(kept.data() + n - 8) == Load8(text.data() + n - 8);
  }
  return n == 0 || std::memcmp(kept.data(), text.data(), n) == 0;
}

template <typename P>
RecentPlan<P>& RecentPlanFor(size_t hash, bool nested) {
  constexpr size_t kRecent = 64;
  thread_local std::array<RecentPlan<P>, kRecent> outer;
  thread_local std::array<RecentPlan<P>, kRecent> inner;
  return (nested ? inner : outer)[hash % kRecent];
}

// The plan for `text`. An evaluation at depth zero uses it straight from its
// slot: only another evaluation at depth zero could take that slot, and none
// begins on this thread before this one ends (it holds a DepthGuard while it
// uses the plan). A nested evaluation may share a slot with one further out
// on its own level, so it holds a reference in `hold`.
template <typename P, typename Map, typename Make>
const P* CachedPlan(Evaluator::FastCache& cache, Map& map, std::string_view text, Make&& make,
                    std::shared_ptr<const P>& hold) {
  const bool nested = DepthGuard::Current() > 0;
  RecentPlan<P>& recent = RecentPlanFor<P>(SlotHash(text), nested);
  if (recent.owner == cache.id && SameText(recent.text, text)) {
    if (nested) hold = recent.plan;
    return recent.plan.get();
  }
  std::shared_ptr<const P> plan;
  {
    std::lock_guard lock(cache.mutex);
    const auto it = map.find(text);
    if (it != map.end()) plan = it->second;
  }
  if (!plan) {
    plan = make(text);
    std::lock_guard lock(cache.mutex);
    if (map.size() >= Evaluator::FastCache::kMaxPlans) map.clear();
    map.emplace(std::string(text), plan);
  }
  if (nested) hold = plan;
  recent.owner = cache.id;
  recent.text.assign(text);
  recent.plan = std::move(plan);
  return recent.plan.get();
}

// The counters are for tests and benchmarks: a count lost when threads race
// matters less than a locked instruction on every evaluation.
void Count(std::atomic<uint64_t>& counter) {
  counter.store(counter.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

enum class Outcome { kValue, kFailed, kFallback };

// Whether engine A reads the number text of `value` as `value` itself,
// without looking at the text: whole numbers below 10^15.
bool IsPlainWhole(double value) {
  return std::fabs(value) < 1e15 && value == static_cast<double>(static_cast<int64_t>(value));
}

// kFallback when the plan cannot give the reference's result.
Outcome RunEngineA(Evaluator& ev, const Plan& plan, double& result) {
  constexpr size_t kInline = 16;
  long double inline_values[kInline];
  std::vector<long double> heap;
  long double* values = inline_values;
  if (plan.holes.size() > kInline) {
    heap.resize(plan.holes.size());
    values = heap.data();
  }
  bool finite = true;
  bool all_whole = true;
  {
    StoreReader reader(ev);
    for (uint32_t i : plan.read_order) {
      const VariableRef& hole = plan.holes[i];
      const void* place = reader.Place(hole);
      if (!place) return Outcome::kFailed;
      if (hole.prefix == '#') {
        const double number = *static_cast<const double*>(place);
        finite &= std::isfinite(number);
        all_whole &= IsPlainWhole(number);
        values[i] = number;  // exact; replaced below unless whole
      } else {
        values[i] = *static_cast<const bool*>(place) ? 1 : 0;
      }
    }
  }
  // Number text of no number. The reference reads the same variables again,
  // which changes nothing.
  if (!finite) return Outcome::kFallback;
  if (!all_whole) {
    for (uint32_t i : plan.read_order) {
      const double number = static_cast<double>(values[i]);
      if (plan.holes[i].prefix == '#' && !IsPlainWhole(number))
        values[i] = EngineAOperandOf(number);
    }
  }
  // The reference parses the substituted text here, one level per group.
  if (DepthGuard::Current() + plan.nesting > kMaxEvalDepth) return Outcome::kFailed;
  const std::optional<double> value = plan.program->Run(values);
  if (!value) return Outcome::kFailed;
  result = *value;
  return Outcome::kValue;
}

// Nothing for the evaluation error.
std::optional<double> EngineBCached(Evaluator& ev, const std::string& t) {
  Evaluator::FastCache& cache = *ev.fast_cache();
  // Without groups engine B nests only a few levels, so its result does not
  // depend on how deep this evaluation already is.
  const bool cacheable =
      t.find('(') == std::string::npos && DepthGuard::Current() + 8 < kMaxEvalDepth;
  if (cacheable) {
    std::lock_guard lock(cache.mutex);
    const auto it = cache.engine_b.find(t);
    if (it != cache.engine_b.end()) {
      return it->second;
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
  return result;
}

std::optional<double> RunEngineB(Evaluator& ev, const Plan& plan) {
  std::vector<std::string> values(plan.group_count);
  std::vector<bool> known(plan.group_count, false);
  for (size_t i : plan.call_order) {
    const Plan::Call& call = plan.calls[i];
    if (known[call.group]) continue;
    values[call.group] = CallNumericFunction(ev, call.code, call.argument_views);
    known[call.group] = true;
  }
  std::string t;
  for (size_t i = 0; i < plan.pieces.size(); ++i) {
    t += plan.pieces[i];
    if (i < plan.calls.size()) t += values[plan.calls[i].group];
  }
  if (!SubstituteVariables(ev, t)) return std::nullopt;
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
      operand.variable = MakeVariableRef(s[0], s.substr(1));
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
             SplitCallArguments(argument_text, StringArgumentCount(code))) {
          operand.arguments.emplace_back(argument);
        }
      }
    }
    plan->operands.push_back(std::move(operand));
  }
  for (StringPlan::Operand& operand : plan->operands)
    operand.argument_views.assign(operand.arguments.begin(), operand.arguments.end());
  return plan;
}

void* PlaceOrFail(StoreReader& reader, const VariableRef& ref) {
  void* place = reader.Place(ref);
  if (!place) throw EvalError();
  return place;
}

// The operand's value after its own result step.
std::string OperandValue(Evaluator& ev, const StringPlan::Operand& operand) {
  using Kind = StringPlan::Operand::Kind;
  switch (operand.kind) {
    case Kind::kEmpty:
      return "";
    case Kind::kLiteral:
      return operand.literal_is_final ? operand.text : ResultStep(ev.environment(), operand.text);
    case Kind::kString: {
      StoreReader reader(ev);
      std::string value = *static_cast<const std::string*>(PlaceOrFail(reader, operand.variable));
      reader.Unlock();
      return ResultStep(ev.environment(), std::move(value));
    }
    case Kind::kNumber: {
      StoreReader reader(ev);
      const double value = *static_cast<const double*>(PlaceOrFail(reader, operand.variable));
      reader.Unlock();
      return FloatToText(value);
    }
    case Kind::kBoolean: {
      StoreReader reader(ev);
      const bool value = *static_cast<const bool*>(PlaceOrFail(reader, operand.variable));
      reader.Unlock();
      return value ? "True" : "False";
    }
    case Kind::kCall:
      return ResultStep(
          ev.environment(),
          CallStringFunction(ev, operand.code, operand.argument_views, std::string_view()));
  }
  return "";
}

// Whether joining `values` (each after its own result step) leaves every
// result step of the joins, from the right, as it is, when the joined text
// holds no escape or marker either: then the whole is just the values one
// after another. Each join begins with the first value that is not empty.
bool JoinStartsPlain(const std::string* values, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (!values[i].empty() && values[i][0] == '[') return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<Evaluator::FastCache> MakeFastCache() {
  return std::make_unique<Evaluator::FastCache>();
}

VariableRef MakeVariableRef(char prefix, std::string_view written) {
  VariableRef ref;
  ref.prefix = prefix;
  WrittenName parts = SplitWrittenName(written);
  ref.name = std::move(parts.name);
  if (!parts.indexed) return ref;
  ref.indexed = true;
  ref.index_text = std::move(parts.index_text);
  const std::string_view index = ref.index_text;
  if (index.size() >= 2 && index[0] == '#' && index.substr(1, 2) != "__" &&
      std::all_of(index.begin() + 1, index.end(), IsNameCharacter)) {
    ref.index_ref = std::make_unique<VariableRef>(MakeVariableRef('#', index.substr(1)));
  }
  return ref;
}

std::optional<double> NumberFast(Evaluator& ev, std::string_view text) {
  Evaluator::FastCache& cache = *ev.fast_cache();
  std::shared_ptr<const Plan> hold;
  const Plan* plan = CachedPlan<Plan>(
      cache, cache.numeric, text,
      [](std::string_view t) -> std::shared_ptr<const Plan> {
        try {
          return CompileNumeric(t);
        } catch (const EvalError&) {
          return std::make_shared<Plan>();
        }
      },
      hold);
  if (plan->kind == Plan::Kind::kEngineA) {
    DepthGuard guard;  // the level the reference would take
    double result = 0;
    const Outcome outcome = RunEngineA(ev, *plan, result);
    if (outcome != Outcome::kFallback) {
      Count(cache.fast);
      if (outcome == Outcome::kFailed) return std::nullopt;
      return result;
    }
  } else if (plan->kind == Plan::Kind::kEngineB) {
    DepthGuard guard;
    const std::optional<double> result = RunEngineB(ev, *plan);
    Count(cache.fast);
    return result;
  }
  Count(cache.fallback);
  return NumberReference(ev, text);
}

std::string StringFast(Evaluator& ev, std::string_view text) {
  Evaluator::FastCache& cache = *ev.fast_cache();
  std::shared_ptr<const StringPlan> hold;
  const StringPlan* plan = CachedPlan<StringPlan>(
      cache, cache.strings, text, [](std::string_view t) { return CompileString(t); }, hold);
  DepthGuard guard;
  Environment& env = ev.environment();
  const std::vector<StringPlan::Operand>& operands = plan->operands;
  Count(cache.fast);
  const size_t count = operands.size();
  if (count == 1) return OperandValue(ev, operands[0]);
  // The reference takes the operands from the right.
  constexpr size_t kInline = 8;
  std::string inline_values[kInline];
  std::vector<std::string> heap;
  std::string* values = inline_values;
  if (count > kInline) {
    heap.resize(count);
    values = heap.data();
  }
  size_t total = 0;
  for (size_t i = count; i-- > 0;) {
    values[i] = OperandValue(ev, operands[i]);
    total += values[i].size();
  }
  if (JoinStartsPlain(values, count)) {
    std::string joined;
    joined.reserve(total);
    for (size_t i = 0; i < count; ++i) joined += values[i];
    if (!HasEscapeOrMarker(joined)) return joined;
  }
  std::string result = std::move(values[count - 1]);
  for (size_t i = count - 1; i-- > 0;) {
    std::string left = std::move(values[i]);
    left += result;
    result = ResultStep(env, std::move(left));
  }
  return result;
}

}  // namespace morvane::expr_detail

namespace morvane {

Evaluator::FastCache::FastCache()
    : id([] {
        static std::atomic<uint64_t> next{1};
        return next.fetch_add(1, std::memory_order_relaxed);
      }()) {}

}  // namespace morvane
