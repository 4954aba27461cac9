#pragma once

// What scripts can learn about the machine: drives (those of the drive table),
// memory and the network. Every query is answered afresh.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/drive_table.h"

namespace morvane {

// Drive letters in use: mapped letters whose kind is known.
int DriveCount(const DriveTable& drives);
// The n-th letter from A, counting A always and every other letter in use;
// empty when the count never reaches n.
std::string NthDriveLetter(const DriveTable& drives, int64_t n);
// The kind of a type name ("FIXED", "CDROM" ...; case matters); 0 for others.
int DriveTypeOfName(std::string_view name);
// How many of the 26 letters have the kind `name` stands for (an unused letter
// has kind 0, "UNKNOWN").
int DrivesOfType(const DriveTable& drives, std::string_view name);
// The n-th removable drive from B on; empty when there are fewer.
std::string NthRemovableDrive(const DriveTable& drives, int64_t n);
// By the first character of `text`: 1 when that drive has a size above 0.
// Empty text has no first character: nothing.
std::optional<int> DriveReady(const DriveTable& drives, std::string_view text);
// Total and free bytes of the drive the first character names: -1 for a drive
// that is absent or not ready, 0 when the character is no letter, nothing for
// empty text.
std::optional<int64_t> DriveSize(const DriveTable& drives, std::string_view text);
std::optional<int64_t> DriveFreeSpace(const DriveTable& drives, std::string_view text);

struct MemoryStatus {
  uint64_t total_bytes = 0;
  uint64_t available_bytes = 0;
};
// From /proc/meminfo; the full 64-bit figures.
MemoryStatus ReadMemoryStatus();
// Makes ReadMemoryStatus give these figures in place of the live ones, which
// change with whatever else runs; for runs that must repeat exactly.
void SetFixedMemoryStatus(MemoryStatus status);
// The figures of a /proc/meminfo text (MemTotal and MemAvailable, in kB).
MemoryStatus ParseMemInfo(std::string_view meminfo);

// Whether a network interface other than loopback is up and has an address.
// Sends nothing.
bool InternetConnected();

}  // namespace morvane
