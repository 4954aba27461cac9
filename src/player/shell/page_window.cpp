#include "player/shell/page_window.h"

#include "expr/values.h"
#include "player/assets/background.h"
#include "player/assets/fonts.h"
#include "player/events/event_dispatch.h"
#include "player/objects/page_objects.h"
#include "player/shell/player.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace morvane {

// The page's client area: background and objects.
class PageSurface : public QWidget {
 public:
  PageSurface(TQMForm& form, QWidget* parent) : QWidget(parent), m_form(form) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    m_form.PaintPage(painter, rect());
  }

 private:
  TQMForm& m_form;
};

TQMForm::TQMForm(Player& player, int number, const Page& page)
    : QWidget(nullptr), m_player(player), m_number(number), m_page(page), m_look(page) {
  setObjectName(QStringLiteral("QM_APPLICATION_FORM%1").arg(number));
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  const PageOptions& o = page.options;
  if (o.horizontal_scroll || o.vertical_scroll) {
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(o.horizontal_scroll ? Qt::ScrollBarAsNeeded
                                                               : Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(o.vertical_scroll ? Qt::ScrollBarAsNeeded
                                                           : Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_surface = new PageSurface(*this, nullptr);
    m_scroll->setWidget(m_surface);
    layout->addWidget(m_scroll);
  } else {
    m_surface = new PageSurface(*this, this);
    layout->addWidget(m_surface);
  }
  m_surface->setObjectName(QStringLiteral("QM_FORM_BACKGROUND"));
  m_surface->setAutoFillBackground(false);
  m_surface->setAttribute(Qt::WA_OpaquePaintEvent, !o.colour_key);

  setWindowTitle(PackageText(page.caption, 1, player.code_page()));
  if (o.right_to_left) setLayoutDirection(Qt::RightToLeft);
  m_show_timer.setObjectName(QStringLiteral("showevent"));
  m_show_timer.setSingleShot(true);
  m_show_timer.setInterval(1);
  QObject::connect(&m_show_timer, &QTimer::timeout, [this] { OnShowTimer(); });
  player.cursors().Apply(*m_surface, page.cursor);
  LoadBackground();
  m_objects = std::make_unique<PageObjects>(player, *this, *m_surface);
  m_objects->Build(page);
  m_objects->Register(m_show_timer, "showevent");
  EventDispatch::For(player, *this).AddPage(*this);
}

TQMForm::~TQMForm() = default;

void TQMForm::LoadBackground() {
  std::optional<std::string> bytes =
      m_player.project_container().Resource("BDATAG" + std::to_string(m_number));
  if (!bytes) return;
  QImage image = DecodeBackground(*bytes);
  bytes.reset();
  // Kept as loaded: the filters are applied when the page is drawn.
  m_look.background.SetPicture(std::move(image));
}

void TQMForm::PaintPage(QPainter& painter, const QRect& area) {
  m_look.Paint(painter, area);
}

void TQMForm::ApplyPageGeometry() {
  const PageOptions& o = m_page.options;
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect screen_rect = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  QRect work = screen ? screen->availableGeometry() : screen_rect;

  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  bool sizeable = o.resizable && (o.border_kind == 0 || o.border_kind == 1);
  if (o.border_kind == 1) flags |= Qt::Tool;
  if (o.border_kind >= 2) flags = Qt::Window | Qt::FramelessWindowHint;
  if (o.border_kind < 2) {
    if (o.system_menu) {
      flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (o.minimize_icon) flags |= Qt::WindowMinimizeButtonHint;
      if (o.maximize_icon && sizeable) flags |= Qt::WindowMaximizeButtonHint;
      if (o.help_icon) flags |= Qt::WindowContextHelpButtonHint;
    }
  }
  if (o.stay_on_top) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);

  int width = m_page.client_width == -1 ? screen_rect.width() : m_page.client_width;
  int height = m_page.client_height == -1 ? screen_rect.height() : m_page.client_height;
  // Windows keeps a framed window within the desktop's size; the player
  // keeps every page within the larger of the desktop and 4096 x 4096, so
  // a package asking for 2^31 costs a few megabytes, not gigabytes.
  const QSize desktop = screen ? screen->virtualSize() : QSize(1024, 768);
  width = std::clamp(width, 1, std::max(desktop.width(), 4096));
  height = std::clamp(height, 1, std::max(desktop.height(), 4096));
  if (sizeable) {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    resize(width, height);
  } else {
    setFixedSize(width, height);
  }
  if (o.position == 0) {
    // Centred in the work area; the frame counts, as the window's outer size.
    QSize outer = frameGeometry().size().expandedTo(QSize(width, height));
    move(work.left() + work.width() / 2 - outer.width() / 2,
         work.top() + work.height() / 2 - outer.height() / 2);
  } else {
    move(0, 0);
  }
  if (o.alpha_blend) setWindowOpacity(std::clamp(m_page.alpha, 0, 255) / 255.0);
  if (o.colour_key) {
    setAttribute(Qt::WA_TranslucentBackground, false);
    // A hidden page gets its mask when it is shown, with its objects built.
    if (isVisible()) UpdateColourKeyMask();
  }
}

void TQMForm::UpdateColourKeyMask() {
  m_surface->setAttribute(Qt::WA_OpaquePaintEvent, !m_look.colour_key);
  if (!m_look.colour_key) {
    clearMask();
    return;
  }
  QImage picture = Picture();
  if (picture.isNull()) return;
  // The image's mask sets the key pixels; as a bitmap, set pixels are the
  // ones cut out.
  QImage mask = picture.createMaskFromColor(m_look.key_colour, Qt::MaskInColor);
  setMask(QBitmap::fromImage(mask));
}

void TQMForm::SetScrollBar(Qt::Orientation orientation, bool on) {
  if (!m_scroll) {
    if (!on) return;
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    layout()->removeWidget(m_surface);
    m_scroll->setWidget(m_surface);
    layout()->addWidget(m_scroll);
    m_scroll->show();
  }
  Qt::ScrollBarPolicy policy = on ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  if (orientation == Qt::Horizontal)
    m_scroll->setHorizontalScrollBarPolicy(policy);
  else
    m_scroll->setVerticalScrollBarPolicy(policy);
}

QImage TQMForm::Picture() {
  QWidget& target = m_scroll ? static_cast<QWidget&>(*m_scroll) : *m_surface;
  if (!m_scroll && m_surface->size() != size()) m_surface->resize(size());
  return target.grab().toImage();
}

void TQMForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (m_look.colour_key && isVisible()) UpdateColourKeyMask();
  if (!m_player.terminating()) m_player.RunResizeScript(*this);
}

void TQMForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous() || m_player.terminating()) return;
  if (m_look.colour_key) UpdateColourKeyMask();
  m_player.trace().Write("show", {{"page", m_number}});
  m_closing_state.clear();
  // Headless there is no window manager to activate what is shown.
  if (m_player.headless()) activateWindow();
  m_player.NoteActivePage(m_number);
  if (!m_show_timer_held) m_show_timer.start();
}

void TQMForm::ReleaseShowTimer(bool start) {
  m_show_timer_held = false;
  if (start && isVisible() && !m_player.terminating()) m_show_timer.start();
}

void TQMForm::RequestExit() {
  m_show_timer.setInterval(2);
  m_show_timer.start();
}

void TQMForm::OnShowTimer() {
  if (m_player.terminating()) return;
  if (m_show_timer.interval() == 2) {
    // The exit request of the page actions.
    m_player.EndProgram();
    return;
  }
  if (QWidget* focus = focusWidget()) focus->clearFocus();
  m_player.RunScript(m_page.on_show, *this);
  m_player.RunShowScriptHooks(*this);
}

void TQMForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (event->spontaneous() || m_player.terminating()) return;
  m_player.trace().Write("hide", {{"page", m_number}});
  m_player.NotePageHidden(m_number);
  if (m_closing_state == "close") return;
  m_closing_state = "hide";
  m_player.values().SetBoolean("_close", true);
  m_player.RunScript(m_page.on_close, *this);
}

void TQMForm::closeEvent(QCloseEvent* event) {
  if (m_player.terminating()) {
    event->accept();
    return;
  }
  if (m_closing_state != "hide") {
    m_closing_state = "close";
    m_player.values().SetBoolean("_close", true);
    m_player.RunScript(m_page.on_close, *this);
  }
  bool close = m_player.values().GetBoolean("_close");
  if (!close) {
    event->ignore();
    return;
  }
  if (m_number == 1) {
    event->ignore();
    m_player.EndProgram();
    return;
  }
  int visible = 0;
  for (int n = 1; n <= m_player.PageCount(); ++n) {
    if (TQMForm* form = m_player.GetFormByNum(n); form && form->isVisible()) ++visible;
  }
  if (visible == 1 && m_player.minimize_on_close()) {
    event->ignore();
    m_player.EndProgram();
    return;
  }
  event->accept();
}

void TQMForm::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
    m_player.NoteActivePage(m_number);
  }
  // The player's own minimize and restore note the new state themselves; a
  // window system that echoes them later would count them twice. Headless
  // nobody else changes a window's state.
  if (event->type() == QEvent::WindowStateChange && event->spontaneous() && !m_player.headless() &&
      !m_player.terminating()) {
    m_player.NoteWindowStates();
  }
}

}  // namespace morvane
