#pragma once

// A project container hands out the named resources of a project ("PDATA",
// "BDATAG" + n, "IDATA" + n, "DATAE" + n, "SQLite3", "DAF" + name) and the
// executable trailer. Containers are Windows PE executables, our own native
// packed executables and project source folders.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class Container {
 public:
  virtual ~Container() = default;
  // The bytes of the named resource; names are compared ignoring case, as
  // Windows does for resource names.
  virtual std::optional<std::string> Resource(std::string_view name) const = 0;
  virtual std::vector<std::string> ResourceNames() const = 0;
  // The payload of the last trailer block, or nothing when there is none.
  virtual std::optional<std::string> Trailer() const = 0;
};

// Raised by OpenContainer for a file that is no container we can read.
class ContainerError : public std::exception {
 public:
  explicit ContainerError(std::string message) : m_message(std::move(message)) {}
  const char* what() const noexcept override { return m_message.c_str(); }

 private:
  std::string m_message;
};

// Opens a PE executable, a native packed executable or a project source folder.
std::unique_ptr<Container> OpenContainer(const std::string& path);

}  // namespace morvane
