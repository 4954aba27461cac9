#pragma once

// The trace file: one JSON object per line, written as things happen so that
// a trace survives a crash up to its last event. Safe from any thread.

#include <cstdio>
#include <initializer_list>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "util/json_text.h"

namespace morvane {

class TraceLog {
 public:
  using Value = std::variant<long long, std::string>;
  using Field = std::pair<std::string_view, Value>;

  TraceLog() = default;
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // An empty path keeps the log closed; events are then dropped.
  bool Open(const std::string& path);
  bool IsOpen() const { return m_file != nullptr; }

  // {"event":NAME, fields...}; string values are UTF-8.
  void Write(std::string_view event, std::initializer_list<Field> fields = {});
  // How many events of that name were written so far, with or without a file.
  long long Count(std::string_view event);

 private:
  std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  FILE* m_file = nullptr;
  std::map<std::string, long long, std::less<>> m_counts;
};

}  // namespace morvane
