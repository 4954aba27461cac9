#include "player/ext/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace morvane {
namespace {

// The longest record a later start may hand over; a command line of the
// system is shorter.
constexpr uint32_t kMaxRecord = 8u << 20;
// How long a start waits for another start's check to end before it goes on.
constexpr int kLockWaitMs = 10000;

}  // namespace

std::string RuntimeFolder() {
  std::error_code ec;
  if (const char* dir = std::getenv("XDG_RUNTIME_DIR");
      dir && *dir && std::filesystem::is_directory(dir, ec))
    return dir;
  const std::string folder =
      QDir::tempPath().toStdString() + "/morvane-runtime-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  return folder;
}

SingleInstance::SingleInstance(std::string key, std::string folder)
    : m_key(std::move(key)), m_folder(std::move(folder)) {
  const std::string hash =
      QCryptographicHash::hash(QByteArray::fromStdString(m_key), QCryptographicHash::Sha256)
          .toHex()
          .left(24)
          .toStdString();
  m_socket_path = m_folder + "/morvane-" + hash + ".socket";
  m_lock_path = m_folder + "/morvane-" + hash + ".lock";
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Role SingleInstance::Check() {
  m_first.reset();
  // Held until the check ends. A start that was killed while it held the
  // lock left its process id in it, which marks the lock as stale.
  QLockFile lock(QString::fromStdString(m_lock_path));
  lock.tryLock(kLockWaitMs);

  const QString path = QString::fromStdString(m_socket_path);
  auto probe = std::make_unique<QLocalSocket>();
  probe->connectToServer(path);
  if (probe->waitForConnected(kLockWaitMs)) {
    m_first = std::move(probe);
    return Role::kLater;
  }
  // Only a socket that is not there, or that nobody listens on any more (its
  // player was killed), is taken over; a first instance too busy to accept
  // keeps its socket.
  const QLocalSocket::LocalSocketError error = probe->error();
  if (error != QLocalSocket::ServerNotFoundError && error != QLocalSocket::ConnectionRefusedError)
    return Role::kUncounted;
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(path);
  if (!m_server->listen(path)) {
    m_error = m_server->errorString().toStdString();
    m_server.reset();
    return Role::kAlone;
  }
  return Role::kFirst;
}

bool SingleInstance::Forward(const std::string& record) {
  if (!m_first) return false;
  const uint32_t size = uint32_t(record.size());
  const char length[4] = {char(size & 0xff), char((size >> 8) & 0xff), char((size >> 16) & 0xff),
                          char((size >> 24) & 0xff)};
  m_first->write(length, 4);
  m_first->write(record.data(), qint64(record.size()));
  while (m_first->bytesToWrite() > 0) {
    if (!m_first->waitForBytesWritten(-1)) return false;
  }
  // The first instance answers once its command-line script has run.
  while (m_first->bytesAvailable() < 1) {
    if (!m_first->waitForReadyRead(-1)) return false;
  }
  m_first->disconnectFromServer();
  m_first.reset();
  return true;
}

void SingleInstance::Serve(std::function<void(const std::string&)> on_record) {
  if (!m_server) return;
  m_on_record = std::move(on_record);
  QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(),
                   [this] { Accept(); });
}

void SingleInstance::Close() {
  if (m_server) m_server->close();
  for (Pending& pending : m_ready) {
    if (pending.socket) pending.socket->abort();
  }
  m_ready.clear();
}

void SingleInstance::Accept() {
  while (QLocalSocket* socket = m_server->nextPendingConnection()) {
    auto buffer = std::make_shared<std::string>();
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
      const QByteArray bytes = socket->readAll();
      buffer->append(bytes.constData(), size_t(bytes.size()));
      if (buffer->size() < 4) return;
      const auto byte = [&](int i) { return uint32_t(uint8_t((*buffer)[size_t(i)])); };
      const uint32_t size = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
      if (size > kMaxRecord) {
        socket->abort();
        return;
      }
      if (buffer->size() < 4 + size_t(size)) return;
      QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
      m_ready.push_back(Pending{socket, buffer->substr(4, size)});
      RunNext();
    });
  }
}

void SingleInstance::RunNext() {
  // One record at a time, also when a command-line script shows a box.
  if (m_running) return;
  while (!m_ready.empty()) {
    Pending next = std::move(m_ready.front());
    m_ready.pop_front();
    m_running = true;
    m_on_record(next.record);
    m_running = false;
    if (next.socket) {
      next.socket->write("\x01", 1);
      next.socket->flush();
      next.socket->disconnectFromServer();
    }
  }
}

}  // namespace morvane
