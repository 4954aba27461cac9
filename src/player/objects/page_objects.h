#pragma once

// The components of one page window: its fixed components (the background
// shape, the named timers), the hidden templates of every page-object class,
// and the page objects the package describes with their companions. Names
// are looked up ignoring case.
//
// Objects with windows are built when the page is first polished (shown or
// drawn) or when anything looks a component up, whichever comes first, so a
// project of many pages starts with only the pages it shows. Timers, sounds
// and plug-in windows (whose libraries start with the program) are built
// with the page.

#include "package/project_model.h"
#include "player/objects/page_object.h"

#include <QObject>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace morvane {

class Player;
class TQMForm;
class ObjectBuilder;

class PageObjects {
 public:
  PageObjects(Player& player, TQMForm& form, QWidget& surface);
  ~PageObjects();
  PageObjects(const PageObjects&) = delete;
  PageObjects& operator=(const PageObjects&) = delete;

  // Builds the page from its record; called once. The objects with windows
  // wait for the first look-up or polish of the surface.
  void Build(const Page& page);
  // Builds the waiting objects now; nothing once they exist.
  void EnsureBuilt() const;

  // Calls `each` for every page object the loader has built so far and for
  // each one it builds later, without building anything itself. Objects
  // added while the page runs are not among them.
  void ForEachObject(std::function<void(PageObjectItem&)> each);

  // The component of that name, ignoring case; nothing when absent.
  QObject* FindComponent(std::string_view name) const;
  // The page object "OBJ" + number (companions and templates are not).
  PageObjectItem* FindObject(std::string_view number) const;
  // In package order, then the objects added while the page runs.
  const std::vector<PageObjectItem*>& objects() const {
    EnsureBuilt();
    return m_objects;
  }
  // Names a component of the page window and makes it findable.
  void Register(QObject& component, std::string_view name);
  // Adds a page object made while the page runs as "OBJ" + number.
  void AddObject(PageObjectItem& item, std::string_view number);
  // Forgets the component of that name (and the page object it is); the
  // caller destroys it. Nothing when there is none.
  void Forget(std::string_view name);

 private:
  void BuildFixedComponents(const Page& page);
  void BuildTemplates();
  void BuildObject(const PageObject& o, const Page& page);
  // What the class factories build with; `page` is nothing for templates.
  ObjectBuilder Builder(const Page* page);
  void BuildWaiting();
  void Inert(const PageObject& o);
  // The compatibility report learns of an object whose engine is missing.
  void NoteService(const PageObject& o);
  // Names a component for the loader: a name registered from outside while
  // the objects waited keeps its component.
  void Name(QObject& component, std::string_view name);

  Player& m_player;
  TQMForm& m_form;
  QWidget& m_surface;
  std::unordered_map<std::string, QObject*> m_by_name;           // lower-case names
  std::vector<PageObjectItem*> m_objects;                        // package order
  std::unordered_map<std::string, PageObjectItem*> m_by_number;  // lower-case numbers
  const Page* m_page = nullptr;
  // Invariant: m_waiting == (the objects with windows are not built yet).
  bool m_waiting = false;
  std::vector<PageObjectItem*> m_early;                   // timers and sounds, by package index
  std::unordered_set<std::string> m_named_while_waiting;  // lower-case names
  std::unique_ptr<QObject> m_polish_watch;
  std::vector<std::function<void(PageObjectItem&)>> m_on_built;
  // Lower-case names the waiting objects will take; a look-up of any other
  // name needs nothing built.
  std::unordered_set<std::string> m_waiting_names;
};

// The "new_quillmere_new_" name a fresh object of the kind carries.
std::string FreshObjectName(ObjectKind kind);

}  // namespace morvane
