// Programs run the way a user or a file manager runs them: an argument vector, the test's own
// HOME and XDG_RUNTIME_DIR, standard output and error kept in files.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace velora::test {

class Child {
public:
  // Starts args[0] (looked up in PATH) with extra "NAME=value" settings in its environment.
  Child(const std::vector<std::string> &args, const std::string &logDir,
        const std::vector<std::string> &env = {});
  ~Child(); // kills a child that is still running
  Child(const Child &) = delete;
  Child &operator=(const Child &) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Waits up to timeoutMs for the end; its exit status, or -1 when it did not end (or died of a
  // signal).
  int wait(int timeoutMs);
  bool running();
  // Sends signal to the child and everything it started.
  void terminate(int signal);
  std::string out() const;
  std::string err() const;

private:
  pid_t pid_ = -1;
  bool reaped_ = false;
  int status_ = -1;
  std::string outPath_, errPath_;
};

// Runs a program to its end (at most timeoutMs); returns its exit status, its output in *out
// and its error output in *err when asked for.
int runToEnd(const std::vector<std::string> &args, const std::string &logDir, int timeoutMs,
             std::string *out = nullptr, std::string *err = nullptr,
             const std::vector<std::string> &env = {});

} // namespace velora::test
