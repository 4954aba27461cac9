#include "script/script_program.h"

#include <cmath>

#include "util/number_text.h"
#include "util/text_lines.h"

namespace morvane {
namespace {

constexpr char kDroppedByte = '\xD8';
// The cache starts afresh beyond this much script text.
constexpr size_t kMaxCachedBytes = size_t{4} << 20;

std::string Squeeze(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != ' ') out.push_back(c);
  }
  return out;
}

std::string_view DropLeadingSpaces(std::string_view text) {
  const size_t start = text.find_first_not_of(' ');
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

std::string RemoveSpacesOutsideQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (c != ' ' || quoted) out.push_back(c);
  }
  return out;
}

// Name between the prefix character and the first "=", expression after it.
// Without "=" the name is empty and the expression is the whole text.
void SplitAssignment(std::string_view text, ScriptLine& line) {
  const size_t equals = text.find('=');
  if (equals == std::string_view::npos) {
    line.name.clear();
    line.expression = std::string(text);
    return;
  }
  line.name = std::string(text.substr(1, equals - 1));
  line.expression = std::string(text.substr(equals + 1));
}

void Classify(ScriptLine& line) {
  const std::string& code = line.code_text;
  line.is_end = line.squeezed == "1";
  line.is_else = line.squeezed == "3";
  line.is_opener = code == "0" || code == "2" || code == "120";
  if (line.text.empty()) {
    line.kind = LineKind::kEmpty;
  } else if (code == "3") {
    line.kind = LineKind::kElse;
  } else if (code == "2") {
    line.kind = LineKind::kFor;
    line.for_header = ReadForHeader(line.squeezed);
  } else if (code == "120") {
    line.kind = LineKind::kWhile;
    line.condition = ReadCondition(line.squeezed, line.squeezed);
  } else if (code == "0") {
    line.kind = LineKind::kIf;
    line.condition = ReadCondition(line.text, line.squeezed);
  } else if (!line.squeezed.empty() && line.squeezed[0] == '#') {
    line.kind = LineKind::kNumberAssignment;
    SplitAssignment(RemoveSpacesOutsideQuotes(DropLeadingSpaces(line.text)), line);
  } else if (!line.squeezed.empty() && line.squeezed[0] == '$') {
    line.kind = LineKind::kStringAssignment;
    SplitAssignment(DropLeadingSpaces(line.text), line);
    if (line.text.find('=') != std::string::npos)
      line.expression = std::string(DropLeadingSpaces(line.expression));
  } else if (!line.squeezed.empty() && line.squeezed[0] == '!') {
    line.kind = LineKind::kBooleanAssignment;
    SplitAssignment(line.squeezed, line);
  } else {
    line.kind = LineKind::kAction;
    line.code = ParseActionCode(code);
    line.arguments = SplitActionArguments(line.text);
    if (line.code == 10) {
      // The object-action text follows the first dot of the line.
      const size_t dot = line.text.find('.');
      line.object_action = ParseObjectActionText(dot == std::string::npos
                                                     ? std::string_view()
                                                     : std::string_view(line.text).substr(dot + 1));
    }
  }
}

// The block scanner's end line for every opener and else line, and each if
// line's else line, in one pass each way. With depth steps +1 at openers and
// -1 at end lines, the scan from line i stops at the first later line where
// the running sum falls one below its value at i.
void MatchBlocks(std::vector<ScriptLine>& lines) {
  const size_t n = lines.size();
  std::vector<int64_t> sum(n);
  int64_t running = 0;
  for (size_t i = 0; i < n; ++i) {
    if (lines[i].is_end) {
      --running;
    } else if (lines[i].is_opener) {
      ++running;
    }
    sum[i] = running;
  }
  // Levels range over -n ... n.
  std::vector<size_t> next_at(2 * n + 3, kNoLine);
  auto slot = [&](int64_t level) {
    return static_cast<size_t>(level + static_cast<int64_t>(n) + 1);
  };
  for (size_t i = n; i-- > 0;) {
    if (lines[i].is_opener || lines[i].kind == LineKind::kElse)
      lines[i].match = next_at[slot(sum[i] - 1)];
    next_at[slot(sum[i])] = i;
  }
  // Open blocks have strictly rising sums, so an exact else line at the sum of
  // the innermost open block belongs to it.
  std::vector<size_t> open;
  for (size_t i = 0; i < n; ++i) {
    if (lines[i].is_end && !open.empty() && lines[open.back()].match == i) open.pop_back();
    if (lines[i].is_else && !open.empty() && sum[i] == sum[open.back()] &&
        lines[open.back()].kind == LineKind::kIf)
      lines[open.back()].else_line = i;
    if (lines[i].is_opener) open.push_back(i);
  }
}

}  // namespace

ConditionGroup ParseConditionGroup(std::string_view text) {
  ConditionGroup group;
  group.text = std::string(text);
  const size_t equals = CountOutsideQuotes(text, '=');
  const size_t less = CountOutsideQuotes(text, '<');
  const size_t greater = CountOutsideQuotes(text, '>');
  size_t at = std::string_view::npos;
  size_t width = 1;
  auto either = [&](std::string_view first, std::string_view second) {
    width = 2;
    at = FindOutsideQuotes(text, first);
    if (at == std::string_view::npos) at = FindOutsideQuotes(text, second);
  };
  if (equals == 0 && less == 1 && greater == 0) {
    group.op = CompareOp::kLess;
    at = FindOutsideQuotes(text, '<');
  } else if (equals == 0 && less == 0 && greater == 1) {
    group.op = CompareOp::kGreater;
    at = FindOutsideQuotes(text, '>');
  } else if (equals == 1 && less == 0 && greater == 0) {
    group.op = CompareOp::kEqual;
    at = FindOutsideQuotes(text, '=');
  } else if (equals == 1 && less == 1 && greater == 0) {
    group.op = CompareOp::kLessEqual;
    either("<=", "=<");
  } else if (equals == 1 && less == 0 && greater == 1) {
    group.op = CompareOp::kGreaterEqual;
    either(">=", "=>");
  } else if (equals == 0 && less == 1 && greater == 1) {
    group.op = CompareOp::kNotEqual;
    width = 2;
    at = FindOutsideQuotes(text, "<>");
  }
  // A two-character operator written with its characters apart has no
  // operands: the group is false.
  if (at == std::string_view::npos) {
    group.op = CompareOp::kNone;
    return group;
  }
  group.left = std::string(text.substr(0, at));
  group.right = std::string(text.substr(at + width));
  return group;
}

ConditionLine ReadCondition(std::string_view text, std::string_view squeezed) {
  ConditionLine line;
  int depth = 0;
  size_t start = 0;
  size_t first_close = std::string_view::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '(') {
      if (depth++ == 0) start = i;
    } else if (text[i] == ')' && depth > 0) {
      if (--depth == 0) {
        line.groups.push_back(ParseConditionGroup(text.substr(start + 1, i - start - 1)));
        if (first_close == std::string_view::npos) first_close = i;
      }
    }
  }
  line.has_groups = !line.groups.empty();
  if (line.has_groups && CountOutsideQuotes(squeezed, '(') > 1 && first_close + 1 < text.size()) {
    const char connector = text[first_close + 1];
    if (connector == '|') line.all = false;
    if (connector == '&') line.all = true;
  }
  return line;
}

ForHeader ReadForHeader(std::string_view squeezed) {
  ForHeader header;
  const size_t open = squeezed.find('(');
  if (open == std::string_view::npos) return header;
  const size_t close = squeezed.find(')', open + 1);
  const std::string_view inside = squeezed.substr(
      open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
  const size_t equals = inside.find('=');
  const std::string_view name = inside.substr(std::min<size_t>(1, inside.size()));
  if (equals == std::string_view::npos) {
    header.variable = std::string(name);
  } else {
    header.variable = std::string(inside.substr(1, equals - 1));
    const std::string_view rest = inside.substr(equals + 1);
    const size_t comma = rest.find(',');
    header.from = std::string(rest.substr(0, comma));
    if (comma != std::string_view::npos) header.to = std::string(rest.substr(comma + 1));
  }
  if (close == std::string_view::npos) return header;
  const size_t step = squeezed.find("step");
  if (step != close + 1) return header;
  std::string_view number = squeezed.substr(step + 4);
  number = number.substr(0, number.find('('));
  if (const std::optional<double> value = TextToFloat(number)) header.step = std::fabs(*value);
  return header;
}

std::optional<int32_t> ParseActionCode(std::string_view code_text) {
  size_t i = 0;
  bool negative = false;
  if (i < code_text.size() && (code_text[i] == '-' || code_text[i] == '+')) {
    negative = code_text[i] == '-';
    ++i;
  }
  if (i == code_text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < code_text.size(); ++i) {
    const char c = code_text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{1} << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::vector<std::string_view> SplitScriptLines(std::string_view text) {
  return LinesOf(text);
}

std::shared_ptr<const ScriptProgram> ParseScript(std::string_view text) {
  auto program = std::make_shared<ScriptProgram>();
  const std::vector<std::string_view> raw_lines = SplitScriptLines(text);
  program->lines.resize(raw_lines.size());
  for (size_t i = 0; i < raw_lines.size(); ++i) {
    ScriptLine& line = program->lines[i];
    line.raw = std::string(raw_lines[i]);
    line.text = line.raw;
    if (!line.text.empty() && line.text.back() == kDroppedByte) line.text.pop_back();
    line.squeezed = Squeeze(line.text);
    line.code_text = line.squeezed.substr(0, line.squeezed.find('('));
    Classify(line);
  }
  MatchBlocks(program->lines);
  return program;
}

std::string JoinScriptLines(const ScriptProgram& program, size_t begin, size_t end) {
  std::string text;
  for (size_t i = begin; i < end; ++i) {
    text += program.lines[i].raw;
    text += "\r\n";
  }
  return text;
}

std::shared_ptr<const ScriptProgram> ScriptCache::Get(std::string_view text) {
  {
    std::lock_guard lock(m_mutex);
    const auto it = m_programs.find(text);
    if (it != m_programs.end()) return it->second;
  }
  std::shared_ptr<const ScriptProgram> program = ParseScript(text);
  std::lock_guard lock(m_mutex);
  if (m_bytes + text.size() > kMaxCachedBytes) {
    m_programs.clear();
    m_bytes = 0;
  }
  if (m_programs.emplace(std::string(text), program).second) m_bytes += text.size();
  return program;
}

}  // namespace morvane
