#include "platform/lan_wire.h"

namespace morvane {

std::string LanTextMessage(std::string_view text) {
  std::string bytes(text);
  bytes += "\r\n";
  return bytes;
}

std::string LanFileAnnouncement(std::string_view name) {
  std::string bytes(kLanFileMarker);
  bytes += '.';
  bytes += name;
  bytes += "\r\n";
  return bytes;
}

std::string LanFileName(std::string_view windows_path) {
  const size_t cut = windows_path.find_last_of("\\/:");
  return std::string(cut == std::string_view::npos ? windows_path : windows_path.substr(cut + 1));
}

std::optional<std::string> LanAnnouncedName(std::string_view line) {
  const size_t dot = line.find('.');
  if (dot == std::string_view::npos || line.substr(0, dot) != kLanFileMarker) return std::nullopt;
  return std::string(line.substr(dot + 1));
}

LanLineReader::State LanLineReader::Feed(std::string_view bytes) {
  if (m_state != State::kReading) return m_state;
  const size_t lf = bytes.find('\n');
  const std::string_view part = lf == std::string_view::npos ? bytes : bytes.substr(0, lf);
  // Held: at most the line's max_line bytes and the CR before its LF.
  if (m_line.size() + part.size() > m_max_line + 1) {
    m_line.clear();
    m_line.shrink_to_fit();
    return m_state = State::kTooLong;
  }
  m_line.append(part);
  if (lf == std::string_view::npos) return m_state;
  if (!m_line.empty() && m_line.back() == '\r') m_line.pop_back();
  if (m_line.size() > m_max_line) {
    m_line.clear();
    m_line.shrink_to_fit();
    return m_state = State::kTooLong;
  }
  return m_state = State::kComplete;
}

}  // namespace morvane
