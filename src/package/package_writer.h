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

}  // namespace morvane
