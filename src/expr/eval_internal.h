#pragma once

// The pieces the two implementations of the evaluators share. Not for use
// outside src/expr.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "expr/evaluator.h"

namespace morvane::expr_detail {

// The reference implementations. The numeric ones give nothing when the
// text left after substitution is no expression the engine can compute, and
// raise for every other failure; either way the caller reports EvalError.
std::optional<double> NumberReference(Evaluator& ev, std::string_view text);
std::string StringReference(Evaluator& ev, std::string_view text);
// The fast ones; they fall back on the reference.
std::optional<double> NumberFast(Evaluator& ev, std::string_view text);
std::string StringFast(Evaluator& ev, std::string_view text);

// Steps 1 and 2 of a numeric evaluation: "()" removed, constants replaced.
// Depends on the text alone.
std::string PrepareNumericText(std::string_view text);
// The function phase on a text that holds an "@".
void RunFunctionPhase(Evaluator& ev, std::string& t);
// The three reference passes; false for the evaluation error (an index that
// does not evaluate, a text grown too long).
bool SubstituteVariables(Evaluator& ev, std::string& t);

// The value of a built-in numeric function as number text. `args` are the
// argument texts, not yet evaluated. Raises on any failure.
std::string CallNumericFunction(Evaluator& ev, int code, const std::vector<std::string_view>& args);
// Whether the code has arguments; nothing for codes that do not exist.
enum class Arity { kNone, kSome, kUnknown };
Arity NumericArity(int code);
// The codes in the order the function phase takes them.
const std::vector<int>& NoArgumentOrder();
const std::vector<int>& ArgumentOrder();
// Codes whose call runs to the end of the text.
bool RunsToEnd(int code);
// How many arguments the call text is split into.
int NumericArgumentCount(int code);

// A string function call; nothing for a code that does not exist. `args`
// are the argument texts split as the code needs them.
bool IsStringFunction(int code);
int StringArgumentCount(int code);
std::string CallStringFunction(Evaluator& ev, int code, const std::vector<std::string_view>& args,
                               std::string_view whole_argument_text);

// The result step of every string evaluation: folder macros when the text
// begins with "[", then the \q and \br escapes.
std::string ResultStep(Environment& env, std::string text);
// Whether ResultStep leaves the text as it is whatever the environment.
bool ResultStepIsIdentity(std::string_view text);
// Whether the text holds a "\\" or a marker of the escape decoding.
bool HasEscapeOrMarker(std::string_view text);

// The bytes of the regular file at a Windows path; nothing when it cannot be
// read or is larger than any script could use.
std::optional<std::string> ReadFileBytes(Environment& env, std::string_view windows_path);
// Lines split at CR LF, CR or LF; a break at the very end starts no line.
std::vector<std::string> SplitTextLines(std::string_view bytes);
// "Cannot open file ..." as ScriptError.
[[noreturn]] void ThrowCannotOpen(std::string_view windows_path);

}  // namespace morvane::expr_detail
