// The timer row: timers from their records, the template, timers made by
// scripts, and the actions on timers.

#include "player/objects/object_class.h"
#include "player/objects/runtime_objects.h"
#include "player/objects/timer_object.h"
#include "player/player.h"
#include "player/shell/page_window.h"

#include <QVariant>

#include <algorithm>

namespace morvane {

Script* TQMTimer::EventScript(ObjectEvent event) {
  return event == ObjectEvent::kTimer ? &evntTimer : nullptr;
}

namespace {

// A timer a script enabled while its interval was 0: it ticks once it gets one.
constexpr const char* kWaitingProperty = "MorvaneEnabledWithoutInterval";

// Timer scripts run in the main window, those of timers a script made in
// that script's window.
void HandTicksToScripts(Player& player, TQMTimer& timer) {
  Player* p = &player;
  timer.SetTickHandler([p](TQMTimer& t) {
    const QVariant made_by = t.property(kScriptPageProperty);
    if (TQMForm* page = p->GetFormByNum(made_by.isValid() ? made_by.toInt() : 1))
      p->RunScript(t.evntTimer, *page);
  });
}

void Build(ObjectBuilder& b, const PageObject& o) {
  auto* t = new TQMTimer(o, &b.form);
  t->setInterval(std::max(o.interval, 0));
  t->NumberOfLoops = o.loops;
  t->evntTimer = o.evntTimer;
  HandTicksToScripts(b.player, *t);
  if (o.enabled && o.interval > 0) t->start();
  b.Add(*t);
}

TQMTimer& Timer(ObjectActionCall& c) {
  return static_cast<TQMTimer&>(c.item);
}

bool Running(TQMTimer& timer) {
  return timer.isActive() || timer.property(kWaitingProperty).toBool();
}

}  // namespace

ObjectClass TimerClass() {
  ObjectClass row{ObjectKind::Timer, "TQMTimer"};
  row.built_with_page = true;
  row.visual = false;
  row.build = Build;
  row.make_template = [](ObjectBuilder& b, const PageObject& defaults) -> QObject* {
    return new TQMTimer(defaults, &b.form);
  };
  row.create_words = {"timer"};
  row.create = [](ObjectBuilder& b, const PageObject& model, std::string_view) -> PageObjectItem* {
    auto* t = new TQMTimer(model, &b.form);
    t->stop();
    HandTicksToScripts(b.player, *t);
    return t;
  };
  row.actions = {
      {3, "B",
       [](ObjectActionCall& c) {
         TQMTimer& timer = Timer(c);
         const bool on = c.args.B(0);
         if (on == Running(timer)) return;
         timer.ResetTicks();
         timer.setProperty(kWaitingProperty, false);
         if (!on) {
           timer.stop();
         } else if (timer.interval() > 0) {
           timer.start();
         } else {
           timer.setProperty(kWaitingProperty, true);
         }
       }},
      // An interval of 0 stops the ticks without disabling the timer, as a
      // zero interval must not tick without pause.
      {69, "N",
       [](ObjectActionCall& c) {
         TQMTimer& timer = Timer(c);
         const int32_t interval = c.args.N(0);
         const bool running = Running(timer);
         if (interval <= 0) {
           timer.stop();
           timer.setInterval(0);
           timer.setProperty(kWaitingProperty, running);
         } else {
           timer.setInterval(interval);
           timer.setProperty(kWaitingProperty, false);
           if (running && !timer.isActive()) timer.start();
         }
       }},
      {76, "E", ReplaceEventScriptAction},
  };
  return row;
}

}  // namespace morvane
