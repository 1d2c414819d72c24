#include "remoteserver.h"
#include "engine.h"

#include <protocol.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace engine {

namespace {

using Clock = std::chrono::steady_clock;
using xmms::proto::Header;

struct Connection {
  int fd;
  Clock::time_point deadline;
  bool fromSelf;
  std::vector<uint8_t> buffer; // header, then payload, as they arrive
  size_t wanted = sizeof(Header);
  bool haveHeader = false;
  bool idle = false; // kept after a reply, no byte of the next request yet
};

enum class Progress { More, Complete, Broken };

// Reads what is available; checks the header as soon as it is complete.
Progress readSome(Connection &c) {
  for (;;) {
    size_t old = c.buffer.size();
    if (old == c.wanted)
      break;
    c.buffer.resize(c.wanted);
    ssize_t n = ::read(c.fd, c.buffer.data() + old, c.wanted - old);
    if (n <= 0) {
      c.buffer.resize(old);
      if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return Progress::More;
      return Progress::Broken;
    }
    c.buffer.resize(old + static_cast<size_t>(n));
    if (c.buffer.size() < c.wanted)
      continue;
    if (!c.haveHeader) {
      Header h;
      std::memcpy(&h, c.buffer.data(), sizeof h);
      if (h.magic != xmms::proto::kMagic ||
          (h.version != xmms::proto::kVersion && h.version != xmms::proto::kKeptVersion) ||
          h.length > xmms::proto::kMaxPayload)
        return Progress::Broken;
      c.haveHeader = true;
      c.wanted = sizeof h + h.length;
    }
  }
  return Progress::Complete;
}

// Reads what has arrived and answers each complete request. True when the connection is
// finished: after a one-request connection's reply, or on anything broken.
bool advance(Engine &engine, Connection &c) {
  for (;;) {
    Progress p = readSome(c);
    if (p == Progress::Broken)
      return true;
    if (p == Progress::More) {
      // The next request on a kept connection has begun: it has the same time to arrive whole
      // as the first request of a connection.
      if (c.idle && !c.buffer.empty()) {
        c.idle = false;
        c.deadline = Clock::now() + std::chrono::milliseconds(RemoteServer::kRequestDeadlineMs);
      }
      return false;
    }
    Header h;
    std::memcpy(&h, c.buffer.data(), sizeof h);
    std::vector<uint8_t> payload(c.buffer.begin() + sizeof h, c.buffer.end());
    Reply reply = engine.handle(h.code, payload, c.fromSelf);
    if (!reply.wellFormed || !xmms::proto::writeMessage(c.fd, reply.status, reply.payload, 200) ||
        h.version != xmms::proto::kKeptVersion)
      return true;
    c.buffer.clear();
    c.wanted = sizeof(Header);
    c.haveHeader = false;
    c.idle = true;
    c.deadline = Clock::now() + std::chrono::milliseconds(RemoteServer::kKeptIdleMs);
  }
}

} // namespace

RemoteServer::~RemoteServer() {
  if (listenFd_ >= 0)
    ::close(listenFd_);
}

bool RemoteServer::listen(const std::string &path) {
  struct sockaddr_un addr = {};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    return false;
  // A deep backlog: a burst of clients waits in it instead of being turned away.
  // The socket is created private: no moment exists in which another user could connect.
  mode_t old = ::umask(0177);
  int r = ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
  ::umask(old);
  if (r < 0 || ::chmod(path.c_str(), 0600) < 0 || ::listen(fd, SOMAXCONN) < 0) {
    int e = errno;
    ::close(fd);
    errno = e;
    return false;
  }
  listenFd_ = fd;
  return true;
}

void RemoteServer::run(int stopFd) {
  std::vector<Connection> conns;
  std::vector<pollfd> fds;
  while (!engine_.quitRequested()) {
    fds.clear();
    fds.push_back({stopFd, POLLIN, 0});
    // At the limit, the longest idle kept connection gives way to a new client (its owner
    // reconnects).
    auto idlest = [&conns] {
      auto best = conns.end();
      for (auto it = conns.begin(); it != conns.end(); ++it)
        if (it->idle && (best == conns.end() || it->deadline < best->deadline))
          best = it;
      return best;
    };
    bool accepting = conns.size() < static_cast<size_t>(kMaxConnections) || idlest() != conns.end();
    fds.push_back({accepting ? listenFd_ : -1, POLLIN, 0});
    auto now = Clock::now();
    int timeout = -1;
    for (auto &c : conns) {
      fds.push_back({c.fd, POLLIN, 0});
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(c.deadline - now).count();
      int ms = left < 0 ? 0 : static_cast<int>(left) + 1;
      timeout = timeout < 0 ? ms : std::min(timeout, ms);
    }
    int r = ::poll(fds.data(), fds.size(), timeout);
    if (r < 0 && errno != EINTR)
      break;
    if (fds[0].revents)
      break;

    now = Clock::now();
    std::vector<Connection> keep;
    for (size_t i = 0; i < conns.size(); ++i) {
      Connection &c = conns[i];
      short ev = fds[i + 2].revents;
      bool done = ev && advance(engine_, c);
      if (!done && now >= c.deadline)
        done = true;
      if (done)
        ::close(c.fd);
      else
        keep.push_back(std::move(c));
    }
    conns.swap(keep);

    if (accepting && (fds[1].revents & POLLIN)) {
      for (;;) {
        bool full = conns.size() >= static_cast<size_t>(kMaxConnections);
        auto victim = full ? idlest() : conns.end();
        if (full && victim == conns.end())
          break;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
          break;
        if (full) {
          ::close(victim->fd);
          conns.erase(victim);
        }
        struct ucred cred = {};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) < 0 || cred.uid != ::getuid()) {
          ::close(fd);
          continue;
        }
        Connection c{fd,
                     Clock::now() + std::chrono::milliseconds(kRequestDeadlineMs),
                     cred.pid == ::getpid(),
                     {},
                     sizeof(Header),
                     false,
                     false};
        // The request usually follows the connection at once: answer it without another poll.
        if (advance(engine_, c))
          ::close(c.fd);
        else
          conns.push_back(std::move(c));
      }
    }
  }
  for (auto &c : conns)
    ::close(c.fd);
}

} // namespace engine
