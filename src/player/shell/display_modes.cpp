#include "player/shell/display_modes.h"

#include <QGuiApplication>
#include <QScreen>

#include <cstdio>

namespace morvane {
namespace {

// The toolkit's view of the primary screen: one mode, never changed.
class ScreenOnlyBackend : public DisplayBackend {
 public:
  ScreenOnlyBackend() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      m_mode.width = screen->geometry().width();
      m_mode.height = screen->geometry().height();
      m_mode.bits = screen->depth() == 24 ? 32 : screen->depth();
      m_mode.refresh = int(screen->refreshRate() + 0.5);
    } else {
      m_mode = {1024, 768, 32, 60};
    }
  }
  std::vector<DisplayMode> Modes() override { return {m_mode}; }
  DisplayMode Current() override { return m_mode; }
  // Nothing changes; asking for the mode the screen is in succeeds.
  bool Switch(size_t index) override { return index == 0; }
  void RestoreStartMode() override {}

 private:
  DisplayMode m_mode;
};

std::unique_ptr<DisplayBackend> MakeXrandrBackend();

}  // namespace

std::string DisplayModeText(const DisplayMode& mode) {
  // The shift count is taken modulo 32 and the count kept in 32 bits.
  auto colours = int32_t(uint32_t(1) << (uint32_t(mode.bits) % 32));
  char text[96];
  std::snprintf(text, sizeof text, "%dx%d %d Colors %d Hertz", mode.width, mode.height,
                int(colours), mode.refresh);
  return text;
}

std::unique_ptr<DisplayBackend> PlatformDisplayBackend() {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (std::unique_ptr<DisplayBackend> x = MakeXrandrBackend()) return x;
  }
  return std::make_unique<ScreenOnlyBackend>();
}

DisplayModes::DisplayModes(std::unique_ptr<DisplayBackend> backend)
    : m_backend(std::move(backend)) {
  for (const DisplayMode& mode : m_backend->Modes()) m_list.push_back(DisplayModeText(mode));
}

DisplayModes::~DisplayModes() {
  Restore();
}

bool DisplayModes::TryPrefix(std::string_view prefix) {
  for (size_t i = 0; i < m_list.size(); ++i) {
    const std::string& mode = m_list[i];
    // The prefix ends where a field of the mode string ends.
    if (mode.size() > prefix.size() && mode.compare(0, prefix.size(), prefix) == 0 &&
        mode[prefix.size()] == ' ' && m_backend->Switch(i)) {
      return true;
    }
  }
  return false;
}

DisplayModes::StartResult DisplayModes::SwitchAtStart(std::string_view wanted,
                                                      bool stop_if_unsupported, TValues& values) {
  // A desktop depth the list format has no colour count for is simply not
  // found in the list; the switch goes on as for any other mode.
  std::string current = DisplayModeText(m_backend->Current());
  for (size_t i = m_list.size(); i-- > 0;) {
    if (m_list[i] == current) {
      m_start_index = int(i);
      break;
    }
  }

  for (size_t i = 0; i < m_list.size(); ++i) {
    if (m_list[i] != wanted) continue;
    m_switched = m_backend->Switch(i);
    values.SetBoolean("_resolutionOK", m_switched);
    return StartResult::kGoOn;
  }

  size_t first_space = wanted.find(' ');
  size_t second_space =
      first_space == std::string_view::npos ? first_space : wanted.find(' ', first_space + 1);
  bool ok = TryPrefix(wanted.substr(0, second_space)) || TryPrefix(wanted.substr(0, first_space));
  if (ok) {
    m_switched = true;
    values.SetBoolean("_resolutionOK", true);
    return StartResult::kGoOn;
  }
  values.SetBoolean("_resolutionOK", false);
  return stop_if_unsupported ? StartResult::kStop : StartResult::kGoOn;
}

void DisplayModes::Restore() {
  if (!m_switched) return;
  m_switched = false;
  m_backend->RestoreStartMode();
}

}  // namespace morvane

// --- XRandR, kept apart: the X headers define names that clash with Qt's.
#ifdef MORVANE_HAVE_XRANDR
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace morvane {
namespace {

int g_x_error = 0;

int RecordXError(Display*, XErrorEvent* event) {
  g_x_error = event->error_code;
  return 0;
}

// The screen-level interface: sizes with their rates. The server resizes the
// screen and tells every client itself.
class XrandrBackend : public DisplayBackend {
 public:
  XrandrBackend(Display* display, XRRScreenConfiguration* config)
      : m_display(display), m_config(config) {
    m_root = DefaultRootWindow(m_display);
    m_bits = BitsPerPixel(DefaultDepth(m_display, DefaultScreen(m_display)));
    int count = 0;
    XRRScreenSize* sizes = XRRConfigSizes(m_config, &count);
    for (int s = 0; s < count; ++s) {
      int rates_count = 0;
      short* rates = XRRConfigRates(m_config, s, &rates_count);
      for (int r = 0; r < rates_count; ++r) {
        m_modes.push_back({{sizes[s].width, sizes[s].height, m_bits, rates[r]}, s, rates[r]});
      }
      if (rates_count == 0) m_modes.push_back({{sizes[s].width, sizes[s].height, m_bits, 0}, s, 0});
    }
    m_start_size = XRRConfigCurrentConfiguration(m_config, &m_rotation);
    m_start_rate = XRRConfigCurrentRate(m_config);
    if (m_start_size >= 0 && m_start_size < count) {
      m_current = {sizes[m_start_size].width, sizes[m_start_size].height, m_bits, m_start_rate};
    }
  }
  ~XrandrBackend() override {
    XRRFreeScreenConfigInfo(m_config);
    XCloseDisplay(m_display);
  }

  std::vector<DisplayMode> Modes() override {
    std::vector<DisplayMode> modes;
    for (const Entry& e : m_modes) modes.push_back(e.mode);
    return modes;
  }
  DisplayMode Current() override { return m_current; }
  bool Switch(size_t index) override {
    if (index >= m_modes.size()) return false;
    return Apply(m_modes[index].size, m_modes[index].rate);
  }
  void RestoreStartMode() override { Apply(m_start_size, m_start_rate); }

 private:
  struct Entry {
    DisplayMode mode;
    int size;
    short rate;
  };

  int BitsPerPixel(int depth) {
    int count = 0;
    int bits = depth;
    if (XPixmapFormatValues* formats = XListPixmapFormats(m_display, &count)) {
      for (int i = 0; i < count; ++i) {
        if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
      }
      XFree(formats);
    }
    return bits;
  }

  bool Apply(int size, short rate) {
    // A fresh configuration: the server refuses one older than its last change.
    XRRFreeScreenConfigInfo(m_config);
    m_config = XRRGetScreenInfo(m_display, m_root);
    if (!m_config) return false;
    Time stamp = CurrentTime;
    // A refused mode must not end the program through the default X error
    // handler.
    g_x_error = 0;
    XErrorHandler previous = XSetErrorHandler(RecordXError);
    Status status =
        rate > 0
            ? XRRSetScreenConfigAndRate(m_display, m_config, m_root, size, m_rotation, rate, stamp)
            : XRRSetScreenConfig(m_display, m_config, m_root, size, m_rotation, stamp);
    XSync(m_display, False);
    XSetErrorHandler(previous);
    return status == RRSetConfigSuccess && g_x_error == 0;
  }

  Display* m_display;
  XRRScreenConfiguration* m_config;
  Window m_root = 0;
  int m_bits = 32;
  std::vector<Entry> m_modes;
  DisplayMode m_current;
  int m_start_size = 0;
  short m_start_rate = 0;
  Rotation m_rotation = RR_Rotate_0;
};

std::unique_ptr<DisplayBackend> MakeXrandrBackend() {
  // A connection of our own: the toolkit's stays untouched.
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  int event_base = 0, error_base = 0;
  XRRScreenConfiguration* config = nullptr;
  if (XRRQueryExtension(display, &event_base, &error_base)) {
    config = XRRGetScreenInfo(display, DefaultRootWindow(display));
  }
  if (!config) {
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<XrandrBackend>(display, config);
}

}  // namespace
}  // namespace morvane
#else
namespace morvane {
namespace {
std::unique_ptr<DisplayBackend> MakeXrandrBackend() {
  return nullptr;
}
}  // namespace
}  // namespace morvane
#endif
