#pragma once

// Whole reads and writes on file descriptors: the loops that go on after a
// short transfer or an interrupted call, so that a caller sees all or nothing.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace morvane {

// Reads up to `size` bytes at `offset` into `out`, stopping early only at the
// end of the file or on an error; the count of bytes read.
size_t PreadUpTo(int fd, char* out, size_t size, uint64_t offset);

// Whether exactly `size` bytes could be read at `offset`.
bool PreadFully(int fd, char* out, size_t size, uint64_t offset);

// Whether all `size` bytes were written at the file position.
bool WriteFully(int fd, const char* data, size_t size);

// The most a project's file may give a reader in one piece.
inline constexpr size_t kMaxReadBytes = size_t{256} << 20;

// The whole of a regular file of at most `max_bytes`; nothing for anything
// else: a missing or unreadable file, a folder, a device, a FIFO (which is
// never waited on), a longer file.
std::optional<std::string> ReadRegularFile(const std::string& path,
                                           size_t max_bytes = kMaxReadBytes);

}  // namespace morvane
