#include "util/fd_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace morvane {

size_t PreadUpTo(int fd, char* out, size_t size, uint64_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

bool PreadFully(int fd, char* out, size_t size, uint64_t offset) {
  return PreadUpTo(fd, out, size, offset) == size;
}

bool WriteFully(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

std::optional<std::string> ReadRegularFile(const std::string& path, size_t max_bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> bytes;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
      static_cast<uint64_t>(info.st_size) <= max_bytes) {
    std::string data(static_cast<size_t>(info.st_size), '\0');
    data.resize(PreadUpTo(fd, data.data(), data.size(), 0));
    bytes = std::move(data);
  }
  close(fd);
  return bytes;
}

}  // namespace morvane
