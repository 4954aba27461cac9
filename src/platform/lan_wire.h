#pragma once

// The bytes players exchange over the LAN. Every connection carries one unit
// and is closed by its sender:
//   - a text message: the text's bytes, then CR LF;
//   - a file announcement: "$MORVANE:FILE." + the file's name, then CR LF;
//   - a file body: the raw bytes of the file, ending when the sender closes.
// The receiver reads a line up to its first LF and drops a CR right before
// it; whatever follows the LF is never read. A body is told from a line only
// by the announcement that came before it.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

inline constexpr std::string_view kLanFileMarker = "$MORVANE:FILE";

// Text + CR LF.
std::string LanTextMessage(std::string_view text);
// "$MORVANE:FILE." + name + CR LF.
std::string LanFileAnnouncement(std::string_view name);

// The name part of a Windows path, as the announcement carries it: what
// follows the last "\", "/" or ":".
std::string LanFileName(std::string_view windows_path);

// A received line (without its LF): the name it announces when the text
// before its first "." is exactly the marker, else nothing (a message).
std::optional<std::string> LanAnnouncedName(std::string_view line);

// Gathers the bytes of a line connection up to its first LF, holding no more
// than `max_line` bytes of it.
class LanLineReader {
 public:
  enum class State { kReading, kComplete, kTooLong };

  explicit LanLineReader(size_t max_line) : m_max_line(max_line) {}

  // Takes the bytes that arrived; once the line is complete or too long the
  // rest is ignored.
  State Feed(std::string_view bytes);
  State state() const { return m_state; }
  // The complete line, its CR before the LF dropped.
  const std::string& line() const { return m_line; }

 private:
  size_t m_max_line;
  State m_state = State::kReading;
  std::string m_line;
};

}  // namespace morvane
