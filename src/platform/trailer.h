#pragma once

// The executable trailer: blocks appended after an executable image, each a
// payload followed by its total length (payload + 4) as a signed 32-bit
// little-endian number. Appending never rewrites earlier blocks, so readers
// use the last one. The player's own last block holds its start-up options.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The total length N of the block whose 4-byte length field is
// `length_field`, when the block fits: 4 <= N <= bytes_to_end, where
// bytes_to_end counts the bytes from the start of the file to the end of the
// field. A length below 4 would give a block ending before its own length
// field, so it is no block.
std::optional<uint32_t> TrailerBlockLength(std::string_view length_field, uint64_t bytes_to_end);

// The payload of the last block of the bytes, or nothing when the last four
// bytes are no valid length.
std::optional<std::string> ReadTrailerBlock(std::string_view file_bytes);

// The same for a file; reads only the block, never the whole file. Nothing for
// a missing file or anything but a regular file.
std::optional<std::string> ReadTrailerFile(const std::string& path);

// Appends payload + its length to an existing regular file. A missing file
// fails and is not created; a failed write leaves the file as it was.
bool AppendTrailerFile(const std::string& path, std::string_view payload);

// The payload as one block: payload, then its length + 4.
std::string TrailerBlock(std::string_view payload);

// The start-up options: the payload without its first byte, as lines split at
// CR, LF or CR LF. A line break at the very end starts no further line.
std::vector<std::string> StartupOptionLines(std::string_view payload);

// Line 0 of the start-up options is "1".
bool WantsLoadingWindow(std::string_view payload);

}  // namespace morvane
