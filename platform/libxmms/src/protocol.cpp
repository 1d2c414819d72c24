#include "protocol.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace xmms::proto {

namespace {

// Looked up once per user id: every remote call names the socket, and the user database is a
// file read.
std::string userName() {
  static std::mutex m;
  static uid_t known = static_cast<uid_t>(-1);
  static std::string name;
  uid_t uid = getuid();
  std::lock_guard<std::mutex> lk(m);
  if (uid == known && !name.empty())
    return name;
  struct passwd pw;
  struct passwd *res = nullptr;
  char buf[1024];
  if (getpwuid_r(uid, &pw, buf, sizeof buf, &res) == 0 && res && res->pw_name[0])
    name = res->pw_name;
  else
    name = std::to_string(uid);
  known = uid;
  return name;
}

using Clock = std::chrono::steady_clock;

// Waits until fd is ready for events or the deadline passes.
bool waitFor(int fd, short events, Clock::time_point deadline, bool hasDeadline) {
  for (;;) {
    int timeout = -1;
    if (hasDeadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        errno = ETIMEDOUT;
        return false;
      }
      timeout = static_cast<int>(left.count());
    }
    struct pollfd p = {fd, events, 0};
    int r = poll(&p, 1, timeout);
    if (r > 0)
      return true;
    if (r == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    if (errno != EINTR)
      return false;
  }
}

} // namespace

std::string socketPath(int session) {
  const char *runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir = (runtime && runtime[0] == '/') ? runtime : "/tmp";
  return dir + "/xmms_" + userName() + "." + std::to_string(session);
}

bool writeAll(int fd, const void *data, size_t size, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto p = static_cast<const char *>(data);
  while (size > 0) {
    if (!waitFor(fd, POLLOUT, deadline, timeoutMs >= 0))
      return false;
    ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN)
        continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool readAll(int fd, void *data, size_t size, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto p = static_cast<char *>(data);
  while (size > 0) {
    if (!waitFor(fd, POLLIN, deadline, timeoutMs >= 0))
      return false;
    ssize_t n = ::read(fd, p, size);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN)
        continue;
      return false;
    }
    if (n == 0) {
      errno = ECONNRESET;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::optional<Message> readMessage(int fd, int timeoutMs) {
  Header h;
  if (!readAll(fd, &h, sizeof h, timeoutMs))
    return std::nullopt;
  if (h.magic != kMagic || h.version != kVersion || h.length > kMaxPayload) {
    errno = EPROTO;
    return std::nullopt;
  }
  Message m;
  m.code = h.code;
  m.payload.resize(h.length);
  if (h.length && !readAll(fd, m.payload.data(), h.length, timeoutMs))
    return std::nullopt;
  return m;
}

bool writeMessage(int fd, uint16_t code, const std::vector<uint8_t> &payload, int timeoutMs,
                  uint16_t version) {
  if (payload.size() > kMaxPayload)
    return false;
  Header h{kMagic, version, code, static_cast<uint32_t>(payload.size())};
  std::vector<uint8_t> all(sizeof h + payload.size());
  std::memcpy(all.data(), &h, sizeof h);
  if (!payload.empty())
    std::memcpy(all.data() + sizeof h, payload.data(), payload.size());
  return writeAll(fd, all.data(), all.size(), timeoutMs);
}

} // namespace xmms::proto
