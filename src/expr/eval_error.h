#pragma once

// The failures of expression evaluation.

#include <stdexcept>
#include <string>

namespace morvane {

// The one message of every numeric failure.
inline constexpr const char* kParsingIntegerFailed = "Parsing integer failed.";

class EvalError : public std::runtime_error {
 public:
  EvalError() : std::runtime_error(kParsingIntegerFailed) {}
};

// A failure with a message of its own that string functions let through to the
// script: a file that cannot be opened, a list index out of range ...
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace morvane
