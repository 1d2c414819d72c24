// The close sequence: the volume is saved, and only this session's engine and the mplayer
// processes it started are ended.
#include "guiapp.h"
#include "kconfig.h"
#include "mainface/mainface.h"
#include "protocol.h"
#include "testenv.h"
#include "testskin.h"
#include "xmmsPlayer.h"

#include <QPointer>
#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

using namespace velora::test;

namespace {

bool processGone(pid_t pid) {
  std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  auto close = stat.rfind(')');
  return stat.empty() ||
         (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z');
}

pid_t spawn(const std::vector<std::string> &argv) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char *> args;
    for (auto &a : argv)
      args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  return pid;
}

bool childEnded(pid_t pid, int timeoutMs) {
  int status;
  return waitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeoutMs);
}

// Runs cond with HOME and XDG_RUNTIME_DIR pointing at another session.
template <class F> auto inSession(const std::string &home, const std::string &runtime, F f) {
  std::string oldHome = getenv("HOME"), oldRuntime = getenv("XDG_RUNTIME_DIR");
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  auto r = f();
  setenv("HOME", oldHome.c_str(), 1);
  setenv("XDG_RUNTIME_DIR", oldRuntime.c_str(), 1);
  return r;
}

} // namespace

TEST(Closing, OnlyThisSessionsEngineAndItsPlayersAreEnded) {
  TempHome home;
  // A stand-in engine: a script called xmms whose child is a program called mplayer, beside an
  // mplayer that has nothing to do with us (someone watching a video).
  const std::string bin = home.root() + "/bin";
  makeDirs(bin);
  std::filesystem::copy_file("/bin/sleep", bin + "/mplayer");
  writeFile(bin + "/xmms", "#!/bin/sh\n\"" + bin + "/mplayer\" 30 &\nwait\n");
  chmod((bin + "/xmms").c_str(), 0755);
  pid_t fakeEngine = spawn({bin + "/xmms"});
  pid_t bystander = spawn({bin + "/mplayer", "30"});
  ASSERT_TRUE(waitUntil([&] { return !XMMSPlayer::mplayerDescendants(fakeEngine).empty(); }));
  pid_t child = XMMSPlayer::mplayerDescendants(fakeEngine).front();
  EXPECT_NE(child, bystander);

  // The pid file names a process that is not an engine: nothing is touched.
  writeFile(xmms::proto::pidPath(0), std::to_string(bystander) + "\n");
  EXPECT_EQ(XMMSPlayer::enginePid(), -1);
  EXPECT_EQ(XMMSPlayer::terminateEngineProcesses(), 0);
  // Garbage in the pid file neither.
  writeFile(xmms::proto::pidPath(0), "-1\n");
  EXPECT_EQ(XMMSPlayer::terminateEngineProcesses(), 0);
  writeFile(xmms::proto::pidPath(0), "1\n");
  EXPECT_EQ(XMMSPlayer::terminateEngineProcesses(), 0);

  writeFile(xmms::proto::pidPath(0), std::to_string(fakeEngine) + "\n");
  EXPECT_EQ(XMMSPlayer::enginePid(), fakeEngine);
  EXPECT_EQ(XMMSPlayer::terminateEngineProcesses(), 2);
  EXPECT_TRUE(childEnded(fakeEngine, 3000));
  EXPECT_TRUE(waitUntil([&] { return processGone(child); }, 3000));
  int status;
  EXPECT_EQ(waitpid(bystander, &status, WNOHANG), 0); // still running
  ::kill(bystander, SIGTERM);
  EXPECT_TRUE(childEnded(bystander, 3000));
}

TEST(Closing, CloseSavesTheVolumeAndEndsOnlyThisEngine) {
  if (!fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  writeSilentEngineConfig(home.home(), "[Winskin]\nVolume=30\n");
  writeTestSkin(home.home(), "default", "mwin_Y=0\nmwin_H=320\n");

  // Another session's engine, in its own home and runtime folder.
  const std::string otherHome = home.root() + "/other-home", otherRun = home.root() + "/other-run";
  makeDirs(otherHome);
  makeDirs(otherRun);
  chmod(otherRun.c_str(), 0700);
  writeSilentEngineConfig(otherHome);
  EngineProcess other;
  ASSERT_TRUE(inSession(otherHome, otherRun, [&] { return other.start(); }));

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  XMMSPlayer player;
  ASSERT_TRUE(player.isRunning());
  auto *window = new MainFace(nullptr, nullptr);
  EXPECT_EQ(volumePercent, 30);
  volumePercent = 77;
  window->show();
  QPointer<MainFace> guard(window);
  EXPECT_TRUE(window->close());

  std::string config = readFile(home.path(".xmms/config"));
  EXPECT_NE(config.find("[Winskin]"), std::string::npos) << config;
  EXPECT_NE(config.find("Volume=77"), std::string::npos) << config;
  EXPECT_TRUE(waitUntil([&] { return !engine.running(); }, 5000));
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EXPECT_FALSE(player.isRunning());
  spinUntil([&] { return guard.isNull(); }, 2000);
  EXPECT_TRUE(guard.isNull());

  // The other session's engine is untouched.
  EXPECT_TRUE(other.running());
  EXPECT_NE(inSession(otherHome, otherRun, [] { return xmms_remote_get_version(0); }), 0);
  EXPECT_GE(inSession(otherHome, otherRun, [&] { return other.stop(); }), 0);
}

// The engine saves its own keys of ~/.xmms/config when it quits, and the window saves "Volume"
// when it closes. Over many closes with a real engine, each close keeps both: the engine's
// latest repeat and preamp, the window's latest volume, and the other groups of the file.
TEST(Closing, ManyClosesKeepTheEngineKeysAndTheVolume) {
  if (!fileExists(stageDir() + "/bin/xmms"))
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  writeSilentEngineConfig(home.home(), "[Winskin]\nVolume=30\n[OSS]\nmine=kept\n");
  writeTestSkin(home.home(), "default", "mwin_Y=0\nmwin_H=320\n");
  for (int round = 0; round < 6; ++round) {
    EngineProcess engine;
    ASSERT_TRUE(engine.start());
    bool repeat;
    {
      XMMSPlayer player;
      ASSERT_TRUE(player.isRunning());
      auto *window = new MainFace(nullptr, nullptr);
      QPointer<MainFace> guard(window);
      window->show();
      xmms_remote_toggle_repeat(0);
      xmms_remote_set_eq_preamp(0, float(round + 1));
      repeat = xmms_remote_is_repeat(0);
      volumePercent = 20 + round;
      EXPECT_TRUE(window->close());
      ASSERT_TRUE(waitUntil([&] { return !engine.running(); }, 8000));
      spinUntil([&] { return guard.isNull(); }, 2000);
    }
    KConfig config(QString::fromStdString(home.path(".xmms/config")), true);
    config.setGroup("Winskin");
    EXPECT_EQ(config.readNumEntry("Volume", -1), 20 + round) << "round " << round;
    config.setGroup("xmms");
    EXPECT_EQ(config.readBoolEntry("repeat", !repeat), repeat) << "round " << round;
    EXPECT_FLOAT_EQ(config.readEntry("equalizer_preamp").toFloat(), float(round + 1))
        << "round " << round;
    config.setGroup("OSS");
    EXPECT_EQ(config.readEntry("mine"), "kept");
  }
}
