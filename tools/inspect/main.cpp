// morvane-inspect: prints what a project holds and, with --decompile, writes
// its source folder back out; with --compat, what its scripts, options and
// objects ask for that the player does not do. Run without a path it inspects its own
// executable, so a project packed onto morvane-inspect shows its summary.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <variant>

#include "package/container.h"
#include "package/package_reader.h"
#include "package/project_summary.h"
#include "package/source_folder.h"
#include "script/compat_scan.h"

namespace {

constexpr const char* kUsage =
    "Usage: morvane-inspect [EXE|FOLDER] [--decompile DIR | --compat] [--code-page N]\n"
    "\n"
    "Prints the summary of a project: its title, key, pages with their objects,\n"
    "lists, resources and start-up options. EXE is a packed native or Windows\n"
    "executable, FOLDER a project source folder. Without a path, the executable\n"
    "inspects itself.\n"
    "\n"
    "  --decompile DIR   write the project's source folder to DIR (which must be\n"
    "                    new or empty) instead of printing the summary\n"
    "  --compat          print, as JSON, every action, object action, function and\n"
    "                    service the project's scripts, options and objects name\n"
    "                    that the player does not do or does only in part, with\n"
    "                    counts and the first place; nothing is run\n"
    "  --code-page N     the code page of the project's texts in the written\n"
    "                    source (default: guessed from the fonts, else 1252)\n"
    "  -h, --help        show this help\n"
    "  --version         show the version\n"
    "\n"
    "Exit status: 0 on success, 1 when the project cannot be read or loaded (the\n"
    "load failure is printed as the player reports it), 2 for bad arguments.\n";

int UsageError(const std::string& message) {
  std::cerr << "morvane-inspect: " << message << "\n"
            << "Try 'morvane-inspect --help'.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morvane;
  std::optional<std::string> path, decompile_dir;
  std::optional<int> code_page;
  bool compat = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "morvane-inspect " MORVANE_VERSION "\n";
      return 0;
    } else if (arg == "--compat") {
      compat = true;
    } else if (arg == "--decompile" || arg == "--code-page") {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      const std::string value = argv[++i];
      if (arg == "--decompile") {
        decompile_dir = value;
      } else {
        char* end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || n <= 0 || n > 65535)
          return UsageError("--code-page takes a code page number, not '" + value + "'");
        code_page = static_cast<int>(n);
      }
    } else if (arg.starts_with("-") && arg != "-") {
      return UsageError("unknown option " + arg);
    } else if (path) {
      return UsageError("only one project can be inspected at a time");
    } else {
      path = arg;
    }
  }
  if (compat && decompile_dir) return UsageError("--compat and --decompile do not go together");
  const bool self = !path;
  if (self) {
    std::error_code ec;
    path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (ec) path = argv[0];
  }

  std::unique_ptr<Container> container;
  try {
    container = OpenContainer(*path);
  } catch (const ContainerError& error) {
    // A plain morvane-inspect carries no project: show how to use it.
    if (self) {
      std::cerr << kUsage;
      return 2;
    }
    std::cerr << "morvane-inspect: " << error.what() << "\n";
    return 1;
  }

  std::variant<ProjectSource, LoadError> source = SourceFromContainer(*container);
  if (const auto* error = std::get_if<LoadError>(&source)) {
    std::cout << InitialisationFailureText(*error) << "\n";
    return 1;
  }
  ProjectSource& project_source = std::get<ProjectSource>(source);

  if (compat) {
    std::cout << CompatReportJson(ScanProject(project_source.project),
                                  code_page.value_or(project_source.code_page));
    return 0;
  }

  if (!decompile_dir) {
    std::cout << ProjectSummary(project_source.project, *container);
    return 0;
  }
  if (code_page) project_source.code_page = *code_page;
  try {
    WriteSourceFolder(*decompile_dir, project_source);
  } catch (const ContainerError& error) {
    std::cerr << "morvane-inspect: " << error.what() << "\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "morvane-inspect: " << *decompile_dir << ": " << error.what() << "\n";
    return 1;
  }
  return 0;
}
