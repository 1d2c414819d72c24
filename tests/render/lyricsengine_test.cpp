// Lyrics stored inside real song files (made at test time with ffmpeg and TagLib), played
// through the engine in real time: the lines become current at their times in the lyrics table
// and show in the frame image; plain text shows as a page without a current line.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "songtags.h"
#include "testenv.h"
#include "testskin.h"
#include "xmmsPlayer.h"

#include <xmms/xmmsctrl.h>

#include <gtest/gtest.h>

#include <QTimer>
#include <memory>

using namespace velora::test;

namespace {

// Pixels of the lyrics band (x 0..239, y 150..259) that a pen changed from the band's sheet
// background, counted for the red pen (current line) or the green one (other lines).
int inkOf(const MainFace &w, bool redPen) {
  int n = 0;
  for (int y = 0; y < 110; ++y)
    for (int x = 0; x < 240; ++x) {
      const QRgb p = w.frameImage().pixel(x, 150 + y), b = w.skinPixmap.pixel(x, 500 + y);
      const int dr = qRed(p) - qRed(b), dg = qGreen(p) - qGreen(b);
      if (std::abs(dr) + std::abs(dg) + std::abs(qBlue(p) - qBlue(b)) < 40)
        continue;
      if ((dr > dg) == redPen)
        ++n;
    }
  return n;
}

} // namespace

TEST(RenderEngine, EmbeddedLyricsOfEachKindArriveAtTheirTimes) {
  TempHome home;
  makeDirs(home.path("music"));
  const std::string mp3 = home.path("music/a.mp3"), opus = home.path("music/b.opus"),
                    flac = home.path("music/c.flac"), m4a = home.path("music/d.m4a");
  if (!makeSilentSong(mp3, {"-c:a", "libmp3lame"}, 6) ||
      !makeSilentSong(opus, {"-c:a", "libopus"}, 6) || !makeSilentSong(flac, {"-c:a", "flac"}, 6) ||
      !makeSilentSong(m4a, {"-c:a", "aac"}, 6))
    GTEST_SKIP() << "ffmpeg cannot make the test songs";
  ASSERT_TRUE(addSyncedLyrics(mp3, {{1000u, "First"}, {4000u, "Second"}}));
  ASSERT_TRUE(setTagProperty(opus, "LYRICS", "[00:01.00]First\n[00:04.00]Second\n"));
  ASSERT_TRUE(setTagProperty(flac, "LYRICS", "[00:01.00]First\n[00:04.00]Second\n"));
  ASSERT_TRUE(setTagProperty(m4a, "LYRICS", "Only words\nno times\n"));
  const bool haveOpus = fileExists(stageDir() + "/lib/xmms/Input/libopusinput.so");

  writeTestSkin(home.home(), "default", "mwin_Y=0\nmwin_H=320\nlrcwin_show=0,150,240,110,0,500\n");
  writeSilentEngineConfig(home.home(), "shuffle=FALSE\nrepeat=FALSE\n");
  writeFile(home.path(".xmms/xmms.m3u"), mp3 + "\n" + opus + "\n" + flac + "\n" + m4a + "\n");
  EngineProcess engine;
  ASSERT_TRUE(engine.start());
  XMMSPlayer player;
  ASSERT_TRUE(player.isRunning());
  guiApp();
  windowMode = VerticalMode;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  w->titleTimer->stop();
  w->checkTimer->stop();
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  w->lyricsColour = QColor(255, 0, 0);
  w->lyricsBackColour = QColor(0, 255, 0);
  w->lastPosition = -1;

  for (int entry = 0; entry < 4; ++entry) {
    if (entry == 1 && !haveOpus) {
      std::fprintf(stderr, "[ skipped ] the Opus case: no libopusinput.so in the stage folder\n");
      continue;
    }
    SCOPED_TRACE("entry " + std::to_string(entry));
    player.playAt(entry);
    ASSERT_TRUE(
        waitUntil([&] { return player.position() == entry && player.outputTime() > 0; }, 5000));
    w->doCheckTimer(); // a new song: its lyrics are read
    ASSERT_TRUE(lyricsLoaded);
    if (entry == 3) {
      // Plain text: a still page in the other lines' colour, no current line.
      EXPECT_TRUE(w->lyrics.isPlain());
      ASSERT_TRUE(waitUntil([&] { return player.outputTime() >= 1000; }, 5000));
      w->doCheckTimer();
      EXPECT_EQ(w->currentLyricLine, 0);
      EXPECT_GT(inkOf(*w, false), 20);
      EXPECT_EQ(inkOf(*w, true), 0);
      continue;
    }
    // Shown two seconds ahead: at play second 1 (3 s) "First" is the line being sung, at
    // second 2 (4 s) "Second" is.
    ASSERT_TRUE(waitUntil([&] { return player.outputTime() >= 1000; }, 5000));
    w->doCheckTimer();
    ASSERT_EQ(w->lyrics.lyricLines.size(), 4);
    if (player.outputTime() < 2000) {
      EXPECT_EQ(w->currentLyricLine, 1);
      EXPECT_EQ(w->lyrics.lyricLines[1].text, "First");
    }
    EXPECT_GT(inkOf(*w, true), 20);
    ASSERT_TRUE(waitUntil([&] { return player.outputTime() >= 2000; }, 5000));
    w->doCheckTimer();
    EXPECT_EQ(w->currentLyricLine, 2);
    EXPECT_EQ(w->lyrics.lyricLines[2].text, "Second");
    EXPECT_GT(inkOf(*w, true), 20);
    EXPECT_GT(inkOf(*w, false), 20); // "First" above it
  }

  // A file beside the song comes before its embedded lyrics.
  writeFile(home.path("music/c.lrc"), "[00:01.00]From the file\n");
  player.playAt(2);
  ASSERT_TRUE(waitUntil([&] { return player.position() == 2; }, 5000));
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);
  EXPECT_EQ(w->lyrics.lyricLines[1].text, "From the file");

  w.reset();
  player.stop();
  engine.stop();
  lyricsLoaded = false;
  lyricsPanelShown = showLyrics = false;
}
