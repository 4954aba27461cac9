#include "platform/system_info.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <array>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>

#include "util/ascii_case.h"

namespace morvane {
namespace {

constexpr std::array<std::string_view, 6> kDriveTypeNames = {"UNKNOWN", "FIXED", "CDROM",
                                                             "NETWORK", "RAM",   "REMOVABLE"};

bool InUse(const DriveTable& drives, char letter) {
  return drives.Kind(letter) != DriveKind::kUnknown;
}

char LetterOf(std::string_view text) {
  const char upper = AsciiToUpper(text[0]);
  return upper >= 'A' && upper <= 'Z' ? upper : '\0';
}

std::optional<int64_t> SizeQuery(const DriveTable& drives, std::string_view text, bool free) {
  if (text.empty()) return std::nullopt;
  const char letter = LetterOf(text);
  if (!letter) return 0;
  if (!InUse(drives, letter)) return -1;
  const std::optional<uint64_t> total = drives.TotalBytes(letter);
  if (!total || *total == 0) return -1;
  const std::optional<uint64_t> bytes = free ? drives.FreeBytes(letter) : total;
  if (!bytes) return -1;
  return static_cast<int64_t>(*bytes);
}

}  // namespace

int DriveCount(const DriveTable& drives) {
  int count = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) count += InUse(drives, letter);
  return count;
}

std::string NthDriveLetter(const DriveTable& drives, int64_t n) {
  int64_t count = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (letter == 'A' || InUse(drives, letter)) ++count;
    if (count == n) return std::string(1, letter);
  }
  return "";
}

int DriveTypeOfName(std::string_view name) {
  for (size_t code = 0; code < kDriveTypeNames.size(); ++code) {
    if (kDriveTypeNames[code] == name) return static_cast<int>(code);
  }
  return 0;
}

int DrivesOfType(const DriveTable& drives, std::string_view name) {
  const int wanted = DriveTypeOfName(name);
  int count = 0;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    count += static_cast<int>(drives.Kind(letter)) == wanted;
  return count;
}

std::string NthRemovableDrive(const DriveTable& drives, int64_t n) {
  int64_t count = 0;
  for (char letter = 'B'; letter <= 'Z'; ++letter) {
    if (drives.Kind(letter) != DriveKind::kRemovable) continue;
    if (++count == n) return std::string(1, letter);
  }
  return "";
}

std::optional<int> DriveReady(const DriveTable& drives, std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char letter = LetterOf(text);
  if (!letter || !InUse(drives, letter)) return 0;
  const std::optional<uint64_t> total = drives.TotalBytes(letter);
  return total && *total > 0 ? 1 : 0;
}

std::optional<int64_t> DriveSize(const DriveTable& drives, std::string_view text) {
  return SizeQuery(drives, text, false);
}

std::optional<int64_t> DriveFreeSpace(const DriveTable& drives, std::string_view text) {
  return SizeQuery(drives, text, true);
}

MemoryStatus ParseMemInfo(std::string_view meminfo) {
  MemoryStatus status;
  std::istringstream in{std::string(meminfo)};
  std::string key;
  uint64_t kilobytes = 0;
  std::string unit;
  bool have_available = false;
  uint64_t free_kb = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    if (!(fields >> key >> kilobytes)) continue;
    if (key == "MemTotal:") status.total_bytes = kilobytes * 1024;
    if (key == "MemAvailable:") {
      status.available_bytes = kilobytes * 1024;
      have_available = true;
    }
    if (key == "MemFree:") free_kb = kilobytes;
  }
  // Kernels before 3.14 have no MemAvailable.
  if (!have_available) status.available_bytes = free_kb * 1024;
  return status;
}

namespace {
std::mutex fixed_memory_mutex;
std::optional<MemoryStatus> fixed_memory;  // guarded by fixed_memory_mutex
}  // namespace

void SetFixedMemoryStatus(MemoryStatus status) {
  std::lock_guard lock(fixed_memory_mutex);
  fixed_memory = status;
}

MemoryStatus ReadMemoryStatus() {
  {
    std::lock_guard lock(fixed_memory_mutex);
    if (fixed_memory) return *fixed_memory;
  }
  std::ifstream in("/proc/meminfo");
  std::stringstream text;
  text << in.rdbuf();
  return ParseMemInfo(text.str());
}

bool InternetConnected() {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool connected = false;
  for (const ifaddrs* entry = list; entry && !connected; entry = entry->ifa_next) {
    if (!entry->ifa_addr) continue;
    const int family = entry->ifa_addr->sa_family;
    const unsigned flags = entry->ifa_flags;
    connected = (family == AF_INET || family == AF_INET6) && (flags & IFF_UP) &&
                (flags & IFF_RUNNING) && !(flags & IFF_LOOPBACK);
  }
  freeifaddrs(list);
  return connected;
}

}  // namespace morvane
