// The engine's end of the remote channel: a Unix stream socket, one request and one reply per
// connection, or several in turn on a connection whose requests ask to keep it. One thread
// serves every connection with poll(), each request under its own deadline, so a client that
// connects and never sends (or sends half a request) cannot hold up anyone else.
#pragma once

#include <string>

namespace engine {

class Engine;

class RemoteServer {
public:
  explicit RemoteServer(Engine &engine) : engine_(engine) {}
  ~RemoteServer();
  RemoteServer(const RemoteServer &) = delete;
  RemoteServer &operator=(const RemoteServer &) = delete;

  // Binds path with mode 0600 (a stale file there must already be gone). False with errno.
  bool listen(const std::string &path);
  // Serves until the engine asks to quit or stopFd becomes readable.
  void run(int stopFd);

  // A request must arrive completely within this time after the connection is accepted.
  static constexpr int kRequestDeadlineMs = 1000;
  // A kept connection with no request for this long is closed (its client reconnects).
  static constexpr int kKeptIdleMs = 60000;
  static constexpr int kMaxConnections = 64;

private:
  Engine &engine_;
  int listenFd_ = -1;
};

} // namespace engine
