#pragma once

// The parsed-once forms of the fast evaluators and their cache. Not for use
// outside src/expr.

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "expr/engine_a.h"
#include "expr/evaluator.h"

namespace morvane {

namespace expr_detail {

struct TextHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
};

// A variable reference of a plan ("#a", "$x[#i]"), resolved to its place in
// the store on first use instead of being looked up by name every time.
struct VariableRef {
  char prefix = '#';  // '#', '!' or '$'
  // Without an index the canonical name; with one, the canonical text before
  // the "[".
  std::string name;
  bool indexed = false;
  std::string index_text;  // the index expression, as the store evaluates it
  // An index that is a plain "#name" reference, read directly.
  std::unique_ptr<VariableRef> index_ref;

  // --- The following fields are protected by the store's lock; places stay
  // valid as long as the store.
  mutable void* place = nullptr;       // without an index
  mutable int64_t last_index = 0;      // with one: the index last read
  mutable void* last_place = nullptr;  // and its place
};

// The reference to the variable `written` (the name as written, without its
// prefix).
VariableRef MakeVariableRef(char prefix, std::string_view written);

// A numeric expression taken apart once.
struct NumericPlan {
  enum class Kind { kReference, kEngineA, kEngineB };
  Kind kind = Kind::kReference;

  // kEngineA: the program with its holes, "#" holes read before "!" holes.
  std::optional<EngineAProgram> program;
  std::vector<VariableRef> holes;
  std::vector<uint32_t> read_order;
  int nesting = 0;  // the evaluation depth the engine's parser needs

  // kEngineB: the text after "()" and the constants, cut into literal pieces
  // and calls. Piece i is followed by call i (when there is one).
  struct Call {
    int code = 0;
    std::string text;  // the call text, for grouping
    std::vector<std::string> arguments;
    std::vector<std::string_view> argument_views;  // into arguments
    size_t group = 0;                              // calls with the same value share a group
  };
  std::vector<std::string> pieces;
  std::vector<Call> calls;
  std::vector<size_t> call_order;  // the order the function phase takes them
  size_t group_count = 0;
};

// A string expression taken apart once: its operands, left to right.
struct StringPlan {
  struct Operand {
    enum class Kind { kEmpty, kLiteral, kString, kNumber, kBoolean, kCall };
    Kind kind = Kind::kEmpty;
    std::string text;               // the literal's value
    bool literal_is_final = false;  // the result step leaves the literal as it is
    VariableRef variable;
    int code = 0;
    std::vector<std::string> arguments;
    std::vector<std::string_view> argument_views;  // into arguments
  };
  std::vector<Operand> operands;
};

std::unique_ptr<Evaluator::FastCache> MakeFastCache();

}  // namespace expr_detail

struct Evaluator::FastCache {
  // Plans are replaced, never changed (but for the places their references
  // resolve); a full map is emptied.
  static constexpr size_t kMaxPlans = 8192;
  static constexpr size_t kMaxResults = 8192;

  FastCache();
  // Tells this cache's plans apart from other caches' in the per-thread
  // cache of recent plans; never reused.
  const uint64_t id;

  std::mutex mutex;
  // --- The following fields are protected by mutex.
  std::unordered_map<std::string, std::shared_ptr<const expr_detail::NumericPlan>,
                     expr_detail::TextHash, std::equal_to<>>
      numeric;
  std::unordered_map<std::string, std::shared_ptr<const expr_detail::StringPlan>,
                     expr_detail::TextHash, std::equal_to<>>
      strings;
  // Engine B results by final text (engine B reads nothing but its text).
  std::unordered_map<std::string, std::optional<double>, expr_detail::TextHash, std::equal_to<>>
      engine_b;
  // --- Counters.
  std::atomic<uint64_t> fast{0};
  std::atomic<uint64_t> fallback{0};
};

}  // namespace morvane
