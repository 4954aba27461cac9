#pragma once

// What every page object has besides its own widget: the package record it
// was built from, its hover state (the component's `Tag`) and the snapshot
// that expressions read. Companions (track bars, start timers, stills) are
// not page objects; they only carry their names.

#include "expr/stage.h"
#include "package/project_model.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <string_view>

namespace morvane {

// The events an object may carry a script for. Each class keeps its scripts
// under its own names (`evntMDown` on texts, `evntMdown` on edits) and hands
// them out through EventScript.
enum class ObjectEvent : uint8_t {
  kMouseDown,
  kMouseUp,
  kMouseEnter,
  kMouseLeave,
  kDoubleClick,
  kChange,  // an edit's text changed
  kTimer,
  kStart,   // media started
  kFinish,  // media finished
};

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
  // The script of an event; nothing when the class has no such event.
  virtual Script* EventScript(ObjectEvent event) { return nullptr; }

  // Hooks of the actions every visual object shares, for the classes that
  // keep more than their widget shows.
  virtual void SetRightToLeft(bool on);
  // The look of the pointer entering (true) or leaving the object.
  virtual void ShowHover(bool inside) {}
  virtual void Moved(int32_t left, int32_t top) {}
  virtual void SetCursorNumber(int32_t number) { RealCursor = int8_t(number); }
  // Destroys what the object owns besides its companions, through `destroy`,
  // before it is deleted.
  virtual void DestroyOwned(const std::function<void(std::string_view name)>& destroy) {}

  // 0 outside, 1 the pointer inside, 2 an edit with the keyboard focus.
  int Tag = 0;
  // The cursor number the object shows while the pointer is over it.
  int8_t RealCursor = 0;

 private:
  const PageObject& m_model;
};

// The script of a pointer event among the four that classes with a window
// keep under their own names; nothing for any other event.
Script* PointerScript(ObjectEvent event, Script& down, Script& up, Script& enter, Script& leave);

// Gives a page object or companion its component name.
void NameComponent(QObject& object, std::string_view name);

}  // namespace morvane
