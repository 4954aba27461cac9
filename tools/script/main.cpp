// morvane-script: runs action scripts and evaluates expressions as scripts
// see them, on a console stage (a 1024x768 screen, no pages, keys up).
//
//   morvane-script [--set NAME=VALUE]... [--answers LIST] [--dump-vars OUT]
//                  [FILE] [--num EXPR | --str EXPR]...
//
// Variables are set first, in the order given; then the script FILE runs;
// then each expression is evaluated in turn and its result printed on a line
// of its own. Message boxes print "message: TEXT".

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "expr/console_stage.h"
#include "expr/environment.h"
#include "expr/evaluator.h"
#include "expr/values.h"
#include "platform/sandbox_policy.h"
#include "script/console_script_stage.h"
#include "script/script_engine.h"
#include "script/session.h"
#include "util/code_page.h"
#include "util/int_text.h"
#include "util/json_text.h"
#include "util/number_text.h"

namespace {

using namespace morvane;

constexpr const char* kUsage =
    "Usage: morvane-script [--set NAME=VALUE]... [--answers LIST] [--dump-vars OUT]\n"
    "  or:  morvane-script [--code-page N] [FILE] [--num EXPR | --str EXPR]...\n"
    "\n"
    "Runs an action script in the console, and evaluates expressions; options\n"
    "may come in any order.\n"
    "\n"
    "  FILE              an action script to run (bytes in the project's code page);\n"
    "                    its folder is the exe folder ([src])\n"
    "  --answers LIST    message-box results, comma-separated (1 OK, 2 Cancel, 3 Abort,\n"
    "                    4 Retry, 5 Ignore, 6 Yes, 7 No), then each box's first button\n"
    "  --dump-vars OUT   write the variables at the end as JSON to OUT (\"-\": stdout)\n"
    "  --code-page N     the project's code page (default 1252)\n"
    "  --drive L=FOLDER  map drive letter L to a host folder\n"
    "  --sandbox         run as a sandboxed project: C: is a prefix of the script's\n"
    "                    own, its folder the read-only D:, nothing else; programs\n"
    "                    are not started, downloads and the LAN are refused\n"
    "  --no-sandbox      run outside the sandbox, whatever player.conf says\n"
    "  --allow-network   let a sandboxed script download and use the LAN\n"
    "  --allow-plugins   let a sandboxed script load plug-in libraries\n"
    "  --set NAME=VALUE  set a variable before anything is evaluated; NAME carries\n"
    "                    its prefix (#x=3, $s=abc, !b=1) and VALUE is taken as it\n"
    "                    is: number text, any text, or 0 or 1\n"
    "  --num EXPR        print the number text of a numeric expression\n"
    "  --str EXPR        print the text of a string expression, bytes as they are\n"
    "  --help            print this help\n"
    "  --version         print the version\n"
    "\n"
    "A failure prints \"error: \" and its message on standard error and exits 1;\n"
    "each refusal of the sandbox prints \"refused: \" and what was refused there.\n";

struct Request {
  enum class Kind { kNumber, kString } kind;
  std::string text;
};

struct Options {
  std::vector<std::string> assignments;
  std::vector<Request> requests;
  std::string script_file;
  std::vector<int32_t> answers;
  std::string dump_file;
  int code_page = kDefaultCodePage;
  std::vector<std::pair<char, std::string>> drives;
  std::optional<bool> sandbox;
  bool allow_network = false;
  bool allow_plugins = false;
  bool help = false;
  bool version = false;
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
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--sandbox" || arg == "--no-sandbox") {
      options.sandbox = arg == "--sandbox";
    } else if (arg == "--allow-network") {
      options.allow_network = true;
    } else if (arg == "--allow-plugins") {
      options.allow_plugins = true;
    } else if (arg == "--set") {
      options.assignments.push_back(value());
    } else if (arg == "--num") {
      options.requests.push_back({Request::Kind::kNumber, value()});
    } else if (arg == "--str") {
      options.requests.push_back({Request::Kind::kString, value()});
    } else if (arg == "--answers") {
      std::stringstream list(value());
      for (std::string item; std::getline(list, item, ',');) {
        const std::optional<int32_t> answer = ParseInt32(item);
        if (!answer) throw UsageError("--answers wants numbers separated by commas");
        options.answers.push_back(*answer);
      }
    } else if (arg == "--dump-vars") {
      options.dump_file = value();
    } else if (arg == "--drive") {
      const std::string drive = value();
      if (drive.size() < 3 || drive[1] != '=' ||
          !std::isalpha(static_cast<unsigned char>(drive[0])))
        throw UsageError("--drive wants LETTER=FOLDER");
      options.drives.emplace_back(drive[0], drive.substr(2));
    } else if (arg == "--code-page") {
      const std::optional<int32_t> code_page = ParseInt32(value());
      if (!code_page) throw UsageError("--code-page wants a number");
      options.code_page = *code_page;
    } else if (!arg.empty() && arg[0] != '-' && options.script_file.empty()) {
      options.script_file = arg;
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
    case '$':
      values.SetString(name, value);
      break;
    case '!':
      if (value != "0" && value != "1") throw UsageError("a truth value is 0 or 1");
      values.SetBoolean(name, value == "1");
      break;
    default:
      throw UsageError("--set wants #NAME=VALUE, $NAME=VALUE or !NAME=VALUE");
  }
}

// {"numbers": {name: "number text"}, "strings": {...}, "booleans": {...}}, in
// UTF-8, names canonical.
std::string DumpVariables(TValues& values, int code_page) {
  std::string out = "{\n  \"numbers\": {";
  const char* separator = "";
  for (const auto& [name, value] : values.Numbers()) {
    out += separator + std::string("\n    ") + JsonString(ToUtf8(name, code_page)) + ": " +
           JsonString(FloatToText(value));
    separator = ",";
  }
  out += "\n  },\n  \"strings\": {";
  separator = "";
  for (const auto& [name, value] : values.Strings()) {
    out += separator + std::string("\n    ") + JsonString(ToUtf8(name, code_page)) + ": " +
           JsonString(ToUtf8(value, code_page));
    separator = ",";
  }
  out += "\n  },\n  \"booleans\": {";
  separator = "";
  for (const auto& [name, value] : values.Booleans()) {
    out += separator + std::string("\n    ") + JsonString(ToUtf8(name, code_page)) + ": " +
           (value ? "true" : "false");
    separator = ",";
  }
  return out + "\n  }\n}\n";
}

std::string ReadScriptFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read " + path);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

int Run(const Options& options, const SandboxSettings& user_settings,
        const std::vector<std::string>& command_line) {
  ConsoleScriptStage stage(&std::cout, options.code_page);
  stage.console().SetCommandLine(command_line);
  stage.SetAnswers(options.answers);
  stage.SetSpawnPrograms(true);
  SessionOptions session_options;
  session_options.environment.code_page = options.code_page;
  std::string script;
  if (!options.script_file.empty()) {
    script = ReadScriptFile(options.script_file);
    session_options.environment.exe_host_path = options.script_file;
  }
  SandboxSettings& sandbox = session_options.environment.sandbox;
  sandbox.sandbox = options.sandbox.value_or(user_settings.sandbox);
  sandbox.allow_network = options.allow_network || user_settings.allow_network;
  sandbox.allow_plugins = options.allow_plugins || user_settings.allow_plugins;
  if (sandbox.sandbox) {
    const std::string name = options.script_file.empty()
                                 ? std::string("morvane-script")
                                 : std::filesystem::path(options.script_file).filename().string();
    session_options.environment.prefix = SandboxPrefix(name, script.size());
  }
  Session session(stage, session_options);
  session.environment().sandbox().SetObserver(
      [code_page = options.code_page](SandboxRefusal what, std::string_view detail) {
        std::cerr << "refused: " << SandboxRefusalName(what) << ' ' << ToUtf8(detail, code_page)
                  << '\n';
      });
  for (const auto& [letter, folder] : options.drives)
    session.environment().drives().Map(letter, folder);
  TValues& values = session.values();
  Evaluator& evaluator = session.evaluator();
  ScriptEngine& engine = session.engine();
  engine.SetLan(&stage);
  for (const std::string& assignment : options.assignments) Assign(values, assignment);
  int status = 0;
  try {
    if (!options.script_file.empty()) engine.DoActions(1, script, 0);
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
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "error: " << ToUtf8(error.what(), options.code_page) << '\n';
    status = 1;
  }
  // Worker threads run to their end, as they would in the player.
  engine.WaitForThreads();
  if (!options.dump_file.empty()) {
    const std::string dump = DumpVariables(values, options.code_page);
    if (options.dump_file == "-") {
      std::cout << dump;
    } else {
      std::ofstream out(options.dump_file, std::ios::binary);
      out << dump;
      if (!out) throw UsageError("cannot write " + options.dump_file);
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    const Options options = ParseOptions(args);
    if (options.version) {
      std::fputs("morvane-script " MORVANE_VERSION "\n", stdout);
      return 0;
    }
    if (options.help ||
        (options.requests.empty() && options.assignments.empty() && options.script_file.empty())) {
      std::fputs(kUsage, options.help ? stdout : stderr);
      return options.help ? 0 : 2;
    }
    const PlayerConfig config = ReadPlayerConfig(PlayerConfigPath());
    if (!config.error.empty()) {
      std::cerr << "morvane-script: " << config.error << '\n';
      return 2;
    }
    return Run(options, config.sandbox, std::vector<std::string>(argv, argv + argc));
  } catch (const UsageError& error) {
    std::cerr << "morvane-script: " << error.what() << "\n" << kUsage;
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "error: " << error.what() << '\n';
    return 1;
  }
}
