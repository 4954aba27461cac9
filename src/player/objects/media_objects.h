#pragma once

// The objects whose engines come later: Flash movies and web browsers. They
// carry every property the package gives them and their companions, and stay
// inert: nothing plays or browses.

#include "player/objects/image_object.h"
#include "player/objects/page_object.h"

#include <QObject>
#include <QWidget>

namespace morvane {

class TQMFlash : public QWidget, public PageObjectItem {
 public:
  TQMFlash(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  Script evntFS, evntFC;
  std::string Movie;
  bool Playing = false, Loop = false, Menu = true;
  int Quality = 1, ScaleMode = 0;
  int32_t FrameNum = 0;
  QString BGColor;  // six hexadecimal digits, red green blue
};

class TQMBrowser : public QWidget, public PageObjectItem {
 public:
  TQMBrowser(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  void SetCursorNumber(int32_t number) override { cursor_number = number; }

  Script evntBN, evntAN, evntNW, evntPC, evntSC, evntTC, evntAC;
  std::string DefPath;
  bool Offline = false, Silent = false, RegisterAsDropTarget = false;
  bool ContextMenu = true, Selectable = true, Borders3D = true, ScrollBars = true;
  int32_t tab_order = 0;
  int32_t cursor_number = 0;

 protected:
  void paintEvent(QPaintEvent*) override;
};

}  // namespace morvane
