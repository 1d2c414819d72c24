#include "quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace quitsignals {
namespace {

int wakeFds[2] = {-1, -1}; // [0] read by the event loop, [1] written by the handler
std::function<void(int)> callback;

void onSignal(int signo) {
  // Only async-signal-safe work here: one byte into a non-blocking pipe. A full pipe already
  // holds a wake-up, so a lost byte loses nothing.
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signo);
  [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
  errno = saved;
}

void drain() {
  unsigned char bytes[16];
  ssize_t n;
  while ((n = ::read(wakeFds[0], bytes, sizeof bytes)) > 0)
    for (ssize_t i = 0; i < n; ++i)
      if (callback)
        callback(bytes[i]);
}

} // namespace

bool install(std::function<void(int)> onQuit) {
  callback = std::move(onQuit);
  if (wakeFds[0] >= 0)
    return true;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wakeFds) != 0) {
    qWarning("velora: cannot watch for quit signals (%s)", strerror(errno));
    wakeFds[0] = wakeFds[1] = -1;
    return false;
  }
  // Owned by the application object: it lives as long as the event loop that serves it.
  auto *notifier =
      new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { drain(); });

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  bool ok = true;
  for (int signo : {SIGTERM, SIGINT, SIGHUP})
    if (::sigaction(signo, &action, nullptr) != 0)
      ok = false;
  if (!ok)
    qWarning("velora: cannot catch quit signals (%s)", strerror(errno));
  return ok;
}

} // namespace quitsignals
