#pragma once

// A Windows PE or PE32+ executable read as a container: its RCDATA resources
// by name and the trailer appended after the image. The bytes are untrusted;
// every malformed structure is a ContainerError, never a crash.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "package/container.h"

namespace morvane {

class PeContainer : public Container {
 public:
  // Maps (or reads) the file; throws ContainerError when it is no readable PE.
  static std::unique_ptr<PeContainer> Open(const std::string& path);

  // Reads from bytes held by the container; throws ContainerError.
  explicit PeContainer(std::string bytes);

  std::optional<std::string> Resource(std::string_view name) const override;
  // In directory order: named entries as UTF-8, numbered ones as "#" + number.
  std::vector<std::string> ResourceNames() const override;
  std::optional<std::string> Trailer() const override;

  // Where the named resource lies in the file.
  struct Location {
    uint64_t offset = 0;
    uint32_t size = 0;
  };
  std::optional<Location> Locate(std::string_view name) const;

 private:
  struct Entry {
    std::string name;
    Location location;
  };

  PeContainer(std::shared_ptr<const void> owner, std::string_view bytes);
  void Parse();

  std::shared_ptr<const void> m_owner;  // keeps m_bytes alive
  std::string_view m_bytes;
  std::vector<Entry> m_entries;
  std::unordered_map<std::string, size_t> m_by_folded_name;  // the first of equal names
};

}  // namespace morvane
