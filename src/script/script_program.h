#pragma once

// The parsed form of an action script: its lines, each classified once, with
// the block structure, the conditions, the for headers and the action
// arguments worked out ahead. Running a parsed script behaves exactly as
// re-reading its text line by line would; the parse only saves the work.
//
// A nested run (a loop body) is a range of the lines of the script it belongs
// to: the body's text, joined and split again, gives the same lines.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "script/action_arguments.h"
#include "util/quoted_text.h"

namespace morvane {

inline constexpr size_t kNoLine = static_cast<size_t>(-1);

enum class LineKind : uint8_t {
  kEmpty,
  kElse,
  kFor,
  kWhile,
  kIf,
  kNumberAssignment,
  kStringAssignment,
  kBooleanAssignment,
  kAction,  // the end line "1" among them
};

enum class CompareOp : uint8_t {
  kNone,  // no operator recognised: the group is false
  kLess,
  kGreater,
  kEqual,
  kLessEqual,
  kGreaterEqual,
  kNotEqual,
};

// One comparison of a condition with its operator chosen by the counts of
// "=", "<" and ">" outside quotes.
struct ConditionGroup {
  std::string text;
  CompareOp op = CompareOp::kNone;
  std::string left;
  std::string right;
};

ConditionGroup ParseConditionGroup(std::string_view text);

// What an if or while line says about the run's `Tifclause` record.
struct ConditionLine {
  // False for a line without any group: the record keeps its groups.
  bool has_groups = false;
  std::vector<ConditionGroup> groups;
  // The connector: true "&", false "|", nothing to keep the record's choice.
  std::optional<bool> all;
};

// `text` is the line the groups are read from (an if line as written, a while
// line squeezed); `squeezed` decides whether a connector is looked for.
ConditionLine ReadCondition(std::string_view text, std::string_view squeezed);

struct ForHeader {
  std::string variable;
  std::string from;
  std::string to;
  // The step's magnitude; 1 unless the line gives a number after "step".
  double step = 1;
};

ForHeader ReadForHeader(std::string_view squeezed);

struct ScriptLine {
  std::string raw;        // as split from the script
  std::string text;       // raw without a trailing 0xD8
  std::string squeezed;   // text without spaces
  std::string code_text;  // squeezed up to its first "("
  LineKind kind = LineKind::kEmpty;
  bool is_end = false;     // squeezed is exactly "1"
  bool is_else = false;    // squeezed is exactly "3"
  bool is_opener = false;  // code text "0", "2" or "120"
  // Openers and else lines: the end line the block scanner stops at.
  size_t match = kNoLine;
  // If lines: the last exact else line at the block's own depth.
  size_t else_line = kNoLine;

  // kAction: the code, nothing when the code text is no integer.
  std::optional<int32_t> code;
  ActionArguments arguments;
  // Object-action lines (code 10): the text after the line's first dot.
  ObjectActionText object_action;
  // Assignments: the name (without its prefix) and the expression.
  std::string name;
  std::string expression;
  ConditionLine condition;  // kIf, kWhile
  ForHeader for_header;     // kFor
};

struct ScriptProgram {
  std::vector<ScriptLine> lines;
};

// Lines split at CR LF, CR or LF; a break at the very end starts no line.
std::vector<std::string_view> SplitScriptLines(std::string_view text);

std::shared_ptr<const ScriptProgram> ParseScript(std::string_view text);

// Lines begin ... end - 1 as a nested run receives them: each followed by CR LF.
std::string JoinScriptLines(const ScriptProgram& program, size_t begin, size_t end);

// A signed 32-bit decimal integer and nothing else.
std::optional<int32_t> ParseActionCode(std::string_view code_text);

// Parsed scripts by their text. Bounded: when it holds too much it starts
// afresh. Thread-safe.
class ScriptCache {
 public:
  std::shared_ptr<const ScriptProgram> Get(std::string_view text);

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
  };
  std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::unordered_map<std::string, std::shared_ptr<const ScriptProgram>, Hash, std::equal_to<>>
      m_programs;
  size_t m_bytes = 0;
};

}  // namespace morvane
