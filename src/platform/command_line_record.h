#pragma once

// What a later start of a project hands to the first one: its command line
// as one record, every element followed by the byte 01 (element 0 is the
// project's own path as a Windows path, then the arguments meant for the
// project), and the key by which two starts know they run the same project.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

inline constexpr char kCommandLineSeparator = '\x01';

std::string EncodeCommandLine(const std::vector<std::string>& elements);

// The pieces before each 01 byte, in order; text after the last 01 is not a
// piece, and the record ends at its first NUL byte.
std::vector<std::string> DecodeCommandLine(std::string_view record);

// The application title followed by the package data's size in decimal.
std::string InstanceKey(std::string_view title, uint64_t package_size);

}  // namespace morvane
