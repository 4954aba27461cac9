#pragma once

// `TValues`: the one store of script variables. Three separate name spaces
// (numbers, strings, truth values) of variables that exist from their first
// read or write until the process ends.
//
// Names are canonical before use: spaces removed, A-Z lowered, and one index
// in square brackets evaluated as a numeric expression and rounded (halves to
// even), so "A [1+1]" and "a[2]" are one variable. Reading a missing variable
// creates it with 0, "" or false.
//
// Thread-safe. The lock is never held while an index is evaluated: that
// evaluation reads the store itself.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace morvane {

// Evaluates the index text of an array name. Raises EvalError on failure.
class IndexEvaluator {
 public:
  virtual ~IndexEvaluator() = default;
  virtual double EvaluateIndex(std::string_view text) = 0;
  // EvaluateIndex with nothing where it raises EvalError.
  virtual std::optional<double> TryEvaluateIndex(std::string_view text);
};

// A name as written, taken apart as the store takes it: spaces dropped and
// ASCII letters lowered; from the first "[" on, an index whose text ends one
// character before the end, the last character being taken for the closing
// bracket whatever it is.
struct WrittenName {
  std::string name;  // without the index
  bool indexed = false;
  std::string index_text;  // the index unevaluated, lowered
};
WrittenName SplitWrittenName(std::string_view written);

class TValues {
 public:
  enum class Kind { kNumber, kString, kBoolean };

  TValues() = default;
  TValues(const TValues&) = delete;
  TValues& operator=(const TValues&) = delete;

  // The evaluator for indexes of the calls that do not name one. Without any,
  // an index must be plain number text.
  void SetIndexEvaluator(IndexEvaluator* evaluator);
  IndexEvaluator* GetIndexEvaluator() const;

  // `name` as the script wrote it, without its prefix character. All raise
  // EvalError when the name holds an index that does not evaluate; the store
  // is then unchanged.
  double GetNumber(std::string_view name, IndexEvaluator* evaluator = nullptr);
  std::string GetString(std::string_view name, IndexEvaluator* evaluator = nullptr);
  bool GetBoolean(std::string_view name, IndexEvaluator* evaluator = nullptr);
  void SetNumber(std::string_view name, double value, IndexEvaluator* evaluator = nullptr);
  void SetString(std::string_view name, std::string_view value,
                 IndexEvaluator* evaluator = nullptr);
  void SetBoolean(std::string_view name, bool value, IndexEvaluator* evaluator = nullptr);
  // The reads, with nothing where they raise EvalError.
  std::optional<double> TryGetNumber(std::string_view name, IndexEvaluator* evaluator = nullptr);
  std::optional<std::string> TryGetString(std::string_view name,
                                          IndexEvaluator* evaluator = nullptr);
  std::optional<bool> TryGetBoolean(std::string_view name, IndexEvaluator* evaluator = nullptr);

  // The canonical form of a name.
  std::string CanonicalName(std::string_view name, IndexEvaluator* evaluator = nullptr) const;
  // Nothing when the index does not evaluate.
  std::optional<std::string> TryCanonicalName(std::string_view name,
                                              IndexEvaluator* evaluator = nullptr) const;

  // Direct access for evaluators that resolve a name once and read it often.
  // The place of a canonical name, created with the default as a read would
  // create it; call with the lock held. A place stays valid as long as the
  // store (variables are never removed), and is read or written only under
  // the lock.
  std::unique_lock<std::mutex> Lock() const { return std::unique_lock(m_mutex); }
  double* NumberPlace(std::string_view canonical_name);
  std::string* StringPlace(std::string_view canonical_name);
  bool* BooleanPlace(std::string_view canonical_name);

  // The variables of each kind in the order they were created.
  std::vector<std::pair<std::string, double>> Numbers() const;
  std::vector<std::pair<std::string, std::string>> Strings() const;
  std::vector<std::pair<std::string, bool>> Booleans() const;
  // The string variables in the order they were created, without a copy of
  // them; `visit` runs under the lock and must not use the store.
  void VisitStrings(
      const std::function<void(const std::string& name, const std::string& value)>& visit) const;

  // The most all string values together may hold; 0, the default: no bound.
  // A string write that would pass it raises ScriptError "Out of memory" and
  // leaves the store as it was.
  void SetStringBudget(size_t bytes);
  // What all string values hold together.
  size_t StringBytes() const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  template <typename T>
  struct Space {
    // Entries in creation order; a deque keeps them in place as it grows.
    std::deque<std::pair<std::string, T>> entries;
    std::unordered_map<std::string, size_t, Hash, std::equal_to<>> index;
  };

  // Runs `use` on the entry of the canonical name, created with `fallback`
  // when missing, under the lock.
  template <typename T>
  static T* Place(Space<T>& space, std::string_view canonical_name, const T& fallback);

  template <typename T>
  std::optional<T> TryGet(Space<T>& space, std::string_view name, IndexEvaluator* evaluator);

  template <typename T, typename Use>
  auto WithEntry(Space<T>& space, std::string_view name, IndexEvaluator* evaluator,
                 const T& fallback, Use&& use);

  IndexEvaluator* m_index_evaluator = nullptr;
  mutable std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  Space<double> m_numbers;
  Space<std::string> m_strings;
  Space<bool> m_booleans;
  size_t m_string_budget = 0;
  size_t m_string_bytes = 0;
};

}  // namespace morvane
