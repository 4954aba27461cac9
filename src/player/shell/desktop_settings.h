#pragma once

// The desktop settings a project asks for while it runs. Only the screen
// saver has a counterpart here: it is inhibited through the session's
// org.freedesktop.ScreenSaver service, and the inhibition ends with the run.
// Cursor shadow, menu fade, font smoothing and the mouse-button swap belong
// to the user's desktop and are left alone (docs/platform-settings.md).

#include "package/project_model.h"

#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <optional>

namespace morvane {

class DesktopSettings {
 public:
  // On the session bus; nothing happens when there is none.
  DesktopSettings(const ProjectOptions& options, const QString& application);
  DesktopSettings(const ProjectOptions& options, const QString& application,
                  const QDBusConnection& bus);
  ~DesktopSettings();
  DesktopSettings(const DesktopSettings&) = delete;
  DesktopSettings& operator=(const DesktopSettings&) = delete;

  bool screen_saver_inhibited() const { return m_cookie.has_value(); }
  // Ends the inhibition. Safe to call twice.
  void Restore();

 private:
  void Inhibit(const QString& application);

  QDBusConnection m_bus;
  QString m_path;
  std::optional<uint32_t> m_cookie;
};

}  // namespace morvane
