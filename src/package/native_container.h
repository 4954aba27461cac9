#pragma once

// Our own packed executable: a copy of the Linux player binary that carries a
// project. Layout:
//
//   [player binary][archive: table, then resource data][footer][trailer blocks]
//
// The table lists (name, offset, size) with offsets counted from the archive
// start; the fixed-size footer records where the archive starts, its size,
// the table size and a CRC-32 of the table, between two copies of a magic.
// Trailer blocks appended later (any number of them) do not hide the footer:
// a reader steps back from the end over trailer blocks until it meets it.
// The last four bytes of the footer read as a negative trailer length, so the
// end of a footer is never taken for a trailer block.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "package/container.h"

namespace morvane {

class NativeContainer : public Container {
 public:
  // Reads the footer and the table; resource data is read on demand. Throws
  // ContainerError for a file without a sound archive.
  static std::unique_ptr<NativeContainer> Open(const std::string& path);

  // The same over bytes held by the container.
  explicit NativeContainer(std::string bytes);

  // True when the file ends in an archive footer, past any trailer blocks,
  // whether or not the archive is sound; false for a file without one and for
  // a file that cannot be opened.
  static bool HasArchive(const std::string& path);

  ~NativeContainer() override;

  // Nothing for an unknown name, and nothing when the file no longer holds
  // the bytes (it was cut short after it was opened).
  std::optional<std::string> Resource(std::string_view name) const override;
  std::vector<std::string> ResourceNames() const override;  // in table order
  std::optional<std::string> Trailer() const override;

  // The size of the player binary in front of the archive.
  uint64_t PlayerSize() const { return m_archive_offset; }

  class Source;  // the file or the bytes

 private:
  struct Entry {
    std::string name;
    uint64_t offset;  // in the file
    uint64_t size;
  };

  explicit NativeContainer(std::unique_ptr<Source> source);

  std::unique_ptr<Source> m_source;
  uint64_t m_archive_offset = 0;
  std::vector<Entry> m_entries;
  std::unordered_map<std::string, size_t> m_by_folded_name;
};

// The player binary with the resources and, when given, one trailer block.
// A binary that already carries an archive contributes only the part in
// front of it, so a packed player can be packed again. Resources keep their
// order; the output depends on the inputs only. Throws WriteError
// (package_writer.h) for an empty name or a name twice (ignoring case).
std::string BuildNativeExecutable(std::string_view player_binary,
                                  const std::vector<std::pair<std::string, std::string>>& resources,
                                  std::optional<std::string_view> trailer_payload);

// The same from and to files. The output gets the permission bits of the
// player binary and is replaced only once it is complete. Throws WriteError.
void WriteNativeExecutable(const std::string& player_binary_path,
                           const std::vector<std::pair<std::string, std::string>>& resources,
                           std::optional<std::string_view> trailer_payload,
                           const std::string& out_path);

}  // namespace morvane
