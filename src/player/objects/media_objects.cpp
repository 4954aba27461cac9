#include "player/objects/media_objects.h"

namespace morvane {

TQMMPlugin::TQMMPlugin(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  resize(100, 100);
}

}  // namespace morvane
