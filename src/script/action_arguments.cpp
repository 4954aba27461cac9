#include "script/action_arguments.h"

#include <climits>
#include <exception>

#include "expr/eval_error.h"
#include "expr/evaluator.h"
#include "platform/path_macros.h"
#include "util/ascii_case.h"
#include "util/colour_string.h"
#include "util/int_text.h"
#include "util/number_text.h"

namespace morvane {

int32_t ActionInteger(double value) {
  const std::optional<int64_t> rounded = RoundHalfEven(value);
  if (!rounded || *rounded > INT32_MAX || *rounded < INT32_MIN)
    throw ConversionError(FloatToText(rounded ? static_cast<double>(*rounded) : value));
  return static_cast<int32_t>(*rounded);
}

bool ActionTruth(double value) {
  const std::optional<int64_t> rounded = RoundHalfEven(value);
  return rounded ? *rounded > 0 : value > 0;
}

std::string UncarryEventScript(std::string_view carried) {
  std::string script(carried);
  for (char& c : script) {
    c = static_cast<char>(static_cast<uint8_t>(static_cast<uint8_t>(c) - 5));
    if (c == '\x01') c = '\r';
  }
  return script;
}

std::string ActionArgs::S(size_t i) {
  return m_evaluator.String(m_raw[i]);
}

double ActionArgs::D(size_t i) {
  return m_evaluator.Number(m_raw[i]);
}

uint32_t ActionArgs::C(size_t i) {
  return ParseColourString(AsciiUpper(S(i)));
}

std::optional<FontSpec> ActionArgs::F(size_t i) {
  return ParseFontString(S(i));
}

std::string ActionArgs::P(size_t i) {
  return ExpandPathMacros(S(i), m_evaluator.environment().macro_folders());
}

ObjectActionText ParseObjectActionText(std::string_view tail) {
  ObjectActionText parsed;
  const size_t open = tail.find('(');
  try {
    parsed.code = StrToInt(tail.substr(0, open));
  } catch (const std::exception& e) {
    parsed.code_error = e.what();
  }
  if (open != std::string_view::npos) parsed.arguments = SplitActionLine(tail).arguments;
  return parsed;
}

}  // namespace morvane
