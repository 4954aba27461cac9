// morvane-script: evaluates expressions as scripts see them, on a console
// stage (a 1024x768 screen, no pages, keys up).
//
//   morvane-script [--set NAME=VALUE]... (--num EXPR | --str EXPR)...
//
// Variables are set first, in the order given; then each expression is
// evaluated in turn and its result printed on a line of its own.

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "expr/console_stage.h"
#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "util/number_text.h"

namespace {

using namespace morvane;

constexpr const char* kUsage =
    "usage: morvane-script [--set NAME=VALUE]... (--num EXPR | --str EXPR)...\n"
    "\n"
    "  --set NAME=VALUE  set a variable before anything is evaluated; NAME carries\n"
    "                    its prefix (#x=3, $s=abc, !b=1) and VALUE is taken as it\n"
    "                    is: number text, any text, or 0 or 1\n"
    "  --num EXPR        print the number text of a numeric expression\n"
    "  --str EXPR        print the text of a string expression, bytes as they are\n"
    "  --help            print this help\n"
    "\n"
    "A failure prints \"error: \" and its message on standard error and exits 1.\n";

struct Request {
  enum class Kind { kNumber, kString } kind;
  std::string text;
};

struct Options {
  std::vector<std::string> assignments;
  std::vector<Request> requests;
  bool help = false;
};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--set") {
      options.assignments.push_back(value());
    } else if (arg == "--num") {
      options.requests.push_back({Request::Kind::kNumber, value()});
    } else if (arg == "--str") {
      options.requests.push_back({Request::Kind::kString, value()});
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  return options;
}

void Assign(TValues& values, std::string_view assignment) {
  const size_t equals = assignment.find('=');
  if (assignment.empty() || equals == std::string_view::npos || equals < 2)
    throw UsageError("--set wants #NAME=VALUE, $NAME=VALUE or !NAME=VALUE");
  const std::string_view name = assignment.substr(1, equals - 1);
  const std::string_view value = assignment.substr(equals + 1);
  switch (assignment[0]) {
    case '#': {
      const std::optional<double> number = TextToFloat(value);
      if (!number) throw UsageError("not a number: " + std::string(value));
      values.SetNumber(name, *number);
      break;
    }
    case '$': values.SetString(name, value); break;
    case '!':
      if (value != "0" && value != "1") throw UsageError("a truth value is 0 or 1");
      values.SetBoolean(name, value == "1");
      break;
    default: throw UsageError("--set wants #NAME=VALUE, $NAME=VALUE or !NAME=VALUE");
  }
}

int Run(const Options& options, const std::vector<std::string>& command_line) {
  ConsoleStage stage(command_line);
  EnvironmentOptions environment_options;
  std::unique_ptr<Environment> environment = Environment::Create(stage, environment_options);
  TValues values;
  Evaluator evaluator(values, *environment);
  for (const std::string& assignment : options.assignments) Assign(values, assignment);
  for (const Request& request : options.requests) {
    if (request.kind == Request::Kind::kNumber) {
      std::cout << FloatToText(evaluator.Number(request.text)) << '\n';
    } else {
      const std::string text = evaluator.String(request.text);
      std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::cout << '\n';
    }
    std::cout.flush();
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const Options options = ParseOptions(args);
    if (options.help || (options.requests.empty() && options.assignments.empty())) {
      std::fputs(kUsage, options.help ? stdout : stderr);
      return options.help ? 0 : 2;
    }
    return Run(options, std::vector<std::string>(argv, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << "morvane-script: " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "error: " << error.what() << '\n';
    return 1;
  }
}
