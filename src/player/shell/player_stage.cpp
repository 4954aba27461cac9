#include "player/shell/player_stage.h"

#include "expr/eval_error.h"
#include "player/media/media_services.h"
#include "player/media/system_sounds.h"
#include "player/objects/object_actions.h"
#include "player/objects/page_objects.h"
#include "player/objects/runtime_objects.h"
#include "player/shell/dialogs.h"
#include "player/shell/page_appearance.h"
#include "player/shell/page_printer.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "script/script_engine.h"
#include "util/code_page.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QEventLoop>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QScreen>
#include <QThread>

#include <chrono>
#include <thread>

namespace morvane {
namespace {

// Ends a modal page window's loop once the window is hidden or closed.
class ModalWatch : public QObject {
 public:
  explicit ModalWatch(QEventLoop& loop) : m_loop(loop) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide || event->type() == QEvent::Close) {
      QMetaObject::invokeMethod(&m_loop, "quit", Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QEventLoop& m_loop;
};

}  // namespace

PlayerStage::PlayerStage(Player& player) : m_player(player) {
  // A worker's hand-over reaches a main thread that sits in its event loop
  // (or in a modal box) through a queued call; one that waits for workers
  // runs the queue itself.
  m_queue.SetWake([this] {
    if (QCoreApplication* app = QCoreApplication::instance()) {
      QMetaObject::invokeMethod(
          app, [this] { m_queue.Process(); }, Qt::QueuedConnection);
    }
  });
}

PlayerStage::~PlayerStage() {
  m_queue.Close();
}

template <typename T, typename F>
T PlayerStage::OnMain(F f) {
  T result{};
  RunOnMainThread([&] { result = f(); });
  return result;
}

void PlayerStage::RunOnMainThread(const std::function<void()>& task) {
  m_queue.Run(task);
}

void PlayerStage::ProcessMainThreadTasks() {
  m_queue.Process();
}

// --- Stage

StagePoint PlayerStage::PointerPosition() {
  return OnMain<StagePoint>([] {
    QPoint p = QCursor::pos();
    return StagePoint{p.x(), p.y()};
  });
}

StageSize PlayerStage::ScreenSize() {
  return OnMain<StageSize>([] {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? StageSize{s->geometry().width(), s->geometry().height()} : StageSize{};
  });
}

StageSize PlayerStage::WorkAreaSize() {
  return OnMain<StageSize>([] {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? StageSize{s->availableGeometry().width(), s->availableGeometry().height()}
             : StageSize{};
  });
}

int16_t PlayerStage::KeyState(int32_t virtual_key) {
  return OnMain<int16_t>([virtual_key]() -> int16_t {
    Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    Qt::KeyboardModifiers mods = QGuiApplication::queryKeyboardModifiers();
    bool down = false;
    switch (virtual_key) {
      case 1:
        down = buttons & Qt::LeftButton;
        break;
      case 2:
        down = buttons & Qt::RightButton;
        break;
      case 4:
        down = buttons & Qt::MiddleButton;
        break;
      case 0x10:
      case 0xA0:
      case 0xA1:
        down = mods & Qt::ShiftModifier;
        break;
      case 0x11:
      case 0xA2:
      case 0xA3:
        down = mods & Qt::ControlModifier;
        break;
      case 0x12:
      case 0xA4:
      case 0xA5:
        down = mods & Qt::AltModifier;
        break;
      default:
        break;
    }
    return down ? int16_t(-32768) : int16_t(0);
  });
}

std::string PlayerStage::ClipboardText() {
  int code_page = m_player.code_page();
  return OnMain<std::string>([code_page] {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) return std::string();
    return FromUtf8(clipboard->text().toStdString(), code_page);
  });
}

std::vector<std::string> PlayerStage::CommandLine() {
  return m_command_line;
}

int32_t PlayerStage::CurrentPage() {
  return OnMain<int32_t>([this] { return m_player.CurrentPage(); });
}

int32_t PlayerStage::PageCount() {
  return int32_t(m_player.project().pages.size());
}

std::optional<std::string> PlayerStage::PageName(int32_t page) {
  const auto& pages = m_player.project().pages;
  if (page < 1 || size_t(page) > pages.size()) return std::nullopt;
  return pages[size_t(page) - 1].name;
}

std::optional<int32_t> PlayerStage::PageByName(std::string_view name) {
  int n = m_player.PageNumberByName(name);
  if (n < 1) return std::nullopt;
  return n;
}

std::optional<StageSize> PlayerStage::PageClientSize(int32_t page) {
  return OnMain<std::optional<StageSize>>([&]() -> std::optional<StageSize> {
    TQMForm* form = m_player.GetFormByNum(page);
    if (!form) return std::nullopt;
    return StageSize{form->width(), form->height()};
  });
}

std::optional<StagePoint> PlayerStage::PageWindowOrigin(int32_t page) {
  return OnMain<std::optional<StagePoint>>([&]() -> std::optional<StagePoint> {
    TQMForm* form = m_player.GetFormByNum(page);
    if (!form) return std::nullopt;
    QPoint p = form->frameGeometry().topLeft();
    return StagePoint{p.x(), p.y()};
  });
}

std::optional<StagePoint> PlayerStage::PageClientOrigin(int32_t page) {
  return OnMain<std::optional<StagePoint>>([&]() -> std::optional<StagePoint> {
    TQMForm* form = m_player.GetFormByNum(page);
    if (!form) return std::nullopt;
    QPoint p = form->mapToGlobal(QPoint(0, 0));
    return StagePoint{p.x(), p.y()};
  });
}

std::optional<ObjectSnapshot> PlayerStage::CurrentPageObject(std::string_view number) {
  return OnMain<std::optional<ObjectSnapshot>>([&]() -> std::optional<ObjectSnapshot> {
    TQMForm* form = m_player.GetFormByNum(m_player.CurrentPage());
    if (!form) return std::nullopt;
    PageObjectItem* object = form->objects().FindObject(number);
    if (!object) return std::nullopt;
    return object->Snapshot();
  });
}

std::optional<std::string> PlayerStage::ObjectVariable(std::string_view, std::string_view) {
  return std::nullopt;
}

// --- Messages and dialogs

std::string PlayerStage::ApplicationTitle() {
  return m_player.project().title;
}

int32_t PlayerStage::MessageBox(int32_t page, std::string_view text, std::string_view caption,
                                int32_t flags) {
  return OnMain<int32_t>([&] {
    int code_page = m_player.code_page();
    return m_player.MessageBox(ToUtf8(caption, code_page), ToUtf8(text, code_page), flags,
                               m_player.GetFormByNum(page));
  });
}

std::vector<std::string> PlayerStage::OpenFileDialog(int32_t page, const OpenFileRequest& request) {
  return OnMain<std::vector<std::string>>(
      [&] { return RunOpenFileDialog(m_player, page, request); });
}

std::optional<std::string> PlayerStage::SaveFileDialog(int32_t page,
                                                       const SaveFileRequest& request) {
  return OnMain<std::optional<std::string>>(
      [&] { return RunSaveFileDialog(m_player, page, request); });
}

std::string PlayerStage::FolderDialog(int32_t page, const FolderRequest& request) {
  return OnMain<std::string>([&] { return RunFolderDialog(m_player, page, request); });
}

std::optional<uint32_t> PlayerStage::ColourDialog(int32_t page, std::optional<uint32_t> initial) {
  return OnMain<std::optional<uint32_t>>([&] { return RunColourDialog(m_player, page, initial); });
}

FontChoice PlayerStage::FontDialog(int32_t page, const FontChoice& initial) {
  return OnMain<FontChoice>([&] { return RunFontDialog(m_player, page, initial); });
}

// --- Pages, windows and objects

void PlayerStage::WindowAction(int32_t page, WindowCommand command) {
  if (command == WindowCommand::kMinimizeApp) {
    m_player.MinimizeApplication();
    return;
  }
  if (command == WindowCommand::kRestoreApp) {
    m_player.RestoreApplication();
    return;
  }
  TQMForm* form = m_player.GetFormByNum(page);
  if (!form) return;
  switch (command) {
    case WindowCommand::kClose:
      form->close();
      break;
    case WindowCommand::kHide:
      form->hide();
      break;
    case WindowCommand::kShow:
      m_player.ShowPage(*form, Player::ShowReason::kWindowAction);
      break;
    case WindowCommand::kMaximize:
      m_player.ShowPage(*form, Player::ShowReason::kMaximize);
      break;
    case WindowCommand::kRepaint:
      form->repaint();
      break;
    default:
      break;
  }
}

void PlayerStage::ShowModal(TQMForm& form) {
  QPointer<TQMForm> guard(&form);
  if (form.isVisible()) form.hide();
  form.setWindowModality(Qt::ApplicationModal);
  QEventLoop loop;
  ModalWatch watch(loop);
  form.installEventFilter(&watch);
  m_player.ShowPage(form, Player::ShowReason::kModal);
  // The program may end while the page is up: the ending hides every window.
  if (form.isVisible() && !m_player.terminating()) loop.exec();
  if (guard) {
    form.removeEventFilter(&watch);
    form.setWindowModality(Qt::NonModal);
  }
}

void PlayerStage::PageWindowAction(int32_t page, PageWindowCommand command) {
  TQMForm* form = m_player.GetFormByNum(page);
  if (!form) return;
  switch (command) {
    case PageWindowCommand::kBringToFront:
      if (form->isMinimized()) form->showNormal();
      form->raise();
      form->activateWindow();
      if (form->isVisible()) m_player.NoteActivePage(page);
      break;
    case PageWindowCommand::kCentre:
      m_player.CentreInWorkArea(*form);
      break;
    case PageWindowCommand::kShow:
      m_player.ShowPage(*form, Player::ShowReason::kPageAction);
      break;
    case PageWindowCommand::kHide:
      form->hide();
      break;
    case PageWindowCommand::kShowModal:
      ShowModal(*form);
      break;
    case PageWindowCommand::kPrint:
      PrintPage(m_player, *form);
      break;
    case PageWindowCommand::kClose:
      form->close();
      break;
  }
}

void PlayerStage::GoToPage(std::string_view name, int32_t script_page) {
  m_player.GoGoToPage(name);
  if (script_page == 1) m_player.SetMinimizeOnClose(true);
}

void PlayerStage::EndProgram(int32_t script_page, bool from_worker) {
  if (from_worker) {
    // The main window's show timer ends the program when it fires on the
    // main thread; the worker goes on at once.
    if (QCoreApplication* app = QCoreApplication::instance()) {
      Player* player = &m_player;
      QMetaObject::invokeMethod(
          app,
          [player] {
            if (TQMForm* main = player->GetFormByNum(1)) main->RequestExit();
          },
          Qt::QueuedConnection);
    }
    return;
  }
  RunOnMainThread([&] {
    for (int n = 1; n <= m_player.PageCount(); ++n) {
      if (TQMForm* form = m_player.GetFormByNum(n)) form->hide();
    }
    if (TQMForm* own = m_player.GetFormByNum(script_page)) own->hide();
    if (TQMForm* main = m_player.GetFormByNum(1)) main->close();
    m_player.EndProgram(1);
  });
}

void PlayerStage::ObjectAction(const ObjectActionRequest& request) {
  // The engine hands a worker's request over; it arrives on the main thread.
  DoObjAction(m_player, request);
}

void PlayerStage::PageAppearance(const AppearanceChange& change) {
  if (TQMForm* form = m_player.GetFormByNum(m_player.CurrentPage())) {
    ApplyPageAppearance(m_player, *form, change);
  }
}

bool PlayerStage::CreateObject(std::string_view kind, std::string_view number,
                               int32_t script_page) {
  return OnMain<bool>([&] { return CreateRuntimeObject(m_player, kind, number, script_page); });
}

void PlayerStage::SetClipboardText(std::string_view text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) {
    clipboard->setText(QString::fromStdString(ToUtf8(text, m_player.code_page())));
  }
}

// --- System services

void PlayerStage::MultimediaCommand(std::string_view command) {
  m_player.trace().Write("mci", {{"command", ToUtf8(command, m_player.code_page())}});
  // A refused command shows the platform's text; the script goes on.
  RunOnMainThread([&] {
    const std::string error = SendMultimediaCommand(m_player, command);
    if (!error.empty())
      m_player.MessageBox(ToUtf8(m_player.project().title, m_player.code_page()), error,
                          kMbOk | kMbIconExclamation);
  });
}

void PlayerStage::LoadKeyboardLayout(std::string_view layout_id) {
  m_player.trace().Write("keyboard", {{"layout", std::string(layout_id)}});
}

void PlayerStage::MessageBeep(int32_t type) {
  m_player.trace().Write("beep", {{"type", type}});
  PlayBeep(type);
}

void PlayerStage::Tone(int32_t frequency, int32_t duration_ms) {
  m_player.trace().Write("tone", {{"frequency", frequency}, {"duration", duration_ms}});
  // A tone ends early only when the program ends.
  ScriptEngine* engine = m_player.engine();
  PlayTone(frequency, duration_ms, [engine] { return !engine || !engine->Terminating(); });
}

void PlayerStage::RegisterFont(const std::string& host_path, bool add) {
  RunOnMainThread([&] {
    auto it = m_script_fonts.find(host_path);
    if (add) {
      if (it != m_script_fonts.end()) return;
      int id = QFontDatabase::addApplicationFont(QString::fromStdString(host_path));
      if (id >= 0) m_script_fonts.emplace(host_path, id);
    } else if (it != m_script_fonts.end()) {
      QFontDatabase::removeApplicationFont(it->second);
      m_script_fonts.erase(it);
    }
  });
}

void PlayerStage::UnregisterScriptFonts() {
  for (const auto& [path, id] : m_script_fonts) QFontDatabase::removeApplicationFont(id);
  m_script_fonts.clear();
}

std::optional<std::string> PlayerStage::ReadResource(std::string_view name) {
  std::lock_guard lock(m_resource_mutex);
  return m_player.project_container().Resource(std::string(name));
}

}  // namespace morvane
