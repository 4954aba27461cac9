#include "player/ext/lan_service.h"

#include "expr/environment.h"
#include "expr/eval_error.h"
#include "expr/values.h"
#include "package/project_model.h"
#include "platform/lan_wire.h"
#include "player/automation/trace.h"
#include "player/player.h"
#include "script/script_engine.h"
#include "util/code_page.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace morvane {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Bytes read or written at a time, and the most a socket buffers beyond them.
constexpr size_t kChunk = 64 * 1024;
// A peer that takes none of our bytes for this long fails the send.
constexpr int kWriteStallMs = 30000;

void CheckEndpoint(const std::string& host, int32_t port) {
  if (host.empty()) throw ScriptError("No host is set for the network connection.");
  if (port == 0) throw ScriptError("No port is set for the network connection.");
  if (port < 0 || port > 65535)
    throw ScriptError("Port " + std::to_string(port) + " is not a valid port number.");
}

[[noreturn]] void FailWith(QTcpSocket& socket) {
  std::string error = socket.errorString().toStdString();
  socket.abort();
  throw ScriptError(error);
}

// A sending connection of the calling thread, with blocking calls.
class SendingConnection {
 public:
  explicit SendingConnection(const std::atomic<bool>* stop = nullptr) : m_stop(stop) {}

  void Connect(const std::string& host, int32_t port) {
    CheckEndpoint(host, port);
    m_socket.connectToHost(QString::fromStdString(host), quint16(port));
    if (!m_socket.waitForConnected(kLanConnectTimeoutMs)) FailWith(m_socket);
  }

  // Queues the bytes and waits until no more than `keep` of them are unsent.
  void Write(const char* data, size_t size, qint64 keep = 0) {
    if (size && m_socket.write(data, qint64(size)) != qint64(size)) FailWith(m_socket);
    int stalled_ms = 0;
    while (m_socket.bytesToWrite() > keep) {
      if (m_socket.waitForBytesWritten(100)) {
        stalled_ms = 0;
        continue;
      }
      if (m_socket.state() != QAbstractSocket::ConnectedState) FailWith(m_socket);
      if (m_stop && m_stop->load()) throw ScriptError("The network connection was closed.");
      stalled_ms += 100;
      if (stalled_ms >= kWriteStallMs) FailWith(m_socket);
    }
  }

  // The sender ends the unit by closing its side.
  void Close() {
    Write(nullptr, 0);
    m_socket.disconnectFromHost();
    if (m_socket.state() != QAbstractSocket::UnconnectedState) m_socket.waitForDisconnected(1000);
  }

 private:
  const std::atomic<bool>* m_stop;
  QTcpSocket m_socket;
};

void SendUnit(const std::string& host, int32_t port, const std::string& bytes) {
  SendingConnection connection;
  connection.Connect(host, port);
  connection.Write(bytes.data(), bytes.size());
  connection.Close();
}

}  // namespace

// The server's side, on its own thread: every member runs there.
class LanServer final : public QObject {
 public:
  LanServer(LanService& service, LanLimits limits, std::string part_folder)
      : m_service(service), m_limits(limits), m_part_folder(std::move(part_folder)) {}

  // The thread's objects are made in the thread.
  void Init() {
    m_tcp = new QTcpServer(this);
    connect(m_tcp, &QTcpServer::newConnection, this, [this] { Accept(); });
    m_sweep = new QTimer(this);
    m_sweep->setInterval(std::clamp(m_limits.idle_timeout_ms / 4, 10, 1000));
    connect(m_sweep, &QTimer::timeout, this, [this] { Sweep(); });
    m_buffer.resize(kChunk);
  }

  // Empty on success, else the reason the port cannot be listened on.
  std::string Listen(int32_t port) {
    if (m_tcp->isListening()) return {};
    if (port < 0 || port > 65535)
      return "Port " + std::to_string(port) + " is not a valid port number.";
    if (!m_tcp->listen(QHostAddress::Any, quint16(port))) return m_tcp->errorString().toStdString();
    m_paused = false;
    UpdateAccepting();
    m_sweep->start();
    return {};
  }

  void Stop() {
    m_tcp->close();
    m_sweep->stop();
    for (auto& c : m_connections) Drop(*c, nullptr);
    RemoveClosed();
  }

  void DeliveryDone() {
    --m_in_flight;
    UpdateAccepting();
  }

 private:
  struct Connection {
    explicit Connection(size_t max_line) : reader(max_line) {}
    QTcpSocket* socket = nullptr;
    bool closed = false;
    bool body = false;
    std::string name;  // a body: the name announced for it
    LanLineReader reader;
    std::string part_path;
    std::FILE* part = nullptr;
    uint64_t bytes = 0;
    Clock::time_point last = Clock::now();
  };

  void Accept() {
    while (m_tcp->hasPendingConnections()) {
      QTcpSocket* socket = m_tcp->nextPendingConnection();
      if (!socket) break;
      // An announcement that arrived before this connection opened decides
      // what it is, even when its bytes were not read yet.
      // The poll runs their handlers, which must leave the list as it is.
      ++m_polling;
      for (const auto& earlier : m_connections) {
        if (!earlier->closed && !earlier->body) earlier->socket->waitForReadyRead(0);
      }
      --m_polling;
      RemoveClosed();
      while (int(m_connections.size()) >= m_limits.max_connections) {
        auto idlest =
            std::min_element(m_connections.begin(), m_connections.end(),
                             [](const auto& a, const auto& b) { return a->last < b->last; });
        Drop(**idlest, "evicted");
        RemoveClosed();
      }
      auto owned = std::make_unique<Connection>(m_limits.max_line);
      Connection* c = owned.get();
      c->socket = socket;
      socket->setReadBufferSize(qint64(kChunk));
      m_connections.push_back(std::move(owned));
      connect(socket, &QTcpSocket::readyRead, this, [this, c] {
        Read(*c);
        RemoveClosed();
      });
      connect(socket, &QTcpSocket::disconnected, this, [this, c] {
        Finish(*c);
        RemoveClosed();
      });
      connect(socket, &QTcpSocket::errorOccurred, this, [this, c](QAbstractSocket::SocketError e) {
        // The end of a unit, or the poll of an announcement's bytes above.
        if (e == QAbstractSocket::RemoteHostClosedError || e == QAbstractSocket::SocketTimeoutError)
          return;
        Drop(*c, "connection error");
        RemoveClosed();
      });
      if (!m_pending_name.empty()) {
        c->body = true;
        c->name = std::move(m_pending_name);
        m_pending_name.clear();
        c->part_path = (fs::path(m_part_folder) / ("LAN.tmp." + std::to_string(getpid()) + "." +
                                                   std::to_string(++m_part_serial) + ".part"))
                           .string();
        std::error_code ec;
        if (!m_part_folder.empty()) fs::create_directories(m_part_folder, ec);
        if (!m_part_folder.empty()) c->part = std::fopen(c->part_path.c_str(), "wb");
        if (!c->part) {
          Drop(*c, "cannot write the file");
          continue;
        }
      }
      Read(*c);
      if (!c->closed && socket->state() != QAbstractSocket::ConnectedState) Finish(*c);
    }
    RemoveClosed();
  }

  void Read(Connection& c) {
    while (!c.closed) {
      const qint64 got = c.socket->read(m_buffer.data(), qint64(m_buffer.size()));
      if (got <= 0) return;
      c.last = Clock::now();
      if (c.body) {
        if (std::fwrite(m_buffer.data(), 1, size_t(got), c.part) != size_t(got)) {
          Drop(c, "cannot write the file");
          return;
        }
        c.bytes += uint64_t(got);
        continue;
      }
      switch (c.reader.Feed(std::string_view(m_buffer.data(), size_t(got)))) {
        case LanLineReader::State::kReading:
          continue;
        case LanLineReader::State::kTooLong:
          Drop(c, "line too long");
          return;
        case LanLineReader::State::kComplete:
          CompleteLine(c);
          return;
      }
    }
  }

  void CompleteLine(Connection& c) {
    std::string line = c.reader.line();
    Close(c);
    if (std::optional<std::string> name = LanAnnouncedName(line)) {
      m_pending_name = std::move(*name);
      return;
    }
    LanUnit unit;
    unit.text = std::move(line);
    unit.bytes = unit.text.size();
    Post(std::move(unit));
  }

  // The sender closed its side.
  void Finish(Connection& c) {
    if (c.closed) return;
    Read(c);
    if (c.closed) return;
    if (!c.body) {
      Drop(c, "no line end");
      return;
    }
    const bool written = std::fclose(c.part) == 0;
    c.part = nullptr;
    if (!written) {
      Drop(c, "cannot write the file");
      return;
    }
    LanUnit unit;
    unit.kind = LanUnit::Kind::kFile;
    unit.text = c.name;
    unit.part_path = c.part_path;
    unit.bytes = c.bytes;
    Close(c);
    Post(std::move(unit));
  }

  void Drop(Connection& c, const char* reason) {
    if (c.closed) return;
    if (c.part) std::fclose(c.part);
    c.part = nullptr;
    if (!c.part_path.empty()) {
      std::error_code ec;
      fs::remove(c.part_path, ec);
    }
    Close(c);
    if (reason) m_service.NoteDropped(reason);
  }

  void Close(Connection& c) {
    if (c.closed) return;
    c.closed = true;
    c.socket->disconnect(this);
    c.socket->abort();
    c.socket->deleteLater();
  }

  void RemoveClosed() {
    if (m_polling) return;
    std::erase_if(m_connections, [](const auto& c) { return c->closed; });
  }

  void Sweep() {
    const auto limit = Clock::now() - std::chrono::milliseconds(m_limits.idle_timeout_ms);
    for (auto& c : m_connections) {
      if (!c->closed && c->last <= limit) Drop(*c, "idle");
    }
    RemoveClosed();
  }

  void Post(LanUnit unit) {
    ++m_in_flight;
    UpdateAccepting();
    m_service.Deliver(std::move(unit));
  }

  // Deliveries the main thread has not run yet hold the server back.
  void UpdateAccepting() {
    const bool pause = m_in_flight >= m_limits.max_connections;
    if (pause == m_paused) return;
    m_paused = pause;
    if (pause) {
      m_tcp->pauseAccepting();
    } else {
      m_tcp->resumeAccepting();
    }
  }

  LanService& m_service;
  const LanLimits m_limits;
  const std::string m_part_folder;
  QTcpServer* m_tcp = nullptr;
  QTimer* m_sweep = nullptr;
  std::vector<char> m_buffer;
  std::vector<std::unique_ptr<Connection>> m_connections;
  // The name of the last announcement not yet followed by a body; the
  // next connection takes it.
  std::string m_pending_name;
  uint64_t m_part_serial = 0;
  int m_in_flight = 0;
  bool m_paused = false;
  int m_polling = 0;
};

LanService::LanService(Player& player, LanLimits limits)
    : m_player(player), m_limits(limits), m_main_context(std::make_unique<QObject>()) {
  m_part_folder = QmTempHostFolder();
}

LanService::~LanService() {
  Shutdown();
}

void LanService::SetHost(std::string_view host) {
  std::lock_guard lock(m_mutex);
  m_host = std::string(host);
}

void LanService::SetPort(int32_t port) {
  std::lock_guard lock(m_mutex);
  m_port = port;
}

void LanService::Server(bool active) {
  // The server's thread never waits for another thread, so a script thread
  // may wait for it.
  std::lock_guard server_lock(m_server_mutex);
  int32_t port = 0;
  {
    std::lock_guard lock(m_mutex);
    if (m_shut_down) return;
    port = m_port;
  }
  if (!m_server_thread) {
    if (!active) return;
    m_server_thread = std::make_unique<QThread>();
    m_server_thread->setObjectName("lan server");
    m_server = new LanServer(*this, m_limits, m_part_folder);
    m_server->moveToThread(m_server_thread.get());
    m_server_thread->start();
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->Init(); }, Qt::BlockingQueuedConnection);
  }
  std::string error;
  QMetaObject::invokeMethod(
      m_server,
      [&] {
        if (active) {
          error = m_server->Listen(port);
        } else {
          m_server->Stop();
        }
      },
      Qt::BlockingQueuedConnection);
  if (!error.empty()) throw ScriptError(error);
}

void LanService::SendText(std::string_view text) {
  std::string host;
  int32_t port = 0;
  {
    std::lock_guard lock(m_mutex);
    host = m_host;
    port = m_port;
  }
  SendUnit(host, port, LanTextMessage(text));
}

void LanService::SendFile(std::string_view windows_path) {
  std::string host;
  int32_t port = 0;
  {
    std::lock_guard lock(m_mutex);
    host = m_host;
    port = m_port;
  }
  SendUnit(host, port, LanFileAnnouncement(LanFileName(windows_path)));
  size_t index = 0;
  {
    std::lock_guard lock(m_mutex);
    m_outgoing.emplace_back(windows_path);
    index = m_outgoing.size() - 1;
  }
  QMetaObject::invokeMethod(
      m_main_context.get(), [this, index] { StartSenderTimer(index); }, Qt::QueuedConnection);
}

void LanService::StartSenderTimer(size_t index) {
  QTimer::singleShot(10, m_main_context.get(), [this, index] { SendBody(index); });
}

void LanService::SendBody(size_t index) {
  if (m_player.terminating()) return;
  BodyJob job;
  {
    std::lock_guard lock(m_mutex);
    if (m_shut_down) return;
    job.host = m_host;
    job.port = m_port;
    job.windows_path = m_outgoing[index];
  }
  std::optional<std::string> host_path = m_player.environment().drives().ToHost(job.windows_path);
  if (host_path) job.file.reset(std::fopen(host_path->c_str(), "rb"));
  if (!job.file) {
    m_player.ReportException("Cannot open file \"" + job.windows_path +
                             "\". The system cannot find the file specified");
    return;
  }
  std::lock_guard lock(m_body_mutex);
  if (m_body_stop) return;
  m_body_jobs.push_back(std::move(job));
  if (!m_body_thread.joinable()) m_body_thread = std::thread([this] { RunBodySender(); });
  m_body_ready.notify_one();
}

void LanService::RunBodySender() {
  for (;;) {
    BodyJob job;
    {
      std::unique_lock lock(m_body_mutex);
      m_body_ready.wait(lock, [this] { return m_body_stop || !m_body_jobs.empty(); });
      if (m_body_stop) return;
      job = std::move(m_body_jobs.front());
      m_body_jobs.pop_front();
    }
    std::string failure;
    try {
      SendingConnection connection(&m_body_abort);
      connection.Connect(job.host, job.port);
      std::vector<char> buffer(kChunk);
      for (;;) {
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), job.file.get());
        if (got == 0) break;
        connection.Write(buffer.data(), got, qint64(kChunk));
      }
      if (std::ferror(job.file.get()))
        throw ScriptError("Cannot read file \"" + job.windows_path + "\".");
      connection.Close();
    } catch (const std::exception& e) {
      failure = e.what();
    }
    job.file.reset();
    if (!failure.empty() && !m_body_abort.load()) {
      QMetaObject::invokeMethod(
          m_main_context.get(),
          [this, failure] {
            if (!m_player.terminating()) m_player.ReportException(failure);
          },
          Qt::QueuedConnection);
    }
  }
}

void LanService::Deliver(LanUnit unit) {
  QMetaObject::invokeMethod(
      m_main_context.get(),
      [this, unit = std::move(unit)]() mutable {
        m_deliveries.push_back(std::move(unit));
        RunNextDelivery();
      },
      Qt::QueuedConnection);
}

void LanService::NoteDropped(const char* reason) {
  m_player.trace().Write("lan",
                         {{"unit", std::string("dropped")}, {"reason", std::string(reason)}});
}

void LanService::RunNextDelivery() {
  // One script at a time: a delivery that arrives while a LAN script runs
  // (inside a message box it shows, say) waits for it to end.
  if (m_delivering) return;
  while (!m_deliveries.empty()) {
    LanUnit unit = std::move(m_deliveries.front());
    m_deliveries.pop_front();
    bool closed = false;
    {
      std::lock_guard lock(m_mutex);
      closed = m_shut_down;
    }
    if (closed || m_player.terminating()) {
      std::error_code ec;
      if (!unit.part_path.empty()) fs::remove(unit.part_path, ec);
      continue;
    }
    m_delivering = true;
    RunDelivery(unit);
    m_delivering = false;
    std::lock_guard server_lock(m_server_mutex);
    if (m_server) QMetaObject::invokeMethod(m_server, [this] { m_server->DeliveryDone(); });
  }
}

void LanService::RunDelivery(LanUnit& unit) {
  const Project& project = m_player.project();
  Environment& environment = m_player.environment();
  const int code_page = m_player.code_page();
  const bool file = unit.kind == LanUnit::Kind::kFile;
  const Script* script = &project.lan_message;
  if (file) {
    const std::string lan_file = environment.macro_folders().qmtemp + "LAN.tmp";
    std::optional<std::string> target = environment.drives().ToHost(lan_file, PathAccess::kWrite);
    std::error_code ec;
    if (target) fs::rename(unit.part_path, *target, ec);
    if (!target || ec) {
      fs::remove(unit.part_path, ec);
      NoteDropped("cannot write the file");
      return;
    }
    m_player.values().SetString("_file", lan_file);
    m_player.values().SetString("_name", unit.text);
    script = &project.lan_file;
  } else {
    m_player.values().SetString("_str", unit.text);
  }
  m_player.trace().Write("lan", {{"unit", std::string(file ? "file" : "message")},
                                 {"text", ToUtf8(unit.text, code_page)},
                                 {"bytes", (long long)unit.bytes}});
  // As a connection thread's hand-over would: a failure of the script ends
  // its run and goes back to the connection, which ends without a word.
  ScriptEngine* engine = m_player.engine();
  if (!engine || script->empty()) return;
  try {
    engine->DoActions(1, *script, 0);
  } catch (const std::exception& e) {
    m_player.trace().Write(
        "lan", {{"unit", std::string("script failed")}, {"text", ToUtf8(e.what(), code_page)}});
  }
}

std::string LanService::QmTempHostFolder() const {
  std::optional<std::string> host = m_player.environment().drives().ToHost(
      m_player.environment().macro_folders().qmtemp, PathAccess::kWrite);
  return host.value_or(std::string());
}

void LanService::Shutdown() {
  {
    std::lock_guard lock(m_mutex);
    if (m_shut_down) return;
    m_shut_down = true;
  }
  std::lock_guard server_lock(m_server_mutex);
  if (m_server_thread) {
    QMetaObject::invokeMethod(
        m_server,
        [this] {
          m_server->Stop();
          delete m_server;
        },
        Qt::BlockingQueuedConnection);
    m_server = nullptr;
    m_server_thread->quit();
    m_server_thread->wait();
  }
  {
    std::lock_guard lock(m_body_mutex);
    m_body_stop = true;
    m_body_abort = true;
    m_body_jobs.clear();
  }
  m_body_ready.notify_all();
  if (m_body_thread.joinable()) m_body_thread.join();
  for (const LanUnit& unit : m_deliveries) {
    std::error_code ec;
    if (!unit.part_path.empty()) fs::remove(unit.part_path, ec);
  }
  m_deliveries.clear();
}

}  // namespace morvane
