#include "player/shell/player_stage.h"

#include "player/objects/page_objects.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "util/code_page.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>
#include <QThread>

namespace morvane {

void RunOnMainThread(const std::function<void()>& work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(app, work, Qt::BlockingQueuedConnection);
}

namespace {

template <typename T, typename F>
T OnMain(F f) {
  T result{};
  RunOnMainThread([&] { result = f(); });
  return result;
}

}  // namespace

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
  return OnMain<int32_t>([this] { return m_player.PageCount(); });
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

std::optional<std::string> PlayerStage::FlashVariable(std::string_view, std::string_view) {
  return std::nullopt;
}

}  // namespace morvane
