// The status poll against the real engine: song changes, the A-B loop and the volume knob.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "testenv.h"
#include "testskin.h"
#include "xmmsPlayer.h"

#include <xmms/xmmsctrl.h>

#include <gtest/gtest.h>

#include <QTimer>
#include <memory>

using namespace velora::test;

TEST(RenderEngine, SongChangeAbLoopAndVolume) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                "mwin_Y=0\nmwin_H=320\nlrcwin_show=0,150,240,110,0,500\n"
                "VL_BTN=10,60,114,12,0,650,200,650,14,12\n");
  writeSilentEngineConfig(home.home());
  makeDirs(home.path("music"));
  std::string m3u;
  for (const char *n : {"a", "b", "c", "d", "e"}) {
    const std::string path = home.path(std::string("music/") + n + ".wav");
    writeSilentWav(path, n[0] == 'e' ? 45 : 1);
    m3u += path + "\n";
  }
  writeFile(home.path(".xmms/xmms.m3u"), m3u);
  // Only the last song has lyrics, in UTF-8 with Chinese and Latin lines.
  writeFile(home.path("music/e.lrc"),
            "[ti:E]\n[00:00.00]\xE6\x9C\x88\xE4\xBA\xAE\n[00:31.00]Moon\n[00:41.00]End\n");

  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  XMMSPlayer player;
  ASSERT_TRUE(player.isRunning());
  guiApp();
  windowMode = VerticalMode;
  abRepeat = false;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  // After the settings load, which reads these switches from the settings files.
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  w->titleTimer->stop();
  w->checkTimer->stop();
  ASSERT_EQ(w->controller, &player);
  ASSERT_EQ(w->playlistModel.size(), 5);

  // Position 0 is where the window starts: no title change.
  const QString startTitle = w->title();
  w->doCheckTimer();
  EXPECT_EQ(w->title(), startTitle);

  player.playAt(4);
  ASSERT_TRUE(waitUntil([&] { return player.position() == 4 && player.outputTime() > 0; }, 5000));
  w->doCheckTimer();
  EXPECT_EQ(w->title(), "5.e.wav");
  EXPECT_EQ(w->lastPosition, 4);
  EXPECT_TRUE(lyricsLoaded);
  EXPECT_EQ(w->lyrics.lyricLines.size(), 5);
  EXPECT_EQ(w->lyrics.lyricLines[1].text, QString::fromUtf8("\xE6\x9C\x88\xE4\xBA\xAE"));

  // The A-B loop: second 39 only shows the loop title, second 40 jumps back to A.
  abRepeat = true;
  pointA = 30;
  pointB = 40;
  w->drawTimer(39, 0, 0, 86, 45);
  EXPECT_EQ(w->title(), QString::fromUtf8("\xE9\x87\x8D\xE5\xA4\x8D A= 30  B=  40"));
  EXPECT_EQ(currentSecond, 39);
  EXPECT_LT(player.outputTime(), 20000);
  // The lyrics follow the sample two seconds ahead: 39 + 2 s is where "End" starts.
  EXPECT_EQ(w->currentLyricLine, 3);
  EXPECT_EQ(w->lyricScroll, 0.0);
  w->drawTimer(40, 0, 0, 88, 45);
  EXPECT_TRUE(waitUntil([&] { return player.outputTime() >= 29000; }, 3000)) << player.outputTime();
  EXPECT_LT(player.outputTime(), 38000);
  // Mini mode never jumps back.
  ASSERT_TRUE(waitUntil([&] { return player.outputTime() >= 31000; }, 4000));
  windowMode = MiniMode;
  w->drawTimer(40, 0, 0, 88, 45);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_GE(player.outputTime(), 31000);
  windowMode = VerticalMode;
  abRepeat = false;

  // The volume knob sets the engine's volume.
  volumePercent = 45;
  w->drawVolume(37, false);
  // The controller scales percent to the engine's volume range (0 to 65).
  EXPECT_EQ(xmms_remote_get_main_volume(0), 37 * 65 / 100);
  EXPECT_EQ(volumePercent, 37);

  w.reset();
  player.stop();
  engine.stop();
  lyricsLoaded = false;
  lyricsPanelShown = showLyrics = false;
}
