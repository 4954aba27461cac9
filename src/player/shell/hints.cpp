#include "player/shell/hints.h"

#include "player/assets/fonts.h"
#include "player/objects/shape_object.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
#include "util/code_page.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QProxyStyle>
#include <QToolTip>
#include <QWidget>

namespace morvane {
namespace {

// The application's style with the project's pause before a hint shows.
class HintPauseStyle : public QProxyStyle {
 public:
  HintPauseStyle(const QString& base, int pause_ms) : QProxyStyle(base), m_pause(pause_ms) {}

  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return m_pause;
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

 private:
  int m_pause;
};

bool InPageWindow(const QWidget* widget) {
  return widget && dynamic_cast<const TQMForm*>(widget->window()) != nullptr;
}

}  // namespace

QString HintOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (!w->toolTip().isEmpty()) return w->toolTip();
    if (w->isWindow()) break;
  }
  return QString();
}

HintHandler::HintHandler(Player& player) : m_player(player) {
  const ProjectOptions& o = player.project().options;
  QPalette palette = QToolTip::palette();
  palette.setColor(QPalette::ToolTipBase,
                   QColor(o.hint_colour.r, o.hint_colour.g, o.hint_colour.b));
  palette.setColor(QPalette::ToolTipText,
                   QColor(o.hint_text_colour.r, o.hint_text_colour.g, o.hint_text_colour.b));
  QToolTip::setPalette(palette);
  QToolTip::setFont(WindowsFont("Tahoma", 8, 0, player.code_page()));
  if (QStyle* style = QApplication::style()) {
    int pause = std::max(player.project().hint_pause, 0);
    QApplication::setStyle(new HintPauseStyle(style->name(), pause));
  }
  Watch();
}

void HintHandler::Watch() {
  // The filter installed last sees the events first: others may consume the
  // moves they track.
  qApp->removeEventFilter(this);
  qApp->installEventFilter(this);
}

HintHandler::~HintHandler() {
  if (qApp) qApp->removeEventFilter(this);
}

bool HintHandler::eventFilter(QObject* watched, QEvent* event) {
  if (m_player.terminating() || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  switch (event->type()) {
    case QEvent::Enter:
      if (InPageWindow(widget)) NoteHint(HintOf(widget));
      break;
    case QEvent::MouseMove: {
      // A move that a child leaves to its parents reaches this filter once
      // per widget: the hint is that of the widget under the pointer, not of
      // the one that got the event.
      if (!InPageWindow(widget)) break;
      QWidget* window = widget->window();
      QPoint global = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
      QWidget* under = window->childAt(window->mapFromGlobal(global));
      NoteHint(HintOf(under ? under : window));
      // The project may ask for the current hint to follow the pointer.
      if (m_player.project().options.hint_follows_pointer && !m_current.isEmpty())
        QToolTip::showText(global, m_current, under ? under : window, QRect(),
                           std::max(m_player.project().options.hint_hide_pause, 0));
      break;
    }
    case QEvent::ToolTip: {
      if (!InPageWindow(widget)) break;
      auto* help = static_cast<QHelpEvent*>(event);
      // A shape shows its hint only while the pointer is inside its figure.
      if (auto* shape = dynamic_cast<const TQMShape*>(widget);
          shape && !shape->FigureContains(help->pos().x(), help->pos().y())) {
        QToolTip::hideText();
        return true;
      }
      QString hint = HintOf(widget);
      if (hint.isEmpty()) break;
      // The project's hide pause instead of the toolkit's own.
      QToolTip::showText(help->globalPos(), hint, widget, QRect(),
                         std::max(m_player.project().options.hint_hide_pause, 0));
      return true;
    }
    default:
      break;
  }
  return false;
}

void HintHandler::NoteHint(const QString& hint) {
  if (hint == m_current) return;
  m_current = hint;
  m_player.values().SetString("_hint", FromUtf8(hint.toStdString(), m_player.code_page()));
  if (TQMForm* main = m_player.GetFormByNum(1))
    m_player.RunScript(m_player.project().on_hint, *main);
}

}  // namespace morvane
