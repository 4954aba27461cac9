// The plug-in window, its canvas and the start of its library.

#include "player/ext/plugin_window.h"

#include "expr/environment.h"
#include "platform/drive_table.h"
#include "player/automation/trace.h"
#include "player/ext/plugin_library.h"
#include "player/objects/page_objects.h"
#include "player/player.h"
#include "player/shell/page_window.h"
#include "script/compat_recorder.h"
#include "util/code_page.h"

#include <QGuiApplication>
#include <QPainter>

#include <cstdio>
#include <cstring>

namespace morvane {
namespace {

// The native window id a plug-in can put its own window in: X11 has one,
// Wayland and the headless platform have none.
uintptr_t NativeWindow(TQMMPlugin& window) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return 0;
  return window.NativeWindowId();
}

// The project's folder on the host, without a trailing slash.
std::string ProjectFolder(Player& player) {
  Environment& env = player.environment();
  std::string folder = env.drives().ToHost(env.macro_folders().exe).value_or("");
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// A plug-in window that stays inert, and why: traced, on standard error, and
// in the compatibility report when it named a Windows library.
void NoteInert(Player& player, TQMForm& form, const TQMMPlugin& window, const char* what,
               const std::string& detail, bool windows_only) {
  const std::string object = "OBJ" + window.model().name;
  const std::string path = ToUtf8(window.Path, player.code_page());
  player.trace().Write("plugin", {{"page", form.number()},
                                  {"object", object},
                                  {"what", std::string(what)},
                                  {"detail", detail}});
  std::fprintf(stderr, "morvane-player: page %d: plug-in window %s (%s): %s\n", form.number(),
               object.c_str(), path.c_str(), detail.c_str());
  if (!windows_only) return;
  if (CompatRecorder* recorder = player.compat_recorder()) {
    CompatPlace place;
    place.page = form.number();
    place.object = object;
    recorder->NoteService(CompatService::kPlugin, place, window.Path);
  }
}

}  // namespace

TQMMPlugin::TQMMPlugin(const PageObject& model, QWidget* owner)
    : QWidget(owner), PageObjectItem(model) {
  resize(100, 100);
}

PluginLibrary* TQMMPlugin::library() const {
  return library_index ? PluginEntry(*library_index) : nullptr;
}

void TQMMPlugin::FitCanvas() {
  if (m_native) m_native->setGeometry(rect());
  const QSize size = this->size();
  if (m_pixels.size() == size) return;
  QImage pixels;
  if (!size.isEmpty()) {
    pixels = QImage(size, QImage::Format_ARGB32);
    if (!pixels.isNull()) {
      pixels.fill(0);
      if (!m_pixels.isNull()) {
        QPainter keep(&pixels);
        keep.setCompositionMode(QPainter::CompositionMode_Source);
        keep.drawImage(0, 0, m_pixels);
      }
    }
  }
  m_pixels = std::move(pixels);
  // A window too large to hold in memory has an empty canvas.
  if (m_pixels.isNull()) {
    m_canvas = MorvaneCanvas{};
    return;
  }
  m_canvas.pixels = reinterpret_cast<uint32_t*>(m_pixels.bits());
  m_canvas.width = m_pixels.width();
  m_canvas.height = m_pixels.height();
  m_canvas.stride = int32_t(m_pixels.bytesPerLine());
}

uintptr_t TQMMPlugin::NativeWindowId() {
  if (!m_native) {
    // A native window makes its siblings and ancestors native too, unless it
    // is the only child of its parent and keeps its ancestors alien.
    m_native = new QWidget(this);
    m_native->setAttribute(Qt::WA_DontCreateNativeAncestors);
    m_native->setAttribute(Qt::WA_NativeWindow);
    m_native->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_native->setGeometry(rect());
    m_native->show();
  }
  return uintptr_t(m_native->winId());
}

void TQMMPlugin::paintEvent(QPaintEvent*) {
  if (m_pixels.isNull()) return;
  QPainter p(this);
  p.drawImage(0, 0, m_pixels);
}

void TQMMPlugin::resizeEvent(QResizeEvent*) {
  if (m_native) m_native->setGeometry(rect());
  // Once a plug-in holds the canvas, it follows the window.
  if (m_canvas.pixels || library_index) FitCanvas();
}

void ArmPluginStart(Player& player, TQMForm& form, QTimer& timer) {
  timer.setSingleShot(true);
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, &form,
                   [&player, &form, &timer] { StartPluginWindow(player, form, timer); });
  timer.start();
}

void StartPluginWindow(Player& player, TQMForm& form, QTimer& timer) {
  timer.stop();
  const std::string timer_name = timer.objectName().toStdString();
  // In every case the start timer goes.
  form.objects().Forget(timer_name);
  timer.deleteLater();
  if (player.terminating() || timer_name.size() < 2) return;
  auto* window = dynamic_cast<TQMMPlugin*>(form.objects().FindObject(timer_name.substr(1)));
  if (!window) return;

  const size_t index = AppendPluginEntry();
  Environment& env = player.environment();
  if (!env.sandbox().AllowsPlugins()) {
    env.sandbox().Refuse(SandboxRefusal::kPlugin, window->Path);
    return;
  }
  const PluginLocation where = LocatePlugin(env.drives(), window->Path);
  if (where.windows_only) {
    NoteInert(player, form, *window, "windows-only",
              "a Windows library with no native counterpart beside it", true);
    return;
  }
  if (!where.host) {
    NoteInert(player, form, *window, "missing", "no such file", false);
    return;
  }
  std::unique_ptr<PluginLibrary> library;
  try {
    library = PluginLibrary::Load(*where.host);
  } catch (const PluginFailure& e) {
    NoteInert(player, form, *window, "missing", e.what(), false);
    return;
  }
  const auto set_parent = library->Find<MorvaneSetParentWindowFn>("SetParentWindow");
  const auto show = library->Find<MorvaneShowFn>("Show");
  if (set_parent) {
    const uintptr_t id = NativeWindow(*window);
    try {
      CallPlugin(*library, "SetParentWindow", [&] { set_parent(id); });
    } catch (const PluginFailure& e) {
      // The library goes and so does the program.
      NoteInert(player, form, *window, "failed", e.what(), false);
      library->Release();
      SetPluginEntry(index, std::move(library));
      player.EndProgram(1);
      return;
    }
  }
  try {
    if (const auto draw = library->Find<MorvaneDrawFn>("Draw")) {
      window->FitCanvas();
      MorvaneCanvas* canvas = window->canvas();
      const int32_t w = window->width(), h = window->height();
      CallPlugin(*library, "Draw", [&] { draw(canvas, 0, 0, w, h); });
      window->ShowCanvas();
    }
    if (const auto set_path = library->Find<MorvaneSetPathFn>("SetPath")) {
      const std::string folder = ProjectFolder(player);
      const char* text = folder.c_str();
      CallPlugin(*library, "SetPath", [&] { set_path(text); });
    }
    if (show) CallPlugin(*library, "Show", [&] { show(); });
  } catch (const PluginFailure& e) {
    // The library stays in its entry; the window goes without it.
    NoteInert(player, form, *window, "failed", e.what(), false);
    SetPluginEntry(index, std::move(library));
    window->ShowCanvas();
    return;
  }
  SetPluginEntry(index, std::move(library));
  window->library_index = index;
  window->ShowCanvas();
}

}  // namespace morvane
