#pragma once

// What every page object has besides its own widget: the package record it
// was built from, its hover state (the component's `Tag`) and the snapshot
// that expressions read. Companions (track bars, start timers, stills) are
// not page objects; they only carry their names.

#include "expr/stage.h"
#include "package/project_model.h"

#include <QObject>
#include <QWidget>

namespace morvane {

class PageObjectItem {
 public:
  explicit PageObjectItem(const PageObject& model) : m_model(model) {}
  virtual ~PageObjectItem() = default;
  PageObjectItem(const PageObjectItem&) = delete;
  PageObjectItem& operator=(const PageObjectItem&) = delete;

  const PageObject& model() const { return m_model; }
  ObjectKind kind() const { return m_model.kind; }
  virtual QObject* AsObject() = 0;
  // Nothing for objects without a window (timers, sounds).
  virtual QWidget* AsWidget() { return nullptr; }
  virtual ObjectSnapshot Snapshot();

  // 0 outside, 1 the pointer inside, 2 an edit with the keyboard focus.
  int Tag = 0;

 private:
  const PageObject& m_model;
};

// Gives a page object or companion its component name.
void NameComponent(QObject& object, std::string_view name);

}  // namespace morvane
