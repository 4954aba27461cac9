#include "player/shell/player.h"

#include "package/databases.h"
#include "package/package_reader.h"
#include "package/project_probe.h"
#include "package/source_folder.h"
#include "platform/command_line_record.h"
#include "platform/path_macros.h"
#include "platform/trailer.h"
#include "player/ext/lan_service.h"
#include "player/ext/single_instance.h"
#include "player/media/media_services.h"
#include "player/shell/desktop_settings.h"
#include "player/shell/display_modes.h"
#include "player/shell/hints.h"
#include "player/shell/input_playback.h"
#include "player/shell/load_window.h"
#include "player/shell/page_window.h"
#include "player/shell/player_stage.h"
#include "player/shell/user_host.h"
#include "player/transitions/page_transitions.h"
#include "player/web/web_rows.h"
#include "script/message_box.h"
#include "util/ascii_case.h"
#include "util/code_page.h"
#include "util/fd_io.h"
#include "util/number_text.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace morvane {
namespace {

std::string ReadFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = bool(in);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The application title before the package names one: the executable's name.
std::string FallbackTitle(const std::string& path) {
  std::filesystem::path p(path);
  std::string stem = p.stem().string();
  return stem.empty() ? p.filename().string() : stem;
}

bool NeedsFlash(const Project& project) {
  for (const Page& page : project.pages) {
    for (const PageObject& o : page.objects) {
      if (o.kind == ObjectKind::Flash) return true;
    }
  }
  return false;
}

}  // namespace

const char* const kFlashMissingText =
    "Running this application requiers Flash ActiveX to be installed.\n"
    "This ActiveX can be downloaded from https://get.adobe.com/flashplayer/\n"
    "\n"
    "Since it is not installed, you can not run/use this application.\n"
    "Application will now terminate.";

PlayerShell::PlayerShell(PlayerOptions options, std::vector<std::string> command_line)
    : m_options(std::move(options)), m_command_line(std::move(command_line)) {
  m_user = m_options.headless ? MakeScriptedUser(*this, m_options) : MakeDesktopUser(*this);
  m_stage = std::make_unique<PlayerStage>(*this);
  m_stage->SetCommandLine(m_command_line);
}

PlayerShell::~PlayerShell() {
  m_end_watch.reset();
  TerminateApp();
  // Worker threads end before the pages and the stores they use.
  if (m_session) m_session->StopEngine();
  m_hints.reset();
  m_input.reset();
  m_transitions.reset();
  m_pages.clear();
}

bool PlayerShell::Fail(std::string_view caption, std::string_view text, int flags) {
  MessageBox(caption, text, flags);
  EndProgram(1);
  return false;
}

bool PlayerShell::Start() {
  m_end_watch = std::make_unique<EndWatch>([this] {
    if (ScriptEngine* engine = m_watched_engine.load()) engine->Terminate();
  });
  if (!m_trace.Open(m_options.trace_file)) {
    std::fprintf(stderr, "morvane-player: cannot write the trace file %s\n",
                 m_options.trace_file.c_str());
  }
  m_project_path = m_options.project;
  if (m_project_path.empty()) {
    std::error_code ec;
    m_project_path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  }

  std::optional<std::string> trailer;
  ProbedProject probed = ProbeProject(m_project_path);
  if (probed.kind == ProjectKind::kNoProject)
    return Fail(kNotAProjectCaption, NotAProjectText(m_project_path), kMbIconError);
  try {
    m_container = std::move(probed.container);
    if (m_container) trailer = m_container->Trailer();
  } catch (const std::exception&) {
    m_container.reset();
  }
  if (!m_container) return Fail("QM.SYNTX ERR", "Executable file is corrupted.", kMbIconError);

  std::unique_ptr<TQMLoad> load_window;
  if (trailer && WantsLoadingWindow(*trailer)) {
    load_window = std::make_unique<TQMLoad>();
    load_window->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }

  LoadResult loaded = LoadProject(*m_container);
  if (const LoadError* error = std::get_if<LoadError>(&loaded)) {
    load_window.reset();
    // The title is known once header slot 1 was read; before that (no key,
    // a broken first record) the box goes under the executable's name.
    const std::string caption =
        error->title ? ToUtf8(*error->title, m_options.code_page.value_or(kDefaultCodePage))
                     : FallbackTitle(m_project_path);
    return Fail(caption, InitialisationFailureText(*error), kMbIconExclamation);
  }
  m_project = std::move(std::get<Project>(loaded));
  m_code_page = m_options.code_page ? *m_options.code_page : GuessCodePage(m_project);
  QGuiApplication::setApplicationDisplayName(QString());
  QCoreApplication::setApplicationName(
      QString::fromStdString(ToUtf8(m_project.title, m_code_page)));

  SessionOptions session;
  session.environment.exe_host_path = m_project_path;
  session.environment.code_page = m_code_page;
  session.environment.sandbox = SandboxOf(m_options);
  if (session.environment.sandbox.sandbox) {
    // A project file's size, or its package's for a source folder.
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(m_project_path, ec);
    if (ec) size = m_container->Resource("PDATA").value_or("").size();
    session.environment.prefix = SandboxPrefix(m_project.title, size);
  }
  try {
    m_session = std::make_unique<Session>(*m_stage, session);
    m_watched_engine = &m_session->engine();
  } catch (const std::exception& e) {
    load_window.reset();
    return Fail(ToUtf8(m_project.title, m_code_page), e.what(), kMbIconError);
  }
  // Every refusal is traced and, with a report, listed where the script met it.
  environment().sandbox().SetObserver([this](SandboxRefusal what, std::string_view detail) {
    m_trace.Write("refused", {{"what", std::string(SandboxRefusalName(what))},
                              {"detail", ToUtf8(detail, m_code_page)}});
    if (m_compat) {
      if (const CompatRow* row = FindServiceRow(SandboxService(what)))
        m_compat->Note(*row, CurrentScriptSite());
    }
  });
  m_session->engine().SetProject(m_project);
  LanLimits lan_limits;
  if (m_options.lan_idle_timeout_ms) lan_limits.idle_timeout_ms = *m_options.lan_idle_timeout_ms;
  m_lan = std::make_unique<LanService>(*this, lan_limits);
  m_session->engine().SetLan(m_lan.get());
  AddTerminateHook([this] { m_lan->Shutdown(); });
  if (!m_options.compat_report_file.empty()) {
    m_compat = std::make_unique<CompatRecorder>(&m_project);
    m_session->engine().SetCompatRecorder(m_compat.get());
    // What the options ask of the desktop is met before anything runs.
    const ProjectOptions& o = m_project.options;
    const CompatPlace start;
    if (o.no_cursor_shadow) m_compat->NoteService(CompatService::kCursorShadow, start);
    if (o.no_menu_fade) m_compat->NoteService(CompatService::kMenuFade, start);
    if (o.swap_mouse_buttons) m_compat->NoteService(CompatService::kMouseButtonSwap, start);
  }
  SetScriptRunner([this](const Script& script, TQMForm& page, int thread) {
    m_session->engine().DoActions(page.number(), script, thread);
  });

  // A declared database needs the engine library on the machine; failing to
  // provide it fails the load where the declarations are read.
  if (!m_project.databases.empty()) {
    std::string failure =
        EnsureDatabaseEngine(environment().drives(), environment().windows_folder(), *m_container);
    if (!failure.empty()) {
      load_window.reset();
      return Fail(ToUtf8(m_project.title, m_code_page),
                  InitialisationFailureText(LoadError{10, failure}), kMbIconExclamation);
    }
  }
  m_hints = std::make_unique<HintHandler>(*this);

  // Browsers and Flash objects; the web engine loads only for a project that
  // has one. Without the Flash player a project that needs it says so and
  // ends; one that runs without it loses its Flash objects.
  RegisterWebClasses();
  if (NeedsFlash(m_project) && !FlashFilesPresent() && !m_project.options.run_without_flash) {
    load_window.reset();
    return Fail("Flash ActiveX", kFlashMissingText, kMbIconExclamation | kMbTaskModal);
  }

  // The header's display mode and desktop settings; TerminateApp puts them back.
  if (m_project.ChangeDisplayMode()) {
    m_display_modes = std::make_unique<DisplayModes>(PlatformDisplayBackend());
    if (m_display_modes->SwitchAtStart(m_project.display_mode, m_project.StopIfModeUnsupported(),
                                       values()) == DisplayModes::StartResult::kStop) {
      load_window.reset();
      return Fail(kScreenResolutionCaption, kScreenResolutionText,
                  kMbIconExclamation | kMbTaskModal);
    }
  }
  m_desktop_settings = std::make_unique<DesktopSettings>(
      m_project.options, QString::fromStdString(ToUtf8(m_project.title, m_code_page)));

  SetUpMedia(*this);

  // What the first page header brings: extraction, fonts, cursors.
  if (!m_project.pages.empty()) {
    ExtractEmbeddedFiles(load_window.get());
    RegisterFonts();
    LoadCursors();
  }
  for (size_t i = 0; i < m_project.pages.size(); ++i) {
    const Page& page = m_project.pages[i];
    m_pages.push_back(std::make_unique<TQMForm>(*this, int(i) + 1, page));
    int kind = page.options.border_kind;
    if (kind == 2) m_drag_by_background = true;
    if (kind == 3) m_drag_by_background = false;
  }
  for (auto& form : m_pages) form->ApplyPageGeometry();
  m_hints->Watch();
  if (!SettleInstance()) return false;
  load_window.reset();

  if (m_pages.empty()) {
    // A package without pages has no window to show; it ends as a closed one.
    EndProgram(1);
    return false;
  }
  // Pages made visible by their options appear while the project loads; the
  // main window is shown last, so it starts as the active window.
  for (auto& form : m_pages) {
    const PageOptions& o = form->page().options;
    if (form->number() != 1 && o.show_transition == 0 && !o.hidden_at_start)
      ShowPage(*form, ShowReason::kStart);
  }
  ShowPage(*m_pages.front(), ShowReason::kStart);

  if (!m_options.input_file.empty()) {
    bool ok = false;
    std::string text = ReadFile(m_options.input_file, ok);
    InputScript script = ParseInputSteps(text);
    if (!ok || !script.error.empty()) {
      std::fprintf(stderr, "morvane-player: %s: %s\n", m_options.input_file.c_str(),
                   ok ? script.error.c_str() : "cannot read the file");
    } else {
      m_input = std::make_unique<InputPlayback>(*this, std::move(script), m_options.screenshot_dir);
      m_input->Start();
    }
  }
  if (m_options.quit_after_ms) {
    QTimer::singleShot(*m_options.quit_after_ms, [this] { EndProgram(1); });
    m_end_watch->SetDeadline(std::chrono::milliseconds(*m_options.quit_after_ms));
  }
  return true;
}

std::optional<std::string> PlayerShell::HostPath(std::string_view windows_path) const {
  if (!m_session) return std::nullopt;
  return m_session->environment().drives().ToHost(windows_path);
}

std::string PlayerShell::QmTempHostFolder() const {
  std::optional<std::string> host = HostPath(m_session->environment().macro_folders().qmtemp);
  return host ? *host : std::string();
}

void PlayerShell::ExtractEmbeddedFiles(TQMLoad* load_window) {
  std::string folder = QmTempHostFolder();
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  // Only the entries before the first page header are known at this moment.
  std::vector<const EmbeddedFile*> entries;
  for (const EmbeddedFile& f : m_project.embedded_files) {
    if (f.after_page == 0) entries.push_back(&f);
  }
  int maximum = int(entries.size()) + 1;
  for (size_t n = 1; n <= entries.size(); ++n) {
    std::optional<std::string> name = ExtractionName(entries[n - 1]->path);
    // Native plug-in libraries load only from files, and their windows start
    // with the program: they are written at start like cursor files.
    if (!m_project.options.extract_all &&
        (!name || (!IsCursorFileName(*name) && !IsNativeLibraryName(*name))))
      continue;
    std::optional<std::string> bytes = m_container->Resource("DATAE" + std::to_string(n));
    if (!bytes) break;
    if (!name) continue;  // a name that would leave the folder is never written
    std::string host_name = ToUtf8(*name, m_code_page);
    std::filesystem::path target = std::filesystem::path(folder) / host_name;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes->data(), std::streamsize(bytes->size()));
    if (out) m_extracted.push_back(target.string());
    if (load_window) {
      load_window->SetProgress(int(n), maximum);
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  }
}

void PlayerShell::RegisterFonts() {
  MacroFolders folders = environment().macro_folders();
  for (const FontFile& font : m_project.fonts) {
    if (font.after_page != 0) continue;
    std::optional<std::string> host = HostPath(ExpandPathMacros(font.path, folders));
    if (host) m_fonts.Register(*host);
  }
}

void PlayerShell::LoadCursors() {
  MacroFolders folders = environment().macro_folders();
  for (const CursorFile& cursor : m_project.cursors) {
    if (cursor.after_page != 0) continue;
    std::optional<std::string> host = HostPath(ExpandPathMacros(cursor.path, folders));
    std::optional<std::string> bytes = host ? ReadRegularFile(*host) : std::nullopt;
    std::optional<CursorAnimation> loaded = bytes ? ReadAnyCursor(*bytes) : std::nullopt;
    // The first cursor that fails ends the loading.
    if (!loaded) break;
    m_cursors.Add(std::move(*loaded));
  }
}

TQMForm* PlayerShell::GetFormByNum(int page) const {
  if (page < 1 || size_t(page) > m_pages.size()) return nullptr;
  return m_pages[size_t(page) - 1].get();
}

int PlayerShell::CurrentPage() {
  QWidget* active = QApplication::activeWindow();
  if (active && active->objectName().startsWith(QLatin1String("QM_APPLICATION_FORM"))) {
    bool ok = false;
    int n = active->objectName().mid(19).toInt(&ok);
    if (ok) m_current_page = n;
  }
  return m_current_page;
}

void PlayerShell::NoteActivePage(int page) {
  m_current_page = page;
  std::erase(m_activation_order, page);
  m_activation_order.push_back(page);
}

void PlayerShell::NotePageHidden(int page) {
  if (!m_options.headless || m_terminating || CurrentPage() != page) return;
  for (auto it = m_activation_order.rbegin(); it != m_activation_order.rend(); ++it) {
    TQMForm* form = GetFormByNum(*it);
    if (*it == page || !form || !form->isVisible()) continue;
    form->activateWindow();
    NoteActivePage(*it);
    return;
  }
}

int PlayerShell::PageNumberByName(std::string_view name) const {
  for (size_t i = 0; i < m_project.pages.size(); ++i) {
    if (EqualsIgnoreCase(m_project.pages[i].name, name)) return int(i) + 1;
  }
  return -1;
}

void PlayerShell::GoGoToPage(std::string_view name) {
  for (size_t i = 0; i < m_project.pages.size(); ++i) {
    if (!EqualsIgnoreCase(m_project.pages[i].name, name)) continue;
    int target_number = int(i) + 1;
    TQMForm* current = GetFormByNum(CurrentPage());
    TQMForm* target = GetFormByNum(target_number);
    m_current_page = target_number;
    if (!current || !target || current == target) return;
    target->hide();
    target->setWindowFlags(current->windowFlags());
    // The target takes the current page's bounds, size included, even when
    // its own border keeps the user from resizing it.
    if (target->minimumSize() == target->maximumSize()) target->setFixedSize(current->size());
    target->setGeometry(current->geometry());
    ShowPage(*target, ShowReason::kPageSwitch, current);
    current->hide();
  }
}

void PlayerShell::ShowPage(TQMForm& form, ShowReason reason, TQMForm* replaced) {
  auto show = [&form, reason] {
    if (reason == ShowReason::kMaximize) {
      form.showMaximized();
    } else {
      form.show();
    }
  };
  // A page that appears now comes through its show transition, if it has one.
  if (!m_transitions) m_transitions = std::make_unique<PageTransitions>(*this);
  m_transitions->Show(form, replaced, show);
}

bool PlayerShell::RunScriptRaw(const Script& script, TQMForm& page, int thread) {
  if (m_terminating || !m_script_runner || script.empty()) return false;
  m_script_runner(script, page, thread);
  return true;
}

void PlayerShell::RunScript(const Script& script, TQMForm& page, int thread) {
  // Nothing a script raises may unwind through Qt's event handling: it is
  // reported here, as the event loop's handler would.
  try {
    RunScriptRaw(script, page, thread);
  } catch (const std::exception& e) {
    ReportException(e.what());
  } catch (...) {
    ReportException("Unknown failure.");
  }
}

void PlayerShell::RunResizeScript(TQMForm& page) {
  if (!page.isVisible()) return;
  try {
    RunScriptRaw(page.page().on_resize, page, 0);
  } catch (...) {
  }
}

void PlayerShell::CentreInWorkArea(TQMForm& form) {
  QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect work = screen->availableGeometry();
  QSize outer = form.frameGeometry().size();
  form.move(work.left() + work.width() / 2 - outer.width() / 2,
            work.top() + work.height() / 2 - outer.height() / 2);
}

void PlayerShell::MinimizeApplication() {
  for (auto& form : m_pages) {
    if (form->isVisible() && !form->isMinimized()) form->showMinimized();
  }
  SetApplicationMinimized(true);
}

void PlayerShell::RestoreApplication() {
  for (auto& form : m_pages) {
    if (form->isVisible() && form->isMinimized()) form->showNormal();
  }
  SetApplicationMinimized(false);
}

void PlayerShell::NoteWindowStates() {
  bool any_visible = false;
  bool all_minimized = true;
  for (auto& form : m_pages) {
    if (!form->isVisible()) continue;
    any_visible = true;
    if (!form->isMinimized()) all_minimized = false;
  }
  SetApplicationMinimized(any_visible && all_minimized);
}

void PlayerShell::SetApplicationMinimized(bool minimized) {
  if (m_app_minimized == minimized || m_terminating) return;
  m_app_minimized = minimized;
  m_trace.Write(minimized ? "minimize" : "restore");
  if (TQMForm* main = GetFormByNum(1)) {
    RunScript(minimized ? m_project.on_minimize : m_project.on_restore, *main);
  }
}

int PlayerShell::MessageBox(std::string_view caption, std::string_view text, int flags,
                            QWidget* owner) {
  const int result =
      m_user->MessageBox(caption, text, flags, message_box::DefaultResult(flags), owner);
  m_trace.Write("message", {{"caption", std::string(caption)},
                            {"text", std::string(text)},
                            {"flags", flags},
                            {"result", result}});
  return result;
}

void PlayerShell::ReportException(std::string message) {
  if (m_terminating) return;
  try {
    if (FindIgnoreCase(message, "is not a valid integer value") != std::string::npos) {
      message = "Failed to convert the values.";
    }
    values().SetNumber("_error", 0);
    values().SetString("_error", message);
    if (message.compare(0, 6, "Access") == 0) return;
    // Only a script without any line shows the box; one empty line runs instead.
    if (m_project.on_error.empty()) {
      MessageBox("Morvane Exception", ToUtf8(message, m_code_page), kMbIconError);
      return;
    }
    if (TQMForm* main = GetFormByNum(1)) RunScriptRaw(m_project.on_error, *main, 0);
  } catch (...) {
  }
}

void PlayerShell::AddShowScriptHook(std::function<void(TQMForm&)> hook) {
  m_show_script_hooks.push_back(std::move(hook));
}

void PlayerShell::RunShowScriptHooks(TQMForm& page) {
  for (const auto& hook : m_show_script_hooks) {
    if (m_terminating) return;
    hook(page);
  }
}

void PlayerShell::AddTerminateHook(std::function<void()> hook) {
  m_terminate_hooks.push_back(std::move(hook));
}

bool PlayerShell::GetDB(std::string_view name, TAPDatabase& record) const {
  return morvane::GetDB(m_project.databases, name, record);
}

bool PlayerShell::SavePagePicture(int page, const std::string& path) {
  TQMForm* form = GetFormByNum(page);
  if (!form) return false;
  // During a show transition the user sees its frame, not the page yet.
  QImage picture = m_transitions ? m_transitions->Frame(*form) : QImage();
  if (picture.isNull()) picture = form->Picture();
  return !picture.isNull() && picture.save(QString::fromStdString(path), "PNG");
}

void PlayerShell::EndProgram(int exit_code) {
  if (m_ended) return;
  m_ended = true;
  if (m_end_watch) m_end_watch->Begun();
  m_exit_code = exit_code;
  if (!m_options.screenshot_dir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(m_options.screenshot_dir, ec);
    for (auto& form : m_pages) {
      if (!form->isVisible()) continue;
      SavePagePicture(form->number(),
                      m_options.screenshot_dir + "/page" + std::to_string(form->number()) + ".png");
    }
  }
  TerminateApp();
  DumpVariables();
  WriteCompatReport();
  m_trace.Write("exit", {{"code", exit_code}});
  QCoreApplication::exit(exit_code);
}

void PlayerShell::TerminateApp() {
  if (m_terminated) return;
  m_terminating = m_terminated = true;
  if (m_instance) m_instance->Close();
  // Running scripts end at their next line; workers waiting for the main
  // thread are let go.
  if (ScriptEngine* engine = this->engine()) engine->Terminate();
  m_stage->CloseHandOver();
  for (auto& form : m_pages) {
    try {
      form->move(10000, 10000);
      form->hide();
    } catch (...) {
    }
  }
  for (const auto& hook : m_terminate_hooks) {
    try {
      hook();
    } catch (...) {
    }
  }
  m_cursors.StopAnimations();
  if (m_display_modes) m_display_modes->Restore();
  m_fonts.UnregisterAll();
  if (m_desktop_settings) m_desktop_settings->Restore();
  m_stage->UnregisterScriptFonts();
  std::string folder = m_session && !m_leave_extracted ? QmTempHostFolder() : std::string();
  if (!folder.empty()) {
    // Every listed name is removed, extracted at start or later by a script.
    for (const EmbeddedFile& f : m_project.embedded_files) {
      std::optional<std::string> name = ExtractionName(f.path);
      if (!name) continue;
      std::error_code ec;
      std::filesystem::remove(std::filesystem::path(folder) / ToUtf8(*name, m_code_page), ec);
    }
  }
}

bool PlayerShell::SettleInstance() {
  const uint64_t package_size = m_container->Resource("PDATA").value_or(std::string()).size();
  m_instance = std::make_unique<SingleInstance>(InstanceKey(m_project.title, package_size));
  SingleInstance::Role role = m_instance->Check();
  // A first instance that was ending lets its later starts go unanswered;
  // one of them is the first now.
  for (int tries = 1; role == SingleInstance::Role::kLater; ++tries) {
    if (m_instance->Forward(EncodeCommandLine(ForwardedCommandLine()))) break;
    role = tries < 3 ? m_instance->Check() : SingleInstance::Role::kUncounted;
  }
  // A first instance is the usual run; the others are traced.
  static const char* const kRoles[] = {"first", "later", "uncounted", "alone"};
  if (role != SingleInstance::Role::kFirst)
    m_trace.Write("instance", {{"role", std::string(kRoles[int(role)])}});
  switch (role) {
    case SingleInstance::Role::kFirst:
      m_instance->Serve([this](const std::string& record) { ReceiveCommandLine(record); });
      return true;
    case SingleInstance::Role::kAlone:
      std::fprintf(stderr, "morvane-player: later starts of this project cannot reach it: %s\n",
                   m_instance->error().c_str());
      m_instance.reset();
      return true;
    case SingleInstance::Role::kLater:
    case SingleInstance::Role::kUncounted:
      break;
  }
  m_instance.reset();
  if (!m_project.options.single_instance) return true;
  m_leave_extracted = true;
  EndProgram(1);
  return false;
}

std::vector<std::string> PlayerShell::ForwardedCommandLine() const {
  std::vector<std::string> elements;
  std::error_code ec;
  const std::string own = std::filesystem::absolute(m_project_path, ec).lexically_normal().string();
  elements.push_back(m_session->environment().drives().ToWindows(own).value_or(own));
  for (const std::string& argument : m_options.project_arguments)
    elements.push_back(FromUtf8(argument, m_code_page));
  return elements;
}

void PlayerShell::ReceiveCommandLine(const std::string& record) {
  if (m_terminating) return;
  const std::vector<std::string> pieces = DecodeCommandLine(record);
  values().SetNumber("_CMDLineCount", double(pieces.size()));
  for (size_t k = 1; k <= pieces.size(); ++k)
    values().SetString("_CMDLine[" + std::to_string(k) + "]", pieces[k - 1]);
  if (TQMForm* main = GetFormByNum(1)) {
    // The later start would have brought this window to the front.
    if (!m_options.headless && main->isVisible()) {
      main->raise();
      main->activateWindow();
    }
    RunScript(m_project.command_line, *main);
  }
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  m_trace.Write(
      "command-line",
      {{"count", (long long)pieces.size()},
       {"ms", (long long)std::chrono::duration_cast<std::chrono::milliseconds>(now).count()}});
}

void PlayerShell::DumpVariables() {
  if (m_options.dump_vars_file.empty()) return;
  // A run that failed before its session has no variables to write.
  TValues none;
  TValues& store = m_session ? m_session->values() : none;
  // Written entry by entry, as large as the store may be; a dump that
  // cannot be completed says so and the program still ends in order.
  std::ofstream out(m_options.dump_vars_file, std::ios::binary | std::ios::trunc);
  try {
    out << "{\"numbers\": {";
    bool first = true;
    for (const auto& [name, value] : store.Numbers()) {
      out << (first ? "" : ", ") << JsonString(ToUtf8(name, m_code_page)) << ": "
          << JsonString(FloatToText(value));
      first = false;
    }
    out << "}, \"strings\": {";
    first = true;
    store.VisitStrings([&](const std::string& name, const std::string& value) {
      out << (first ? "" : ", ") << JsonString(ToUtf8(name, m_code_page)) << ": "
          << JsonString(ToUtf8(value, m_code_page));
      first = false;
    });
    out << "}, \"booleans\": {";
    first = true;
    for (const auto& [name, value] : store.Booleans()) {
      out << (first ? "" : ", ") << JsonString(ToUtf8(name, m_code_page)) << ": "
          << (value ? "true" : "false");
      first = false;
    }
    out << "}}\n";
  } catch (const std::bad_alloc&) {
    out.setstate(std::ios::failbit);
  }
  out.close();
  if (!out) {
    std::fprintf(stderr, "morvane-player: cannot write the variable dump %s\n",
                 m_options.dump_vars_file.c_str());
  }
}

void PlayerShell::WriteCompatReport() {
  if (m_options.compat_report_file.empty()) return;
  // A run that ended before its scripts could start met nothing.
  const std::vector<CompatEntry> entries =
      m_compat ? m_compat->Entries() : std::vector<CompatEntry>{};
  std::ofstream out(m_options.compat_report_file, std::ios::binary | std::ios::trunc);
  out << CompatReportJson(entries, m_code_page);
  if (!out) {
    std::fprintf(stderr, "morvane-player: cannot write the compatibility report %s\n",
                 m_options.compat_report_file.c_str());
  }
}

}  // namespace morvane
