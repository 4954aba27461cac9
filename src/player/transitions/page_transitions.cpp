#include "player/transitions/page_transitions.h"

#include "expr/environment.h"
#include "player/assets/picture_reader.h"
#include "player/automation/options.h"
#include "player/automation/trace.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "player/transitions/transition_overlay.h"
#include "script/compat_recorder.h"
#include "util/fd_io.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <optional>

namespace morvane {
namespace {

// More than this many held events of one page are dropped: nobody types
// that fast during an effect, a flood would only be replayed as a burst.
constexpr size_t kMaxHeld = 4096;

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
    case QEvent::HoverMove:
      return true;
    default:
      return false;
  }
}

std::optional<std::string> ReadBytes(const std::string& host_path) {
  return ReadRegularFile(host_path);
}

}  // namespace

PageTransitions::PageTransitions(Player& player)
    : m_player(player), m_random(std::random_device{}()) {}

PageTransitions::~PageTransitions() {
  qApp->removeEventFilter(this);
  for (Effect& effect : m_effects) delete effect.overlay.data();
}

const PageTransitions::Effect* PageTransitions::Find(const TQMForm& form) const {
  for (const Effect& effect : m_effects) {
    if (effect.form == &form && effect.overlay) return &effect;
  }
  return nullptr;
}

QImage PageTransitions::Frame(const TQMForm& form) const {
  const Effect* effect = Find(form);
  return effect ? effect->overlay->picture() : QImage();
}

TransitionKind PageTransitions::KindToPlay(const TQMForm& form, TransitionKind asked) {
  if (asked != TransitionKind::kRandom) return asked;
  // The kind is chosen as the page is shown, for its next showing; the
  // first showing has one chosen when it is first asked for.
  auto next = m_next_random.find(form.number());
  const TransitionKind kind =
      next != m_next_random.end() ? next->second : RandomTransitionKind(m_random);
  m_next_random[form.number()] = RandomTransitionKind(m_random);
  return kind;
}

QImage PageTransitions::MaskOf(const TQMForm& form) {
  auto known = m_masks.find(form.number());
  if (known != m_masks.end()) return known->second;
  QImage mask;
  const std::string& path = form.page().mask_path;
  if (!path.empty()) {
    if (std::optional<std::string> host = m_player.environment().drives().ToHost(path)) {
      if (std::optional<std::string> bytes = ReadBytes(*host)) mask = ReadPicture(*bytes).image;
    }
  }
  m_masks.emplace(form.number(), mask);
  return mask;
}

QImage PageTransitions::OldPicture(TQMForm& form, TQMForm* replaced) const {
  // A page switch: the page it replaces, as the user sees it, in the same
  // bounds.
  if (replaced && replaced->isVisible()) {
    QImage frame = Frame(*replaced);
    return frame.isNull() ? replaced->Picture() : frame;
  }
  // Else the desktop where the page appears, where the window system gives
  // a picture of it (headless there is no desktop).
  if (!m_player.headless()) {
    QScreen* screen = form.screen() ? form.screen() : QGuiApplication::primaryScreen();
    if (screen) {
      const QRect at = form.geometry().translated(-screen->geometry().topLeft());
      QPixmap desktop = screen->grabWindow(0, at.x(), at.y(), at.width(), at.height());
      if (!desktop.isNull()) return desktop.toImage();
    }
  }
  QImage plain(form.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  plain.fill(form.look().colour);
  return plain;
}

void PageTransitions::Show(TQMForm& form, TQMForm* replaced, const std::function<void()>& show) {
  const TransitionSettings settings = PageTransition(form.page());
  const QSize size = form.size();
  if (m_player.options().no_transitions || m_player.terminating() || form.isVisible() ||
      settings.kind == TransitionKind::kNone || Find(form) ||
      int64_t(size.width()) * size.height() > TransitionFrame::kMaxPixels) {
    show();
    return;
  }
  const TransitionKind kind = KindToPlay(form, settings.kind);
  QImage mask;
  if (kind == TransitionKind::kMask) {
    mask = MaskOf(form);
    if (mask.isNull()) {
      if (CompatRecorder* compat = m_player.compat_recorder()) {
        CompatPlace place;
        place.page = form.number();
        compat->NoteService(CompatService::kTransitionMask, place);
      }
    }
  }
  auto* overlay = new TransitionOverlay(form, kind, settings.options, settings.duration_ms,
                                        OldPicture(form, replaced), mask);
  m_effects.push_back(Effect{&form, overlay});
  // Held from the moment the page shows; installed last, the filter sees
  // input before every other one.
  qApp->installEventFilter(this);
  form.HoldShowTimer();
  show();
  if (!form.isVisible()) {
    End(form, false);
    return;
  }
  m_player.trace().Write(
      "transition",
      {{"page", form.number()}, {"kind", int(overlay->kind())}, {"ms", overlay->duration_ms()}});
  QPointer<TQMForm> page(&form);
  overlay->Start([page] { return page ? page->Picture() : QImage(); },
                 [this, page] {
                   if (page) End(*page, true);
                 });
}

void PageTransitions::End(TQMForm& form, bool shown) {
  QPointer<TransitionOverlay> overlay;
  for (auto it = m_effects.begin(); it != m_effects.end(); ++it) {
    if (it->form != &form) continue;
    overlay = it->overlay;
    m_effects.erase(it);
    break;
  }
  std::erase_if(m_effects, [](const Effect& e) { return !e.form || !e.overlay; });
  if (m_effects.empty()) qApp->removeEventFilter(this);
  if (overlay) {
    overlay->hide();
    overlay->deleteLater();
  }
  if (!m_player.terminating()) {
    m_player.trace().Write("transition-end", {{"page", form.number()}, {"shown", shown ? 1 : 0}});
  }
  // Input held for this page: delivered once it is fully shown, dropped when
  // it went away before.
  std::vector<HeldInput> held;
  for (HeldInput& h : m_held) {
    if (h.page == &form || !h.page) {
      if (shown && h.page && h.target) QCoreApplication::postEvent(h.target, h.event.release());
    } else {
      held.push_back(std::move(h));
    }
  }
  m_held = std::move(held);
  form.ReleaseShowTimer(shown);
}

bool PageTransitions::eventFilter(QObject* watched, QEvent* event) {
  if (!watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  QWidget* window = widget->window();
  const auto playing = std::find_if(m_effects.begin(), m_effects.end(), [&](const Effect& e) {
    return e.form && e.overlay && static_cast<QWidget*>(e.form.data()) == window;
  });
  if (playing == m_effects.end()) return false;
  if (event->type() == QEvent::Hide && widget == window) {
    // A page hidden or closed during its effect ends it at once.
    End(*playing->form, false);
    return false;
  }
  if (!IsInput(event->type())) return false;
  const auto of_page = std::count_if(m_held.begin(), m_held.end(),
                                     [&](const HeldInput& h) { return h.page == window; });
  if (size_t(of_page) < kMaxHeld) {
    m_held.push_back(HeldInput{window, widget, std::unique_ptr<QEvent>(event->clone())});
  }
  return true;
}

}  // namespace morvane
