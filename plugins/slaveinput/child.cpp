// Starting and ending mplayer children. The engine is multi-threaded, so between fork and exec
// the child only calls functions that are safe there: no allocation, no stdio.
#include "slaveinput.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace slaveinput {

namespace {

void writeAll(int fd, const char *text) {
  size_t left = strlen(text);
  while (left > 0) {
    ssize_t n = write(fd, text, left);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

void moveTo(int from, int to) {
  if (from == to) {
    // Already in place, but it must survive the exec.
    int flags = fcntl(to, F_GETFD);
    if (flags >= 0)
      fcntl(to, F_SETFD, flags & ~FD_CLOEXEC);
    return;
  }
  if (dup2(from, to) < 0)
    writeAll(STDOUT_FILENO, "duplication error\n");
}

void sleepMs(int ms) {
  struct timespec ts = {ms / 1000, (ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) < 0 && errno == EINTR) {
  }
}

} // namespace

pid_t spawn_mplayer(char *const argv[], int in_fd, int out_fd) {
  int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (devnull < 0)
    return -1;
  pid_t pid = fork();
  if (pid == 0) {
    // The engine's threads may block or ignore signals; the player starts with the defaults.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    moveTo(in_fd >= 0 ? in_fd : devnull, STDIN_FILENO);
    moveTo(out_fd >= 0 ? out_fd : devnull, STDOUT_FILENO);
    moveTo(devnull, STDERR_FILENO);
    int rc = execvp("mplayer", argv);
    // Said on the status pipe, where the parent reads the child's output.
    char line[80] = "Fatal Error: Couldnt start MPlayer! exec returned ";
    char digits[16];
    int n = 0;
    unsigned v = rc < 0 ? static_cast<unsigned>(-rc) : static_cast<unsigned>(rc);
    do {
      digits[n++] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v && n < 15);
    size_t len = strlen(line);
    if (rc < 0)
      line[len++] = '-';
    while (n > 0)
      line[len++] = digits[--n];
    line[len++] = '\n';
    line[len] = '\0';
    writeAll(STDOUT_FILENO, line);
    _exit(-1);
  }
  close(devnull);
  return pid;
}

void reap_child(pid_t pid, int graceMs) {
  if (pid <= 0)
    return;
  int status;
  for (int waited = 0; waited < graceMs; waited += 10) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR))
      return;
    sleepMs(10);
  }
  kill(pid, SIGKILL);
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

void StatusLine::feed(char c, std::atomic<int> &time) {
  if (c == '\n' || c == '\r') {
    pos = 1;
    return;
  }
  buf[pos] = c;
  if (pos < 32)
    pos++;
  // A status line is "A:" and the position in seconds; shorter lines are still arriving.
  if (pos > 15) {
    int seconds;
    if (sscanf(buf + 3, "%i", &seconds) == 1)
      time = seconds;
  }
}

} // namespace slaveinput
