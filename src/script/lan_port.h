#pragma once

// `LanPort`: the LAN client and server that actions 109 to 114 drive. It is
// a service of the core, not of the windows: the engine owns the one it is
// given and, without one, has a LAN that is not there. Failures raise the
// sockets' error text.

#include <cstdint>
#include <string_view>

namespace morvane {

class LanPort {
 public:
  virtual ~LanPort() = default;
  virtual void SetHost(std::string_view host) = 0;
  virtual void SetPort(int32_t port) = 0;
  virtual void Server(bool active) = 0;
  virtual void SendText(std::string_view text) = 0;
  virtual void SendFile(std::string_view windows_path) = 0;
};

// A machine without the network: every action fails with "The network
// connection is not available."
class UnavailableLan : public LanPort {
 public:
  void SetHost(std::string_view) override { Fail(); }
  void SetPort(int32_t) override { Fail(); }
  void Server(bool) override { Fail(); }
  void SendText(std::string_view) override { Fail(); }
  void SendFile(std::string_view) override { Fail(); }

 private:
  [[noreturn]] static void Fail();
};

}  // namespace morvane
