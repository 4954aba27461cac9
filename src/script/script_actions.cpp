// The action tables of `DoAction`: each code to its handler. Codes without an
// entry do nothing.

#include <algorithm>
#include <array>
#include <initializer_list>

#include "expr/eval_error.h"
#include "platform/file_actions.h"
#include "platform/ini_file.h"
#include "platform/path_macros.h"
#include "platform/program_opener.h"
#include "script/script_engine.h"
#include "util/ascii_case.h"
#include "util/colour_string.h"
#include "util/int_text.h"
#include "util/number_text.h"

namespace morvane {
namespace {

// The name of the array a raw argument names: without its first character.
std::string ArrayName(const std::string& raw) {
  return raw.empty() ? raw : raw.substr(1);
}

std::string Element(const std::string& array, size_t index) {
  return array + "[" + std::to_string(index) + "]";
}

// The save dialog's default extension from its filter.
std::string DefaultExtension(const std::string& filter) {
  const size_t first = filter.find('|');
  if (first == std::string::npos) return "";
  const size_t second = filter.find('|', first + 1);
  std::string extension = second == std::string::npos
                              ? filter.substr(first + 1)
                              : filter.substr(first + 1, second - first - 1);
  if (extension.find('*') != std::string::npos)
    extension.erase(0, std::min<size_t>(2, extension.size()));
  return extension;
}

bool HasFolder(std::string_view path) {
  return path.find_first_of("\\/:") != std::string_view::npos;
}

}  // namespace

// The argument kinds are those of action_arguments.h.
std::string ScriptEngine::S(const ScriptLine& line, size_t i) {
  return ActionArgs(m_evaluator, line.arguments).S(i);
}

// An object argument written as a bare whole number, as in 10(3,"Page"), names
// that object; as a string expression it would be read as a call of the string
// function of that code and name no object at all. Anything else is a string
// expression.
std::string ScriptEngine::ObjectNumber(const ScriptLine& line, size_t i) {
  std::string_view text = line.arguments[i];
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::string(text);
  return S(line, i);
}

double ScriptEngine::D(const ScriptLine& line, size_t i) {
  return ActionArgs(m_evaluator, line.arguments).D(i);
}

int32_t ScriptEngine::N(const ScriptLine& line, size_t i) {
  return ActionArgs(m_evaluator, line.arguments).N(i);
}

bool ScriptEngine::B(const ScriptLine& line, size_t i) {
  return ActionArgs(m_evaluator, line.arguments).B(i);
}

std::string ScriptEngine::P(const ScriptLine& line, size_t i) {
  return ActionArgs(m_evaluator, line.arguments).P(i);
}

uint32_t ScriptEngine::C(const ScriptLine& line, size_t i) {
  return ActionArgs(m_evaluator, line.arguments).C(i);
}

namespace {

// Which table each action code up to 123 belongs to; codes above 123 call
// user functions.
enum class ActionTable : uint8_t {
  kNone,
  kCore,
  kNavigation,
  kAppearance,
  kDialog,
  kFile,
  kSettings,
  kCreateObject,
  kLan,
};

constexpr std::array<ActionTable, 124> MakeActionTables() {
  std::array<ActionTable, 124> tables{};
  auto put = [&](ActionTable table, std::initializer_list<int> codes) {
    for (int code : codes) tables[static_cast<size_t>(code)] = table;
  };
  put(ActionTable::kCore,
      {5, 6, 7, 8, 9, 10, 16, 17, 18, 20, 23, 24, 25, 43, 44, 58, 63, 97, 98, 99, 108, 115});
  put(ActionTable::kNavigation, {11, 12, 13, 14, 15});
  put(ActionTable::kAppearance, {57, 59, 60, 61, 62, 64, 65, 66, 67, 68, 69, 70, 71, 100, 101});
  for (int code = 73; code <= 96; ++code)
    tables[static_cast<size_t>(code)] = ActionTable::kAppearance;
  put(ActionTable::kDialog, {26, 27, 28, 29, 30});
  put(ActionTable::kFile, {21, 32, 33, 34, 35, 36, 37, 41, 106, 107, 121, 122, 123});
  put(ActionTable::kSettings, {31, 38, 39, 42, 49, 50, 51, 52, 53, 54, 55, 56, 102, 103, 104, 105});
  put(ActionTable::kCreateObject, {40});
  put(ActionTable::kLan, {109, 110, 111, 112, 113, 114});
  return tables;
}

constexpr std::array<ActionTable, 124> kActionTables = MakeActionTables();

}  // namespace

bool IsKnownActionCode(int32_t code) {
  return code >= 0 && code <= 123 && kActionTables[static_cast<size_t>(code)] != ActionTable::kNone;
}

void ScriptEngine::Dispatch(int32_t code, const ScriptLine& line, int32_t page, int32_t thread) {
  if (code > 123) {
    CallFunction(static_cast<size_t>(code) - 123, line, page, thread);
    return;
  }
  if (code < 0) return;
  switch (kActionTables[static_cast<size_t>(code)]) {
    case ActionTable::kNone:
      return;
    case ActionTable::kCore:
      CoreAction(code, line, page, thread);
      return;
    case ActionTable::kNavigation:
      Navigate(code, line, page, thread);
      return;
    case ActionTable::kAppearance:
      AppearanceAction(code, line, thread);
      return;
    case ActionTable::kDialog:
      DialogAction(code, line, page, thread);
      return;
    case ActionTable::kFile:
      FileAction(code, line, page, thread);
      return;
    case ActionTable::kSettings:
      SettingsAction(code, line, thread);
      return;
    case ActionTable::kLan:
      // The sandbox keeps the LAN away unless the user allowed the network:
      // the project meets a machine without one.
      if (!m_environment.sandbox().AllowsNetwork()) {
        m_environment.sandbox().Refuse(SandboxRefusal::kLan, "action " + std::to_string(code));
        throw ScriptError("The network connection is not available.");
      }
      LanAction(code, line);
      return;
    case ActionTable::kCreateObject: {
      const std::string kind = AsciiLower(S(line, 0));
      const std::string number = AsciiLower(S(line, 1));
      bool created = false;
      OnMain(thread, [&] { created = m_stage.CreateObject(kind, number, page); });
      if (!created)
        throw ScriptError("Failed creating the component with name \"" + number + "\".");
      return;
    }
  }
}

void ScriptEngine::CoreAction(int32_t code, const ScriptLine& line, int32_t page, int32_t thread) {
  auto window = [&](WindowCommand command) {
    OnMain(thread, [&] { m_stage.WindowAction(page, command); });
  };
  // The page named by the first argument; nothing when no page has that name.
  auto named = [&](PageWindowCommand command, bool empty_is_current) {
    const std::string name = S(line, 0);
    std::optional<int32_t> target;
    if (empty_is_current && name.empty()) {
      target = m_stage.CurrentPage();
    } else {
      target = m_stage.PageByName(name);
    }
    if (!target || *target < 1) return;
    OnMain(thread, [&] { m_stage.PageWindowAction(*target, command); });
  };
  switch (code) {
    case 5: {
      const std::string text = S(line, 0);
      OnMain(thread, [&] {
        m_stage.MessageBox(page, text, m_stage.ApplicationTitle(),
                           message_box::kOk | message_box::kIconExclamation);
      });
      return;
    }
    case 6:
      window(WindowCommand::kClose);
      return;
    case 7:
      window(WindowCommand::kHide);
      return;
    case 8:
      window(WindowCommand::kShow);
      return;
    case 16:
      window(WindowCommand::kMaximize);
      return;
    case 17:
      window(WindowCommand::kMinimizeApp);
      return;
    case 18:
      window(WindowCommand::kRestoreApp);
      return;
    case 24:
      window(WindowCommand::kRepaint);
      return;
    case 9:
      if (thread != 0) {
        m_stage.EndProgram(page, true);
      } else {
        m_stage.EndProgram(page, false);
        Terminate();
      }
      return;
    case 10: {
      ObjectActionRequest request;
      request.page_name = S(line, 1);
      if (request.page_name.empty())
        request.page_name = m_stage.PageName(m_stage.CurrentPage()).value_or("");
      request.object = ObjectNumber(line, 0);
      const size_t dot = line.text.find('.');
      if (dot != std::string::npos) request.tail = line.text.substr(dot + 1);
      request.action = line.object_action;
      request.thread = thread;
      request.script_page = page;
      request.evaluator = &m_evaluator;
      if (m_compat) request.site = CurrentScriptSite();
      OnMain(thread, [&] { m_stage.ObjectAction(request); });
      return;
    }
    case 20: {
      const std::string text = S(line, 0);
      const std::string caption = S(line, 1);
      const int32_t flags = N(line, 2);
      int32_t result = 0;
      OnMain(thread, [&] { result = m_stage.MessageBox(page, text, caption, flags); });
      m_values.SetNumber("_result", result, &m_evaluator);
      return;
    }
    case 23:
      RequestStop();
      return;
    case 25:
      m_stage.Sleep(N(line, 0), [this](int32_t milliseconds) { Wait(milliseconds); });
      return;
    case 43:
      m_stage.MessageBeep(N(line, 0));
      return;
    case 44: {
      const int32_t frequency = N(line, 0);
      m_stage.Tone(frequency, N(line, 1));
      return;
    }
    case 58:
      named(PageWindowCommand::kBringToFront, true);
      return;
    case 63:
      named(PageWindowCommand::kCentre, false);
      return;
    case 97:
      named(PageWindowCommand::kShow, false);
      return;
    case 98:
      named(PageWindowCommand::kHide, false);
      return;
    case 99:
      named(PageWindowCommand::kShowModal, false);
      return;
    case 108:
      named(PageWindowCommand::kPrint, false);
      return;
    case 115:
      named(PageWindowCommand::kClose, false);
      return;
    default:
      return;
  }
}

void ScriptEngine::Navigate(int32_t code, const ScriptLine& line, int32_t page, int32_t thread) {
  std::optional<std::string> name;
  const int32_t current = m_stage.CurrentPage();
  const int32_t count = m_stage.PageCount();
  switch (code) {
    case 11:
      name = m_stage.PageName(1);
      break;
    case 12:
      name = m_stage.PageName(count);
      break;
    case 13:
      if (current < count) name = m_stage.PageName(current + 1);
      break;
    case 14:
      if (current >= 2) name = m_stage.PageName(current - 1);
      break;
    default:
      name = S(line, 0);
      break;
  }
  std::string target;
  {
    std::lock_guard lock(m_mutex);
    if (name) m_navigation_target = *name;
    target = m_navigation_target;
  }
  OnMain(thread, [&] { m_stage.GoToPage(target, page); });
}

void ScriptEngine::AppearanceAction(int32_t code, const ScriptLine& line, int32_t thread) {
  AppearanceChange change;
  change.code = code;
  switch (code) {
    case 57:
    case 59:
    case 81:
      change.text = S(line, 0);
      break;
    case 60:
    case 61:
      change.number = N(line, 0);
      change.second = N(line, 1);
      break;
    case 71:
    case 82:
    case 91:
    case 92:
    case 93:
    case 94:
    case 95:
    case 96:
    case 101:
      change.number = N(line, 0);
      break;
    case 76:
      change.number = N(line, 0) & 0xFF;
      break;
    case 78:
    case 80:
    case 90:
      change.colour = C(line, 0);
      break;
    default:
      change.on = B(line, 0);
      break;
  }
  OnMain(thread, [&] { m_stage.PageAppearance(change); });
}

void ScriptEngine::DialogAction(int32_t code, const ScriptLine& line, int32_t page,
                                int32_t thread) {
  switch (code) {
    case 26: {
      OpenFileRequest request;
      request.filter = S(line, 0);
      std::string file = P(line, 1);
      if (!file.empty()) request.initial_file = std::move(file);
      std::string folder = P(line, 2);
      if (!folder.empty()) request.initial_folder = std::move(folder);
      request.multiple = !line.arguments[3].empty() && B(line, 3);
      m_values.SetString("_file", "", &m_evaluator);
      std::vector<std::string> chosen;
      OnMain(thread, [&] { chosen = m_stage.OpenFileDialog(page, request); });
      std::string result;
      if (chosen.size() == 1) {
        result = chosen[0];
      } else {
        for (const std::string& path : chosen) result += path + "|";
      }
      m_values.SetString("_file", result, &m_evaluator);
      return;
    }
    case 27: {
      SaveFileRequest request;
      request.filter = S(line, 0);
      request.initial_file = P(line, 1);
      request.initial_folder = P(line, 2);
      request.default_extension = DefaultExtension(request.filter);
      std::optional<std::string> chosen;
      OnMain(thread, [&] { chosen = m_stage.SaveFileDialog(page, request); });
      m_values.SetString("_file", chosen.value_or(""), &m_evaluator);
      return;
    }
    case 28: {
      FolderRequest request;
      request.caption = S(line, 0);
      request.prompt = S(line, 1);
      request.initial_folder = P(line, 2);
      request.show_files = B(line, 3);
      request.new_folder_button = B(line, 4);
      std::string folder;
      OnMain(thread, [&] { folder = m_stage.FolderDialog(page, request); });
      m_values.SetString("_file", folder, &m_evaluator);
      return;
    }
    case 29: {
      std::optional<uint32_t> initial;
      const double red = D(line, 0);
      if (red != -1) {
        const uint32_t r = static_cast<uint32_t>(ActionInteger(red)) & 0xFF;
        const uint32_t g = static_cast<uint32_t>(N(line, 1)) & 0xFF;
        const uint32_t b = static_cast<uint32_t>(N(line, 2)) & 0xFF;
        initial = r | (g << 8) | (b << 16);
      }
      std::optional<uint32_t> chosen;
      OnMain(thread, [&] { chosen = m_stage.ColourDialog(page, initial); });
      m_values.SetString("_color", chosen ? ColourToHex(*chosen) : "", &m_evaluator);
      return;
    }
    case 30: {
      const std::string wanted = S(line, 0);
      if (std::count(wanted.begin(), wanted.end(), ':') != 3)
        throw ScriptError("MORVANE Syntax Error: Font syntax is invalid.");
      const size_t a = wanted.find(':');
      const size_t b = wanted.find(':', a + 1);
      const size_t c = wanted.find(':', b + 1);
      FontChoice initial;
      initial.name = wanted.substr(0, a);
      initial.charset = StrToInt(wanted.substr(a + 1, b - a - 1));
      initial.size = StrToInt(wanted.substr(b + 1, c - b - 1));
      initial.colour = ParseColourString(AsciiUpper(wanted.substr(c + 1)));
      FontChoice chosen;
      OnMain(thread, [&] { chosen = m_stage.FontDialog(page, initial); });
      m_values.SetString("_font", FontText(chosen), &m_evaluator);
      return;
    }
    default:
      return;
  }
}

void ScriptEngine::FileAction(int32_t code, const ScriptLine& line, int32_t page, int32_t thread) {
  DriveTable& drives = m_environment.drives();
  switch (code) {
    case 21: {
      const std::string file = P(line, 0);
      const std::string parameters = S(line, 1);
      N(line, 2);  // the show mode: desktops open windows as they see fit
      if (!m_environment.sandbox().AllowsProgramStarts()) {
        m_environment.sandbox().Refuse(SandboxRefusal::kProgramStart, file);
        throw ScriptError("Opening \"" + file + "\" is not allowed in the sandbox.");
      }
      if (const auto argv = OpenCommand(drives, file, parameters, m_environment.code_page()))
        m_stage.Spawn(*argv);
      return;
    }
    case 32: {
      const std::string from = P(line, 0);
      CopyFileReplacing(drives, from, P(line, 1));
      return;
    }
    case 33:
    case 34: {
      const std::string from = P(line, 0);
      MoveFileNoReplace(drives, from, P(line, 1));
      return;
    }
    case 35:
      DeleteFileOnly(drives, P(line, 0));
      return;
    case 36:
    case 37: {
      std::string path;
      if (code == 36) {
        path = P(line, 0);
      } else {
        path = ExpandPathMacros(m_evaluator.String(AsciiLower(line.arguments[0])),
                                m_environment.macro_folders());
      }
      if (const std::optional<std::string> host = drives.ToHost(path))
        m_stage.RegisterFont(*host, code == 36);
      return;
    }
    case 41: {
      const std::string path = P(line, 0);
      WriteWholeFile(drives, path, S(line, 1));
      return;
    }
    case 106: {
      const std::string name = S(line, 0);
      const std::string target = P(line, 1);
      std::optional<std::string> bytes;
      bool listed = false;
      // The list counts from 1: entry n is the resource "DATAE" + n.
      for (size_t n = 1; n <= m_embedded_files.size() && !listed; ++n) {
        const std::optional<std::string> file_name = ExtractionName(m_embedded_files[n - 1].path);
        if (!file_name || !EqualsIgnoreCase(*file_name, name)) continue;
        listed = true;
        bytes = m_stage.ReadResource("DATAE" + std::to_string(n));
      }
      if (!listed) bytes = m_stage.ReadResource("DAF" + name);
      if (!bytes) throw ScriptError("Embedded file not found.");
      WriteWholeFile(drives, target, *bytes);
      return;
    }
    case 107: {
      const std::string path = P(line, 0);
      WritePlayerData(drives, path, S(line, 1));
      return;
    }
    case 121: {
      std::string text = S(line, 0);
      const std::string separator = S(line, 1);
      const std::string array = ArrayName(line.arguments[2]);
      if (separator.empty()) return;
      if (text.size() < separator.size() ||
          text.compare(text.size() - separator.size(), separator.size(), separator) != 0)
        text += separator;
      size_t start = 0;
      size_t index = 1;
      for (size_t at; (at = text.find(separator, start)) != std::string::npos; ++index) {
        m_values.SetString(Element(array, index), text.substr(start, at - start), &m_evaluator);
        start = at + separator.size();
      }
      return;
    }
    case 122: {
      const std::string mask = S(line, 0);
      const std::string folder = P(line, 1);
      const std::string kinds = S(line, 2);
      m_environment.SetSearchResults(
          SearchFolder(drives, mask, folder, kinds, m_environment.code_page()));
      return;
    }
    case 123: {
      const std::optional<std::vector<std::string>> results = m_environment.SearchResults();
      if (!results) return;
      const std::string array = ArrayName(line.arguments[0]);
      for (size_t i = 0; i < results->size(); ++i)
        m_values.SetString(Element(array, i + 1), (*results)[i], &m_evaluator);
      return;
    }
    default:
      return;
  }
}

void ScriptEngine::SettingsAction(int32_t code, const ScriptLine& line, int32_t thread) {
  RegistryAccessor& registry = m_environment.registry();
  auto ini_write = [&](const std::string& section, const std::string& key,
                       const std::string& value) {
    const std::optional<IniFile> ini = m_environment.BoundIniFile();
    if (!ini) return;
    std::string name;
    {
      std::lock_guard lock(m_mutex);
      name = m_ini_name;
    }
    // A file on a read-only drive is there to be read, not written.
    if (!m_environment.drives().ToHost(name, PathAccess::kWrite))
      throw ScriptError("Unable to write to " + name);
    try {
      IniFile(*ini).Write(section, key, value);
    } catch (const IniWriteError&) {
      std::lock_guard lock(m_mutex);
      throw ScriptError("Unable to write to " + m_ini_name);
    }
  };
  switch (code) {
    case 31: {
      const std::string address = S(line, 0);
      const std::string path = P(line, 1);
      if (!m_environment.sandbox().AllowsNetwork()) {
        m_environment.sandbox().Refuse(SandboxRefusal::kDownload, address);
        throw ScriptError("Downloading \"" + address + "\" is not allowed in the sandbox.");
      }
      m_stage.Download(m_environment.drives(), address, path);
      return;
    }
    case 38: {
      const std::string text = S(line, 0);
      OnMain(thread, [&] { m_stage.SetClipboardText(text); });
      return;
    }
    case 39:
      m_stage.MultimediaCommand(P(line, 0));
      return;
    case 42:
      m_stage.LoadKeyboardLayout("0000" + S(line, 0));
      return;
    case 49:
      registry.SetRoot(S(line, 0));
      return;
    case 50: {
      const std::string key = S(line, 0);
      const bool create = !line.arguments[1].empty() && B(line, 1);
      registry.CloseKey();
      registry.OpenKey(key, create);
      return;
    }
    case 51:
      registry.CreateKey(S(line, 0));
      return;
    case 52:
      registry.DeleteKey(S(line, 0));
      return;
    case 53: {
      const std::string name = S(line, 0);
      registry.Write(name, RegistryValue(S(line, 1)));
      return;
    }
    case 54: {
      const std::string name = S(line, 0);
      registry.Write(name, RegistryValue(N(line, 1)));
      return;
    }
    case 55: {
      const std::string name = S(line, 0);
      const double value = TextToFloat(FloatToText(D(line, 1))).value_or(0);
      registry.Write(name, RegistryValue(value));
      return;
    }
    case 56: {
      const std::string name = S(line, 0);
      registry.Write(name, RegistryValue(B(line, 1)));
      return;
    }
    case 102: {
      std::string path = P(line, 0);
      if (!HasFolder(path)) path = m_environment.windows_folder() + path;
      m_environment.BindIniFile(m_environment.drives().ToHost(path).value_or(""));
      std::lock_guard lock(m_mutex);
      m_ini_name = path;
      return;
    }
    case 103: {
      const std::string section = S(line, 0);
      const std::string key = S(line, 1);
      ini_write(section, key, S(line, 2));
      return;
    }
    case 104: {
      const std::string section = S(line, 0);
      const std::string key = S(line, 1);
      ini_write(section, key, FloatToText(D(line, 2)));
      return;
    }
    case 105: {
      const std::string section = S(line, 0);
      const std::string key = S(line, 1);
      ini_write(section, key, B(line, 2) ? "1" : "0");
      return;
    }
    default:
      return;
  }
}

void ScriptEngine::LanAction(int32_t code, const ScriptLine& line) {
  switch (code) {
    case 109:
      m_lan->SetHost(S(line, 0));
      return;
    case 110:
      m_lan->SetPort(N(line, 0));
      return;
    case 111:
      S(line, 0);
      m_lan->Server(true);
      return;
    case 112:
      S(line, 0);
      m_lan->Server(false);
      return;
    case 113:
      m_lan->SendText(S(line, 0));
      return;
    case 114:
      m_lan->SendFile(P(line, 0));
      return;
    default:
      return;
  }
}

}  // namespace morvane
