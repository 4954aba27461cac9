#pragma once

// `TQMMPlugin`: a rectangle on a page that a plug-in library fills. The
// window keeps the canvas the library draws into and shows it; its start
// timer ("P" + n, 1 ms, once) loads the library and makes the start calls
// (`PluginTimerTimer`); the object actions 8, 65, 66 and 67 call the library
// through the window (plugin_rows.cpp).

#include "player/objects/page_object.h"

#include "morvane/plugin.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

namespace morvane {

class Player;
class PluginLibrary;
class TQMForm;

class TQMMPlugin : public QWidget, public PageObjectItem {
 public:
  TQMMPlugin(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  std::string Path;  // the library, path macros expanded

  // The window's entry in the plug-in library table, once its library has
  // started; nothing before and for a window whose library did not start.
  std::optional<size_t> library_index;
  // The library of that entry; nothing without one.
  PluginLibrary* library() const;

  // The canvas handed to the first Draw; its fields follow the window's size.
  MorvaneCanvas* canvas() { return &m_canvas; }
  // Sizes the canvas to the window, keeping what is drawn at the top left.
  void FitCanvas();
  // Shows what the plug-in drew.
  void ShowCanvas() { update(); }

  // The id of a native window covering the plug-in window, made on first
  // use; it alone is native, so the page's other objects stay as they are.
  uintptr_t NativeWindowId();

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  QImage m_pixels;  // ARGB32, not premultiplied: the canvas's memory
  MorvaneCanvas m_canvas{};
  QWidget* m_native = nullptr;  // shows this window's painting; the plug-in may embed in it
};

// `PluginTimerTimer`: the start of the plug-in window "OBJ" + the timer's
// name without its first letter, on `form`; the timer is destroyed.
void StartPluginWindow(Player& player, TQMForm& form, QTimer& timer);

// Sets up the start timer of a window just built: named "P" + number, 1 ms,
// once, enabled.
void ArmPluginStart(Player& player, TQMForm& form, QTimer& timer);

}  // namespace morvane
