#pragma once

// The components of one page window: its fixed components (the background
// shape, the named timers), the hidden templates of every page-object class,
// and the page objects the package describes with their companions. Names
// are looked up ignoring case.

#include "package/project_model.h"
#include "player/objects/page_object.h"

#include <QObject>
#include <QWidget>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane {

class Player;
class TQMForm;

class PageObjects {
 public:
  PageObjects(Player& player, TQMForm& form, QWidget& surface);
  PageObjects(const PageObjects&) = delete;
  PageObjects& operator=(const PageObjects&) = delete;

  // Builds everything from the page record; called once.
  void Build(const Page& page);

  // The component of that name, ignoring case; nothing when absent.
  QObject* FindComponent(std::string_view name) const;
  // The page object "OBJ" + number (companions and templates are not).
  PageObjectItem* FindObject(std::string_view number) const;
  const std::vector<PageObjectItem*>& objects() const { return m_objects; }
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
  void Inert(const PageObject& o);

  Player& m_player;
  TQMForm& m_form;
  QWidget& m_surface;
  std::unordered_map<std::string, QObject*> m_by_name;           // lower-case names
  std::vector<PageObjectItem*> m_objects;                        // package order
  std::unordered_map<std::string, PageObjectItem*> m_by_number;  // lower-case numbers
};

// The "new_quillmere_new_" name a fresh object of the kind carries.
std::string FreshObjectName(ObjectKind kind);

}  // namespace morvane
