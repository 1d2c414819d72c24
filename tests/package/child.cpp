#include "child.h"

#include "testenv.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velora::test {

namespace {
std::atomic<int> serial{0};
}

Child::Child(const std::vector<std::string> &args, const std::string &logDir,
             const std::vector<std::string> &env) {
  const std::string stem = logDir + "/child" + std::to_string(serial++);
  outPath_ = stem + ".out";
  errPath_ = stem + ".err";
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    setpgid(0, 0); // a group of its own, so ending it ends what it started (cpack runs make)
    for (const std::string &setting : env)
      putenv(const_cast<char *>(setting.c_str()));
    const int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0)
      _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid_ > 0)
    setpgid(pid_, pid_); // the same from this side: a terminate() right away reaches the group
}

Child::~Child() {
  if (running()) {
    terminate(SIGKILL);
    wait(5000);
  }
}

bool Child::running() {
  if (pid_ <= 0 || reaped_)
    return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == pid_) {
    reaped_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return false;
  }
  return done == 0;
}

int Child::wait(int timeoutMs) {
  waitUntil([&] { return !running(); }, timeoutMs);
  return reaped_ ? status_ : -1;
}

void Child::terminate(int signal) {
  if (running())
    ::kill(-pid_, signal);
}

std::string Child::out() const { return readFile(outPath_); }
std::string Child::err() const { return readFile(errPath_); }

int runToEnd(const std::vector<std::string> &args, const std::string &logDir, int timeoutMs,
             std::string *out, std::string *err, const std::vector<std::string> &env) {
  Child child(args, logDir, env);
  const int status = child.wait(timeoutMs);
  if (out)
    *out = child.out();
  if (err)
    *err = child.err();
  return status;
}

} // namespace velora::test
