#include "protocol.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace xmms::proto {

namespace {

std::string userName() {
  struct passwd pw;
  struct passwd *res = nullptr;
  char buf[1024];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &res) == 0 && res && res->pw_name[0])
    return res->pw_name;
  return std::to_string(getuid());
}

using Clock = std::chrono::steady_clock;

// Waits until fd is ready for events or the deadline passes.
bool waitFor(int fd, short events, Clock::time_point deadline, bool hasDeadline) {
  for (;;) {
    int timeout = -1;
    if (hasDeadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0)
        return false;
      timeout = static_cast<int>(left.count());
    }
    struct pollfd p = {fd, events, 0};
    int r = poll(&p, 1, timeout);
    if (r > 0)
      return true;
    if (r == 0)
      return false;
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
    if (n == 0)
      return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::optional<Message> readMessage(int fd, int timeoutMs) {
  Header h;
  if (!readAll(fd, &h, sizeof h, timeoutMs))
    return std::nullopt;
  if (h.magic != kMagic || h.version != kVersion || h.length > kMaxPayload)
    return std::nullopt;
  Message m;
  m.code = h.code;
  m.payload.resize(h.length);
  if (h.length && !readAll(fd, m.payload.data(), h.length, timeoutMs))
    return std::nullopt;
  return m;
}

bool writeMessage(int fd, uint16_t code, const std::vector<uint8_t> &payload, int timeoutMs) {
  if (payload.size() > kMaxPayload)
    return false;
  Header h{kMagic, kVersion, code, static_cast<uint32_t>(payload.size())};
  std::vector<uint8_t> all(sizeof h + payload.size());
  std::memcpy(all.data(), &h, sizeof h);
  if (!payload.empty())
    std::memcpy(all.data() + sizeof h, payload.data(), payload.size());
  return writeAll(fd, all.data(), all.size(), timeoutMs);
}

} // namespace xmms::proto
