#include "platform/program_opener.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "util/code_page.h"

extern char** environ;

namespace morvane {
namespace {

// "scheme:" with a scheme of two or more characters, so a drive letter is no
// scheme.
bool IsAddress(std::string_view target) {
  const size_t colon = target.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = target[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view parameters) {
  std::vector<std::string> args;
  std::string current;
  bool in_quotes = false;
  bool have = false;
  for (size_t i = 0; i < parameters.size(); ++i) {
    const char c = parameters[i];
    if (c == '\\') {
      size_t slashes = 0;
      while (i < parameters.size() && parameters[i] == '\\') {
        ++slashes;
        ++i;
      }
      if (i < parameters.size() && parameters[i] == '"') {
        current.append(slashes / 2, '\\');
        if (slashes % 2) {
          current.push_back('"');
        } else {
          in_quotes = !in_quotes;
        }
      } else {
        current.append(slashes, '\\');
        --i;
      }
      have = true;
    } else if (c == '"') {
      in_quotes = !in_quotes;
      have = true;
    } else if ((c == ' ' || c == '\t') && !in_quotes) {
      if (have) args.push_back(std::move(current));
      current.clear();
      have = false;
    } else {
      current.push_back(c);
      have = true;
    }
  }
  if (have) args.push_back(std::move(current));
  return args;
}

std::optional<std::vector<std::string>> OpenCommand(const DriveTable& drives,
                                                    std::string_view target,
                                                    std::string_view parameters, int code_page) {
  if (target.empty()) return std::nullopt;
  if (IsAddress(target)) return std::vector<std::string>{"xdg-open", ToUtf8(target, code_page)};
  const std::optional<std::string> host = drives.ToHost(target);
  struct stat info {};
  if (!host || stat(host->c_str(), &info) != 0) return std::nullopt;
  if (S_ISREG(info.st_mode) && (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) &&
      access(host->c_str(), X_OK) == 0) {
    std::vector<std::string> argv{*host};
    for (std::string& arg : SplitCommandLine(parameters)) argv.push_back(ToUtf8(arg, code_page));
    return argv;
  }
  return std::vector<std::string>{"xdg-open", *host};
}

void SpawnDetached(const std::vector<std::string>& argv) {
  if (argv.empty()) return;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return;
  std::thread([pid] {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace morvane
