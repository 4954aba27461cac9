#include "player/automation/trace.h"

namespace morvane {

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
  auto counted = m_counts.find(event);
  if (counted == m_counts.end()) counted = m_counts.emplace(std::string(event), 0).first;
  ++counted->second;
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

long long TraceLog::Count(std::string_view event) {
  std::lock_guard lock(m_mutex);
  auto counted = m_counts.find(event);
  return counted == m_counts.end() ? 0 : counted->second;
}

}  // namespace morvane
