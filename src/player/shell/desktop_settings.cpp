#include "player/shell/desktop_settings.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QVariant>

#include <cstdlib>

namespace morvane {
namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr int kCallTimeoutMs = 2000;

// Without an address or the standard socket there is no session bus; asking
// for one would only try to start a daemon.
QDBusConnection SessionBusIfAny() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  bool any = (address && *address) ||
             (runtime && *runtime && QFileInfo::exists(QString::fromLocal8Bit(runtime) + "/bus"));
  if (!any) return QDBusConnection(QStringLiteral("morvane-no-session-bus"));
  return QDBusConnection::sessionBus();
}

}  // namespace

DesktopSettings::DesktopSettings(const ProjectOptions& options, const QString& application)
    : m_bus(QStringLiteral("morvane-no-session-bus")) {
  // The bus is only joined when there is something to ask of it.
  if (!options.no_screen_saver) return;
  m_bus = SessionBusIfAny();
  Inhibit(application);
}

DesktopSettings::DesktopSettings(const ProjectOptions& options, const QString& application,
                                 const QDBusConnection& bus)
    : m_bus(bus) {
  if (options.no_screen_saver) Inhibit(application);
}

DesktopSettings::~DesktopSettings() {
  Restore();
}

void DesktopSettings::Inhibit(const QString& application) {
  if (!m_bus.isConnected()) return;
  // Desktops publish the service under one of two paths.
  for (const char* path : {"/org/freedesktop/ScreenSaver", "/ScreenSaver"}) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, path, kService, "Inhibit");
    call << application << QStringLiteral("A presentation is running");
    QDBusMessage reply = m_bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() == 1) {
      m_cookie = reply.arguments().front().toUInt();
      m_path = QString::fromLatin1(path);
      return;
    }
    // No such service at all: the other path will not have it either.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) return;
  }
}

void DesktopSettings::Restore() {
  if (!m_cookie) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, m_path, kService, "UnInhibit");
  call << *m_cookie;
  m_cookie.reset();
  m_bus.call(call, QDBus::Block, kCallTimeoutMs);
}

}  // namespace morvane
