#include "platform/trailer.h"

#include "util/fd_io.h"
#include "util/text_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <stdexcept>

namespace morvane {

namespace {

constexpr uint64_t kMaxBlockLength = std::numeric_limits<int32_t>::max();

class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

// A regular file opened without blocking on FIFOs or devices, or -1.
int OpenRegular(const std::string& path, int flags, struct stat* info) {
  const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (fstat(fd, info) != 0 || !S_ISREG(info->st_mode)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::optional<uint32_t> TrailerBlockLength(std::string_view length_field, uint64_t bytes_to_end) {
  if (length_field.size() != 4) return std::nullopt;
  const uint32_t raw =
      uint32_t(uint8_t(length_field[0])) | uint32_t(uint8_t(length_field[1])) << 8 |
      uint32_t(uint8_t(length_field[2])) << 16 | uint32_t(uint8_t(length_field[3])) << 24;
  // The field is signed: anything with the top bit set is negative.
  if (raw > kMaxBlockLength || raw < 4 || raw > bytes_to_end) return std::nullopt;
  return raw;
}

std::optional<std::string> ReadTrailerBlock(std::string_view file_bytes) {
  if (file_bytes.size() < 4) return std::nullopt;
  const auto length =
      TrailerBlockLength(file_bytes.substr(file_bytes.size() - 4), file_bytes.size());
  if (!length) return std::nullopt;
  return std::string(file_bytes.substr(file_bytes.size() - *length, *length - 4));
}

std::optional<std::string> ReadTrailerFile(const std::string& path) {
  struct stat info;
  const Fd fd(OpenRegular(path, O_RDONLY, &info));
  if (fd.get() < 0) return std::nullopt;
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (size < 4) return std::nullopt;
  char field[4];
  if (!PreadFully(fd.get(), field, 4, size - 4)) return std::nullopt;
  const auto length = TrailerBlockLength(std::string_view(field, 4), size);
  if (!length) return std::nullopt;
  std::string payload(*length - 4, '\0');
  if (!PreadFully(fd.get(), payload.data(), payload.size(), size - *length)) return std::nullopt;
  return payload;
}

std::string TrailerBlock(std::string_view payload) {
  if (payload.size() > kMaxBlockLength - 4) throw std::length_error("trailer payload too long");
  const uint32_t length = static_cast<uint32_t>(payload.size() + 4);
  std::string block(payload);
  for (int shift = 0; shift < 32; shift += 8) block.push_back(static_cast<char>(length >> shift));
  return block;
}

bool AppendTrailerFile(const std::string& path, std::string_view payload) {
  if (payload.size() > kMaxBlockLength - 4) return false;
  struct stat info;
  const Fd fd(OpenRegular(path, O_WRONLY | O_APPEND, &info));
  if (fd.get() < 0) return false;
  const std::string block = TrailerBlock(payload);
  const bool written = WriteFully(fd.get(), block.data(), block.size());
  // Cut off a partial block: a file ending in half a block would hand the
  // next reader a stray length.
  if (!written && ftruncate(fd.get(), info.st_size) != 0) {
    // The half block stays; there is no better state to go back to.
  }
  return written;
}

std::vector<std::string> StartupOptionLines(std::string_view payload) {
  if (payload.empty()) return {};
  const std::vector<std::string_view> lines = LinesOf(payload.substr(1));
  return {lines.begin(), lines.end()};
}

bool WantsLoadingWindow(std::string_view payload) {
  const std::vector<std::string> lines = StartupOptionLines(payload);
  return !lines.empty() && lines[0] == "1";
}

}  // namespace morvane
