// A logout, Ctrl-C or `kill` ends velora through its close sequence: the real program, on a
// real engine that plays, gets each quit signal; both processes must be gone and the volume
// saved, as after Exit.
#include "guiapp.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace velora::test;
namespace fs = std::filesystem;

namespace {

// A process that has not ended (a zombie has: it only waits for its parent).
bool alive(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line))
    return false;
  const auto close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

// The engine writes its pid beside the session's socket.
pid_t enginePid(const TempHome &home) {
  for (const auto &entry : fs::directory_iterator(home.runtime()))
    if (entry.path().extension() == ".pid")
      return static_cast<pid_t>(std::atoi(readFile(entry.path().string()).c_str()));
  return -1;
}

pid_t startVeloraProcess(const TempHome &home) {
  const std::string program = stageDir() + "/bin/velora";
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const std::string log = home.root() + "/velora.log";
    if (FILE *f = freopen(log.c_str(), "w", stderr))
      (void)f;
    execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  return pid;
}

// velora on a home whose one song is a minute of silence, playing it as a user would leave it,
// with its window up (it has read its settings). The window's pid and, in *engine, the engine's;
// -1 when either did not come up (the window then killed).
pid_t startPlayingVelora(const TempHome &home, pid_t *engine) {
  *engine = -1;
  writeSilentEngineConfig(home.home());
  writeSilentWav(home.path("music/long.wav"), 60);
  writeFile(home.path(".xmms/xmms.m3u"), home.path("music/long.wav") + "\n");
  const pid_t velora = startVeloraProcess(home);
  if (velora <= 0)
    return -1;
  if (waitUntil([] { return xmms_remote_get_version(0) != 0; }, 20000))
    *engine = enginePid(home);
  if (*engine > 0) {
    xmms_remote_play(0);
    if (waitUntil([] { return xmms_remote_is_playing(0) != 0; }, 10000) &&
        waitUntil([&] { return fileExists(home.path(".xmms/pelmar_cfg")); }, 20000))
      return velora;
  }
  kill(velora, SIGKILL);
  waitpid(velora, nullptr, 0);
  return -1;
}

// Waits for pid (our child) to end; its exit status, or -1 when it did not end in time or was
// killed by a signal.
int waitForExit(pid_t pid, int timeoutMs) {
  int status = 0;
  const bool ended = waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(QuitSignals, EachSignalRunsTheCloseSequenceAndEndsTheEngine) {
  if (!fileExists(stageDir() + "/bin/velora") || !fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "velora or the engine not built";
  for (int signo : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signo));
    TempHome home;
    pid_t engine = -1;
    const pid_t velora = startPlayingVelora(home, &engine);
    ASSERT_GT(velora, 0) << readFile(home.root() + "/velora.log");

    ASSERT_EQ(kill(velora, signo), 0);
    EXPECT_EQ(waitForExit(velora, 20000), 0) << readFile(home.root() + "/velora.log");
    EXPECT_TRUE(waitUntil([&] { return !alive(engine); }, 5000)) << "the engine plays on";
    EXPECT_EQ(xmms_remote_get_version(0), 0);
    // The close sequence ran: the volume was saved for the next start.
    EXPECT_NE(readFile(home.path(".xmms/config")).find("Volume=45"), std::string::npos)
        << readFile(home.path(".xmms/config"));
    if (alive(engine))
      kill(engine, SIGKILL);
  }
}

// A window killed outright (SIGKILL, the out-of-memory killer, a crash) runs no close sequence;
// its engine must not go on playing with nothing left to stop it.
TEST(QuitSignals, AKilledWindowTakesItsEngineWithIt) {
  if (!fileExists(stageDir() + "/bin/velora") || !fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "velora or the engine not built";
  TempHome home;
  pid_t engine = -1;
  const pid_t velora = startPlayingVelora(home, &engine);
  ASSERT_GT(velora, 0) << readFile(home.root() + "/velora.log");

  ASSERT_EQ(kill(velora, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(velora, &status, 0), velora);
  EXPECT_TRUE(waitUntil([&] { return !alive(engine); }, 15000)) << "the engine plays on";
  // It ended in order: the session's channel answers no more and its socket is gone.
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EXPECT_TRUE(waitUntil([&] { return enginePid(home) < 0; }, 5000));
  if (alive(engine))
    kill(engine, SIGKILL);
}
