// The numeric evaluator as the rules describe it, step by step on the text.

#include <array>

#include "expr/engine_a.h"
#include "expr/engine_b.h"
#include "expr/eval_error.h"
#include "expr/eval_internal.h"
#include "expr/eval_limits.h"
#include "util/ascii_case.h"
#include "util/number_text.h"
#include "util/quoted_text.h"
#include "util/replace_all.h"

namespace morvane::expr_detail {
namespace {

struct Constant {
  const char* name;
  const char* value;
};
constexpr std::array<Constant, 9> kConstants = {{{"#__OK", "1"},
                                                 {"#__CANCEL", "2"},
                                                 {"#__ABORT", "3"},
                                                 {"#__RETRY", "4"},
                                                 {"#__IGNORE", "5"},
                                                 {"#__YES", "6"},
                                                 {"#__NO", "7"},
                                                 {"#__TRYAGAIN", "10"},
                                                 {"#__CONTINUE", "11"}}};

// The first occurrence of `needle`, ignoring case, that starts outside quotes.
size_t FindOutsideQuotesIgnoreCase(std::string_view t, std::string_view needle) {
  bool quoted = false;
  for (size_t i = 0; i < t.size(); ++i) {
    if (!quoted && EqualsIgnoreCase(t.substr(i, needle.size()), needle)) return i;
    if (t[i] == '"') quoted = !quoted;
  }
  return std::string_view::npos;
}

// Replaces every occurrence outside quotes, looking again from the start after
// each replacement.
void ReplaceOutsideQuotes(std::string& t, std::string_view needle, std::string_view value) {
  for (size_t at = FindOutsideQuotesIgnoreCase(t, needle); at != std::string::npos;
       at = FindOutsideQuotesIgnoreCase(t, needle)) {
    t.replace(at, needle.size(), value);
    if (t.size() > kMaxExpressionText) throw EvalError();
  }
}

bool IsTerminator(char c) {
  switch (c) {
    case '/':
    case '*':
    case '+':
    case '-':
    case '^':
    case ',':
    case ' ':
    case '(':
    case ')':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string PrepareNumericText(std::string_view text) {
  std::string t(text);
  ReplaceAll(t, "()", "");
  if (t.find("#__") != std::string::npos) {
    for (const Constant& constant : kConstants)
      ReplaceOutsideQuotes(t, constant.name, constant.value);
  }
  return t;
}

void RunFunctionPhase(Evaluator& ev, std::string& t) {
  for (int code : NoArgumentOrder()) {
    const std::string call = "@" + std::to_string(code) + "%";
    if (FindOutsideQuotes(t, call) == std::string::npos) continue;
    const std::string value = CallNumericFunction(ev, code, {});
    ReplaceOutsideQuotes(t, call, value);
  }
  for (int code : ArgumentOrder()) {
    const std::string prefix = "@" + std::to_string(code) + "%";
    for (size_t start = t.find(prefix); start != std::string::npos; start = t.find(prefix)) {
      std::string_view argument_text;
      size_t end = 0;
      std::vector<std::string_view> args;
      if (RunsToEnd(code)) {
        const size_t open = t.find('(', start);
        if (open == std::string::npos) throw EvalError();
        end = t.size();
        // Everything after the "(" but the text's last character.
        const size_t from = open + 1;
        const size_t to = t.size() - 1;
        argument_text =
            from < to ? std::string_view(t).substr(from, to - from) : std::string_view();
        const size_t comma = argument_text.find(',');
        args.push_back(argument_text.substr(0, comma));
        if (comma != std::string_view::npos) args.push_back(argument_text.substr(comma + 1));
      } else {
        // A call without its ")" cannot be taken apart.
        const size_t close = FindOutsideQuotes(t, ')', start);
        if (close == std::string::npos) throw EvalError();
        const size_t open = t.find('(', start);
        if (open == std::string::npos || open > close) throw EvalError();
        end = close + 1;
        argument_text = std::string_view(t).substr(open + 1, close - open - 1);
        args = SplitCallArguments(argument_text, NumericArgumentCount(code));
      }
      const std::string call = t.substr(start, end - start);
      // The arguments point into t, which the call below does not touch.
      const std::string value = CallNumericFunction(ev, code, args);
      if (code == 43) {
        t.replace(start, end - start, value);
      } else if (code == 48) {
        t = ReplaceAllIgnoreCase(t, call, value);
      } else {
        ReplaceAll(t, call, value);
      }
      if (t.size() > kMaxExpressionText) throw EvalError();
    }
  }
}

bool SubstituteVariables(Evaluator& ev, std::string& t) {
  size_t strings = 0;
  for (char prefix : {'#', '!', '$'}) {
    for (size_t at = FindOutsideQuotes(t, prefix); at != std::string::npos;
         at = FindOutsideQuotes(t, prefix)) {
      size_t end = at + 1;
      while (end < t.size() && !IsTerminator(t[end])) ++end;
      const std::string name = t.substr(at + 1, end - at - 1);
      std::string value;
      if (prefix == '#') {
        const std::optional<double> number = ev.values().TryGetNumber(name, &ev);
        if (!number) return false;
        value = FloatToText(*number);
      } else if (prefix == '!') {
        const std::optional<bool> truth = ev.values().TryGetBoolean(name, &ev);
        if (!truth) return false;
        value = *truth ? "1" : "0";
      } else {
        if (++strings > kMaxStringSubstitutions) return false;
        std::optional<std::string> text = ev.values().TryGetString(name, &ev);
        if (!text) return false;
        value = std::move(*text);
      }
      t.replace(at, end - at, value);
      if (t.size() > kMaxExpressionText) return false;
    }
  }
  return true;
}

std::optional<double> NumberReference(Evaluator& ev, std::string_view text) {
  DepthGuard guard;
  std::string t = PrepareNumericText(text);
  if (t.find('@') == std::string::npos) {
    if (!SubstituteVariables(ev, t)) return std::nullopt;
    return TryEvaluateEngineA(t);
  }
  RunFunctionPhase(ev, t);
  if (!SubstituteVariables(ev, t)) return std::nullopt;
  return EvaluateEngineB(t);
}

}  // namespace morvane::expr_detail
