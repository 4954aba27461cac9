#include "player/objects/page_objects.h"

#include "package/object_layout.h"
#include "player/automation/trace.h"
#include "player/objects/classic_look.h"
#include "player/objects/object_class.h"
#include "player/objects/shape_object.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "script/compat_recorder.h"
#include "util/ascii_case.h"

#include <QEvent>
#include <QFile>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace morvane {
namespace {

// The records a class reads; fewer mean a package cut short in this object.
int FullRecords(ObjectKind kind) {
  return int(LayoutOf(kind).records.size());
}

bool BuiltWithPage(ObjectKind kind) {
  return ClassOf(kind).built_with_page;
}

// Builds a page's waiting objects when its surface is first polished: shown,
// grabbed or rendered.
class PolishWatch : public QObject {
 public:
  PolishWatch(const PageObjects& objects, QObject* parent) : QObject(parent), m_objects(objects) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Polish) m_objects.EnsureBuilt();
    return false;
  }

 private:
  const PageObjects& m_objects;
};

}  // namespace

std::string FreshObjectName(ObjectKind kind) {
  return std::string("new_quillmere_new_") + ClassOf(kind).word();
}

PageObjects::PageObjects(Player& player, TQMForm& form, QWidget& surface)
    : m_player(player), m_form(form), m_surface(surface) {}

PageObjects::~PageObjects() {
  if (m_polish_watch) m_surface.removeEventFilter(m_polish_watch.get());
}

void PageObjects::Register(QObject& component, std::string_view name) {
  if (m_waiting) m_named_while_waiting.insert(AsciiLower(name));
  NameComponent(component, name);
  m_by_name[AsciiLower(name)] = &component;
}

void PageObjects::Name(QObject& component, std::string_view name) {
  NameComponent(component, name);
  std::string key = AsciiLower(name);
  if (!m_named_while_waiting.contains(key)) m_by_name[key] = &component;
}

void PageObjects::AddObject(PageObjectItem& item, std::string_view number) {
  Register(*item.AsObject(), "OBJ" + std::string(number));
  m_objects.push_back(&item);
  m_by_number[AsciiLower(number)] = &item;
}

void PageObjects::Forget(std::string_view name) {
  // A waiting page would bring a forgotten early object back when it builds;
  // a companion built with its page (a start timer) needs nothing built.
  const std::string key = AsciiLower(name);
  auto found = m_by_name.find(key);
  auto is_found = [&](PageObjectItem* item) { return item && item->AsObject() == found->second; };
  const bool early_object =
      found != m_by_name.end() && std::any_of(m_early.begin(), m_early.end(), is_found);
  if (found == m_by_name.end() || early_object || m_waiting_names.contains(key)) EnsureBuilt();
  auto it = m_by_name.find(key);
  if (it == m_by_name.end()) return;
  QObject* component = it->second;
  m_by_name.erase(it);
  for (auto n = m_by_number.begin(); n != m_by_number.end(); ++n) {
    if (n->second->AsObject() == component) {
      m_by_number.erase(n);
      break;
    }
  }
  std::erase_if(m_objects, [&](PageObjectItem* o) { return o->AsObject() == component; });
}

QObject* PageObjects::FindComponent(std::string_view name) const {
  if (m_waiting && m_waiting_names.contains(AsciiLower(name))) EnsureBuilt();
  auto it = m_by_name.find(AsciiLower(name));
  return it == m_by_name.end() ? nullptr : it->second;
}

PageObjectItem* PageObjects::FindObject(std::string_view number) const {
  if (m_waiting && m_waiting_names.contains("obj" + AsciiLower(number))) EnsureBuilt();
  auto it = m_by_number.find(AsciiLower(number));
  return it == m_by_number.end() ? nullptr : it->second;
}

void PageObjects::Build(const Page& page) {
  m_page = &page;
  BuildFixedComponents(page);
  BuildTemplates();
  m_early.assign(page.objects.size(), nullptr);
  for (size_t i = 0; i < page.objects.size(); ++i) {
    const PageObject& o = page.objects[i];
    if (!BuiltWithPage(o.kind)) {
      const std::string n = AsciiLower(o.name);
      m_waiting_names.insert("obj" + n);
      for (const std::string& prefix : ClassOf(o.kind).companions)
        m_waiting_names.insert(AsciiLower(prefix) + n);
      continue;
    }
    size_t before = m_objects.size();
    BuildObject(page.objects[i], page);
    if (m_objects.size() > before) m_early[i] = m_objects.back();
  }
  m_waiting = true;
  m_polish_watch = std::make_unique<PolishWatch>(*this, nullptr);
  m_surface.installEventFilter(m_polish_watch.get());
}

void PageObjects::ForEachObject(std::function<void(PageObjectItem&)> each) {
  for (PageObjectItem* item : m_objects) each(*item);
  m_on_built.push_back(std::move(each));
}

void PageObjects::EnsureBuilt() const {
  // Look-ups are const for their callers; building the waiting objects
  // changes what they find, not what the page is.
  if (m_waiting) const_cast<PageObjects*>(this)->BuildWaiting();
}

void PageObjects::BuildWaiting() {
  m_waiting = false;
  // Removed, not deleted: this may run inside the watch's own filter.
  if (m_polish_watch) m_surface.removeEventFilter(m_polish_watch.get());
  // Objects added while waiting come after the package's.
  std::vector<PageObjectItem*> added;
  for (PageObjectItem* item : m_objects) {
    if (std::find(m_early.begin(), m_early.end(), item) == m_early.end()) added.push_back(item);
  }
  m_objects.clear();
  const Page& page = *m_page;
  std::vector<PageObjectItem*> built(page.objects.size(), nullptr);  // now, by package index
  for (size_t i = 0; i < page.objects.size(); ++i) {
    const PageObject& o = page.objects[i];
    if (PageObjectItem* early = m_early[i]) {
      // Named again in package order, so a later object of the same name wins
      // as it did when everything was built at once.
      Name(*early->AsObject(), "OBJ" + o.name);
      if (!m_named_while_waiting.contains("obj" + AsciiLower(o.name)))
        m_by_number[AsciiLower(o.name)] = early;
      m_objects.push_back(early);
    } else if (!BuiltWithPage(o.kind)) {
      const size_t before = m_objects.size();
      BuildObject(o, page);
      if (m_objects.size() > before) built[i] = m_objects.back();
    }
  }
  // Windows built with the page (plug-in windows) stand under the windows of
  // the objects that follow them in the package, as when all are built at once.
  for (size_t i = 0; i < page.objects.size(); ++i) {
    QWidget* early = m_early[i] ? m_early[i]->AsWidget() : nullptr;
    if (!early) continue;
    for (size_t j = i + 1; j < page.objects.size(); ++j) {
      if (QWidget* above = built[j] ? built[j]->AsWidget() : nullptr) {
        if (above->parentWidget() == early->parentWidget()) early->stackUnder(above);
        break;
      }
    }
  }
  m_objects.insert(m_objects.end(), added.begin(), added.end());
  m_early.clear();
  m_named_while_waiting.clear();
  m_waiting_names.clear();
}

void PageObjects::BuildFixedComponents(const Page& page) {
  Register(m_surface, "QM_FORM_BACKGROUND");
  // The surface paints the page colour and the frame line; the shape is kept
  // for the actions that look it up.
  auto* bg = new TQuillmereShape(&m_surface);
  ShapePen pen;
  pen.style = page.options.frame ? 1 : 0;
  bg->SetPen(pen);
  bg->SetBrush({ToQColor(page.options.page_colour), 1});
  bg->setVisible(false);
  Register(*bg, "bgshape");
  struct NamedTimer {
    const char* name;
    int interval;
  };
  // Stopped until the parts that use them run them.
  for (NamedTimer t :
       {NamedTimer{"EnterLeave", 1}, NamedTimer{"EnterLeave2", 1}, NamedTimer{"VideoTimer", 1},
        NamedTimer{"VideoSpeed", 1}, NamedTimer{"PluginTimer", 1},
        NamedTimer{"CancelFullscreen", 1}, NamedTimer{"FSend", 100}, NamedTimer{"LBRefresh", 1}}) {
    auto* timer = new QTimer(&m_form);
    timer->setInterval(t.interval);
    Register(*timer, t.name);
  }
}

void PageObjects::BuildTemplates() {
  ObjectBuilder b = Builder(nullptr);
  auto make = [&](ObjectKind kind, std::string_view name) {
    QObject* made = ClassOf(kind).make_template(b, DefaultObject(kind));
    if (!made) return;
    if (auto* w = qobject_cast<QWidget*>(made)) {
      w->setVisible(false);
      w->move(-w->width(), -w->height());
    }
    Register(*made, name);
  };
  // The order in which the templates join the page.
  for (ObjectKind kind :
       {ObjectKind::Text, ObjectKind::Edit, ObjectKind::Button, ObjectKind::Image,
        ObjectKind::Shape, ObjectKind::Video, ObjectKind::Browser, ObjectKind::Plugin,
        ObjectKind::ListBox, ObjectKind::Sound, ObjectKind::Timer}) {
    make(kind, "QUILLMERE_NEW_" + AsciiUpper(ClassOf(kind).word()));
  }
  Register(*new QObject(&m_form), "QUILLMERE_NEW_GRAPH");
  make(ObjectKind::Flash, "QUILLMERE_NEW_FLASH");
}

ObjectBuilder PageObjects::Builder(const Page* page) {
  return ObjectBuilder(
      m_player, m_form, m_surface, page,
      [this](QObject& component, std::string_view name) { Name(component, name); },
      [this](PageObjectItem& item) {
        const std::string& number = item.model().name;
        Name(*item.AsObject(), "OBJ" + number);
        m_objects.push_back(&item);
        if (!m_named_while_waiting.contains("obj" + AsciiLower(number)))
          m_by_number[AsciiLower(number)] = &item;
        for (const auto& each : m_on_built) each(item);
      });
}

void PageObjects::Inert(const PageObject& o) {
  NoteService(o);
  m_player.trace().Write("inert", {{"page", m_form.number()},
                                   {"object", "OBJ" + o.name},
                                   {"kind", std::string(ObjectKindName(o.kind))}});
  std::fprintf(stderr, "morvane-player: page %d: %s object OBJ%s is inert in this build\n",
               m_form.number(), ObjectKindName(o.kind), o.name.c_str());
}

void PageObjects::NoteService(const PageObject& o) {
  CompatRecorder* recorder = m_player.compat_recorder();
  const std::optional<CompatService> service = ObjectService(o.kind);
  if (!recorder || !service) return;
  CompatPlace place;
  place.page = m_form.number();
  place.object = "OBJ" + o.name;
  recorder->NoteService(*service, place);
}

void PageObjects::BuildObject(const PageObject& o, const Page& page) {
  // A cut-short object never reaches its last slot and so never its page.
  if (o.records < FullRecords(o.kind)) return;
  const ObjectClass& row = ClassOf(o.kind);
  ObjectBuilder b = Builder(&page);
  const size_t before = m_objects.size();
  row.build(b, o);
  // A class may skip its records (Flash objects without the Flash control).
  if (m_objects.size() == before) {
    NoteService(o);
  } else if (row.inert) {
    Inert(o);
  }
}

}  // namespace morvane
