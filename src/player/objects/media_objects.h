#pragma once

// The objects whose engine comes later: plug-in windows. They carry every
// property the package gives them and their companions, and stay inert:
// nothing loads a library.

#include "player/objects/image_object.h"
#include "player/objects/page_object.h"

#include <QObject>
#include <QWidget>

namespace morvane {

class TQMMPlugin : public QWidget, public PageObjectItem {
 public:
  TQMMPlugin(const PageObject& model, QWidget* owner);
  QObject* AsObject() override { return this; }
  QWidget* AsWidget() override { return this; }

  std::string Path;
};

}  // namespace morvane
