#include "expr/engine_a.h"

#include <locale.h>

#include <algorithm>
#include <bit>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "expr/eval_error.h"
#include "expr/eval_limits.h"
#include "util/ascii_case.h"
#include "util/number_text.h"

namespace morvane {
namespace {

enum class Token : uint8_t {
  kEnd,
  kNumber,
  kHole,
  kWordOp,
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kOpen,
  kClose,
  kLt,
  kEq,
  kGt,
  kLe,
  kNe,
  kGe,
  kBad,
};

using Op = EngineAProgram::Op;
using Right = EngineAProgram::Right;

struct WordOp {
  const char* word;
  Op op;
};
constexpr WordOp kWords[] = {
    {"cmp", Op::kCmp},   {"or", Op::kOr},      {"xor", Op::kXor},   {"bor", Op::kBor},
    {"bxor", Op::kBxor}, {"div", Op::kIntDiv}, {"mod", Op::kMod},   {"and", Op::kAnd},
    {"shl", Op::kShl},   {"shr", Op::kShr},    {"band", Op::kBand}, {"not", Op::kNot},
    {"bnot", Op::kBnot},
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsBlank(char c) {
  return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

// The characters that end a variable reference.
bool IsTerminator(char c) {
  return std::strchr("/*+-^, ()", c) != nullptr && c != '\0';
}
// What may stand before a reference in a template without the inserted number
// text running into it.
bool IsSafeBeforeReference(char c) {
  return std::strchr(" +-*/(<>=", c) != nullptr && c != '\0';
}

}  // namespace

class EngineAParser {
 public:
  EngineAParser(std::string_view text, std::vector<EngineAHole>* holes)
      : m_text(text), m_holes(holes) {}

  bool Parse(EngineAProgram& program) {
    m_program = &program;
    Next();
    if (!Comparison()) return false;
    return m_token == Token::kEnd;
  }

 private:
  void Emit(Op op) {
    std::vector<EngineAProgram::Step>& steps = m_program->m_steps;
    // A binary operator whose right operand is one number or hole takes it
    // from its own step: the operand's step is always the last one.
    if (op >= Op::kEq && !steps.empty() &&
        (steps.back().op == Op::kPush || steps.back().op == Op::kHole)) {
      EngineAProgram::Step& last = steps.back();
      last.right =
          last.op == Op::kPush ? EngineAProgram::Right::kValue : EngineAProgram::Right::kHole;
      last.op = op;
      return;
    }
    steps.push_back({op, 0, 0});
  }

  void Next() {
    while (m_pos < m_text.size() && IsBlank(m_text[m_pos])) ++m_pos;
    if (m_pos >= m_text.size()) {
      m_token = Token::kEnd;
      return;
    }
    const size_t start = m_pos;
    const char c = m_text[m_pos];
    if (IsDigit(c)) {
      while (m_pos < m_text.size() && IsDigit(m_text[m_pos])) ++m_pos;
      if (m_pos < m_text.size() && m_text[m_pos] == '.') {
        ++m_pos;
        while (m_pos < m_text.size() && IsDigit(m_text[m_pos])) ++m_pos;
      }
      if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
        size_t at = m_pos + 1;
        if (at < m_text.size() && (m_text[at] == '+' || m_text[at] == '-')) ++at;
        if (at < m_text.size() && IsDigit(m_text[at])) {
          while (at < m_text.size() && IsDigit(m_text[at])) ++at;
          m_pos = at;
        }
      }
      const std::string number(m_text.substr(start, m_pos - start));
      m_value = ReadExtended(number.c_str());
      m_token = Token::kNumber;
      return;
    }
    if (IsLetter(c)) {
      while (m_pos < m_text.size() && (IsLetter(m_text[m_pos]) || IsDigit(m_text[m_pos]))) ++m_pos;
      const std::string_view word = m_text.substr(start, m_pos - start);
      m_token = Token::kBad;
      for (const WordOp& w : kWords) {
        if (EqualsIgnoreCase(word, w.word)) {
          m_token = Token::kWordOp;
          m_word = w.op;
        }
      }
      return;
    }
    if ((c == '#' || c == '!') && m_holes) {
      m_token = Token::kBad;
      if (start > 0 && !IsSafeBeforeReference(m_text[start - 1])) return;
      ++m_pos;
      while (m_pos < m_text.size() && !IsTerminator(m_text[m_pos])) ++m_pos;
      const std::string_view name = m_text.substr(start + 1, m_pos - start - 1);
      // A "#" reference takes in whatever its name holds ("#x[#i]"): the "#"
      // pass reads it whole before any other. A "!" reference comes after
      // that pass, which would already have taken a "#" inside its name.
      if (name.find_first_of(c == '#' ? "$\"@" : "#!$\"@") != std::string_view::npos) return;
      m_hole = static_cast<uint32_t>(m_holes->size());
      m_holes->push_back({c, std::string(name)});
      m_token = Token::kHole;
      return;
    }
    ++m_pos;
    const char next = m_pos < m_text.size() ? m_text[m_pos] : '\0';
    switch (c) {
      case '+':
        m_token = Token::kPlus;
        return;
      case '-':
        m_token = Token::kMinus;
        return;
      case '*':
        m_token = Token::kStar;
        return;
      case '/':
        m_token = Token::kSlash;
        return;
      case '(':
        m_token = Token::kOpen;
        return;
      case ')':
        m_token = Token::kClose;
        return;
      case '=':
        m_token = Token::kEq;
        return;
      case '<':
        if (next == '=' || next == '>') {
          ++m_pos;
          m_token = next == '=' ? Token::kLe : Token::kNe;
        } else {
          m_token = Token::kLt;
        }
        return;
      case '>':
        if (next == '=') {
          ++m_pos;
          m_token = Token::kGe;
        } else {
          m_token = Token::kGt;
        }
        return;
      default:
        m_token = Token::kBad;
        return;
    }
  }

  bool Comparison() {
    if (!Additive()) return false;
    for (;;) {
      Op op;
      switch (m_token) {
        case Token::kEq:
          op = Op::kEq;
          break;
        case Token::kNe:
          op = Op::kNe;
          break;
        case Token::kLt:
          op = Op::kLt;
          break;
        case Token::kLe:
          op = Op::kLe;
          break;
        case Token::kGt:
          op = Op::kGt;
          break;
        case Token::kGe:
          op = Op::kGe;
          break;
        case Token::kWordOp:
          if (m_word != Op::kCmp) return true;
          op = Op::kCmp;
          break;
        default:
          return true;
      }
      Next();
      if (!Additive()) return false;
      Emit(op);
    }
  }

  bool Additive() {
    if (!Multiplicative()) return false;
    for (;;) {
      Op op;
      if (m_token == Token::kPlus) {
        op = Op::kAdd;
      } else if (m_token == Token::kMinus) {
        op = Op::kSub;
      } else if (m_token == Token::kWordOp && (m_word == Op::kOr || m_word == Op::kXor ||
                                               m_word == Op::kBor || m_word == Op::kBxor)) {
        op = m_word;
      } else {
        return true;
      }
      Next();
      if (!Multiplicative()) return false;
      Emit(op);
    }
  }

  bool Multiplicative() {
    if (!Unary()) return false;
    for (;;) {
      Op op;
      if (m_token == Token::kStar) {
        op = Op::kMul;
      } else if (m_token == Token::kSlash) {
        op = Op::kDiv;
      } else if (m_token == Token::kWordOp &&
                 (m_word == Op::kIntDiv || m_word == Op::kMod || m_word == Op::kAnd ||
                  m_word == Op::kShl || m_word == Op::kShr || m_word == Op::kBand)) {
        op = m_word;
      } else {
        return true;
      }
      Next();
      if (!Unary()) return false;
      Emit(op);
    }
  }

  bool Unary() {
    Op op;
    if (m_token == Token::kPlus) {
      op = Op::kPlus;
    } else if (m_token == Token::kMinus) {
      op = Op::kNeg;
    } else if (m_token == Token::kWordOp && (m_word == Op::kNot || m_word == Op::kBnot)) {
      op = m_word;
    } else {
      return Primary();
    }
    DepthGuard guard;
    Level level(this);
    Next();
    if (!Unary()) return false;
    Emit(op);
    return true;
  }

  bool Primary() {
    if (m_token == Token::kNumber) {
      m_program->m_steps.push_back({Op::kPush, 0, m_value});
      Next();
      return true;
    }
    if (m_token == Token::kHole) {
      m_program->m_steps.push_back({Op::kHole, m_hole, 0});
      Next();
      return true;
    }
    if (m_token != Token::kOpen) return false;
    DepthGuard guard;
    Level level(this);
    Next();
    if (!Comparison() || m_token != Token::kClose) return false;
    Next();
    return true;
  }

  struct Level {
    explicit Level(EngineAParser* parser) : m_parser(parser) {
      EngineAProgram& program = *parser->m_program;
      program.m_nesting = std::max(program.m_nesting, ++parser->m_level);
    }
    ~Level() { --m_parser->m_level; }
    EngineAParser* m_parser;
  };

  std::string_view m_text;
  std::vector<EngineAHole>* m_holes;
  int m_level = 0;
  EngineAProgram* m_program = nullptr;
  size_t m_pos = 0;
  Token m_token = Token::kEnd;
  Op m_word = Op::kCmp;
  long double m_value = 0;
  uint32_t m_hole = 0;
};

std::optional<int64_t> RoundExtended(long double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const long double rounded = std::nearbyintl(value);  // the default mode: halves to even
  if (rounded < -9223372036854775808.0L || rounded >= 9223372036854775808.0L) return std::nullopt;
  return static_cast<int64_t>(rounded);
}

std::optional<EngineAProgram> EngineAProgram::Compile(std::string_view text,
                                                      std::vector<EngineAHole>* holes) {
  EngineAProgram program;
  EngineAParser parser(text, holes);
  if (!parser.Parse(program)) return std::nullopt;
  return program;
}

std::optional<double> EngineAProgram::Run(const long double* hole_values) const {
  long double stack_space[64];
  std::vector<long double> heap;
  long double* stack = stack_space;
  if (m_steps.size() > 64) {
    heap.resize(m_steps.size());
    stack = heap.data();
  }
  // The top of the stack stays in `acc`; stack[k] holds element k below it.
  size_t top = 0;
  long double acc = 0;
  for (const Step& step : m_steps) {
    switch (step.op) {
      case Op::kPush:
        if (top > 0) stack[top - 1] = acc;
        acc = step.value;
        ++top;
        continue;
      case Op::kHole:
        if (top > 0) stack[top - 1] = acc;
        acc = hole_values[step.hole];
        ++top;
        continue;
      case Op::kPlus:
        continue;
      case Op::kNeg:
        acc = -acc;
        continue;
      case Op::kNot:
        acc = acc == 0 ? 1 : 0;
        continue;
      case Op::kBnot: {
        const std::optional<int64_t> v = RoundExtended(acc);
        if (!v) return std::nullopt;
        acc = static_cast<long double>(~*v);
        continue;
      }
      default:
        break;
    }
    long double b;
    switch (step.right) {
      case Right::kStack:
        b = acc;
        --top;
        acc = stack[top - 1];
        break;
      case Right::kValue:
        b = step.value;
        break;
      default:
        b = hole_values[step.hole];
        break;
    }
    const long double a = acc;
    long double r = 0;
    switch (step.op) {
      case Op::kEq:
        r = a == b;
        break;
      case Op::kNe:
        r = a != b;
        break;
      case Op::kLt:
        r = a < b;
        break;
      case Op::kLe:
        r = a <= b;
        break;
      case Op::kGt:
        r = a > b;
        break;
      case Op::kGe:
        r = a >= b;
        break;
      case Op::kCmp:
        r = a < b ? -1 : (a > b ? 1 : 0);
        break;
      case Op::kAdd:
        r = a + b;
        break;
      case Op::kSub:
        r = a - b;
        break;
      case Op::kOr:
        r = (a != 0 || b != 0) ? 1 : 0;
        break;
      case Op::kXor:
        r = ((a != 0) != (b != 0)) ? 1 : 0;
        break;
      case Op::kMul:
        r = a * b;
        break;
      case Op::kDiv:
        if (b == 0) return std::nullopt;
        r = a / b;
        break;
      case Op::kAnd:
        r = (a != 0 && b != 0) ? 1 : 0;
        break;
      default: {
        const std::optional<int64_t> x = RoundExtended(a);
        const std::optional<int64_t> y = RoundExtended(b);
        if (!x || !y) return std::nullopt;
        const uint64_t ux = static_cast<uint64_t>(*x);
        switch (step.op) {
          case Op::kBor:
            r = static_cast<long double>(*x | *y);
            break;
          case Op::kBxor:
            r = static_cast<long double>(*x ^ *y);
            break;
          case Op::kBand:
            r = static_cast<long double>(*x & *y);
            break;
          case Op::kIntDiv:
            if (*y == 0 || (*y == -1 && *x == INT64_MIN)) return std::nullopt;
            r = static_cast<long double>(*x / *y);
            break;
          case Op::kMod:
            if (*y == 0) return std::nullopt;
            r = *y == -1 ? 0 : static_cast<long double>(*x % *y);
            break;
          // Shifts by a count outside 0 ... 63 leave no bits.
          case Op::kShl:
            r = (*y < 0 || *y > 63) ? 0 : static_cast<long double>(static_cast<int64_t>(ux << *y));
            break;
          case Op::kShr:
            r = (*y < 0 || *y > 63) ? 0 : static_cast<long double>(static_cast<int64_t>(ux >> *y));
            break;
          default:
            return std::nullopt;
        }
      }
    }
    acc = r;
  }
  if (top != 1) return std::nullopt;
  const long double result = acc;
  if (!std::isfinite(result) || std::fabs(result) > 1.7976931348623157e308L) return std::nullopt;
  return static_cast<double>(result);
}

std::optional<double> TryEvaluateEngineA(std::string_view text) {
  const std::optional<EngineAProgram> program = EngineAProgram::Compile(text);
  if (!program) return std::nullopt;
  return program->Run();
}

long double ReadExtended(const char* text) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return strtold_l(text, nullptr, c_locale);
}

long double EngineAOperandOf(double value) {
  if (value == 0) return 0;
  // A finite value is m * 2^e with m odd. With e < 0 it is m * 5^-e / 10^-e
  // exactly; when m * 5^-e has at most 15 digits the number text writes the
  // value exactly, and reading it back gives the same value again. Most
  // values in scripts are of this kind, whole numbers first of all.
  const uint64_t bits = std::bit_cast<uint64_t>(value);
  const int biased_exponent = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased_exponent != 0 && biased_exponent != 0x7ff) {
    uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int zeros = std::countr_zero(mantissa);
    mantissa >>= zeros;
    const int exponent = biased_exponent - 1075 + zeros;
    if (exponent >= 0) {
      if (std::fabs(value) < 1e15) return value;
    } else {
      double digits = static_cast<double>(mantissa);  // below 2^53: exact
      for (int k = -exponent; k > 0 && digits < 1e15; --k) digits *= 5;
      if (digits < 1e15) return value;
    }
  }
  const std::string text = FloatToText(value);
  return ReadExtended(text.c_str());
}

}  // namespace morvane
