#pragma once

// How a page window appears through its show transition. The effect plays on
// a widget laid over the page inside the page's own window, from what was on
// screen where the page appears to the fully drawn page, each frame drawn for
// the time elapsed. While it plays, input to the page is held back and the
// page's show timer waits; when it ends the overlay goes, the show timer
// starts and the held input is delivered. A page hidden during its effect
// ends it at once; its held input is dropped and its show timer does not run.

#include "player/transitions/transition_settings.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace morvane {

class Player;
class TQMForm;
class TransitionOverlay;

class PageTransitions : public QObject {
 public:
  explicit PageTransitions(Player& player);
  ~PageTransitions() override;

  // Shows `form` through `show` (which makes the window visible). The page's
  // effect plays when it has one, transitions are on, and the page is not
  // visible yet; `replaced` is the page it takes the place of in a page
  // switch.
  void Show(TQMForm& form, TQMForm* replaced, const std::function<void()>& show);

  // The picture a user sees of the page while its effect plays; a null
  // picture when no effect plays on it.
  QImage Frame(const TQMForm& form) const;
  bool Playing(const TQMForm& form) const { return Find(form) != nullptr; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Effect {
    QPointer<TQMForm> form;
    QPointer<TransitionOverlay> overlay;
  };
  struct HeldInput {
    QPointer<QWidget> page;
    QPointer<QObject> target;
    std::unique_ptr<QEvent> event;
  };

  const Effect* Find(const TQMForm& form) const;
  // shown: the page reached its final picture; otherwise it was hidden.
  void End(TQMForm& form, bool shown);
  QImage OldPicture(TQMForm& form, TQMForm* replaced) const;
  QImage MaskOf(const TQMForm& form);
  TransitionKind KindToPlay(const TQMForm& form, TransitionKind asked);

  Player& m_player;
  std::vector<Effect> m_effects;
  std::vector<HeldInput> m_held;  // in the order they came, for every page
  std::mt19937 m_random;
  // Random pages: the kind of the next showing, chosen when the page was
  // last shown (or first asked for).
  std::map<int, TransitionKind> m_next_random;
  // Mask pictures by page; a null picture when it could not be read.
  std::map<int, QImage> m_masks;
};

}  // namespace morvane
