#pragma once

// The MD5 digest, for scripts that ask for one.

#include <string>
#include <string_view>

namespace morvane {

// 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

}  // namespace morvane
