#include "expr/engine_b.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "expr/engine_a.h"
#include "expr/eval_error.h"
#include "expr/eval_limits.h"
#include "util/number_text.h"
#include "util/replace_all.h"

namespace morvane {
namespace {

bool IsOperator(char c) {
  return c == '+' || c == '-' || c == '*' || c == '/' || c == '^';
}
bool IsTerminator(char c) {
  return c != '\0' && std::strchr("/*+-^, ()", c) != nullptr;
}

size_t CountOperators(std::string_view t) {
  size_t n = 0;
  for (char c : t) n += IsOperator(c);
  return n;
}

bool Contains(std::string_view t, std::string_view what) {
  return t.find(what) != std::string_view::npos;
}

// Number text as the engine reads it, in extended precision.
std::optional<long double> Read(std::string_view part) {
  if (!TextToFloat(part)) return std::nullopt;
  const std::string copy(part);
  return ReadExtended(copy.c_str());
}

long double ReadOrFail(std::string_view part) {
  const std::optional<long double> value = Read(part);
  if (!value) throw EvalError();
  return *value;
}

std::string Text(long double value) {
  if (!std::isfinite(value)) throw EvalError();
  return FloatToText(static_cast<double>(value));
}

long double Apply(char op, long double a, long double b) {
  switch (op) {
    case '+':
      return a + b;
    case '-':
      return a - b;
    case '*':
      return a * b;
    case '/':
      if (b == 0) throw EvalError();
      return a / b;
    default: {
      long double r = 0;
      if (!Power(a, b, &r)) throw EvalError();
      return r;
    }
  }
}

long double Evaluate(std::string t);

// The first position at or after `from` of a terminator, or the end.
size_t OperandEnd(std::string_view t, size_t from) {
  for (size_t i = from; i < t.size(); ++i) {
    if (IsTerminator(t[i])) return i;
  }
  return t.size();
}

long double Evaluate(std::string t) {
  DepthGuard guard;
  for (size_t steps = 0;; ++steps) {
    if (steps > kMaxRewriteSteps || t.size() > kMaxExpressionText) throw EvalError();
    // 1. Parenthesised groups, innermost text first evaluated on its own.
    for (size_t open = t.find('('); open != std::string::npos; open = t.find('(')) {
      size_t depth = 0;
      size_t close = std::string::npos;
      for (size_t i = open; i < t.size(); ++i) {
        if (t[i] == '(') ++depth;
        if (t[i] == ')' && --depth == 0) {
          close = i;
          break;
        }
      }
      if (close == std::string::npos) throw EvalError();
      const std::string value = Text(Evaluate(t.substr(open + 1, close - open - 1)));
      t.replace(open, close - open + 1, value);
    }
    size_t n = CountOperators(t);
    // 2, 3.
    if (n == 0 || (n == 1 && !t.empty() && t[0] == '-')) return ReadOrFail(t);
    // 4. Signs.
    while (Contains(t, "--") || Contains(t, "++") || Contains(t, "+-") || Contains(t, "-+")) {
      ReplaceAll(t, "--", "+");
      ReplaceAll(t, "++", "+");
      ReplaceAll(t, "+-", "-");
      ReplaceAll(t, "-+", "-");
    }
    n = CountOperators(t);
    const bool signed_start = !t.empty() && (t[0] == '+' || t[0] == '-');
    // 5. The main operator.
    size_t main = std::string::npos;
    for (size_t i = signed_start ? 1 : 0; i < t.size(); ++i) {
      if (IsOperator(t[i])) {
        main = i;
        break;
      }
    }
    const std::string_view view(t);
    const std::string_view left = main == std::string::npos ? view : view.substr(0, main);
    const std::string_view right =
        main == std::string::npos ? std::string_view() : view.substr(main + 1);
    if (n < 4) {
      // 6: skipped when an operand is no number.
      if (Contains(t, "*-") || Contains(t, "*+")) {
        const std::optional<long double> a = Read(left);
        const std::optional<long double> b = Read(right);
        if (a && b && main != std::string::npos) return *a * *b;
      }
      // 7, 8: no second chance.
      if (Contains(t, "/-") || Contains(t, "/+")) {
        if (main == std::string::npos) throw EvalError();
        return Apply('/', ReadOrFail(left), ReadOrFail(right));
      }
      if (Contains(t, "^-") || Contains(t, "^+")) {
        if (main == std::string::npos) throw EvalError();
        return Apply('^', ReadOrFail(left), ReadOrFail(right));
      }
    }
    // 9. One operator: a leading one leaves an empty left operand.
    if (n == 1) {
      size_t at = 0;
      while (!IsOperator(t[at])) ++at;
      return Apply(t[at], ReadOrFail(view.substr(0, at)), ReadOrFail(view.substr(at + 1)));
    }
    // 10.
    if (signed_start && n == 2) {
      if (main == std::string::npos) throw EvalError();
      const long double a = ReadOrFail(left);
      const long double b = ReadOrFail(right);
      const bool high = t.find_first_of("*/^") != std::string::npos;
      if (!high && Contains(t, "+")) return a + b;
      if (!high && Contains(t, "-")) return a - b;
      if (Contains(t, "*")) return a * b;
      if (Contains(t, "/")) return Apply('/', a, b);
      return Apply('^', a, b);
    }
    // 11. One operation at a time, then the whole text again.
    size_t begin = 0;
    size_t end = 0;
    const size_t p = t.find_first_of("*/^");
    if (p != std::string::npos) {
      for (size_t i = p; i-- > 0;) {
        if (IsOperator(t[i])) {
          begin = i + 1;
          break;
        }
      }
      end = OperandEnd(t, p + 2);
    } else {
      size_t q = std::string::npos;
      for (size_t i = 1; i < t.size(); ++i) {
        if (t[i] == '+' || t[i] == '-') {
          q = i;
          break;
        }
      }
      if (q == std::string::npos) throw EvalError();
      end = OperandEnd(t, q + 2);
    }
    end = std::min(end, t.size());
    // The same text again would be taken apart the same way for ever.
    if (begin == 0 && end == t.size()) throw EvalError();
    const std::string value = Text(Evaluate(t.substr(begin, end - begin)));
    t.replace(begin, end - begin, value);
  }
}

}  // namespace

bool Power(long double base, long double exponent, long double* result) {
  if (exponent == 0) {
    *result = 1;
    return true;
  }
  if (base == 0 && exponent > 0) {
    *result = 0;
    return true;
  }
  if (exponent == std::trunc(exponent) && std::fabs(exponent) <= 2147483647.0L) {
    // Square and multiply: the same products as multiplying one by one, in far
    // fewer steps for large exponents.
    uint64_t count = static_cast<uint64_t>(std::fabs(exponent));
    long double factor = base;
    long double product = 1;
    while (count) {
      if (count & 1) product *= factor;
      factor *= factor;
      count >>= 1;
    }
    *result = exponent < 0 ? 1 / product : product;
    return true;
  }
  if (base < 0) return false;
  *result = std::exp(exponent * std::log(base));
  return true;
}

double EvaluateEngineB(std::string_view text) {
  const long double value = Evaluate(std::string(text));
  if (!std::isfinite(value) || std::fabs(value) > 1.7976931348623157e308L) throw EvalError();
  return static_cast<double>(value);
}

}  // namespace morvane
