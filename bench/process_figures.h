#pragma once

// What the benches read of a process: a file whole, and the resident memory
// the kernel reports for a process.

#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Kilobytes, or -1 when the process is gone.
inline long ResidentKb(pid_t pid) {
  std::istringstream in(ReadText("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}
