// The string evaluator as the rules describe it, and the result step that
// every string evaluation ends with.

#include "expr/eval_error.h"
#include "expr/eval_internal.h"
#include "expr/eval_limits.h"
#include "platform/system_info.h"
#include "util/ascii_case.h"
#include "util/number_text.h"
#include "util/quoted_text.h"
#include "util/replace_all.h"

namespace morvane::expr_detail {
namespace {

void ReplaceFirstIgnoreCase(std::string& text, std::string_view from, std::string_view to) {
  const size_t at = FindIgnoreCase(text, from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
}

std::string_view SkipLeadingSpaces(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

// The code of a call: the text before "(" must be a code in plain decimal.
std::optional<int> CallCode(std::string_view code_text) {
  if (code_text.empty() || code_text.size() > 2) return std::nullopt;
  if (code_text.size() == 2 && code_text[0] == '0') return std::nullopt;
  int code = 0;
  for (char c : code_text) {
    if (c < '0' || c > '9') return std::nullopt;
    code = code * 10 + (c - '0');
  }
  if (!IsStringFunction(code)) return std::nullopt;
  return code;
}

// The value of one operand (no "+" outside quotes and parentheses in it),
// before the result step.
std::string Operand(Evaluator& ev, std::string_view s) {
  if (s.empty()) return "";
  switch (s[0]) {
    case '"':
      return s.size() >= 2 ? std::string(s.substr(1, s.size() - 2)) : std::string();
    case '$':
      return ev.values().GetString(s.substr(1), &ev);
    case '#':
      return FloatToText(ev.values().GetNumber(s.substr(1), &ev));
    case '!':
      return ev.values().GetBoolean(s.substr(1), &ev) ? "True" : "False";
    default:
      break;
  }
  const size_t open = s.find('(');
  const std::optional<int> code = CallCode(s.substr(0, open));
  if (!code) return "";
  std::string_view argument_text;
  if (open != std::string_view::npos) {
    const size_t close = FindOutsideQuotes(s, ')', open + 1);
    argument_text = s.substr(
        open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
  }
  return CallStringFunction(
      ev, *code, SplitCallArguments(argument_text, StringArgumentCount(*code)), argument_text);
}

}  // namespace

bool HasEscapeOrMarker(std::string_view text) {
  // Most texts are short, and for them one pass over the bytes costs less
  // than two searches.
  if (text.size() > 64) {
    return text.find('\\') != std::string_view::npos || text.find("$!#~") != std::string_view::npos;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') return true;
    if (text[i] == '$' && text.substr(i, 4) == "$!#~") return true;
  }
  return false;
}

bool ResultStepIsIdentity(std::string_view text) {
  return (text.empty() || text[0] != '[') && !HasEscapeOrMarker(text);
}

std::string ResultStep(Environment& env, std::string text) {
  if (ResultStepIsIdentity(text)) return text;
  if (!text.empty() && text[0] == '[') {
    const std::string& exe_path = env.exe_path();
    const std::string drive =
        exe_path.size() >= 2 && exe_path[1] == ':' ? exe_path.substr(0, 2) : std::string();
    ReplaceFirstIgnoreCase(text, "[src]", env.exe_folder());
    ReplaceFirstIgnoreCase(text, "[srcdrive]", drive + "\\");
    ReplaceFirstIgnoreCase(text, "[win]", env.windows_folder());
    ReplaceFirstIgnoreCase(text, "[sys]", env.windows_folder() + "System32\\");
    ReplaceFirstIgnoreCase(text, "[temp]", env.temp_folder());
    if (FindIgnoreCase(text, "[usb") != std::string::npos) {
      for (int n = 1; n <= 10; ++n) {
        const std::string macro = "[usb" + std::to_string(n) + "]";
        if (FindIgnoreCase(text, macro) == std::string::npos) continue;
        const std::string letter = NthRemovableDrive(env.drives(), n);
        ReplaceFirstIgnoreCase(text, macro, letter.empty() ? "" : letter + ":\\");
      }
    }
  }
  ReplaceAll(text, "\\q\\q", "$!#~Q");
  ReplaceAll(text, "\\br\\br", "$!#~BR");
  ReplaceAll(text, "\\q", "\"");
  ReplaceAll(text, "\\br", "\r\n");
  ReplaceAll(text, "$!#~Q", "\\q");
  ReplaceAll(text, "$!#~BR", "\\br");
  return text;
}

std::string StringReference(Evaluator& ev, std::string_view text) {
  DepthGuard guard;
  Environment& env = ev.environment();
  // "a + b + c" is a + (b + c): the right side is a string expression of its
  // own with its own result step. Taken apart here without recursion, so that
  // long concatenations do not nest deeply.
  std::vector<std::string_view> operands;
  std::string_view rest = SkipLeadingSpaces(text);
  for (;;) {
    const size_t plus = FindOutsideQuotesAndParens(rest, '+');
    if (plus == std::string_view::npos) {
      operands.push_back(rest);
      break;
    }
    operands.push_back(rest.substr(0, plus));
    rest = SkipLeadingSpaces(rest.substr(plus + 1));
  }
  std::string result = ResultStep(env, Operand(ev, operands.back()));
  for (size_t i = operands.size() - 1; i-- > 0;) {
    std::string left = ResultStep(env, Operand(ev, operands[i]));
    left += result;
    result = ResultStep(env, std::move(left));
  }
  return result;
}

}  // namespace morvane::expr_detail
