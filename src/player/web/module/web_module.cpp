// The web engine module: browser and Flash views on QtWebEngine, the
// "morvane:" scheme, and the local scheme that serves the self-hosted Flash
// player, its host page and the movies the objects name. Built as
// libmorvane-web.so; the player reaches it only through web_engine.h.

#include "player/web/module/flash_bridge.h"
#include "player/web/web_engine.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QUrlQuery>
#include <QUuid>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace morvane {
namespace {

constexpr char kCallScheme[] = "morvane";
// The player's own files: morvane-local://player/...
constexpr char kLocalScheme[] = "morvane-local";
constexpr char kLocalHost[] = "player";

bool Debugging() {
  static const bool on = std::getenv("MORVANE_WEB_DEBUG") != nullptr;
  return on;
}

std::string Text(const QString& s) {
  return s.toStdString();
}

std::string Text(const QUrl& url) {
  return url.toEncoded().toStdString();
}

// The call scheme only has to exist for its navigations to reach the page's
// navigation request: the objects cancel every one of them.
class CallSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* job) override {
    job->fail(QWebEngineUrlRequestJob::RequestDenied);
  }
};

// Serves the Flash player's files, the host page and the movies registered
// by MovieUrl; nothing else of the host is reachable through it.
class LocalSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  LocalSchemeHandler(QString ruffle_dir, QObject* parent)
      : QWebEngineUrlSchemeHandler(parent), m_ruffle(std::move(ruffle_dir)) {}

  QString AddMovie(const QString& host_path) {
    for (const auto& [token, path] : m_movies) {
      if (path == host_path) return token;
    }
    QString token =
        QUuid::createUuid().toString(QUuid::Id128) + "." + QFileInfo(host_path).suffix().toLower();
    m_movies[token] = host_path;
    return token;
  }

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    const QUrl url = job->requestUrl();
    const QString path = url.path();
    if (url.host() != kLocalHost) return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    QString file;
    QByteArray mime;
    if (path == "/flash.html") {
      file = ":/morvane/web/flash.html";
      mime = "text/html";
    } else if (path == "/qwebchannel.js") {
      file = ":/qtwebchannel/qwebchannel.js";
      mime = "application/javascript";
    } else if (path.startsWith("/ruffle/") && !m_ruffle.isEmpty()) {
      const QString name = path.mid(8);
      // Only the folder's own files, no sub-folders, no way up.
      if (name.isEmpty() || name.contains('/') || name.startsWith('.'))
        return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      file = m_ruffle + "/" + name;
      mime = name.endsWith(".wasm") ? "application/wasm"
             : name.endsWith(".js") ? "application/javascript"
                                    : "application/octet-stream";
    } else if (path.startsWith("/movie/")) {
      auto found = m_movies.find(path.mid(7));
      if (found == m_movies.end()) return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      file = found->second;
      mime = "application/x-shockwave-flash";
    } else {
      return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    }
    auto* device = new QFile(file, job);
    if (!device->open(QIODevice::ReadOnly)) return job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    job->reply(mime, device);
  }

 private:
  QString m_ruffle;
  std::map<QString, QString> m_movies;
};

// Offline mode: while it is on, nothing goes to the network.
class OfflineGate : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  bool offline = false;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    if (!offline) return;
    const QString scheme = info.requestUrl().scheme();
    if (scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss" ||
        scheme == "ftp")
      info.block(true);
  }
};

class ObjectPage : public QWebEnginePage {
 public:
  ObjectPage(QWebEngineProfile* profile, WebViewEvents& events, QObject* parent)
      : QWebEnginePage(profile, parent), m_events(events) {}

  bool pending = false;
  bool quiet = false;  // a refresh under way: no navigation notifications
  QUrl refused;        // the last navigation the object refused
  int notifying = 0;   // inside a notification: actions on the view wait for it

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool main_frame) override {
    if (quiet && type == NavigationTypeReload) return true;
    WebViewEvents::Navigation n;
    n.url = Text(url);
    n.flags = "0";
    // Actions of the script see the navigation as pending: none of them
    // refreshes it away.
    const bool was_pending = pending;
    if (main_frame) pending = true;
    ++notifying;
    const bool go = m_events.BeforeNavigate(n);
    --notifying;
    if (!go) {
      pending = was_pending;
      // The engine reports the refused navigation as a load that ended.
      if (main_frame) refused = url;
    }
    return go;
  }
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int line,
                                const QString& source) override {
    if (Debugging())
      std::fprintf(stderr, "web: %s:%d: %s\n", qPrintable(source), line, qPrintable(message));
  }

 private:
  WebViewEvents& m_events;
};

class Engine;

class View : public WebView {
 public:
  View(Engine& engine, QWebEngineProfile* profile, QWidget* parent, WebViewEvents& events,
       bool flash);
  ~View() override { delete m_view; }

  QWidget* widget() override { return m_view; }

  // Each of these starts a navigation: it is pending from here on, so that
  // the refresh that follows the action leaves it alone.
  void Navigate(const std::string& url) override {
    m_page->pending = true;
    Later([this, u = QUrl::fromEncoded(QByteArray::fromStdString(url))] { m_page->load(u); });
  }
  void Back() override {
    if (!m_page->history()->canGoBack()) return;
    m_page->pending = true;
    Later([this] { m_page->triggerAction(QWebEnginePage::Back); });
  }
  void Forward() override {
    if (!m_page->history()->canGoForward()) return;
    m_page->pending = true;
    Later([this] { m_page->triggerAction(QWebEnginePage::Forward); });
  }
  void Reload() override {
    m_page->pending = true;
    Later([this] { m_page->triggerAction(QWebEnginePage::Reload); });
  }
  void Refresh() override {
    if (m_page->url().isEmpty()) return;
    m_page->pending = true;
    Later([this] {
      m_page->quiet = true;
      m_page->triggerAction(QWebEnginePage::Reload);
    });
  }
  void Stop() override {
    m_page->triggerAction(QWebEnginePage::Stop);
    m_page->pending = false;
  }
  bool loading() const override { return m_page->pending; }
  void SetOffline(bool on) override { m_gate->offline = on; }
  void SetContextMenu(bool on) override {
    m_view->setContextMenuPolicy(on ? Qt::DefaultContextMenu : Qt::NoContextMenu);
  }
  void SetTextSelection(bool on) override {
    m_selectable = on;
    ApplySelection();
  }
  void SetScrollBars(bool on) override {
    m_page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, on);
  }
  void Print(QPrinter& printer, std::function<void(bool)> done) override {
    m_print_done = std::move(done);
    m_view->print(&printer);
  }

  void LoadMovie(const std::string& movie_url, const MovieSettings& settings) override {
    m_movie = QString::fromStdString(movie_url);
    m_settings = settings;
    ShowMovie();
  }
  // While the host page is still loading, its functions do not exist yet:
  // it is loaded again with the new settings.
  void PlayMovie() override {
    m_settings.playing = true;
    if (m_page->pending) return ShowMovie();
    m_page->runJavaScript("morvanePlay(true)", QWebEngineScript::MainWorld);
  }
  void StopMovie() override {
    m_settings.playing = false;
    if (m_page->pending) return ShowMovie();
    m_page->runJavaScript("morvanePlay(false)", QWebEngineScript::MainWorld);
  }
  void RewindMovie() override { ShowMovie(); }
  void SetMovieMenu(bool on) override {
    m_settings.menu = on;
    m_view->setContextMenuPolicy(on ? Qt::DefaultContextMenu : Qt::NoContextMenu);
    if (m_page->pending) return ShowMovie();
    m_page->runJavaScript(QString("morvaneMenu(%1)").arg(on ? "true" : "false"),
                          QWebEngineScript::MainWorld);
  }

 private:
  // An action asked for inside a notification runs once the engine is done
  // with it: the engine is in the middle of the navigation it reports.
  void Later(std::function<void()> step) {
    if (!m_page->notifying) return step();
    QTimer::singleShot(0, m_view, std::move(step));
  }
  void ApplySelection() {
    static const char* kScript =
        "(function(on){var id='morvane-no-select',s=document.getElementById(id);"
        "if(on){if(s)s.remove();return;}if(s)return;s=document.createElement('style');s.id=id;"
        "s.textContent='*{-webkit-user-select:none !important;user-select:none !important}';"
        "(document.head||document.documentElement).appendChild(s);})(%1)";
    m_page->runJavaScript(QString(kScript).arg(m_selectable ? "true" : "false"),
                          QWebEngineScript::ApplicationWorld);
  }
  void ShowMovie();

  Engine& m_engine;
  QPointer<QWebEngineView> m_view;
  ObjectPage* m_page = nullptr;
  OfflineGate* m_gate = nullptr;
  WebViewEvents& m_events;
  bool m_selectable = true;
  std::function<void(bool)> m_print_done;
  QString m_movie;
  MovieSettings m_settings;
  FlashBridge* m_bridge = nullptr;
};

class Engine : public WebEngine {
 public:
  explicit Engine(const WebEngineSetup& setup) : m_setup(setup) {
    // Off the record: the player keeps nothing between runs. The profile
    // goes with the application, after every page window and its views.
    m_profile = new QWebEngineProfile(qApp);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->installUrlSchemeHandler(kCallScheme, new CallSchemeHandler(m_profile));
    m_local = new LocalSchemeHandler(QString::fromStdString(setup.ruffle_dir), m_profile);
    m_profile->installUrlSchemeHandler(kLocalScheme, m_local);
    m_flash = !setup.ruffle_dir.empty() && QFile::exists(":/morvane/web/flash.html");
  }

  std::unique_ptr<WebView> MakeBrowser(QWidget* parent, WebViewEvents& events) override {
    return std::make_unique<View>(*this, m_profile, parent, events, false);
  }
  std::unique_ptr<WebView> MakeFlash(QWidget* parent, WebViewEvents& events) override {
    if (!m_flash) return nullptr;
    return std::make_unique<View>(*this, m_profile, parent, events, true);
  }
  bool flash_available() const override { return m_flash; }
  std::string MovieUrl(const std::string& host_path) override {
    return std::string(kLocalScheme) + "://" + kLocalHost + "/movie/" +
           Text(m_local->AddMovie(QString::fromStdString(host_path)));
  }
  void OpenWindow(const std::string& url) override {
    OpenIn(nullptr, QUrl::fromEncoded(QByteArray::fromStdString(url)));
  }
  // A plain browser window of its own, for a pop-up that is let through.
  void OpenIn(QWebEngineNewWindowRequest* request, const QUrl& url) {
    auto* window = new QWebEngineView;
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* page = new QWebEnginePage(m_profile, window);
    window->setPage(page);
    QObject::connect(page, &QWebEnginePage::windowCloseRequested, window, &QWidget::close);
    QObject::connect(page, &QWebEnginePage::titleChanged, window, &QWidget::setWindowTitle);
    if (request) {
      request->openIn(page);
      const QRect asked = request->requestedGeometry();
      window->resize(asked.isValid() && !asked.isEmpty() ? asked.size() : QSize(800, 600));
    } else {
      page->load(url);
      window->resize(800, 600);
    }
    window->show();
    ++m_windows;
    if (Debugging()) std::fprintf(stderr, "web: window %d opened\n", m_windows);
  }

 private:
  WebEngineSetup m_setup;
  QWebEngineProfile* m_profile = nullptr;
  LocalSchemeHandler* m_local = nullptr;
  bool m_flash = false;
  int m_windows = 0;
};

View::View(Engine& engine, QWebEngineProfile* profile, QWidget* parent, WebViewEvents& events,
           bool flash)
    : m_engine(engine), m_events(events) {
  m_view = new QWebEngineView(parent);
  m_page = new ObjectPage(profile, events, m_view);
  m_gate = new OfflineGate(m_page);
  m_page->setUrlRequestInterceptor(m_gate);
  m_view->setPage(m_page);
  QWebEngineView* view = m_view;
  ObjectPage* page = m_page;
  QObject::connect(page, &QWebEnginePage::loadStarted, view, [page] { page->pending = true; });
  QObject::connect(page, &QWebEnginePage::loadProgress, view,
                   [this](int progress) { m_events.ProgressChange(progress, 100); });
  QObject::connect(page, &QWebEnginePage::loadingChanged, view,
                   [this](const QWebEngineLoadingInfo& info) {
                     if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) return;
                     if (!info.url().isEmpty() && info.url() == m_page->refused) {
                       m_page->refused.clear();
                       return;
                     }
                     m_page->pending = false;
                     if (!m_selectable) ApplySelection();
                     if (std::exchange(m_page->quiet, false)) return;
                     m_events.NavigateComplete(Text(info.url()));
                   });
  QObject::connect(page, &QWebEnginePage::titleChanged, view,
                   [this](const QString& title) { m_events.TitleChange(Text(title)); });
  QObject::connect(page, &QWebEnginePage::linkHovered, view,
                   [this](const QString& link) { m_events.StatusTextChange(Text(link)); });
  QObject::connect(page, &QWebEnginePage::newWindowRequested, view,
                   [this](QWebEngineNewWindowRequest& request) {
                     // A refused window is simply never opened.
                     if (m_events.NewWindow(Text(request.requestedUrl())))
                       m_engine.OpenIn(&request, request.requestedUrl());
                   });
  QObject::connect(view, &QWebEngineView::printFinished, view, [this](bool ok) {
    if (auto done = std::move(m_print_done)) done(ok);
  });
  if (flash) {
    m_bridge = new FlashBridge(m_page);
    QObject::connect(m_bridge, &FlashBridge::Command, view,
                     [this](const QString& command, const QString& args) {
                       m_events.FlashCommand(Text(command), Text(args));
                     });
    QObject::connect(m_bridge, &FlashBridge::Call, view,
                     [this](const QString& request) { m_events.FlashCall(Text(request)); });
    auto* channel = new QWebChannel(m_page);
    channel->registerObject("host", m_bridge);
    m_page->setWebChannel(channel);
    m_page->setBackgroundColor(Qt::transparent);
    // Movies play their sound from the start, as in the old control.
    m_page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  }
}

void View::ShowMovie() {
  static const char* kQuality[] = {"low", "high", "low", "high"};
  static const char* kScale[] = {"showAll", "noBorder", "exactFit", "noScale"};
  const int quality = m_settings.quality >= 0 && m_settings.quality < 4 ? m_settings.quality : 1;
  const int scale =
      m_settings.scale_mode >= 0 && m_settings.scale_mode < 4 ? m_settings.scale_mode : 0;
  QUrl host(QString("%1://%2/flash.html").arg(kLocalScheme, kLocalHost));
  QUrlQuery query;
  query.addQueryItem("movie", m_movie);
  query.addQueryItem("play", m_settings.playing ? "1" : "0");
  query.addQueryItem("menu", m_settings.menu ? "1" : "0");
  query.addQueryItem("quality", kQuality[quality]);
  query.addQueryItem("scale", kScale[scale]);
  query.addQueryItem("bg", QString::fromStdString(m_settings.background));
  host.setQuery(query);
  m_view->setContextMenuPolicy(m_settings.menu ? Qt::DefaultContextMenu : Qt::NoContextMenu);
  m_page->pending = true;
  m_page->load(host);
}

}  // namespace
}  // namespace morvane

// Outside any namespace and with C++ linkage, as the resource compiler names it.
static void InitResources() {
  Q_INIT_RESOURCE(web_module);
}

extern "C" __attribute__((visibility("default"))) morvane::WebEngine* MorvaneMakeWebEngine(
    const morvane::WebEngineSetup& setup) {
  using morvane::kCallScheme;
  using morvane::kLocalScheme;
  // Schemes must be known before the engine's first profile; the module is
  // loaded before any, so this is the earliest moment the player pays for.
  QWebEngineUrlScheme call(kCallScheme);
  call.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  QWebEngineUrlScheme::registerScheme(call);
  QWebEngineUrlScheme local(kLocalScheme);
  local.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  local.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(local);
  InitResources();
  return new morvane::Engine(setup);
}
