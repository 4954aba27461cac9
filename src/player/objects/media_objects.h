#pragma once

// The objects whose engines come later: sounds, videos, Flash movies, web
// browsers and plug-in windows. They carry every property the package gives
// them and their companions, and stay inert: nothing plays, browses or loads
// a library.

#include "player/objects/image_object.h"
#include "player/objects/page_object.h"

#include <QObject>
#include <QWidget>

namespace morvane {

class TQMSound : public QObject, public PageObjectItem {
 public:
  TQMSound(const PageObject& model, QObject* owner);
  QObject* AsObject() override { return this; }
  ObjectSnapshot Snapshot() override;
  Script* EventScript(ObjectEvent event) override;

  Script evntStart, evntFinish;
  bool Loop = false;
  int32_t DelayBetweenLoops = 0;
  bool PlayWithPageStart = false;
  int32_t NumberOfLoops = 0;
  std::string FileName;  // expanded, a Windows path
  int32_t volume = 0;
  int loop_counter = 0;
};

class TQMVideo : public QWidget, public PageObjectItem {
 public:
  TQMVideo(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }
  ObjectSnapshot Snapshot() override;
  Script* EventScript(ObjectEvent event) override;
  // The still follows the video; the video waits to be played again.
  void Moved(int32_t left, int32_t top) override;
  void DestroyOwned(const std::function<void(std::string_view name)>& destroy) override;

  std::string Path;
  bool Loop = false;
  int32_t DelayBetweenLoops = 0;
  bool PlayWithPageStart = false;
  int32_t Speed = 0;
  int32_t Volume = 0;
  TQMImage* Stl = nullptr;  // the still image "IMG" + name
  Script evntStart, evntFinish;
  int32_t TempWidth = 0, TempHeight = 0, TempLeft = 0, TempTop = 0;

 protected:
  void paintEvent(QPaintEvent*) override;
};

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

class TQMMPlugin : public QWidget, public PageObjectItem {
 public:
  TQMMPlugin(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  std::string Path;
};

}  // namespace morvane
