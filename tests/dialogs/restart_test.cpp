// Restarting the engine on a new playlist never holds up the window: it answers and draws
// while the old engine ends and the new one starts, and with no engine to start it says so at
// once.
#include "core/enginerestart.h"
#include "dialogfixture.h"
#include "guiapp.h"
#include "testenv.h"

#include <QElapsedTimer>
#include <QTimer>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

TEST_F(DialogTest, RestartKeepsTheWindowAnsweringAndAMissingEngineIsToldAtOnce) {
  const std::string old = song("old", "old.wav", 30);
  startEngine({old});
  openWindow();
  xmms_remote_play(0);
  ASSERT_TRUE(waitUntil([this] { return enginePlaying(); }, 5000));
  const pid_t first = XMMSPlayer::enginePid();

  // The call comes back before the restart is done; the event loop keeps running meanwhile
  // (a timer of the window's thread keeps firing) and the user is told what happens.
  const std::string a = song("new", "a.wav", 30), b = song("new", "b.wav", 30);
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(5);
  w->playFolder(QString::fromStdString(home.path("new")));
  EXPECT_TRUE(enginerestart::busy()) << "the restart ran to its end inside the call";
  EXPECT_EQ(w->noticeText, "Starting the audio engine...");
  EXPECT_GT(w->noticeTicks, 0);
  const int ticksBefore = ticks;
  ASSERT_TRUE(waitForRestart());
  EXPECT_GT(ticks, ticksBefore) << "the event loop stood still during the restart";
  EXPECT_NE(XMMSPlayer::enginePid(), first);
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{a, b}));
  EXPECT_TRUE(waitUntil([this] { return enginePlaying(); }, 5000)); // the first song plays
  EXPECT_EQ(w->noticeTicks, 0);                                     // the "starting" notice is gone
  ticker.stop();

  // A second folder asked for while a restart runs follows it: the last one wins.
  const std::string c = song("third", "c.wav", 30);
  w->playFolder(QString::fromStdString(home.path("old")));
  w->playFolder(QString::fromStdString(home.path("third")));
  ASSERT_TRUE(waitForRestart());
  EXPECT_EQ(enginePlaylist(), (std::vector<std::string>{c}));
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), c + "\n");

  // No engine to start at all (none installed beside velora or on PATH): the restart is over
  // before the call returns, the new list is kept for when there is one, and the user is told.
  const char *path = std::getenv("PATH");
  const std::string oldPath = path ? path : "";
  makeDirs(home.path("empty-bin"));
  setenv("PATH", home.path("empty-bin").c_str(), 1);
  xmms_remote_quit(0);
  ASSERT_TRUE(waitUntil(
      [] { return XMMSPlayer::enginePid() < 0 && xmms_remote_get_version(0) == 0; }, 10000));
  QElapsedTimer clock;
  clock.start();
  w->playFolder(QString::fromStdString(home.path("new")));
  ASSERT_TRUE(waitForRestart(500)) << "a missing engine was waited for";
  const qint64 took = clock.elapsed();
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_LT(took, 500) << "a missing engine held the window up";
  EXPECT_EQ(w->noticeText, "No audio engine: cannot play");
  EXPECT_GT(w->noticeTicks, 0);
  EXPECT_EQ(readFile(home.path(".xmms/xmms.m3u")), a + "\n" + b + "\n");
  EXPECT_EQ(w->playlistModel.size(), 2);
  EXPECT_EQ(xmms_remote_get_version(0), 0);
}
