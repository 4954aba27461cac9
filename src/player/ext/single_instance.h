#pragma once

// One running instance per project: the first start of a project listens on
// a local socket named from a hash of the instance key, in the user's
// runtime folder; a later start connects to it, hands over its command line
// and waits until the first has run its command-line script.
//
// A lock file around the check makes two starts at the same moment take
// turns, so only one of them counts as the first. A socket left behind by a
// player that was killed refuses connections: the next start takes it over.
//
// On the socket a later start sends the record's length (4 bytes, little
// endian) and the record; the first answers one byte once its script ran.

#include <QLocalSocket>
#include <QPointer>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;

namespace morvane {

// $XDG_RUNTIME_DIR, or a folder of the user's own under the temporary folder.
std::string RuntimeFolder();

class SingleInstance {
 public:
  enum class Role {
    kFirst,      // this process listens for later starts
    kLater,      // a first instance runs: Forward() hands it the command line
    kUncounted,  // a first instance runs but could not be reached
    kAlone,      // no socket could be made here: this process runs on its own
  };

  SingleInstance(std::string key, std::string folder = RuntimeFolder());
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  Role Check();
  // Why Check() ran alone, for the user.
  const std::string& error() const { return m_error; }

  // A later start: sends the record and waits until the first instance has
  // run its command-line script; false when it went away before that (it
  // was ending), and Check() may be asked again.
  bool Forward(const std::string& record);

  // The first instance: every record received is handed to `on_record` on
  // the main thread, one at a time, and answered when it returns.
  void Serve(std::function<void(const std::string&)> on_record);
  // The first instance is ending: later starts no longer reach it, and those
  // waiting are let go unanswered, so that one of them becomes the first.
  void Close();

  const std::string& socket_path() const { return m_socket_path; }

 private:
  struct Pending {
    QPointer<QLocalSocket> socket;  // gone when the later start went away
    std::string record;
  };
  void Accept();
  void RunNext();

  std::string m_key;
  std::string m_folder;
  std::string m_socket_path;
  std::string m_lock_path;
  std::string m_error;
  std::unique_ptr<QLocalServer> m_server;
  std::unique_ptr<QLocalSocket> m_first;  // a later start's connection
  std::function<void(const std::string&)> m_on_record;
  std::deque<Pending> m_ready;  // records received whole, not run yet
  bool m_running = false;
};

}  // namespace morvane
