#pragma once

// Engine B: the rewriting engine that computes numeric expressions with
// function calls, once calls and variables have become number text. It takes
// the text apart step by step and writes every intermediate result back as
// number text, so each step is rounded to 15 significant digits. "*", "/" and
// "^" share one precedence above "+" and "-"; a sign right after an operator
// belongs to the next operand.

#include <string_view>

namespace morvane {

// Raises EvalError on failure.
double EvaluateEngineB(std::string_view text);

// base ^ exponent as both engines compute powers; nothing for a negative base
// with a fractional exponent.
bool Power(long double base, long double exponent, long double* result);

}  // namespace morvane
