#include "script/console_script_stage.h"

#include <stdexcept>

#include "util/ascii_case.h"

namespace morvane {
namespace {

const char* CommandName(WindowCommand command) {
  switch (command) {
    case WindowCommand::kClose:
      return "close";
    case WindowCommand::kHide:
      return "hide";
    case WindowCommand::kShow:
      return "show";
    case WindowCommand::kMaximize:
      return "maximize";
    case WindowCommand::kRepaint:
      return "repaint";
    case WindowCommand::kMinimizeApp:
      return "minimize-app";
    case WindowCommand::kRestoreApp:
      return "restore-app";
  }
  return "?";
}

const char* CommandName(PageWindowCommand command) {
  switch (command) {
    case PageWindowCommand::kBringToFront:
      return "front";
    case PageWindowCommand::kCentre:
      return "centre";
    case PageWindowCommand::kShow:
      return "show";
    case PageWindowCommand::kHide:
      return "hide";
    case PageWindowCommand::kShowModal:
      return "modal";
    case PageWindowCommand::kPrint:
      return "print";
    case PageWindowCommand::kClose:
      return "close";
  }
  return "?";
}

}  // namespace

ConsoleScriptStage::ConsoleScriptStage(std::ostream* out, int code_page)
    : m_out(out), m_code_page(code_page) {}

void ConsoleScriptStage::SetPages(std::vector<ConsoleStage::Page> pages, int32_t current) {
  std::lock_guard lock(m_mutex);
  m_pages = pages;
  ConsoleStage::SetPages(std::move(pages), current);
}

void ConsoleScriptStage::SetAnswers(std::vector<int32_t> answers) {
  std::lock_guard lock(m_mutex);
  m_answers.assign(answers.begin(), answers.end());
}

void ConsoleScriptStage::SetResource(std::string name, std::string bytes) {
  std::lock_guard lock(m_mutex);
  m_resources.emplace_back(std::move(name), std::move(bytes));
}

std::vector<std::string> ConsoleScriptStage::Log() const {
  std::lock_guard lock(m_mutex);
  return m_log;
}

void ConsoleScriptStage::ClearLog() {
  std::lock_guard lock(m_mutex);
  m_log.clear();
}

bool ConsoleScriptStage::ProgramEnded() const {
  std::lock_guard lock(m_mutex);
  return m_ended;
}

void ConsoleScriptStage::Record(std::string line) {
  std::lock_guard lock(m_mutex);
  m_log.push_back(std::move(line));
}

int32_t ConsoleScriptStage::MessageBox(int32_t page, std::string_view text,
                                       std::string_view caption, int32_t flags) {
  int32_t result = message_box::DefaultResult(flags);
  {
    std::lock_guard lock(m_mutex);
    // A box with an OK button alone has nothing to ask.
    if ((flags & 0x0F) != message_box::kOk && !m_answers.empty()) {
      result = m_answers.front();
      m_answers.pop_front();
    }
    m_log.push_back("message: " + std::string(caption) + "|" + std::string(text) + "|" +
                    std::to_string(flags));
    if (m_out) {
      *m_out << "message: " << ToUtf8(text, m_code_page) << '\n';
      m_out->flush();
    }
  }
  return result;
}

std::vector<std::string> ConsoleScriptStage::OpenFileDialog(int32_t page,
                                                            const OpenFileRequest& request) {
  Record("dialog: open " + request.filter);
  return {};
}

std::optional<std::string> ConsoleScriptStage::SaveFileDialog(int32_t page,
                                                              const SaveFileRequest& request) {
  Record("dialog: save " + request.filter + " ext " + request.default_extension);
  return std::nullopt;
}

std::string ConsoleScriptStage::FolderDialog(int32_t page, const FolderRequest& request) {
  Record("dialog: folder " + request.caption);
  return request.initial_folder;
}

std::optional<uint32_t> ConsoleScriptStage::ColourDialog(int32_t page,
                                                         std::optional<uint32_t> initial) {
  Record("dialog: colour");
  return std::nullopt;
}

FontChoice ConsoleScriptStage::FontDialog(int32_t page, const FontChoice& initial) {
  Record("dialog: font " + initial.name);
  return initial;
}

void ConsoleScriptStage::WindowAction(int32_t page, WindowCommand command) {
  Record("window: " + std::to_string(page) + " " + CommandName(command));
}

void ConsoleScriptStage::PageWindowAction(int32_t page, PageWindowCommand command) {
  Record("page-window: " + std::to_string(page) + " " + CommandName(command));
}

void ConsoleScriptStage::GoToPage(std::string_view name, int32_t script_page) {
  Record("goto: " + std::string(name));
  const std::optional<int32_t> page = ConsoleStage::PageByName(name);
  if (!page) return;
  std::lock_guard lock(m_mutex);
  ConsoleStage::SetPages(m_pages, *page);
}

void ConsoleScriptStage::EndProgram(int32_t script_page, bool from_worker) {
  Record(from_worker ? "end: worker" : "end");
  std::lock_guard lock(m_mutex);
  m_ended = true;
}

void ConsoleScriptStage::ObjectAction(const ObjectActionRequest& request) {
  Record("object: " + request.page_name + "|" + request.object + "|" + request.tail);
}

void ConsoleScriptStage::PageAppearance(const AppearanceChange& change) {
  Record("appearance: " + std::to_string(change.code) + " " + change.text + " " +
         std::to_string(change.number) + " " + std::to_string(change.second) + " " +
         (change.on ? "1" : "0") + " " + std::to_string(change.colour));
}

bool ConsoleScriptStage::CreateObject(std::string_view kind, std::string_view number,
                                      int32_t script_page) {
  static constexpr std::string_view kKinds[] = {"text",      "edit",   "button", "image",
                                                "rectangle", "circle", "line",   "hotspot",
                                                "timer",     "sound",  "flash",  "browser"};
  bool known = false;
  for (std::string_view k : kKinds) known |= k == kind;
  if (!known) return false;
  const std::string line = "create: " + std::string(kind) + " " + std::string(number);
  std::lock_guard lock(m_mutex);
  for (const std::string& done : m_log) {
    if (done.rfind("create: ", 0) == 0 && done.substr(done.find(' ', 8) + 1) == number)
      return false;
  }
  m_log.push_back(line);
  return true;
}

void ConsoleScriptStage::SetClipboardText(std::string_view text) {
  Record("clipboard: " + std::string(text));
  ConsoleStage::SetClipboardText(std::string(text));
}

void ConsoleScriptStage::MultimediaCommand(std::string_view command) {
  Record("mci: " + std::string(command));
}

void ConsoleScriptStage::LoadKeyboardLayout(std::string_view layout_id) {
  Record("keyboard: " + std::string(layout_id));
}

void ConsoleScriptStage::MessageBeep(int32_t type) {
  Record("beep: " + std::to_string(type));
}

void ConsoleScriptStage::Tone(int32_t frequency, int32_t duration_ms) {
  Record("tone: " + std::to_string(frequency) + " " + std::to_string(duration_ms));
}

void ConsoleScriptStage::RegisterFont(const std::string& host_path, bool add) {
  Record(std::string(add ? "font-add: " : "font-remove: ") + host_path);
}

void ConsoleScriptStage::Spawn(const std::vector<std::string>& argv) {
  std::string line = "spawn:";
  for (const std::string& arg : argv) line += " [" + arg + "]";
  Record(line);
  if (m_spawn) ScriptStage::Spawn(argv);
}

std::optional<std::string> ConsoleScriptStage::ReadResource(std::string_view name) {
  std::lock_guard lock(m_mutex);
  for (const auto& [resource, bytes] : m_resources) {
    if (EqualsIgnoreCase(resource, name)) return bytes;
  }
  return std::nullopt;
}

void ConsoleScriptStage::SetHost(std::string_view host) {
  Record("lan-host: " + std::string(host));
}

void ConsoleScriptStage::SetPort(int32_t port) {
  Record("lan-port: " + std::to_string(port));
}

void ConsoleScriptStage::Server(bool active) {
  Record(std::string("lan-server: ") + (active ? "on" : "off"));
}

void ConsoleScriptStage::SendText(std::string_view text) {
  Record("lan-send: " + std::string(text));
}

void ConsoleScriptStage::SendFile(std::string_view windows_path) {
  Record("lan-file: " + std::string(windows_path));
}

}  // namespace morvane
