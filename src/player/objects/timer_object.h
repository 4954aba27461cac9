#pragma once

// `TQMTimer`: a timer object. Counts its ticks; at `NumberOfLoops` ticks it
// stops and starts counting again from 0 (0 never stops it).

#include "player/objects/page_object.h"

#include <QTimer>

#include <functional>

namespace morvane {

class TQMTimer : public QTimer, public PageObjectItem {
 public:
  TQMTimer(const PageObject& model, QObject* owner);
  QObject* AsObject() override { return this; }
  Script* EventScript(ObjectEvent event) override;

  // Runs on every tick, after the counting.
  void SetTickHandler(std::function<void(TQMTimer&)> handler) { m_handler = std::move(handler); }
  // Starts from a tick count of 0.
  void Restart();
  int ticks() const { return m_ticks; }
  void ResetTicks() { m_ticks = 0; }

  int32_t NumberOfLoops = 0;
  Script evntTimer;

 private:
  void OnTick();
  int m_ticks = 0;
  std::function<void(TQMTimer&)> m_handler;
};

}  // namespace morvane
