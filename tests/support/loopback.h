#pragma once

// Sockets on 127.0.0.1 for tests that talk to the player: a listener on a
// port the system picks, a free port, a connection, whole writes.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace morvane::test {

// A socket listening on 127.0.0.1 at a port the system picked, or -1; the
// port goes to *port.
inline int ListenOnLoopback(int backlog, int* port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0 ||
      listen(s, backlog) != 0) {
    close(s);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return s;
}

// A port of 127.0.0.1 that was free a moment ago.
inline int FreePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  close(s);
  return ntohs(address.sin_port);
}

// A connection to 127.0.0.1:port, or -1.
inline int Connect(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(s);
    return -1;
  }
  return s;
}

inline bool WriteAll(int s, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// One connection that carries `bytes` and is closed; false when it could not.
inline bool SendUnit(int port, const std::string& bytes) {
  const int s = Connect(port);
  if (s < 0) return false;
  const bool sent = WriteAll(s, bytes);
  close(s);
  return sent;
}

}  // namespace morvane::test
