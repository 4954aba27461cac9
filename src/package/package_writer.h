#pragma once

// Writes a Project as a scrambled package, the inverse of ReadPackage: for a
// model the reader produced, ReadPackage(WritePackage(p)) == p.

#include <stdexcept>
#include <string>

#include "package/project_model.h"

namespace morvane {

class WriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws WriteError when the model cannot be written faithfully (a key out of
// 1..99, a text that would read back as a record separator, a function name
// holding "-", ...).
std::string WritePackage(const Project& project);

// A record whose bytes end in 00 and a byte like 01 runs into the separator
// after it and is cut short, and which bytes those are depends on the key.
// Writes with the project's key, or when that key cannot write the project,
// with the first key from 1 to 99 that can; `project.key` tells which.
std::string WritePackageChoosingKey(Project& project);

}  // namespace morvane
