#include "player/automation/trace.h"

namespace morvane {

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
          out += buffer;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

TraceLog::~TraceLog() {
  if (m_file) std::fclose(m_file);
}

bool TraceLog::Open(const std::string& path) {
  std::lock_guard lock(m_mutex);
  if (path.empty()) return true;
  m_file = std::fopen(path.c_str(), "w");
  return m_file != nullptr;
}

void TraceLog::Write(std::string_view event, std::initializer_list<Field> fields) {
  std::lock_guard lock(m_mutex);
  if (!m_file) return;
  std::string line = "{\"event\":" + JsonString(event);
  for (const auto& [name, value] : fields) {
    line += ',' + JsonString(name) + ':';
    if (const long long* n = std::get_if<long long>(&value)) {
      line += std::to_string(*n);
    } else {
      line += JsonString(std::get<std::string>(value));
    }
  }
  line += "}\n";
  std::fwrite(line.data(), 1, line.size(), m_file);
  std::fflush(m_file);
}

}  // namespace morvane
