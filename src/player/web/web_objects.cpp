#include "player/web/web_objects.h"

#include "expr/environment.h"
#include "expr/values.h"
#include "platform/drive_table.h"
#include "player/automation/trace.h"
#include "player/objects/classic_look.h"
#include "player/objects/runtime_objects.h"
#include "player/player.h"
#include "player/web/web_engine_loader.h"
#include "util/ascii_case.h"
#include "util/code_page.h"
#include "util/number_text.h"

#include <QPainter>
#include <QVBoxLayout>

namespace morvane {

WebObject::WebObject(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {}

// The view goes before the object's children, which it points at.
WebObject::~WebObject() = default;

WebView* WebObject::view() {
  if (m_attached || !m_player) return m_view.get();
  m_attached = true;
  if (WebEngine* engine = LoadWebEngine(*m_player)) m_view = MakeView(*engine);
  if (m_view) {
    auto* layout = new QVBoxLayout(this);
    const int margin = Margin();
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(m_view->widget());
  }
  Attached();
  return m_view.get();
}

void WebObject::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  view();
}

void WebObject::SetMargin(int margin) {
  if (layout()) layout()->setContentsMargins(margin, margin, margin, margin);
}

void WebObject::RunEvent(const Script& script) {
  if (!m_player || script.empty() || m_player->terminating()) return;
  // Object scripts run in the main window; those of objects a script made,
  // in that script's window.
  const QVariant made_by = property(kScriptPageProperty);
  if (TQMForm* form = m_player->GetFormByNum(made_by.isValid() ? made_by.toInt() : 1))
    m_player->RunScript(script, *form);
}

void WebObject::SetString(const char* name, const std::string& utf8) {
  m_player->values().SetString(name, FromUtf8(utf8, m_player->code_page()));
}

void WebObject::Trace(const char* what, const std::string& detail) {
  if (!m_player) return;
  // "web-" + what, so that input steps can wait for one kind of them.
  m_player->trace().Write(std::string("web-") + what,
                          {{"object", "OBJ" + model().name}, {"detail", detail}});
}

TQMBrowser::TQMBrowser(const PageObject& model, QWidget* owner) : WebObject(model, owner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(300, 150);
}

std::unique_ptr<WebView> TQMBrowser::MakeView(WebEngine& engine) {
  return engine.MakeBrowser(this, *this);
}

void TQMBrowser::ApplyOptions() {
  if (!attached()) return;  // the view takes them when it is made
  WebView* v = view();
  if (!v) return;
  // In the sandbox without the network, every browser is offline.
  v->SetOffline(Offline || !player()->environment().sandbox().AllowsNetwork());
  v->SetContextMenu(ContextMenu);
  v->SetTextSelection(Selectable);
  v->SetScrollBars(ScrollBars);
}

void TQMBrowser::SetBorders3D(bool on) {
  Borders3D = on;
  SetMargin(on ? 2 : 0);
  update();
}

void TQMBrowser::paintEvent(QPaintEvent*) {
  // Around the view (or in its place without an engine): a white page, with
  // the sunken edge when 3-D borders are on.
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
  if (Borders3D) {
    FrameSpec edge;
    DrawFrame(p, rect(), edge);
  }
}

bool TQMBrowser::BeforeNavigate(const Navigation& n) {
  Player* p = player();
  if (!p || p->terminating()) return true;
  TValues& values = p->values();
  if (AsciiLower(std::string_view(n.url).substr(0, 8)) == "morvane:") {
    // A call from the page: never a navigation.
    SetString("_call", n.url.substr(8));
    Trace("call", n.url);
    RunEvent(evntAC);
    return false;
  }
  SetString("_url", n.url);
  SetString("_flags", n.flags);
  SetString("_targetframe", n.target_frame);
  SetString("_postdata", n.post_data);
  SetString("_headers", n.headers);
  values.SetBoolean("_cancel", false);
  RunEvent(evntBN);
  const bool cancel = values.GetBoolean("_cancel");
  Trace(cancel ? "navigate-cancelled" : "navigate", n.url);
  return !cancel;
}

void TQMBrowser::NavigateComplete(const std::string& url) {
  Trace("complete", url);
  RunEvent(evntAN);
}

bool TQMBrowser::NewWindow(const std::string& url) {
  Player* p = player();
  if (!p || p->terminating()) return false;
  p->values().SetBoolean("_cancel", false);
  RunEvent(evntNW);
  const bool cancel = p->values().GetBoolean("_cancel");
  Trace(cancel ? "window-cancelled" : "window", url);
  return !cancel;
}

void TQMBrowser::ProgressChange(int progress, int progress_max) {
  if (!player()) return;
  player()->values().SetNumber("_progress", progress);
  player()->values().SetNumber("_progressmax", progress_max);
  RunEvent(evntPC);
}

void TQMBrowser::StatusTextChange(const std::string& text) {
  if (!player()) return;
  SetString("_status", text);
  RunEvent(evntSC);
}

void TQMBrowser::TitleChange(const std::string& title) {
  if (!player()) return;
  SetString("_title", title);
  Trace("title", title);
  RunEvent(evntTC);
}

TQMFlash::TQMFlash(const PageObject& model, QWidget* owner) : WebObject(model, owner) {
  resize(192, 192);
}

std::unique_ptr<WebView> TQMFlash::MakeView(WebEngine& engine) {
  return engine.MakeFlash(this, *this);
}

void TQMFlash::Attached() {
  if (!Movie.empty()) LoadMovie();
}

void TQMFlash::LoadMovie() {
  // A view made now loads the movie itself.
  if (!attached()) {
    view();
    return;
  }
  WebView* v = view();
  if (!v || !player()) return;
  WebEngine* engine = LoadWebEngine(*player());
  std::optional<std::string> host = player()->environment().drives().ToHost(Movie);
  MovieSettings s;
  s.playing = Playing;
  s.menu = Menu;
  s.quality = Quality;
  s.scale_mode = ScaleMode;
  s.background = BGColor.toStdString();
  const std::string url = host ? engine->MovieUrl(*host) : std::string();
  Trace("movie", host ? *host : std::string());
  v->LoadMovie(url, s);
}

void TQMFlash::FlashCommand(const std::string& command, const std::string& args) {
  if (!player()) return;
  SetString("_command", command);
  SetString("_args", args);
  Trace("fscommand", command + " " + args);
  RunEvent(evntFS);
}

void TQMFlash::FlashCall(const std::string& request) {
  if (!player()) return;
  SetString("_request", request);
  Trace("call", request);
  RunEvent(evntFC);
}

}  // namespace morvane
