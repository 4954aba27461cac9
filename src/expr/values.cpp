#include "expr/values.h"

#include <algorithm>

#include "expr/eval_error.h"
#include "util/ascii_case.h"
#include "util/number_text.h"

namespace morvane {
namespace {

// Whether the name is canonical as it stands: no space, no upper-case letter,
// no index. Most names are, and they need no copy.
bool IsPlainCanonical(std::string_view name) {
  for (char c : name) {
    if (c == ' ' || c == '[' || (c >= 'A' && c <= 'Z')) return false;
  }
  return true;
}

}  // namespace

void TValues::SetIndexEvaluator(IndexEvaluator* evaluator) {
  std::lock_guard lock(m_mutex);
  m_index_evaluator = evaluator;
}

IndexEvaluator* TValues::GetIndexEvaluator() const {
  std::lock_guard lock(m_mutex);
  return m_index_evaluator;
}

std::optional<double> IndexEvaluator::TryEvaluateIndex(std::string_view text) {
  try {
    return EvaluateIndex(text);
  } catch (const EvalError&) {
    return std::nullopt;
  }
}

std::string TValues::CanonicalName(std::string_view name, IndexEvaluator* evaluator) const {
  std::optional<std::string> canonical = TryCanonicalName(name, evaluator);
  if (!canonical) throw EvalError();
  return std::move(*canonical);
}

WrittenName SplitWrittenName(std::string_view written) {
  WrittenName parts;
  std::string& canonical = parts.name;
  canonical.reserve(written.size());
  for (char c : written) {
    if (c == ' ') continue;
    canonical.push_back(AsciiToLower(c));
  }
  const size_t open = canonical.find('[');
  if (open == std::string::npos) return parts;
  parts.indexed = true;
  const size_t after = canonical.size() - open - 1;
  parts.index_text = canonical.substr(open + 1, after > 0 ? after - 1 : 0);
  canonical.resize(open);
  return parts;
}

std::optional<std::string> TValues::TryCanonicalName(std::string_view name,
                                                     IndexEvaluator* evaluator) const {
  WrittenName parts = SplitWrittenName(name);
  if (!parts.indexed) return std::move(parts.name);
  IndexEvaluator* use = evaluator ? evaluator : GetIndexEvaluator();
  // Before any evaluator exists only plain numbers can be indexes.
  const std::optional<double> value =
      use ? use->TryEvaluateIndex(parts.index_text) : TextToFloat(parts.index_text);
  if (!value) return std::nullopt;
  const std::optional<int64_t> index = RoundHalfEven(*value);
  if (!index) return std::nullopt;
  std::string canonical = std::move(parts.name);
  canonical += '[';
  canonical += std::to_string(*index);
  canonical += ']';
  return canonical;
}

template <typename T>
T* TValues::Place(Space<T>& space, std::string_view canonical_name, const T& fallback) {
  auto it = space.index.find(canonical_name);
  if (it == space.index.end()) {
    space.entries.emplace_back(std::string(canonical_name), fallback);
    it = space.index.emplace(std::string(canonical_name), space.entries.size() - 1).first;
  }
  return &space.entries[it->second].second;
}

double* TValues::NumberPlace(std::string_view canonical_name) {
  return Place(m_numbers, canonical_name, 0.0);
}

std::string* TValues::StringPlace(std::string_view canonical_name) {
  return Place(m_strings, canonical_name, std::string());
}

bool* TValues::BooleanPlace(std::string_view canonical_name) {
  return Place(m_booleans, canonical_name, false);
}

template <typename T, typename Use>
auto TValues::WithEntry(Space<T>& space, std::string_view name, IndexEvaluator* evaluator,
                        const T& fallback, Use&& use) {
  std::string owned;
  if (!IsPlainCanonical(name)) {
    owned = CanonicalName(name, evaluator);
    name = owned;
  }
  std::lock_guard lock(m_mutex);
  return use(*Place(space, name, fallback));
}

template <typename T>
std::optional<T> TValues::TryGet(Space<T>& space, std::string_view name,
                                 IndexEvaluator* evaluator) {
  std::optional<std::string> owned;
  if (!IsPlainCanonical(name)) {
    owned = TryCanonicalName(name, evaluator);
    if (!owned) return std::nullopt;
    name = *owned;
  }
  std::lock_guard lock(m_mutex);
  return *Place(space, name, T());
}

std::optional<double> TValues::TryGetNumber(std::string_view name, IndexEvaluator* evaluator) {
  return TryGet(m_numbers, name, evaluator);
}

std::optional<std::string> TValues::TryGetString(std::string_view name, IndexEvaluator* evaluator) {
  return TryGet(m_strings, name, evaluator);
}

std::optional<bool> TValues::TryGetBoolean(std::string_view name, IndexEvaluator* evaluator) {
  return TryGet(m_booleans, name, evaluator);
}

double TValues::GetNumber(std::string_view name, IndexEvaluator* evaluator) {
  return WithEntry(m_numbers, name, evaluator, 0.0, [](double& v) { return v; });
}

std::string TValues::GetString(std::string_view name, IndexEvaluator* evaluator) {
  return WithEntry(m_strings, name, evaluator, std::string(),
                   [](std::string& v) { return std::string(v); });
}

bool TValues::GetBoolean(std::string_view name, IndexEvaluator* evaluator) {
  return WithEntry(m_booleans, name, evaluator, false, [](bool& v) { return v; });
}

void TValues::SetNumber(std::string_view name, double value, IndexEvaluator* evaluator) {
  WithEntry(m_numbers, name, evaluator, value, [&](double& v) { v = value; });
}

void TValues::SetString(std::string_view name, std::string_view value, IndexEvaluator* evaluator) {
  WithEntry(m_strings, name, evaluator, std::string(), [&](std::string& v) {
    const size_t others = m_string_bytes - v.size();
    if (m_string_budget && value.size() > m_string_budget - std::min(others, m_string_budget))
      throw ScriptError("Out of memory");
    v.assign(value.data(), value.size());
    m_string_bytes = others + v.size();
  });
}

void TValues::SetBoolean(std::string_view name, bool value, IndexEvaluator* evaluator) {
  WithEntry(m_booleans, name, evaluator, value, [&](bool& v) { v = value; });
}

std::vector<std::pair<std::string, double>> TValues::Numbers() const {
  std::lock_guard lock(m_mutex);
  return {m_numbers.entries.begin(), m_numbers.entries.end()};
}

std::vector<std::pair<std::string, std::string>> TValues::Strings() const {
  std::lock_guard lock(m_mutex);
  return {m_strings.entries.begin(), m_strings.entries.end()};
}

void TValues::VisitStrings(
    const std::function<void(const std::string& name, const std::string& value)>& visit) const {
  std::lock_guard lock(m_mutex);
  for (const auto& [name, value] : m_strings.entries) visit(name, value);
}

void TValues::SetStringBudget(size_t bytes) {
  std::lock_guard lock(m_mutex);
  m_string_budget = bytes;
}

size_t TValues::StringBytes() const {
  std::lock_guard lock(m_mutex);
  return m_string_bytes;
}

std::vector<std::pair<std::string, bool>> TValues::Booleans() const {
  std::lock_guard lock(m_mutex);
  return {m_booleans.entries.begin(), m_booleans.entries.end()};
}

}  // namespace morvane
