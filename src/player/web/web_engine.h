#pragma once

// The boundary between the player and its web engine. The engine is a
// shared library (libmorvane-web.so) that the player loads the first time a
// project needs a browser or a Flash object; a project without them never
// maps it. Both sides see only this header: plain virtual interfaces, no
// symbol of the player is needed by the module and none of the module's
// libraries by the player.
//
// Texts are UTF-8. Everything runs on the main thread; every notification is
// delivered before the engine acts on it, and its answer is read when the
// call returns.

#include <functional>
#include <memory>
#include <string>

class QWidget;
class QPrinter;

namespace morvane {

// What a view tells its object.
class WebViewEvents {
 public:
  struct Navigation {
    std::string url;
    std::string flags;
    std::string target_frame;  // empty for the top document and for sub-frames
    std::string post_data;     // the engine does not give it: empty
    std::string headers;       // the engine does not give it: empty
  };

  virtual ~WebViewEvents() = default;
  // Every navigation of the document or one of its frames; false cancels it.
  virtual bool BeforeNavigate(const Navigation& navigation) = 0;
  // The document finished loading (also when it failed to load).
  virtual void NavigateComplete(const std::string& url) = 0;
  // A page asks for a window of its own; false refuses it.
  virtual bool NewWindow(const std::string& url) = 0;
  virtual void ProgressChange(int progress, int progress_max) = 0;
  virtual void StatusTextChange(const std::string& text) = 0;
  virtual void TitleChange(const std::string& title) = 0;
  // Flash views: the movie's FSCommand and its external calls, the latter as
  // the invoke XML (<invoke name="..." returntype="xml"><arguments>...).
  virtual void FlashCommand(const std::string& command, const std::string& args) = 0;
  virtual void FlashCall(const std::string& request) = 0;
};

// How a Flash view plays its movie; what the movie's player cannot change
// while it plays takes effect with the next load.
struct MovieSettings {
  bool playing = true;
  bool menu = true;
  int quality = 1;         // 0 low, 1 high, 2 auto low, 3 auto high
  int scale_mode = 0;      // 0 show all, 1 no border, 2 exact fit, 3 no scale
  std::string background;  // six hexadecimal digits, red green blue; empty: none
};

class WebView {
 public:
  virtual ~WebView() = default;
  // The view's widget; the object lays it over its client area.
  virtual QWidget* widget() = 0;

  // --- Browsers
  virtual void Navigate(const std::string& url) = 0;
  virtual void Back() = 0;
  virtual void Forward() = 0;
  virtual void Reload() = 0;
  // The refresh that follows object actions: the document again, without
  // the before-navigate and complete notifications of a navigation.
  virtual void Refresh() = 0;
  virtual void Stop() = 0;
  // From a navigation's request to the end of its load.
  virtual bool loading() const = 0;
  // While on, no request to the network leaves the view.
  virtual void SetOffline(bool on) = 0;
  virtual void SetContextMenu(bool on) = 0;
  virtual void SetTextSelection(bool on) = 0;
  virtual void SetScrollBars(bool on) = 0;
  // Prints the document as it stands; `done` runs when the printer has it.
  virtual void Print(QPrinter& printer, std::function<void(bool ok)> done) = 0;

  // --- Flash views; `movie_url` comes from WebEngine::MovieUrl.
  virtual void LoadMovie(const std::string& movie_url, const MovieSettings& settings) = 0;
  virtual void PlayMovie() = 0;
  virtual void StopMovie() = 0;
  // Starts the movie again from its first frame, playing or not as it was.
  virtual void RewindMovie() = 0;
  virtual void SetMovieMenu(bool on) = 0;
};

struct WebEngineSetup {
  std::string ruffle_dir;  // the self-hosted Flash player's files; empty: none
  bool headless = false;
};

class WebEngine {
 public:
  virtual ~WebEngine() = default;
  virtual std::unique_ptr<WebView> MakeBrowser(QWidget* parent, WebViewEvents& events) = 0;
  // A view that shows one movie; nothing when the Flash player is missing.
  virtual std::unique_ptr<WebView> MakeFlash(QWidget* parent, WebViewEvents& events) = 0;
  virtual bool flash_available() const = 0;
  // The address under which Flash views read a movie file of the host.
  virtual std::string MovieUrl(const std::string& host_path) = 0;
  // A top-level browser window of its own (the pop-ups that are let through).
  virtual void OpenWindow(const std::string& url) = 0;
};

// The module's one export, looked up by name.
using MakeWebEngineFunction = WebEngine* (*)(const WebEngineSetup& setup);
inline constexpr char kMakeWebEngineSymbol[] = "MorvaneMakeWebEngine";

}  // namespace morvane
