#include "enginespawn.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace enginespawn {

namespace {
std::vector<pid_t> started;
} // namespace

pid_t startTied(const QString &program) {
  reapEnded();
  // Everything the child needs is made before the fork: after it only async-signal-safe calls.
  const QByteArray path = QFile::encodeName(program);
  char *const argv[] = {const_cast<char *>(path.constData()), nullptr};
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0)
    return -1;
  if (pid == 0) {
    // The death signal belongs to the thread that forked: this is the main (GUI) thread, which
    // lives as long as the program. A parent that died before the call is caught by the check.
    if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent)
      ::_exit(127);
    // Out of the terminal's process group, as a detached start was: Ctrl-C reaches velora,
    // whose close sequence then ends the engine in order.
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv(argv[0], argv);
    ::_exit(127);
  }
  started.push_back(pid);
  return pid;
}

void reapEnded() {
  started.erase(std::remove_if(started.begin(), started.end(),
                               [](pid_t pid) {
                                 int status = 0;
                                 const pid_t r = ::waitpid(pid, &status, WNOHANG);
                                 return r == pid || (r < 0 && errno == ECHILD);
                               }),
                started.end());
}

} // namespace enginespawn
