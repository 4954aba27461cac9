#pragma once

// The two modes a project runs in. By default it may do whatever its user may
// (Z: is the host's root, programs start, the network is there). In the
// sandbox, for projects the user does not trust, its drive table holds only
// its own prefix (C:) and its exe folder as a read-only drive, programs and
// documents are not started, and the network (HTTP downloads, the LAN) and
// plug-in libraries are off unless the user allows them.
//
// The policy is what every part that reaches beyond the drive table asks
// before it acts, and where it reports what it refused.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace morvane {

// What the sandbox refuses.
enum class SandboxRefusal {
  kProgramStart,  // a program or document to open (action 21)
  kDownload,      // an HTTP download (action 31)
  kLan,           // the LAN client or server (actions 109 to 114)
  kPlugin,        // a plug-in library to load
  kWrite,         // a write to a read-only drive
  kLink,          // a symbolic link that leads out of its drive
};

// "program", "download", "lan", "plugin", "write", "link": the `what` of the
// trace's refusal events.
const char* SandboxRefusalName(SandboxRefusal what);

struct SandboxSettings {
  bool sandbox = false;
  bool allow_network = false;  // HTTP downloads and the LAN, in the sandbox
  bool allow_plugins = false;  // plug-in libraries, in the sandbox
};

class SandboxPolicy {
 public:
  SandboxPolicy() = default;  // the default mode: nothing refused
  explicit SandboxPolicy(const SandboxSettings& settings) : m_settings(settings) {}

  bool sandboxed() const { return m_settings.sandbox; }
  bool AllowsProgramStarts() const { return !m_settings.sandbox; }
  // HTTP downloads and the LAN (client and server).
  bool AllowsNetwork() const { return !m_settings.sandbox || m_settings.allow_network; }
  bool AllowsPlugins() const { return !m_settings.sandbox || m_settings.allow_plugins; }

  // Reports a refusal to the observer; `detail` (a path, an address, a
  // library; bytes of the project's code page) says what was asked for.
  // Thread-safe.
  void Refuse(SandboxRefusal what, std::string_view detail) const;
  // Told of every refusal, on the refusing thread. Set before scripts run.
  void SetObserver(std::function<void(SandboxRefusal what, std::string_view detail)> observer);

 private:
  SandboxSettings m_settings;
  mutable std::mutex m_mutex;
  // --- Protected by m_mutex.
  std::function<void(SandboxRefusal, std::string_view)> m_observer;
};

// The per-user settings of the player, from a file of "name = value" lines
// ("#" starts a comment line):
//
//   sandbox = yes            every project runs in the sandbox unless
//                            --no-sandbox is given
//   allow-network = no       the sandbox lets downloads and the LAN through
//   allow-plugins = no       the sandbox lets plug-in libraries load
//
// Values are yes/no, true/false, on/off or 1/0.
struct PlayerConfig {
  SandboxSettings sandbox;
  std::string error;  // not empty: the file was refused ("FILE:LINE: why")
};

// $XDG_CONFIG_HOME/morvane/player.conf, else ~/.config/morvane/player.conf.
std::string PlayerConfigPath();
// A missing file gives the defaults. Any line it cannot take refuses the
// whole file: a setting that guards the user is never guessed at.
PlayerConfig ReadPlayerConfig(const std::string& path);

// Where a sandboxed project keeps its C: drive: a folder of its own under
// $XDG_DATA_HOME/morvane/sandbox (else ~/.local/share/morvane/sandbox), named
// by a hash of the project's title and size, so a project finds its settings
// again on its next run and two projects never share them.
std::string SandboxPrefix(std::string_view title, uint64_t size);

}  // namespace morvane
