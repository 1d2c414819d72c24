// The player controller against a real engine process in a temporary home.
#include "guiapp.h"
#include "testenv.h"
#include "xmmsPlayer.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <xmms/xmmsctrl.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

using namespace velora::test;

namespace {

bool engineBuilt() { return fileExists(stageDir() + "/bin/xmms"); }

// Records the controller's signals in the order they arrive.
struct SignalLog {
  std::vector<std::string> seen;
  explicit SignalLog(XMMSPlayer &p) {
    QObject::connect(&p, &XMMSPlayer::paused, [this] { seen.push_back("paused"); });
    QObject::connect(&p, &XMMSPlayer::playing, [this] { seen.push_back("playing"); });
    QObject::connect(&p, &XMMSPlayer::stopped, [this] { seen.push_back("stopped"); });
    QObject::connect(&p, &XMMSPlayer::timeout, [this] { seen.push_back("timeout"); });
  }
  std::vector<std::string> take() {
    auto r = seen;
    seen.clear();
    return r;
  }
};

using Seen = std::vector<std::string>;

// Ended: no such process, or a zombie nobody has reaped yet.
bool processGone(pid_t pid) {
  std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  auto close = stat.rfind(')');
  return stat.empty() ||
         (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z');
}

void writeTwoSongPlaylist(const TempHome &home) {
  writeSilentWav(home.path("music/one.wav"), 30);
  writeSilentWav(home.path("music/two.wav"), 30);
  writeFile(home.path(".xmms/xmms.m3u"),
            home.path("music/one.wav") + "\n" + home.path("music/two.wav") + "\n");
}

} // namespace

TEST(Controller, WithoutEngineEverythingIsQuietAndConfigUntouched) {
  guiApp();
  TempHome home;
  const std::string config = "[Winskin]\nMaximumVolume=80\n#kept as written\n";
  writeFile(home.path(".xmms/config"), config);
  XMMSPlayer player;
  EXPECT_EQ(XMMSPlayer::instance, &player);
  EXPECT_EQ(player.maxVolume(), 80);
  EXPECT_FALSE(player.isRunning());
  SignalLog log(player);
  spinFor(700); // no poll timer: nothing may arrive
  EXPECT_TRUE(log.take().empty());
  // Queries answer the empty results at once.
  EXPECT_EQ(player.outputTime(), 0);
  EXPECT_EQ(player.position(), 0);
  EXPECT_TRUE(player.fileAt(0).isEmpty());
  EXPECT_TRUE(player.isStopped());
  // Read-only: the engine's file is not rewritten.
  EXPECT_EQ(readFile(home.path(".xmms/config")), config);
  // back/forward find the engine not playing.
  player.back();
  player.forward();
  EXPECT_EQ(log.take(), (Seen{"timeout", "timeout"}));
}

TEST(Controller, DefaultsToSixtyFiveWithoutConfig) {
  guiApp();
  TempHome home;
  XMMSPlayer player;
  EXPECT_EQ(player.maxVolume(), 65);
  EXPECT_FALSE(fileExists(home.path(".xmms/config")));
}

TEST(Controller, FollowsTheRealEngine) {
  if (!engineBuilt())
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  writeSilentEngineConfig(home.home());
  writeTwoSongPlaylist(home);
  EngineProcess engine;
  ASSERT_TRUE(engine.start());

  XMMSPlayer player;
  ASSERT_TRUE(player.isRunning());
  SignalLog log(player);

  // Polling runs from construction: starting playback is noticed within a poll or two.
  player.play();
  ASSERT_TRUE(spinUntil([&] { return !log.seen.empty(); }, 3000));
  EXPECT_EQ(log.take(), (Seen{"playing"}));
  EXPECT_EQ(player.fileAt(player.position()).toStdString(), home.path("music/one.wav"));
  EXPECT_FALSE(player.isStopped());

  // From here polls are made by hand (no event loop runs), so each one is observed alone.
  player.pause();
  player.updateStatus();
  EXPECT_EQ(log.take(), (Seen{"paused"}));
  EXPECT_TRUE(player.isPaused());
  player.pause(); // resume
  player.updateStatus();
  EXPECT_EQ(log.take(), (Seen{"paused", "playing"}));

  // Next while playing: the engine keeps playing, no timeout.
  player.forward();
  EXPECT_TRUE(log.take().empty());
  EXPECT_EQ(player.position(), 1);
  player.back();
  EXPECT_TRUE(log.take().empty());
  EXPECT_EQ(player.position(), 0);

  player.stop();
  player.updateStatus();
  EXPECT_EQ(log.take(), (Seen{"stopped"}));
  player.updateStatus();
  EXPECT_TRUE(log.take().empty()); // once only
  player.back();
  player.forward();
  EXPECT_EQ(log.take(), (Seen{"timeout", "timeout"}));

  // playAt selects an entry and makes sure it plays.
  player.playAt(1);
  EXPECT_TRUE(spinUntil([&] { return !player.isStopped(); }, 2000));
  EXPECT_EQ(player.position(), 1);
  EXPECT_TRUE(waitUntil([&] { return player.songLength() > 29000; }, 3000)) << player.songLength();

  // Shuffle: no toggle when the engine already agrees.
  bool wasShuffle = xmms_remote_is_shuffle(0);
  player.setShuffle(wasShuffle);
  EXPECT_EQ(xmms_remote_is_shuffle(0) != 0, wasShuffle);
  player.setShuffle(!wasShuffle);
  EXPECT_EQ(xmms_remote_is_shuffle(0) != 0, !wasShuffle);
  player.setShuffle(true);
  player.setShuffle(true);
  EXPECT_TRUE(xmms_remote_is_shuffle(0));
  player.setRepeat(true);
  player.setRepeat(true);
  EXPECT_TRUE(xmms_remote_is_repeat(0));
  player.setRepeat(false);
  EXPECT_FALSE(xmms_remote_is_repeat(0));
  player.setEqualizerActive(false);
  EXPECT_FALSE(xmms_remote_is_eq_active(0));
  player.setEqualizerActive(true);
  player.setEqualizerActive(true);
  EXPECT_TRUE(xmms_remote_is_eq_active(0));

  // Volume: percent of MaximumVolume (65), clamped first.
  player.setVolume(150);
  EXPECT_EQ(xmms_remote_get_main_volume(0), 65);
  player.setVolume(-5);
  EXPECT_EQ(xmms_remote_get_main_volume(0), 0);
  player.setVolume(50);
  EXPECT_EQ(xmms_remote_get_main_volume(0), 32);

  // Equalizer values go through as given.
  float values[11] = {3, 1, 2, 3, 4, 5, -1, -2, -3, -4, -5};
  player.setEqualizer(values);
  EXPECT_FLOAT_EQ(player.preamp(), 3);
  EXPECT_FLOAT_EQ(player.band(0), 1);
  EXPECT_FLOAT_EQ(player.band(9), -5);
  player.setBand(4, 7);
  player.setPreamp(-2);
  EXPECT_FLOAT_EQ(player.band(4), 7);
  EXPECT_FLOAT_EQ(player.preamp(), -2);

  int rate = -1, freq = -1, channels = -1;
  player.streamInfo(&rate, &freq, &channels);
  EXPECT_EQ(freq, 8000);
  EXPECT_EQ(channels, 1);

  // kill: the engine quits and polling ends.
  log.take();
  player.kill();
  EXPECT_TRUE(waitUntil([&] { return !engine.running(); }, 5000));
  EXPECT_FALSE(player.isRunning());
  spinFor(700);
  EXPECT_TRUE(log.take().empty());
}

TEST(Controller, LaunchStartsTheEngineFromPathAndPolls) {
  if (!engineBuilt())
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  writeSilentEngineConfig(home.home());
  writeTwoSongPlaylist(home);
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (stageDir() + "/bin:" + oldPath).c_str(), 1);

  XMMSPlayer player;
  EXPECT_FALSE(player.isRunning());
  XMMSPlayer::launchWaitMs = 1000;
  player.launch();
  bool up = waitUntil([&] { return player.isRunning(); }, 5000);
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(up);
  pid_t pid = XMMSPlayer::enginePid();
  EXPECT_GT(pid, 0);

  SignalLog log(player);
  player.launch(); // already running: nothing happens
  player.play();
  EXPECT_TRUE(spinUntil([&] { return !log.seen.empty(); }, 3000));
  EXPECT_EQ(log.take(), (Seen{"playing"}));

  player.kill();
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_version(0) == 0; }, 5000));
  EXPECT_TRUE(waitUntil([&] { return processGone(pid); }, 5000));
}

namespace {
QStringList warnings;
void keepWarnings(QtMsgType type, const QMessageLogContext &, const QString &msg) {
  if (type == QtWarningMsg)
    warnings << msg;
}
int countWarnings(const char *text) {
  int n = 0;
  for (const QString &w : warnings)
    n += w.contains(QLatin1String(text)) ? 1 : 0;
  return n;
}
} // namespace

// The engine killed while playing: velora notices at its poll, says so once, shows stopped and
// starts a fresh engine of its own on the same entry, stopped, so Play plays again. An engine
// that keeps dying is started at most three times a minute, then velora says so and stops.
TEST(Controller, KilledEngineIsReplacedStoppedOnTheSameEntry) {
  if (!engineBuilt())
    GTEST_SKIP() << "engine not built";
  guiApp();
  TempHome home;
  writeSilentEngineConfig(home.home());
  writeTwoSongPlaylist(home);
  const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (stageDir() + "/bin:" + oldPath).c_str(), 1);
  warnings.clear();
  QtMessageHandler old = qInstallMessageHandler(keepWarnings);

  XMMSPlayer player;
  XMMSPlayer::launchWaitMs = 1000;
  player.launch();
  ASSERT_TRUE(waitUntil([&] { return player.isRunning(); }, 5000));
  SignalLog log(player);
  player.playAt(1);
  ASSERT_TRUE(spinUntil([&] { return xmms_remote_is_playing(0) != 0; }, 5000));
  spinFor(1200); // a poll or two sees it playing at entry 1

  std::vector<pid_t> killed;
  auto killEngine = [&] {
    pid_t pid = XMMSPlayer::enginePid();
    EXPECT_GT(pid, 0);
    if (pid <= 0)
      return false;
    for (pid_t k : killed)
      EXPECT_NE(pid, k) << "the same engine twice";
    killed.push_back(pid);
    ::kill(pid, SIGKILL);
    return true;
  };
  auto freshEngine = [&] {
    return spinUntil(
        [&] {
          pid_t pid = XMMSPlayer::enginePid();
          return pid > 0 && pid != killed.back() && xmms_remote_get_version(0) != 0;
        },
        15000);
  };

  ASSERT_TRUE(killEngine());
  EXPECT_TRUE(spinUntil(
      [&] { return std::find(log.seen.begin(), log.seen.end(), "stopped") != log.seen.end(); },
      8000));
  ASSERT_TRUE(freshEngine());
  spinFor(800); // the poll that puts the fresh engine on the old entry
  EXPECT_EQ(player.position(), 1);
  EXPECT_TRUE(player.isStopped());
  EXPECT_EQ(countWarnings("audio engine has stopped"), 1);
  player.play();
  EXPECT_TRUE(spinUntil([&] { return xmms_remote_is_playing(0) != 0; }, 5000));
  EXPECT_EQ(player.position(), 1);

  // Two more deaths are two more fresh engines; the fourth within the minute is the last.
  for (int again = 0; again < 2; ++again) {
    ASSERT_TRUE(killEngine());
    ASSERT_TRUE(freshEngine()) << "restart " << again + 2;
    spinFor(800); // the poll that takes the fresh engine on
  }
  ASSERT_TRUE(killEngine());
  EXPECT_TRUE(spinUntil([&] { return countWarnings("keeps stopping") == 1; }, 8000));
  spinFor(2000);
  EXPECT_EQ(XMMSPlayer::enginePid(), -1);
  EXPECT_EQ(xmms_remote_get_version(0), 0);
  EXPECT_EQ(countWarnings("keeps stopping"), 1);
  EXPECT_EQ(countWarnings("audio engine has stopped"), 4);

  qInstallMessageHandler(old);
  setenv("PATH", oldPath.c_str(), 1);
}
