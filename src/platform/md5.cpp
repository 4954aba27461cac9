#include "platform/md5.h"

#include <nettle/md5.h>

#include <cstdint>

namespace morvane {

std::string Md5Hex(std::string_view bytes) {
  md5_ctx context;
  md5_init(&context);
  md5_update(&context, bytes.size(), reinterpret_cast<const uint8_t*>(bytes.data()));
  uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&context, sizeof digest, digest);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * sizeof digest);
  for (uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xf];
  }
  return hex;
}

}  // namespace morvane
