// morvane-pack: packs a project into an executable, a native one (a copy of
// the player carrying the resources and the trailer) or a Windows PE one.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "package/container.h"
#include "package/native_container.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package/pe_writer.h"
#include "package/source_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "Usage: morvane-pack SRC -o OUT [--pe] [--player BIN]\n"
    "\n"
    "Packs the project SRC into the executable OUT. SRC is a project source\n"
    "folder, or an executable whose project is packed again.\n"
    "\n"
    "  -o, --output OUT  the executable to write (replaced when it exists)\n"
    "  --pe              write a Windows PE executable instead of a native one\n"
    "  --player BIN      the player binary a native executable is a copy of\n"
    "                    (default: morvane-player beside morvane-pack, else\n"
    "                    morvane-inspect beside it)\n"
    "  -h, --help        show this help\n"
    "  --version         show the version\n"
    "\n"
    "Exit status: 0 on success, 1 when the project cannot be read or packed,\n"
    "2 for bad arguments.\n";

int UsageError(const std::string& message) {
  std::cerr << "morvane-pack: " << message << "\n"
            << "Try 'morvane-pack --help'.\n";
  return 2;
}

// Reports the steps of a pack on stderr, but only once it has taken long
// enough for someone to wonder; a quick pack prints nothing.
class Progress {
 public:
  void Step(const std::string& what) {
    const auto elapsed = std::chrono::steady_clock::now() - m_start;
    if (elapsed > std::chrono::milliseconds(700)) std::cerr << "morvane-pack: " << what << "\n";
  }

 private:
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

fs::path OwnFolder(const char* argv0) {
  std::error_code ec;
  fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) self = fs::absolute(argv0, ec);
  return self.parent_path();
}

std::optional<std::string> DefaultPlayer(const char* argv0) {
  const fs::path folder = OwnFolder(argv0);
  for (const char* name : {"morvane-player", "morvane-inspect"}) {
    std::error_code ec;
    if (fs::is_regular_file(folder / name, ec)) return (folder / name).string();
  }
  return std::nullopt;
}

void WriteFileReplacing(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".partial";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ec;
      fs::remove(temp, ec);
      throw morvane::WriteError(path + ": cannot be written");
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    fs::remove(temp, ec);
    throw morvane::WriteError(path + ": cannot be written");
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace morvane;
  std::optional<std::string> source_path, out_path, player_path;
  bool pe = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--version") {
      std::cout << "morvane-pack " MORVANE_VERSION "\n";
      return 0;
    } else if (arg == "-o" || arg == "--output" || arg == "--player") {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      (arg == "--player" ? player_path : out_path) = argv[++i];
    } else if (arg == "--pe") {
      pe = true;
    } else if (arg.starts_with("-") && arg != "-") {
      return UsageError("unknown option " + arg);
    } else if (source_path) {
      return UsageError("only one project can be packed at a time");
    } else {
      source_path = arg;
    }
  }
  if (!source_path) return UsageError("no project given");
  if (!out_path) return UsageError("no output given (-o OUT)");
  if (pe && player_path) return UsageError("--player is for native executables, not with --pe");

  Progress progress;
  try {
    std::unique_ptr<Container> container = OpenContainer(*source_path);
    progress.Step("checking that the project loads");
    // Never write an executable whose project the player would refuse.
    const LoadResult loaded = LoadProject(*container);
    if (const auto* error = std::get_if<LoadError>(&loaded)) {
      std::cerr << "morvane-pack: " << *source_path << ": the project does not load:\n"
                << InitialisationFailureText(*error) << "\n";
      return 1;
    }
    ResourceList resources;
    for (const std::string& name : container->ResourceNames()) {
      if (std::optional<std::string> bytes = container->Resource(name))
        resources.emplace_back(name, std::move(*bytes));
    }
    const std::optional<std::string> trailer = container->Trailer();
    progress.Step("writing " + *out_path);
    if (pe) {
      WriteFileReplacing(*out_path, WritePeExecutable(resources, trailer));
    } else {
      if (!player_path) player_path = DefaultPlayer(argv[0]);
      if (!player_path) {
        std::cerr << "morvane-pack: no player binary beside morvane-pack; name one with "
                     "--player BIN\n";
        return 1;
      }
      WriteNativeExecutable(*player_path, resources, trailer, *out_path);
    }
  } catch (const ContainerError& error) {
    std::cerr << "morvane-pack: " << error.what() << "\n";
    return 1;
  } catch (const WriteError& error) {
    std::cerr << "morvane-pack: " << error.what() << "\n";
    return 1;
  } catch (const std::exception& error) {
    std::cerr << "morvane-pack: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
