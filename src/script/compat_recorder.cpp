#include "script/compat_recorder.h"

#include <algorithm>

#include "script/compat_scan.h"
#include "util/code_page.h"
#include "util/json_text.h"

namespace morvane {

CompatPlace LocateScript(const Project* project, const ScriptSite& site) {
  CompatPlace fallback;
  if (site.page > 0) fallback.page = site.page;
  if (site.line > 0) fallback.line = site.line;
  if (!project || site.script.empty()) return fallback;
  const std::vector<ProjectScript> scripts = ProjectScripts(*project);
  const ProjectScript* found = nullptr;
  for (const ProjectScript& script : scripts) {
    if (*script.text != site.script) continue;
    if (!found) found = &script;
    if (script.place.page == site.page) {
      found = &script;
      break;
    }
  }
  if (!found) return fallback;
  CompatPlace place = found->place;
  if (!place.page) place.page = fallback.page;
  place.line = fallback.line;
  return place;
}

void CompatRecorder::Note(const CompatRow& row, const CompatPlace& place, uint64_t times,
                          std::string_view detail) {
  std::lock_guard lock(m_mutex);
  CompatEntry* entry = nullptr;
  for (CompatEntry& each : m_entries) {
    if (each.row == &row) {
      each.count += times;
      entry = &each;
      break;
    }
  }
  if (!entry) entry = &m_entries.emplace_back(CompatEntry{&row, times, place, {}});
  std::vector<std::string>& details = entry->details;
  if (!detail.empty() && details.size() < kMaxCompatDetails &&
      std::find(details.begin(), details.end(), detail) == details.end())
    details.emplace_back(detail);
}

void CompatRecorder::Note(const CompatRow& row, const ScriptSite& site) {
  {
    std::lock_guard lock(m_mutex);
    for (CompatEntry& entry : m_entries) {
      if (entry.row == &row) {
        ++entry.count;
        return;
      }
    }
  }
  // First met: placing the script is slow, so it is done outside the lock.
  Note(row, LocateScript(m_project, site));
}

void CompatRecorder::NoteAction(int32_t code, const ScriptSite& site) {
  if (const CompatRow* row = FindCompatRow(CompatKind::kAction, code)) Note(*row, site);
}

void CompatRecorder::NoteObjectAction(ObjectKind object, int32_t code, const ScriptSite& site) {
  if (const CompatRow* row = FindObjectActionRow(object, code)) Note(*row, site);
}

void CompatRecorder::NoteService(CompatService service, const CompatPlace& place,
                                 std::string_view detail) {
  if (const CompatRow* row = FindServiceRow(service)) Note(*row, place, 1, detail);
}

void CompatRecorder::NumericFunctionCalled(int32_t code) {
  if (const CompatRow* row = FindCompatRow(CompatKind::kNumericFunction, code))
    Note(*row, CurrentScriptSite());
}

void CompatRecorder::StringFunctionCalled(int32_t code) {
  if (const CompatRow* row = FindCompatRow(CompatKind::kStringFunction, code))
    Note(*row, CurrentScriptSite());
}

std::vector<CompatEntry> CompatRecorder::Entries() const {
  std::vector<CompatEntry> entries;
  {
    std::lock_guard lock(m_mutex);
    entries = m_entries;
  }
  // Rows are one array, so their addresses give the table's order.
  std::sort(entries.begin(), entries.end(),
            [](const CompatEntry& a, const CompatEntry& b) { return a.row < b.row; });
  return entries;
}

std::string CompatReportJson(const std::vector<CompatEntry>& entries, int code_page) {
  auto text_or_null = [&](const std::string& text) {
    return text.empty() ? std::string("null") : JsonString(ToUtf8(text, code_page));
  };
  std::string json = "{\"entries\": [";
  bool first_entry = true;
  for (const CompatEntry& entry : entries) {
    const CompatRow& row = *entry.row;
    json += first_entry ? "\n  " : ",\n  ";
    first_entry = false;
    json += "{\"kind\": " + JsonString(CompatKindName(row.kind));
    json += ", \"code\": " +
            (row.kind == CompatKind::kService ? std::string("null") : std::to_string(row.code));
    json += ", \"object_kind\": " +
            (row.object ? JsonString(ObjectKindName(*row.object)) : std::string("null"));
    json += ", \"name\": " + JsonString(row.name);
    json += ", \"level\": " + JsonString(CompatLevelName(row.level));
    json += ", \"reason\": " + JsonString(row.reason);
    json += ", \"count\": " + std::to_string(entry.count);
    const CompatPlace& place = entry.first;
    json += ", \"first\": {\"page\": " +
            (place.page ? std::to_string(*place.page) : std::string("null"));
    json += ", \"object\": " + text_or_null(place.object);
    json += ", \"event\": " + text_or_null(place.event);
    json += ", \"line\": " + (place.line ? std::to_string(*place.line) : std::string("null"));
    json += "}";
    if (!entry.details.empty()) {
      json += ", \"details\": [";
      for (size_t i = 0; i < entry.details.size(); ++i)
        json += (i ? ", " : "") + JsonString(ToUtf8(entry.details[i], code_page));
      json += "]";
    }
    json += "}";
  }
  json += first_entry ? "]}\n" : "\n]}\n";
  return json;
}

}  // namespace morvane
