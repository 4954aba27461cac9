#pragma once

// The player's LAN (actions 109 to 114): one client and one server.
//
// Sending happens on the thread of the script that acts (connect within
// 5000 ms, write, close), except a file's body: the sender timer of action
// 114 fires on the main thread 10 ms later, opens the file there and hands it
// to one body-sending thread, so a big file never freezes the pages; bodies
// go out one after another in the order of their timers, and their failures
// come back to the main thread's application-wide report.
//
// The server listens on all local addresses on its own thread, where every
// connection is read as it arrives: a line up to its LF (a message or a file
// announcement), or, when an announcement is pending as the connection is
// accepted, a body written to a part file in the QMTEMP folder as it comes
// (named for the process: players of one prefix share the folder).
// What arrives whole goes to the main thread, where the LAN message and LAN
// file scripts run one at a time, in order of arrival; a received file is
// renamed to QMTEMP\LAN.tmp just before its script runs, so a script always
// finds the whole file there.
//
// Bounds: at most `max_connections` connections are read at once (a new one
// beyond that closes the one idle the longest) and as many deliveries wait
// for the main thread (beyond that the server stops accepting until they
// ran); a connection that sends nothing for `idle_timeout_ms` is closed; a
// line longer than `max_line` bytes is dropped with its connection. What is
// dropped is traced, never reported to the sender.

#include "script/lan_port.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QThread;

namespace morvane {

class Player;
class LanServer;

struct LanLimits {
  int max_connections = 64;
  int idle_timeout_ms = 30000;
  size_t max_line = size_t{1} << 20;
};

// The connect time-out of every sending connection.
inline constexpr int kLanConnectTimeoutMs = 5000;

// What the server hands to the main thread.
struct LanUnit {
  enum class Kind { kMessage, kFile };
  Kind kind = Kind::kMessage;
  std::string text;       // the message, or the announced name of a file
  std::string part_path;  // a file: the host path of its part file
  uint64_t bytes = 0;
};

class LanService final : public LanPort {
 public:
  LanService(Player& player, LanLimits limits);
  ~LanService() override;
  LanService(const LanService&) = delete;
  LanService& operator=(const LanService&) = delete;

  // --- LanPort, from any script thread
  void SetHost(std::string_view host) override;
  void SetPort(int32_t port) override;
  void Server(bool active) override;
  void SendText(std::string_view text) override;
  void SendFile(std::string_view windows_path) override;

  // Stops the server and the body sender; nothing runs or is sent afterwards.
  // Main thread.
  void Shutdown();

  // From the server's thread: a unit arrived whole; a connection was dropped.
  void Deliver(LanUnit unit);
  void NoteDropped(const char* reason);

 private:
  struct BodyJob {
    std::string host;
    int32_t port = 0;
    std::string windows_path;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{nullptr, &std::fclose};
  };

  void StartSenderTimer(size_t index);
  void SendBody(size_t index);
  void RunBodySender();
  void RunNextDelivery();
  void RunDelivery(LanUnit& unit);
  std::string QmTempHostFolder() const;

  Player& m_player;
  const LanLimits m_limits;
  // Lives on the main thread: what other threads post there runs in its context.
  std::unique_ptr<QObject> m_main_context;

  std::mutex m_mutex;
  // --- The following fields are protected by m_mutex.
  std::string m_host;
  int32_t m_port = 0;
  std::vector<std::string> m_outgoing;  // action 114's list; entries are never removed
  bool m_shut_down = false;

  // Where bodies are written as they arrive: the QMTEMP folder.
  std::string m_part_folder;

  std::mutex m_server_mutex;
  // --- The following fields are protected by m_server_mutex; the server
  // thread and its objects are made by the first action 111.
  std::unique_ptr<QThread> m_server_thread;
  LanServer* m_server = nullptr;  // lives on its thread, deleted there

  // --- Main thread only.
  std::deque<LanUnit> m_deliveries;
  bool m_delivering = false;

  std::mutex m_body_mutex;
  std::condition_variable m_body_ready;
  // --- The following fields are protected by m_body_mutex.
  std::deque<BodyJob> m_body_jobs;
  bool m_body_stop = false;
  std::thread m_body_thread;  // started with the first body
  std::atomic<bool> m_body_abort{false};
};

}  // namespace morvane
