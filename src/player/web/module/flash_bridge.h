#pragma once

// What the Flash host page calls through the web channel: the movie's
// FSCommands and its external calls, in the order the movie made them.

#include <QObject>
#include <QString>

namespace morvane {

class FlashBridge : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;

 public slots:
  void fsCommand(const QString& command, const QString& args) { emit Command(command, args); }
  void flashCall(const QString& request) { emit Call(request); }

 signals:
  void Command(const QString& command, const QString& args);
  void Call(const QString& request);
};

}  // namespace morvane
