#pragma once

// Display modes: the list of modes the screen offers, the switch to the mode
// a project asks for at start, and the way back at exit. On X11 the modes
// are those of XRandR and a switch is real; elsewhere (offscreen, Wayland,
// no XRandR) the list holds the current mode only and nothing is switched.

#include "expr/values.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bits = 32;    // bits per pixel
  int refresh = 0;  // Hz
  bool operator==(const DisplayMode&) const = default;
};

// "%dx%d %d Colors %d Hertz"; the colour count is 2 to the power of the bits
// taken modulo 32, so a 32-bit mode says 1 colour.
std::string DisplayModeText(const DisplayMode& mode);

// The platform's side: what there is and the switch itself.
class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;
  // Every mode, in the platform's order.
  virtual std::vector<DisplayMode> Modes() = 0;
  // The desktop's mode now.
  virtual DisplayMode Current() = 0;
  // Applies mode `index` of Modes() for this program's run; true only when
  // the platform reports that the mode changed.
  virtual bool Switch(size_t index) = 0;
  // Puts back the mode that was current when the backend was made.
  virtual void RestoreStartMode() = 0;
};

// XRandR when the application runs on X11 and the server has it; else the
// primary screen as the toolkit reports it, never switched.
std::unique_ptr<DisplayBackend> PlatformDisplayBackend();

inline constexpr const char* kScreenResolutionCaption = "Screen Resolution";
inline constexpr const char* kScreenResolutionText =
    "Your system does not support the screen resolution which this application can run in.\n"
    "Try running this program with another Monitor. Application will now terminate.";

class DisplayModes {
 public:
  explicit DisplayModes(std::unique_ptr<DisplayBackend> backend);
  ~DisplayModes();

  // One "%dx%d %d Colors %d Hertz" string per mode, in the platform's order.
  const std::vector<std::string>& list() const { return m_list; }
  // The last index of the start mode in the list; -1 when it is not there.
  int start_index() const { return m_start_index; }

  enum class StartResult { kGoOn, kStop };
  // The switch to the project's wanted mode at start: the exact string
  // first, then the modes of the same size and colours, then of the same
  // size. Sets `_resolutionOK`. kStop when every attempt failed and
  // `stop_if_unsupported` is set: the caller shows the "Screen Resolution"
  // box and ends the program.
  StartResult SwitchAtStart(std::string_view wanted, bool stop_if_unsupported, TValues& values);
  // Back to the mode of the start, when a switch happened. Safe to call twice.
  void Restore();

 private:
  bool TryPrefix(std::string_view prefix);

  std::unique_ptr<DisplayBackend> m_backend;
  std::vector<std::string> m_list;
  int m_start_index = -1;
  bool m_switched = false;
};

}  // namespace morvane
