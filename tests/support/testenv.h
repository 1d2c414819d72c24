// Shared test helpers: every test runs in its own temporary HOME and XDG_RUNTIME_DIR, so tests
// never touch the real home and can run in parallel.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace velora::test {

// Creates <tmp>/home and <tmp>/run, points HOME and XDG_RUNTIME_DIR at them, and puts the old
// values back (and removes the tree) when destroyed.
class TempHome {
public:
  TempHome();
  ~TempHome();
  TempHome(const TempHome &) = delete;
  TempHome &operator=(const TempHome &) = delete;

  const std::string &root() const { return root_; }
  const std::string &home() const { return home_; }
  const std::string &runtime() const { return runtime_; }
  // home() + "/" + relative
  std::string path(const std::string &relative) const { return home_ + "/" + relative; }

private:
  std::string root_, home_, runtime_;
  std::string oldHome_, oldRuntime_;
  bool hadHome_ = false, hadRuntime_ = false;
};

// The staged install tree of this build (bin/, lib/xmms/Input, ...).
std::string stageDir();
std::string fixture(const std::string &name);

void writeFile(const std::string &path, const std::string &content);
std::string readFile(const std::string &path);
bool fileExists(const std::string &path);
// A 16-bit mono 8 kHz WAV holding a 440 Hz tone of the given amplitude.
std::string toneWav(double seconds, int amplitude = 16000);
void makeDirs(const std::string &path);

// A private copy of the staged engine under `root`: its program copied (the engine finds its
// plug-ins beside its own binary), the libraries and every output plug-in linked, no input
// plug-in. Each of `plugins` ("Input/<path>" or "Output/<path>": a plug-in built outside the
// staged tree, or a staged one) is linked into that folder. Returns the program's path.
std::string privateEngine(const std::string &root, const std::vector<std::string> &plugins);

// A real engine process (stage/bin/xmms) started in the current HOME / XDG_RUNTIME_DIR.
class EngineProcess {
public:
  EngineProcess() = default;
  ~EngineProcess();
  // Starts the engine (exe: the staged one unless named, e.g. by privateEngine) and waits (up
  // to timeoutMs) until it answers get_version.
  bool start(int timeoutMs = 5000, const std::vector<std::string> &extraEnv = {},
             const std::string &exe = "");
  // Remote quit, then waits for the process; kills it if it does not end in time.
  // Returns the exit status (or -1 when it had to be killed).
  int stop(int timeoutMs = 5000);
  bool running() const;
  pid_t pid() const { return pid_; }

private:
  pid_t pid_ = -1;
};

// Runs body in a child process as a user without privileges, so that file permissions hold even
// when the suite runs as root (the child drops to "nobody" as setpriv would; a non-root suite
// runs it as itself). Returns body's result (0 = success), or -1 when no unprivileged user can
// be had; the caller then skips with a message.
int runUnprivileged(int (*body)(void *), void *arg);

// Polls cond every 10 ms until it is true or timeoutMs pass; returns its last value.
template <class F> bool waitUntil(F cond, int timeoutMs = 3000);

} // namespace velora::test

#include <chrono>
#include <thread>
template <class F> bool velora::test::waitUntil(F cond, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return cond();
}
