// xmms: the audio engine. One per user and session: it answers the remote channel, plays the
// playlist ~/.xmms/xmms.m3u through its input plug-ins and keeps its state in ~/.xmms/config.
// Started as "xmms &" by the front-end; ended by a remote quit, SIGTERM or SIGINT.
#include "engine.h"
#include "playlist.h"
#include "remoteserver.h"
#include "settings.h"

#include <protocol.h>
#include <xmms/xmmsctrl.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
  int saved = errno;
  char c = 1;
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe[1], &c, 1);
  errno = saved;
}

// The folder that holds this program (symlinks resolved), so a moved tree still finds its parts.
std::string programFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0)
    return ".";
  buf[n] = 0;
  std::string path(buf);
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// Children (mplayer run by an input plug-in) find the private programs first.
void prependPrivateBin(const std::string &prefix) {
  std::string bin = prefix + "/lib/xmms/bin";
  char real[PATH_MAX];
  if (::realpath(bin.c_str(), real))
    bin = real;
  const char *old = std::getenv("PATH");
  std::string path = bin + ":" + (old && *old ? old : "/usr/local/bin:/usr/bin:/bin");
  ::setenv("PATH", path.c_str(), 1);
}

// The pid file doubles as the instance lock: the lock goes away with the process, however it
// ends, so a stale socket left by a killed engine is recognised as stale.
int lockPidFile(const std::string &path) {
  // Never through a symbolic link, never someone else's file: the folder may be /tmp.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0)
    return -1;
  struct stat st;
  if (::fstat(fd, &st) < 0 || st.st_uid != ::getuid() || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EPERM;
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) < 0) {
    ::close(fd);
    return -2;
  }
  return fd;
}

void writePid(int fd) {
  std::string text = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) [[maybe_unused]]
    ssize_t n = ::pwrite(fd, text.data(), text.size(), 0);
}

} // namespace

int main() {
  std::signal(SIGPIPE, SIG_IGN);
  std::string prefix = programFolder() + "/..";
  prependPrivateBin(prefix);

  std::string socketPath = xmms::proto::socketPath(0);
  std::string pidPath = xmms::proto::pidPath(0);

  int lockFd = lockPidFile(pidPath);
  if (lockFd == -2)
    return 0; // another engine of this user and session runs: nothing to do
  if (lockFd < 0) {
    std::fprintf(stderr, "xmms: cannot create %s: %s\n", pidPath.c_str(), std::strerror(errno));
    return 1;
  }
  // An engine without the lock (started by something else) still counts as alive.
  if (xmms_remote_get_version(0) != 0) {
    ::close(lockFd);
    return 0;
  }
  struct stat st;
  if (::lstat(socketPath.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
    ::unlink(socketPath.c_str());

  // From here on SIGTERM and SIGINT end the engine in order, removing socket and pid file.
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) < 0) {
    std::fprintf(stderr, "xmms: %s\n", std::strerror(errno));
    return 1;
  }
  struct sigaction sa = {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  engine::Settings settings = engine::loadSettings();
  const char *home = std::getenv("HOME");
  std::vector<std::string> playlist =
      engine::loadPlaylistFile(std::string(home ? home : "") + "/.xmms/xmms.m3u");
  engine::Engine eng(settings, std::move(playlist));
  eng.loadPlugins(prefix + "/lib/xmms/Input", prefix + "/lib/xmms/Output");

  engine::RemoteServer server(eng);
  if (!server.listen(socketPath)) {
    std::fprintf(stderr, "xmms: cannot listen on %s: %s\n", socketPath.c_str(),
                 std::strerror(errno));
    ::close(lockFd);
    ::unlink(pidPath.c_str());
    return 1;
  }
  writePid(lockFd);

  eng.start();
  server.run(g_signalPipe[0]);

  bool clean = eng.shutdown();
  ::unlink(socketPath.c_str());
  ::unlink(pidPath.c_str());
  ::close(lockFd);
  std::fflush(nullptr);
  if (!clean)
    ::_exit(0); // a plug-in thread is still running its code: no destructors under its feet
  return 0;
}
