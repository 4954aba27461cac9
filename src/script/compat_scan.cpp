#include "script/compat_scan.h"

#include <algorithm>
#include <set>
#include <utility>

#include "script/script_program.h"
#include "util/ascii_case.h"

namespace morvane {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The text of an argument that is a bare whole number or one quoted literal;
// nothing for anything that needs evaluating.
std::optional<std::string> LiteralArgument(std::string_view raw) {
  const std::string_view text = Trimmed(raw);
  if (!text.empty() && std::all_of(text.begin(), text.end(), IsDigit)) return std::string(text);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"' &&
      text.substr(1, text.size() - 2).find('"') == std::string_view::npos)
    return std::string(text.substr(1, text.size() - 2));
  return std::nullopt;
}

bool NamesWindowsLibrary(std::string_view path) {
  return path.size() >= 4 && AsciiLower(path.substr(path.size() - 4)) == ".dll";
}

class Scanner {
 public:
  explicit Scanner(const Project& project) : m_project(project) {}

  void Services() {
    const ProjectOptions& options = m_project.options;
    const CompatPlace project_place;
    if (options.no_cursor_shadow) m_found.NoteService(CompatService::kCursorShadow, project_place);
    if (options.no_menu_fade) m_found.NoteService(CompatService::kMenuFade, project_place);
    if (options.swap_mouse_buttons)
      m_found.NoteService(CompatService::kMouseButtonSwap, project_place);
    for (size_t p = 0; p < m_project.pages.size(); ++p) {
      for (const PageObject& object : m_project.pages[p].objects) {
        const std::optional<CompatService> service = ObjectService(object.kind);
        if (!service) continue;
        // A plug-in window loads native libraries; one that names a Windows
        // library works only where its native counterpart lies beside it,
        // which a run finds out.
        const bool plugin = object.kind == ObjectKind::Plugin;
        if (plugin && !NamesWindowsLibrary(object.file)) continue;
        CompatPlace place;
        place.page = static_cast<int32_t>(p + 1);
        place.object = "OBJ" + object.name;
        m_found.NoteService(*service, place, plugin ? std::string_view(object.file) : "");
      }
    }
  }

  void Script(const ProjectScript& script) {
    const std::shared_ptr<const ScriptProgram> program = ParseScript(*script.text);
    for (size_t i = 0; i < program->lines.size(); ++i) {
      CompatPlace place = script.place;
      place.line = i + 1;
      Line(program->lines[i], place);
    }
  }

  std::vector<CompatEntry> Entries() const { return m_found.Entries(); }

 private:
  void Line(const ScriptLine& line, const CompatPlace& place) {
    auto expression = [&](std::string_view text) {
      ForEachFunctionCode(text, [&](CompatKind kind, int32_t code) {
        if (const CompatRow* row = FindCompatRow(kind, code)) m_found.Note(*row, place);
      });
    };
    switch (line.kind) {
      case LineKind::kIf:
      case LineKind::kWhile:
        for (const ConditionGroup& group : line.condition.groups) expression(group.text);
        return;
      case LineKind::kFor:
        expression(line.for_header.from);
        expression(line.for_header.to);
        return;
      case LineKind::kNumberAssignment:
      case LineKind::kStringAssignment:
      case LineKind::kBooleanAssignment:
        expression(line.expression);
        return;
      case LineKind::kAction:
        break;
      default:
        return;
    }
    for (const std::string& argument : line.arguments) expression(argument);
    if (!line.code) return;
    if (const CompatRow* row = FindCompatRow(CompatKind::kAction, *line.code))
      m_found.Note(*row, place);
    if (*line.code == 10) ObjectAction(line, place, expression);
  }

  // 10(object,page).tail: the tail is everything after the line's first ".".
  template <typename Expression>
  void ObjectAction(const ScriptLine& line, const CompatPlace& place, Expression& expression) {
    const size_t dot = line.text.find('.');
    if (dot == std::string::npos) return;
    const std::string tail = line.text.substr(dot + 1);
    if (tail.find('(') != std::string::npos) {
      for (const std::string& argument : SplitActionLine(tail).arguments) expression(argument);
    }
    std::string code_text(Trimmed(std::string_view(tail).substr(0, tail.find('('))));
    const std::optional<int32_t> code = ParseActionCode(code_text);
    const std::optional<std::string> object = LiteralArgument(line.arguments[0]);
    if (!code || !object) return;

    // The page: the named one, the script's own for an empty name, else any.
    std::optional<size_t> page;
    const std::optional<std::string> name = Trimmed(line.arguments[1]).empty()
                                                ? std::optional<std::string>("")
                                                : LiteralArgument(line.arguments[1]);
    if (name && name->empty()) {
      if (place.page) page = static_cast<size_t>(*place.page);
    } else if (name) {
      for (size_t p = 0; p < m_project.pages.size() && !page; ++p) {
        if (EqualsIgnoreCase(m_project.pages[p].name, *name)) page = p + 1;
      }
      if (!page) return;  // no page of that name: the action finds nothing
    }
    std::set<ObjectKind> kinds;
    for (size_t p = 0; p < m_project.pages.size(); ++p) {
      if (page && *page != p + 1) continue;
      for (const PageObject& candidate : m_project.pages[p].objects) {
        if (EqualsIgnoreCase(candidate.name, *object)) kinds.insert(candidate.kind);
      }
    }
    for (ObjectKind kind : kinds) {
      if (const CompatRow* row = FindObjectActionRow(kind, *code)) m_found.Note(*row, place);
    }
  }

  const Project& m_project;
  CompatRecorder m_found;
};

}  // namespace

std::vector<ProjectScript> ProjectScripts(const Project& project) {
  std::vector<ProjectScript> scripts;
  auto add = [&](const Script& text, std::optional<int32_t> page, std::string object,
                 std::string event) {
    if (text.empty()) return;
    ProjectScript script;
    script.place.page = page;
    script.place.object = std::move(object);
    script.place.event = std::move(event);
    script.text = &text;
    scripts.push_back(std::move(script));
  };
  const std::pair<const char*, const Script Project::*> project_scripts[] = {
      {"on_error", &Project::on_error},
      {"on_hint", &Project::on_hint},
      {"on_minimize", &Project::on_minimize},
      {"on_restore", &Project::on_restore},
      {"on_help", &Project::help},
      {"on_lan_message", &Project::lan_message},
      {"on_lan_file", &Project::lan_file},
      {"on_command_line", &Project::command_line},
  };
  for (const auto& [event, member] : project_scripts) add(project.*member, {}, "", event);
  for (size_t f = 0; f < project.functions.size(); ++f)
    add(project.functions[f].body, {}, "", "function " + std::to_string(f + 1));

  const std::pair<const char*, const Script Page::*> page_scripts[] = {
      {"on_show", &Page::on_show},
      {"on_close", &Page::on_close},
      {"on_resize", &Page::on_resize},
      {"on_wheel", &Page::on_wheel},
  };
  const std::pair<const char*, const Script PageObject::*> object_scripts[] = {
      {"on_mouse_down", &PageObject::evntMDown},
      {"on_mouse_up", &PageObject::evntMUp},
      {"on_mouse_enter", &PageObject::evntMEnter},
      {"on_mouse_leave", &PageObject::evntMLeave},
      {"on_change", &PageObject::evntCH},
      {"on_double_click", &PageObject::evntdbl},
      {"on_timer", &PageObject::evntTimer},
      {"on_start", &PageObject::evntStart},
      {"on_finish", &PageObject::evntFinish},
      {"on_flash_command", &PageObject::evntFS},
      {"on_flash_call", &PageObject::evntFC},
      {"on_before_navigate", &PageObject::evntBN},
      {"on_navigate_complete", &PageObject::evntAN},
      {"on_new_window", &PageObject::evntNW},
      {"on_progress_change", &PageObject::evntPC},
      {"on_status_change", &PageObject::evntSC},
      {"on_title_change", &PageObject::evntTC},
      {"on_app_call", &PageObject::evntAC},
  };
  for (size_t p = 0; p < project.pages.size(); ++p) {
    const Page& page = project.pages[p];
    const auto number = static_cast<int32_t>(p + 1);
    for (const auto& [event, member] : page_scripts) add(page.*member, number, "", event);
    for (const PageObject& object : page.objects) {
      for (const auto& [event, member] : object_scripts)
        add(object.*member, number, "OBJ" + object.name, event);
    }
  }
  return scripts;
}

void ForEachFunctionCode(std::string_view text,
                         const std::function<void(CompatKind kind, int32_t code)>& found) {
  bool quoted = false;
  char previous = '\0';  // the last character outside quotes that is no space
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      quoted = !quoted;
      previous = c;
      continue;
    }
    if (quoted || c == ' ') continue;
    const bool numeric = c == '@';
    const bool operand_start =
        IsDigit(c) && (previous == '\0' || previous == '+' || previous == '(' || previous == ',');
    if (!numeric && !operand_start) {
      previous = c;
      continue;
    }
    size_t end = numeric ? i + 1 : i;
    int64_t code = 0;
    while (end < text.size() && IsDigit(text[end]) && code < 1000000)
      code = code * 10 + (text[end++] - '0');
    const bool has_digits = end > (numeric ? i + 1 : i);
    if (numeric && has_digits && end < text.size() && text[end] == '%') {
      found(CompatKind::kNumericFunction, static_cast<int32_t>(code));
    } else if (!numeric && end < text.size() && text[end] == '(' &&
               FindCompatRow(CompatKind::kStringFunction, static_cast<int32_t>(code))) {
      found(CompatKind::kStringFunction, static_cast<int32_t>(code));
    }
    // Go on after the code; the digits are no operand start of their own.
    i = (has_digits ? end : i + 1) - 1;
    previous = text[i];
  }
}

std::vector<CompatEntry> ScanProject(const Project& project) {
  Scanner scanner(project);
  scanner.Services();
  for (const ProjectScript& script : ProjectScripts(project)) scanner.Script(script);
  return scanner.Entries();
}

}  // namespace morvane
