#include "player/objects/page_objects.h"

#include "package/object_layout.h"
#include "platform/path_macros.h"
#include "player/assets/fonts.h"
#include "player/assets/picture_reader.h"
#include "player/objects/button_object.h"
#include "player/objects/classic_look.h"
#include "player/objects/edit_object.h"
#include "player/objects/image_object.h"
#include "player/objects/list_box_object.h"
#include "player/objects/media_objects.h"
#include "player/objects/shape_object.h"
#include "player/objects/text_object.h"
#include "player/objects/timer_object.h"
#include "player/shell/page_window.h"
#include "player/shell/player.h"
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

const PageObject& DefaultObject(ObjectKind kind) {
  static const std::array<PageObject, kObjectKindCount> defaults = [] {
    std::array<PageObject, kObjectKindCount> a{};
    for (int i = 0; i < kObjectKindCount; ++i) a[size_t(i)].kind = ObjectKind(i);
    return a;
  }();
  return defaults[size_t(kind)];
}

// The records a class reads; fewer mean a package cut short in this object.
int FullRecords(ObjectKind kind) {
  return int(LayoutOf(kind).records.size());
}

// The picture's extension as the author's file name gives it; one that would
// name another folder is dropped.
std::string PictureExtension(std::string_view name) {
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string_view ext = name.substr(dot);
  if (ext.find_first_of("\\/:") != std::string_view::npos) return {};
  return std::string(ext);
}

// Objects that work unseen are built with the page; the others wait.
bool BuiltWithPage(ObjectKind kind) {
  return kind == ObjectKind::Timer || kind == ObjectKind::Sound;
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

std::optional<std::string> ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::string FreshObjectName(ObjectKind kind) {
  static const char* const kNames[kObjectKindCount] = {"text",  "edit",    "button",  "image",
                                                       "shape", "timer",   "sound",   "video",
                                                       "flash", "browser", "mplugin", "listbox"};
  return std::string("new_quillmere_new_") + kNames[size_t(kind)];
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
  // A waiting page would bring a forgotten early object back when it builds.
  EnsureBuilt();
  auto it = m_by_name.find(AsciiLower(name));
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
      if (o.kind == ObjectKind::Video) {
        for (const char* prefix : {"fil", "trk", "img"}) m_waiting_names.insert(prefix + n);
      }
      if (o.kind == ObjectKind::Plugin) m_waiting_names.insert("p" + n);
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
      BuildObject(o, page);
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
  auto hide = [this](QWidget* w, std::string_view name) {
    w->setVisible(false);
    w->move(-w->width(), -w->height());
    Register(*w, name);
  };
  hide(new TQMText(DefaultObject(ObjectKind::Text), &m_surface), "QUILLMERE_NEW_TEXT");
  hide(new TQMEdit(DefaultObject(ObjectKind::Edit), &m_surface), "QUILLMERE_NEW_EDIT");
  hide(new TQMButton(DefaultObject(ObjectKind::Button), &m_surface), "QUILLMERE_NEW_BUTTON");
  hide(new TQMImage(DefaultObject(ObjectKind::Image), &m_surface), "QUILLMERE_NEW_IMAGE");
  hide(new TQMShape(DefaultObject(ObjectKind::Shape), &m_surface), "QUILLMERE_NEW_SHAPE");
  hide(new TQMVideo(DefaultObject(ObjectKind::Video), &m_surface), "QUILLMERE_NEW_VIDEO");
  hide(new TQMBrowser(DefaultObject(ObjectKind::Browser), &m_surface), "QUILLMERE_NEW_BROWSER");
  hide(new TQMMPlugin(DefaultObject(ObjectKind::Plugin), &m_surface), "QUILLMERE_NEW_MPLUGIN");
  hide(new TQMListBox(DefaultObject(ObjectKind::ListBox), &m_surface), "QUILLMERE_NEW_LISTBOX");
  Register(*new TQMSound(DefaultObject(ObjectKind::Sound), &m_form), "QUILLMERE_NEW_SOUND");
  Register(*new TQMTimer(DefaultObject(ObjectKind::Timer), &m_form), "QUILLMERE_NEW_TIMER");
  Register(*new QObject(&m_form), "QUILLMERE_NEW_GRAPH");
  // The Flash template lives on the main window only.
  if (m_form.number() == 1) {
    hide(new TQMFlash(DefaultObject(ObjectKind::Flash), &m_surface), "QUILLMERE_NEW_FLASH");
  }
}

void PageObjects::Inert(const PageObject& o) {
  m_player.trace().Write("inert", {{"page", m_form.number()},
                                   {"object", "OBJ" + o.name},
                                   {"kind", std::string(ObjectKindName(o.kind))}});
  std::fprintf(stderr, "morvane-player: page %d: %s object OBJ%s is inert in this build\n",
               m_form.number(), ObjectKindName(o.kind), o.name.c_str());
}

void PageObjects::BuildObject(const PageObject& o, const Page& page) {
  // A cut-short object never reaches its last slot and so never its page.
  if (o.records < FullRecords(o.kind)) return;
  // Without the Flash control, Flash objects are skipped with their records.
  if (o.kind == ObjectKind::Flash) return;

  const int cp = m_player.code_page();
  const std::string name = "OBJ" + o.name;
  Environment& env = m_player.environment();
  MacroFolders folders = env.macro_folders();
  auto hint = [&](QWidget& w) {
    if (!o.hint.empty()) w.setToolTip(PackageText(HintText(o.hint), 1, cp));
  };
  auto place = [&](QWidget& w) {
    w.setGeometry(o.left, o.top, o.width.value_or(w.width()), o.height.value_or(w.height()));
  };
  auto cursor = [&](QWidget& w) { m_player.cursors().Apply(w, o.cursor); };
  auto tab_stop = [&](QWidget& w) {
    w.setFocusPolicy(o.tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
  };
  auto double_buffer = [&](QWidget& w) {
    w.setProperty("DoubleBuffered", page.options.double_buffered);
  };
  auto add = [&](PageObjectItem* item) {
    Name(*item->AsObject(), name);
    m_objects.push_back(item);
    if (!m_named_while_waiting.contains(AsciiLower(name))) m_by_number[AsciiLower(o.name)] = item;
    for (const auto& each : m_on_built) each(*item);
  };

  switch (o.kind) {
    case ObjectKind::Text: {
      auto* t = new TQMText(o, &m_surface);
      t->SetWordWrap(o.word_wrap);
      t->SetFontColour(ToQColor(o.font_colour));
      t->ColorNormal = o.font_colour;
      t->SetRightToLeft(o.right_to_left);
      t->SetTransparent(o.transparent);
      t->SetLayoutDigit(o.layout);
      t->SetAutoSize(o.auto_size);
      t->SetAlignmentDigit(o.alignment);
      t->ColorEvents = o.color_events;
      t->SetBackground(ToQColor(o.background_colour));
      t->ColorHover = o.hover_colour;
      t->ColorClick = o.click_colour;
      place(*t);
      t->setEnabled(o.enabled_digit > 0);
      hint(*t);
      t->SetCaption(PackageText(o.caption, o.charset, cp));
      t->setFont(ObjectFont(o, cp));
      t->RealCursor = int8_t(o.cursor);
      cursor(*t);
      t->evntMDown = o.evntMDown, t->evntMUp = o.evntMUp;
      t->evntMEnter = o.evntMEnter, t->evntMLeave = o.evntMLeave;
      t->AdjustBounds();
      t->setVisible(o.visible);
      add(t);
      return;
    }
    case ObjectKind::Edit: {
      auto* e = new TQMEdit(o, &m_surface);
      tab_stop(*e);
      e->setReadOnly(o.read_only);
      if (o.right_to_left) e->setLayoutDirection(Qt::RightToLeft);
      e->setEnabled(o.enabled);
      e->ColorEvents = o.color_events;
      e->AutoSize = o.auto_size;
      if (o.password_char != 0) {
        QString c = PackageText(std::string(1, char(o.password_char)), o.charset, cp);
        if (!c.isEmpty()) {
          e->setStyle(PasswordStyle(c.at(0)));
          e->setEchoMode(QLineEdit::Password);
        }
      }
      e->SetFrame(FrameOf(o));
      e->ColorNormalF = o.font_colour;
      e->ColorNormal = o.background_colour;
      e->ColorHover = o.hover_colour;
      e->ColorHoverF = o.hover_font_colour;
      e->ColorEnter = o.enter_colour;
      e->ColorEnterF = o.enter_font_colour;
      e->SetColours(ToQColor(o.background_colour), ToQColor(o.font_colour));
      e->Validation = int8_t(o.validation);
      place(*e);
      hint(*e);
      e->setFont(ObjectFont(o, cp));
      e->setMaxLength(o.max_length > 0 ? o.max_length : 32767);
      e->setText(PackageText(o.caption, o.charset, cp));
      e->SetCharCase(o.char_case);
      e->setCursorPosition(0);
      e->RealCursor = int8_t(o.cursor);
      cursor(*e);
      e->evntCH = o.evntCH, e->evntMdown = o.evntMDown, e->evntMup = o.evntMUp;
      e->evntMenter = o.evntMEnter, e->evntMleave = o.evntMLeave;
      e->AdjustHeight();
      double_buffer(*e);
      e->setVisible(o.visible);
      add(e);
      return;
    }
    case ObjectKind::Button: {
      auto* b = new TQMButton(o, &m_surface);
      tab_stop(*b);
      b->setDefault(o.default_button);
      b->setEnabled(o.enabled);
      b->SetShowFocusRect(o.show_focus_rect);
      if (o.right_to_left) b->setLayoutDirection(Qt::RightToLeft);
      place(*b);
      hint(*b);
      b->setText(PackageText(o.caption, o.charset, cp));
      b->setFont(ObjectFont(o, cp));
      b->RealCursor = int8_t(o.cursor);
      cursor(*b);
      b->evntMdown = o.evntMDown, b->evntMup = o.evntMUp;
      b->evntMenter = o.evntMEnter, b->evntMleave = o.evntMLeave;
      double_buffer(*b);
      b->setVisible(o.visible);
      add(b);
      return;
    }
    case ObjectKind::Image: {
      auto* i = new TQMImage(o, &m_surface);
      i->setEnabled(o.enabled);
      i->SetPlacement(o.stretch, o.proportional, o.center);
      i->SetAutoSize(o.auto_size);
      i->RealName = o.name;
      // The picture goes through the temp folder, as the file it is loaded from.
      std::string windows_path = folders.temp + "IDATA" + PictureExtension(o.picture_name);
      std::optional<std::string> bytes =
          m_player.project_container().Resource("IDATA" + std::to_string(o.picture_index));
      std::optional<std::string> host = env.drives().ToHost(windows_path);
      if (bytes && host) {
        std::ofstream out(*host, std::ios::binary | std::ios::trunc);
        out.write(bytes->data(), std::streamsize(bytes->size()));
        out.close();
        i->ImgPath = windows_path;
        std::optional<std::string> loaded = ReadHostFile(*host);
        PictureData picture = ReadPicture(loaded ? *loaded : *bytes);
        if (picture.empty()) {
          std::fprintf(stderr, "morvane-player: page %d: the picture of image %s is unreadable\n",
                       m_form.number(), name.c_str());
        }
        i->SetPicture(std::move(picture), o.transparent, ToQColor(o.transparent_colour), o.loop);
      }
      place(*i);
      hint(*i);
      i->RealCursor = int8_t(o.cursor);
      cursor(*i);
      i->evntMDown = o.evntMDown, i->evntMUp = o.evntMUp;
      i->evntMEnter = o.evntMEnter, i->evntMLeave = o.evntMLeave;
      i->Smooth();
      i->setVisible(o.visible);
      add(i);
      return;
    }
    case ObjectKind::Shape: {
      auto* s = new TQMShape(o, &m_surface);
      s->setEnabled(o.enabled);
      s->RealEnabled = o.enabled;
      ShapeBrush brush{ToQColor(o.brush_colour), o.brush_style};
      ShapePen pen;
      pen.colour = ToQColor(o.pen_colour);
      pen.style = o.shape_kind == 8 ? 0 : o.pen_style;
      pen.inverted = o.pen_inverted;
      s->SetBrush(brush);
      s->SetPen(pen);
      s->SetShape(ShapeTypeFromKind(o.shape_kind, o.shape_option));
      s->SetReverse(o.shape_kind == 3 && o.shape_option);
      s->setProperty("Tag", int(o.shape_kind));
      place(*s);
      s->RealLeft = o.left, s->RealTop = o.top;
      s->RealHint = o.hint;
      hint(*s);
      if (o.has_points) s->SetPoints(o.points);
      s->RealCursor = int8_t(o.cursor);
      cursor(*s);
      s->evntMDown = o.evntMDown, s->evntMUp = o.evntMUp;
      s->evntMEnter = o.evntMEnter, s->evntMLeave = o.evntMLeave;
      s->RealName = o.name;
      s->RealVisible = o.visible;
      s->setVisible(o.visible);
      add(s);
      return;
    }
    case ObjectKind::ListBox: {
      auto* l = new TQMListBox(o, &m_surface);
      tab_stop(*l);
      l->SetSorted(o.sorted);
      l->setEnabled(o.enabled);
      l->SetMultiSelect(o.multi_select);
      l->SetRightToLeft(o.right_to_left);
      if (o.right_to_left) l->setLayoutDirection(Qt::RightToLeft);
      l->SetColours(ToQColor(o.background_colour), ToQColor(o.font_colour));
      l->SelColor = o.sel_colour;
      l->SelFColor = o.sel_font_colour;
      l->SetFrame(FrameOf(o));
      place(*l);
      if (!o.hint.empty()) l->setToolTip(PackageText(o.hint, 1, cp));
      l->setFont(ObjectFont(o, cp));
      l->RealCursor = int8_t(o.cursor);
      cursor(*l);
      l->SetColumns(o.columns);
      l->evntMdown = o.evntMDown, l->evntMup = o.evntMUp;
      l->evntMenter = o.evntMEnter, l->evntMleave = o.evntMLeave, l->evntdbl = o.evntdbl;
      // The items wait for the last slot.
      l->SetItems(o.items, o.charset, cp);
      double_buffer(*l);
      l->setVisible(o.visible);
      add(l);
      return;
    }
    case ObjectKind::Timer: {
      auto* t = new TQMTimer(o, &m_form);
      t->setInterval(std::max(o.interval, 0));
      t->NumberOfLoops = o.loops;
      t->evntTimer = o.evntTimer;
      Player* player = &m_player;
      t->SetTickHandler([player](TQMTimer& timer) {
        // Timer scripts run in the main window's context.
        if (TQMForm* main = player->GetFormByNum(1)) player->RunScript(timer.evntTimer, *main);
      });
      if (o.enabled && o.interval > 0) t->start();
      add(t);
      return;
    }
    case ObjectKind::Sound: {
      auto* s = new TQMSound(o, &m_form);
      s->Loop = o.loop;
      s->PlayWithPageStart = o.play_with_page_start;
      s->volume = o.volume;
      s->DelayBetweenLoops = o.delay;
      s->NumberOfLoops = o.loops;
      s->FileName = ExpandPathMacros(o.file, folders);
      s->evntStart = o.evntStart, s->evntFinish = o.evntFinish;
      add(s);
      auto* track = new QSlider(Qt::Horizontal, &m_surface);
      track->setVisible(false);
      Name(*track, "SND" + o.name);
      if (o.play_with_page_start) {
        auto* start = new QTimer(&m_form);
        start->setSingleShot(true);
        start->setInterval(1);
        Name(*start, "TIM" + name);
      }
      Inert(o);
      return;
    }
    case ObjectKind::Video: {
      Name(*new QObject(&m_form), "FIL" + o.name);
      auto* track = new QSlider(Qt::Horizontal, &m_surface);
      track->setVisible(false);
      Name(*track, "TRK" + o.name);
      auto* v = new TQMVideo(o, &m_surface);
      v->Loop = o.loop;
      v->PlayWithPageStart = o.play_with_page_start;
      v->Volume = o.volume;
      place(*v);
      v->DelayBetweenLoops = o.delay;
      v->Speed = o.speed;
      v->Path = ExpandPathMacros(o.file, folders);
      v->evntStart = o.evntStart, v->evntFinish = o.evntFinish;
      // The still over the video's box, from a file no part of the player
      // writes; without it the still stays empty.
      auto* still = new TQMImage(DefaultObject(ObjectKind::Image), &m_surface);
      still->SetPlacement(true, false, false);
      still->setGeometry(v->geometry());
      std::string still_path = folders.temp + "FIL" + o.name + ".bmp";
      if (std::optional<std::string> host = env.drives().ToHost(still_path)) {
        if (std::optional<std::string> bytes = ReadHostFile(*host)) {
          still->SetPicture(ReadPicture(*bytes), false, QColor(), false);
          still->ImgPath = still_path;
        }
      }
      still->setVisible(true);
      still->raise();
      Name(*still, "IMG" + o.name);
      v->Stl = still;
      v->setVisible(o.visible && o.play_with_page_start);
      add(v);
      Inert(o);
      return;
    }
    case ObjectKind::Browser: {
      auto* b = new TQMBrowser(o, &m_surface);
      b->setVisible(o.visible);
      tab_stop(*b);
      b->RegisterAsDropTarget = o.drop_target;
      b->ContextMenu = o.context_menu;
      b->Offline = o.offline;
      b->Selectable = o.selectable;
      b->Borders3D = o.borders_3d;
      b->ScrollBars = o.scroll_bars;
      place(*b);
      b->tab_order = o.tab_order;
      b->cursor_number = o.cursor;
      cursor(*b);
      b->DefPath = ExpandPathMacros(o.file, folders);
      hint(*b);
      b->evntBN = o.evntBN, b->evntAN = o.evntAN, b->evntNW = o.evntNW, b->evntPC = o.evntPC;
      b->evntSC = o.evntSC, b->evntTC = o.evntTC, b->evntAC = o.evntAC;
      double_buffer(*b);
      b->setVisible(o.visible);
      add(b);
      Inert(o);
      return;
    }
    case ObjectKind::Plugin: {
      auto* p = new TQMMPlugin(o, &m_surface);
      place(*p);
      p->Path = ExpandPathMacros(o.file, folders);
      auto* service = new QTimer(&m_form);
      service->setSingleShot(true);
      service->setInterval(1);
      Name(*service, "P" + o.name);
      p->setVisible(o.visible);
      add(p);
      Inert(o);
      return;
    }
    case ObjectKind::Flash:
      return;
  }
}

}  // namespace morvane
