#include "player/media/media_host.h"

#include "expr/environment.h"
#include "expr/values.h"
#include "player/automation/trace.h"
#include "player/media/multimedia_commands.h"
#include "player/media/position_text.h"
#include "player/objects/page_objects.h"
#include "player/objects/runtime_objects.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "util/int_text.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVariant>
#include <QWindow>

#include <cstdio>

namespace morvane {
namespace {

// A one-shot timer owned by the page and named there, destroyed after it fired.
// It keeps its time exactly: a coarse timer may fire up to 5% early, and the
// pause between loop passes must not be shorter than the author asked.
QTimer* PageTimer(TQMForm& page, const std::string& name, int interval) {
  auto* timer = new QTimer(&page);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setSingleShot(true);
  timer->setInterval(std::max(interval, 0));
  page.objects().Register(*timer, name);
  return timer;
}

void DestroyPageTimer(TQMForm& page, QTimer& timer, const std::string& name) {
  timer.stop();
  if (page.objects().FindComponent(name) == &timer) page.objects().Forget(name);
  timer.deleteLater();
}

}  // namespace

MediaHost& MediaHost::For(Player& player) {
  if (!player.media_host()) player.SetMediaHost(std::unique_ptr<QObject>(new MediaHost(player)));
  return static_cast<MediaHost&>(*player.media_host());
}

MediaHost::MediaHost(Player& player) : m_player(player) {
  m_clock.start();
  player.AddShowScriptHook([this](TQMForm& page) { AfterShowScript(page); });
  player.AddTerminateHook([this] { StopAll(); });
}

MediaHost::~MediaHost() = default;

MultimediaDevices& MediaHost::devices() {
  if (!m_devices) m_devices = std::make_unique<MultimediaDevices>(*this, m_player);
  return *m_devices;
}

void MediaHost::Trace(TQMForm& page, PageObjectItem& item, const char* what,
                      const MediaGraph* graph) {
  const std::string& number = item.model().name;
  TraceLog::Value object = number;
  if (std::optional<int32_t> n = ParseInt32(number)) object = static_cast<long long>(*n);
  m_player.trace().Write(
      "media", {{"page", page.number()},
                {"object", object},
                {"what", what},
                {"ms", static_cast<long long>(graph ? graph->event_ms() : m_clock.elapsed())}});
}

void MediaHost::RunEvent(PageObjectItem& item, const Script& script) {
  if (script.empty() || m_player.terminating()) return;
  // Object scripts run in the main window; those of objects a script made,
  // in that script's window.
  const QVariant made_by = item.AsObject()->property(kScriptPageProperty);
  TQMForm* form = m_player.GetFormByNum(made_by.isValid() ? made_by.toInt() : 1);
  if (form) m_player.RunScript(script, *form);
}

void MediaHost::WireSound(TQMSound& sound, TQMForm& page) {
  TQMSound* s = &sound;
  TQMForm* p = &page;
  MediaGraph& graph = sound.graph();
  graph.on_start = [this, s, p] {
    Trace(*p, *s, "start", &s->graph());
    RunEvent(*s, s->evntStart);
  };
  graph.on_complete = [this, s, p] { SoundFinished(*s, *p); };
  graph.on_error = [this, s, p](const std::string& message) {
    Trace(*p, *s, "error", &s->graph());
    std::fprintf(stderr, "morvane-player: page %d: sound OBJ%s: %s\n", p->number(),
                 s->model().name.c_str(), message.c_str());
  };
}

void MediaHost::WireVideo(TQMVideo& video, MediaGraph& graph, TQMForm& page) {
  video.BindGraph(&graph);
  QPointer<TQMVideo> v(&video);
  MediaGraph* g = &graph;
  TQMForm* p = &page;
  graph.on_start = [this, v, p] {
    if (!v) return;
    Trace(*p, *v, "start", v->graph());
    RunEvent(*v, v->evntStart);
  };
  graph.on_complete = [this, v, g, p] {
    if (v) VideoFinished(*v, *g, *p);
  };
  graph.on_error = [this, v, p](const std::string& message) {
    if (!v) return;
    Trace(*p, *v, "error", v->graph());
    std::fprintf(stderr, "morvane-player: page %d: video OBJ%s: %s\n", p->number(),
                 v->model().name.c_str(), message.c_str());
  };
}

void MediaHost::BindTracker(PositionTracker& tracker, MediaGraph& graph,
                            const std::string& number) {
  Player* player = &m_player;
  tracker.Bind(&graph, [player, number](int64_t current, int64_t duration) {
    TValues& values = player->values();
    const std::string base = "_" + number + "_";
    const PositionParts at = SplitPosition(current);
    values.SetNumber(base + "mss", double(current));
    values.SetNumber(base + "sec", double(at.seconds));
    values.SetNumber(base + "min", double(at.minutes));
    values.SetNumber(base + "hour", double(at.hours));
    values.SetString(base + "pos", PositionText(current));
    values.SetNumber(base + "totalmss", double(duration));
    values.SetString(base + "totalpos", PositionText(duration));
  });
}

std::string MediaHost::HostFile(const std::string& windows_path) const {
  std::optional<std::string> host = m_player.environment().drives().ToHost(windows_path);
  if (!host) throw MediaError("The system cannot find the file specified.");
  return *host;
}

namespace {

// Render with the Windows path in the failure.
void RenderFile(MediaGraph& graph, const std::string& windows_path, const std::string& host) {
  try {
    graph.Render(host);
  } catch (const MediaError& e) {
    throw MediaError("Cannot play \"" + windows_path + "\". " + e.what());
  }
}

}  // namespace

void MediaHost::RestartGraph(MediaGraph& graph, const std::string& windows_path) {
  graph.Clear();
  graph.SetActive(false);
  graph.SetActive(true);
  RenderFile(graph, windows_path, HostFile(windows_path));
  graph.Play();
}

void MediaHost::PlayGraph(MediaGraph& graph, const std::string& windows_path) {
  const GraphState state = graph.state();
  if (!graph.active() || state == GraphState::kStopped || state == GraphState::kUninitialised) {
    RestartGraph(graph, windows_path);
    return;
  }
  graph.Play();
}

void MediaHost::LoadGraph(MediaGraph& graph, const std::string& windows_path) {
  try {
    graph.Clear();
    graph.SetActive(false);
    graph.SetActive(true);
  } catch (...) {
  }
  std::string host;
  try {
    host = HostFile(windows_path);
  } catch (const MediaError& e) {
    throw MediaError("Cannot play \"" + windows_path + "\". " + e.what());
  }
  RenderFile(graph, windows_path, host);
}

void MediaHost::RewindAndPlay(MediaGraph& graph) {
  graph.SetPositionMs(0);
  graph.Play();
}

void MediaHost::StartSoundTimer(QTimer& timer, TQMSound& sound, TQMForm& page) {
  QPointer<TQMSound> s(&sound);
  QTimer* t = &timer;
  QObject::connect(t, &QTimer::timeout, this, [this, s, t] {
    t->stop();
    if (!s || m_player.terminating()) return;
    try {
      RestartGraph(s->graph(), s->FileName);
    } catch (const std::exception& e) {
      m_player.ReportException(e.what());
    }
  });
  timer.start();
}

void MediaHost::AutoStartVideo(TQMVideo& video, TQMForm& page) {
  auto* timer = qobject_cast<QTimer*>(page.objects().FindComponent("VideoTimer"));
  if (!timer) return;
  // The page remembers its last video that starts with it.
  timer->setProperty("MorvaneStartVideo", QVariant::fromValue<QObject*>(&video));
  if (!timer->property("MorvaneStartWired").toBool()) {
    timer->setProperty("MorvaneStartWired", true);
    TQMForm* p = &page;
    QObject::connect(timer, &QTimer::timeout, this, [this, timer, p] {
      // The page's video starts the first time only: the timer goes.
      QPointer<QObject> target = timer->property("MorvaneStartVideo").value<QObject*>();
      DestroyPageTimer(*p, *timer, "VideoTimer");
      auto* v = dynamic_cast<TQMVideo*>(target.data());
      if (!v || !v->graph() || m_player.terminating()) return;
      try {
        RestartGraph(*v->graph(), v->Path);
      } catch (...) {
      }
    });
  }
  timer->setSingleShot(true);
  timer->start();
}

void MediaHost::AfterShowScript(TQMForm& page) {
  // Every sound of the page that starts with it starts again from its file.
  for (PageObjectItem* item : page.objects().objects()) {
    auto* sound = dynamic_cast<TQMSound*>(item);
    if (!sound || !sound->PlayWithPageStart) continue;
    try {
      RestartGraph(sound->graph(), sound->FileName);
    } catch (const std::exception& e) {
      m_player.ReportException(e.what());
    }
    if (m_player.terminating()) return;
  }
}

void MediaHost::SoundFinished(TQMSound& sound, TQMForm& page) {
  QPointer<TQMSound> s(&sound);
  Trace(page, sound, "finish", &sound.graph());
  RunEvent(sound, sound.evntFinish);
  if (!s || !s->Loop || m_player.terminating()) return;
  // NumberOfLoops counts every pass; 0 loops for ever.
  if (++s->loop_counter == s->NumberOfLoops) {
    s->Loop = false;
    s->loop_counter = 0;
    return;
  }
  s->graph().Stop();
  if (s->DelayBetweenLoops <= 0) {
    RewindAndPlay(s->graph());
    return;
  }
  const std::string name = "LOPOBJ" + s->model().name;
  QTimer* timer = PageTimer(page, name, s->DelayBetweenLoops);
  TQMForm* p = &page;
  QObject::connect(timer, &QTimer::timeout, this, [p, timer, name] {
    try {
      timer->stop();
      auto* waiting = dynamic_cast<TQMSound*>(
          dynamic_cast<PageObjectItem*>(p->objects().FindComponent(name.substr(3))));
      if (waiting && waiting->Loop) {
        waiting->graph().Stop();
        RewindAndPlay(waiting->graph());
      }
    } catch (...) {
    }
    DestroyPageTimer(*p, *timer, name);
  });
  timer->start();
}

void MediaHost::VideoFinished(TQMVideo& video, MediaGraph& graph, TQMForm& page) {
  QPointer<TQMVideo> v(&video);
  QPointer<MediaGraph> g(&graph);
  Trace(page, video, "finish", &graph);
  RunEvent(video, video.evntFinish);
  if (!v || !g || m_player.terminating()) return;
  if (!v->Loop) {
    v->hide();
    g->Clear();
    g->SetActive(false);
    return;
  }
  g->Stop();
  if (v->DelayBetweenLoops <= 0) {
    RewindAndPlay(*g);
    return;
  }
  const std::string n = v->model().name;
  const std::string name = "TIM" + n;
  QTimer* timer = PageTimer(page, name, v->DelayBetweenLoops);
  TQMForm* p = &page;
  QObject::connect(timer, &QTimer::timeout, this, [p, timer, name, n] {
    try {
      timer->stop();
      auto* later = dynamic_cast<MediaGraph*>(p->objects().FindComponent("FIL" + n));
      auto* owner = dynamic_cast<TQMVideo*>(p->objects().FindObject(n));
      if (later && owner && owner->Loop) RewindAndPlay(*later);
    } catch (...) {
    }
    DestroyPageTimer(*p, *timer, name);
  });
  timer->start();
}

void MediaHost::FullScreen(TQMVideo& video, bool on) {
  if (!on) {
    // Only the video in full screen comes back; another one keeps its bounds.
    if (m_full_screen == &video) LeaveFullScreen(video);
    return;
  }
  if (m_full_screen) return;
  video.TempLeft = video.x(), video.TempTop = video.y();
  video.TempWidth = video.width(), video.TempHeight = video.height();
  QWidget* page_surface = video.parentWidget();
  video.setProperty("MorvaneHomeSurface", QVariant::fromValue<QObject*>(page_surface));
  const bool was_visible = !video.isHidden();
  video.setProperty("MorvaneWasVisible", was_visible);
  QScreen* screen = page_surface && page_surface->window()->screen()
                        ? page_surface->window()->screen()
                        : QGuiApplication::primaryScreen();
  video.aligned = true;
  // The same widget fills the screen of its page as a window of its own.
  video.setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
  if (screen) video.setGeometry(screen->geometry());
  video.showFullScreen();
  m_full_screen = &video;
  if (!m_watching_escape) {
    m_watching_escape = true;
    qApp->installEventFilter(this);
  }
}

void MediaHost::LeaveFullScreen(TQMVideo& video) {
  auto* home = qobject_cast<QWidget*>(video.property("MorvaneHomeSurface").value<QObject*>());
  video.aligned = false;
  video.setParent(home, Qt::Widget);
  video.setGeometry(video.TempLeft, video.TempTop, std::max(video.TempWidth, 0),
                    std::max(video.TempHeight, 0));
  video.setVisible(video.property("MorvaneWasVisible").toBool());
  m_full_screen = nullptr;
}

bool MediaHost::eventFilter(QObject* watched, QEvent* event) {
  if (m_watching_escape && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    // One press ends the watch, with or without a video in full screen.
    m_watching_escape = false;
    qApp->removeEventFilter(this);
    if (m_full_screen) LeaveFullScreen(*m_full_screen);
  }
  return QObject::eventFilter(watched, event);
}

void MediaHost::StopAll() {
  if (m_devices) m_devices->CloseAll();
  MediaGraph::ReleaseAll();
}

}  // namespace morvane
