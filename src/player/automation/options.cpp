#include "player/automation/options.h"

#include <charconv>

namespace morvane {
namespace {

std::optional<int> ParseInt(const std::string& text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

const char* PlayerUsage() {
  return "Usage: morvane-player [options] [--] [PROJECT [ARGUMENT...]]\n"
         "\n"
         "Runs a Morvane project. PROJECT is a project executable (Windows or native)\n"
         "or a project source folder. Without it the player runs the project carried\n"
         "by its own executable; when that is the demo, or nothing, it shows its start\n"
         "window (headless: it runs the demo). The arguments after PROJECT are the\n"
         "project's own; an executable that carries its project gives the project\n"
         "every argument that is not an option, and all after \"--\".\n"
         "\n"
         "Options:\n"
         "  --demo              run the demo carried by the player's own executable\n"
         "  --headless          run without a display; message boxes are answered\n"
         "                      from --answers\n"
         "  --answers LIST      comma-separated message-box answers (1 OK, 2 Cancel,\n"
         "                      3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No); once used\n"
         "                      up, every box takes its default button\n"
         "  --trace FILE        write one JSON object per line for every message box,\n"
         "                      page shown or hidden, and the exit\n"
         "  --quit-after MS     end the program after MS milliseconds\n"
         "  --dump-vars FILE    write the variables as JSON when the program ends\n"
         "  --compat-report FILE  when the program ends, write as JSON what the run\n"
         "                      met that this player does not do, or only in part\n"
         "  --screenshot DIR    at the end, write page<N>.png for every visible page\n"
         "  --input FILE        play mouse and keyboard steps from FILE\n"
         "  --no-transitions    show every page at once, without its show transition\n"
         "  --dialog-answers FILE  answer headless dialogs from FILE, one line each:\n"
         "                      a path, paths joined by \"|\", a colour, a font or\n"
         "                      cancel; without it every dialog is cancelled\n"
         "  --print-to DIR      print jobs write DIR/print<N>.pdf instead of going to\n"
         "                      the default printer\n"
         "  --codepage N        the code page of texts in fonts of character set 0 or 1\n"
         "                      (default: guessed from the project's fonts)\n"
         "  --audio none|auto   where sound goes: nowhere, in real time (the default\n"
         "                      headless), or the desktop's output\n"
         "  --sandbox           run a project you do not trust: it sees only its own\n"
         "                      C: drive and its folder as a read-only D:, starts no\n"
         "                      program and has no network and no plug-ins\n"
         "  --no-sandbox        run outside the sandbox, whatever player.conf says\n"
         "  --allow-network     let a sandboxed project download and use the LAN\n"
         "  --allow-plugins     let a sandboxed project load its plug-in libraries\n"
         "  --lan-idle-timeout MS  close a LAN connection that sends nothing for MS\n"
         "                      milliseconds (default 30000)\n"
         "  -h, --help          show this help\n"
         "  --version           show the version\n";
}

ParsedOptions ParsePlayerArguments(const std::vector<std::string>& arguments, bool packed) {
  ParsedOptions parsed;
  PlayerOptions& o = parsed.options;
  auto fail = [&](std::string message) {
    parsed.error = std::move(message);
    return parsed;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (arg == "--") {
      // The rest belongs to the project: PROJECT first, unless the player
      // carries it.
      for (++i; i < arguments.size(); ++i) {
        if (!packed && o.project.empty()) {
          o.project = arguments[i];
        } else {
          o.project_arguments.push_back(arguments[i]);
        }
      }
      break;
    } else if (arg == "-h" || arg == "--help") {
      o.help = true;
    } else if (arg == "--version") {
      o.version = true;
    } else if (arg == "--demo") {
      o.demo = true;
    } else if (arg == "--headless") {
      o.headless = true;
    } else if (arg == "--no-transitions") {
      o.no_transitions = true;
    } else if (arg == "--sandbox" || arg == "--no-sandbox") {
      o.sandbox = arg == "--sandbox";
    } else if (arg == "--allow-network") {
      o.allow_network = true;
    } else if (arg == "--allow-plugins") {
      o.allow_plugins = true;
    } else if (arg == "--answers" || arg == "--trace" || arg == "--quit-after" ||
               arg == "--dump-vars" || arg == "--compat-report" || arg == "--screenshot" ||
               arg == "--input" || arg == "--codepage" || arg == "--dialog-answers" ||
               arg == "--print-to" || arg == "--audio" || arg == "--lan-idle-timeout") {
      std::optional<std::string> v = value();
      if (!v) return fail("option " + arg + " needs a value");
      if (arg == "--answers") {
        size_t start = 0;
        while (start <= v->size()) {
          size_t comma = v->find(',', start);
          if (comma == std::string::npos) comma = v->size();
          std::string item = v->substr(start, comma - start);
          std::optional<int> n = ParseInt(item);
          if (!n) return fail("--answers: '" + item + "' is not a button number");
          o.answers.push_back(*n);
          start = comma + 1;
        }
      } else if (arg == "--quit-after" || arg == "--codepage") {
        std::optional<int> n = ParseInt(*v);
        if (!n || *n < 0) return fail(arg + ": '" + *v + "' is not a number");
        (arg == "--quit-after" ? o.quit_after_ms : o.code_page) = *n;
      } else if (arg == "--lan-idle-timeout") {
        std::optional<int> n = ParseInt(*v);
        if (!n || *n <= 0) return fail(arg + ": '" + *v + "' is not a number of milliseconds");
        o.lan_idle_timeout_ms = *n;
      } else if (arg == "--trace") {
        o.trace_file = *v;
      } else if (arg == "--dump-vars") {
        o.dump_vars_file = *v;
      } else if (arg == "--compat-report") {
        o.compat_report_file = *v;
      } else if (arg == "--screenshot") {
        o.screenshot_dir = *v;
      } else if (arg == "--dialog-answers") {
        o.dialog_answers_file = *v;
      } else if (arg == "--print-to") {
        o.print_to_dir = *v;
      } else if (arg == "--audio") {
        if (*v != "none" && *v != "auto") return fail("--audio: '" + *v + "' is not none or auto");
        o.audio = *v;
      } else {
        o.input_file = *v;
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg);
    } else if (packed) {
      o.project_arguments.push_back(arg);
    } else {
      // PROJECT: what follows it is the project's, options or not.
      o.project = arg;
      o.project_arguments.assign(arguments.begin() + std::ptrdiff_t(i) + 1, arguments.end());
      break;
    }
  }
  if (o.demo && !o.project.empty()) return fail("--demo runs the demo, not " + o.project);
  return parsed;
}

SandboxSettings SandboxOf(const PlayerOptions& options) {
  SandboxSettings settings;
  settings.sandbox = options.sandbox.value_or(options.user_settings.sandbox);
  settings.allow_network = options.allow_network || options.user_settings.allow_network;
  settings.allow_plugins = options.allow_plugins || options.user_settings.allow_plugins;
  return settings;
}

}  // namespace morvane
