// The lyrics panel under the stylus and the lyrics keys, against a real engine: a drag scrolls
// the lines and seeks to the one left at the centre, a tap still loops, a plain page scrolls
// without seeking, and the per-song shift keys are remembered across a restart.
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QTimer>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {
// The band where the lines are drawn: x 0..239, y 170..279 (the tap zone is y 220..260).
const std::string kBand = "lrcwin_show=0,170,240,110,0,600\n";
const char kLrc[] = "[00:10.00]L1\n[00:20.00]L2\n[00:30.00]L3\n[00:40.00]L4\n[00:50.00]L5\n";

int outputMs() { return xmms_remote_get_output_time(0); }
} // namespace

TEST_F(InputTest, DraggingTheLyricsSeeksToTheLineAtTheCentre) {
  const std::string a = song("a.wav", 60);
  writeFile(home.path("music/a.lrc"), kLrc);
  startEngine({a});
  openWindow(kBand);
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  player->playAt(0);
  ASSERT_TRUE(waitPlaying());
  playingFlag = true;
  w->lastPosition = -1;
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);
  ASSERT_EQ(w->lyricLineHeight, 28);
  w->drawTimer(8, 0, 0, 13, 60); // shown two seconds ahead: "L1" is current, still
  ASSERT_EQ(w->currentLyricLine, 1);
  const QImage still = w->frameImage().copy(0, 170, 240, 110);

  // Two lines up: the lines follow the stylus, and the release seeks to "L3".
  press(100, 240);
  move(100, 236); // within the 8 pixels of a tap: nothing moves yet
  EXPECT_EQ(w->frameImage().copy(0, 170, 240, 110), still);
  move(100, 220);
  move(100, 184);
  EXPECT_NE(w->frameImage().copy(0, 170, 240, 110), still);
  release(100, 184);
  EXPECT_FALSE(abRepeat);
  EXPECT_EQ(w->currentLyricLine, 3);
  // 28 s: two seconds before the line, which the display shows two seconds ahead.
  EXPECT_TRUE(waitUntil([] { return outputMs() >= 28000 && outputMs() < 31000; }, 3000))
      << outputMs();

  // A short wobble is a tap: it loops the line being sung.
  press(100, 240);
  move(100, 245);
  release(100, 245);
  EXPECT_TRUE(abRepeat);
  EXPECT_EQ(pointA, 30);
  EXPECT_EQ(pointB, 40);
  abRepeat = false;

  // Dragged past the first line, the song goes to where "L1" shows.
  press(100, 200);
  move(100, 280);
  release(100, 280);
  EXPECT_EQ(w->currentLyricLine, 1);
  EXPECT_TRUE(waitUntil([] { return outputMs() >= 8000 && outputMs() < 11000; }, 3000))
      << outputMs();

  // A plain page scrolls with the stylus and stays put; the song plays on where it was.
  w->lyrics.setPlainText("one\ntwo\nthree\nfour\nfive\nsix\nseven");
  w->drawLyrics();
  const QImage top = w->frameImage().copy(0, 170, 240, 110);
  const int before = outputMs();
  press(100, 250);
  move(100, 230);
  move(100, 194);
  release(100, 194);
  EXPECT_DOUBLE_EQ(w->plainScroll, 56.0);
  EXPECT_NE(w->frameImage().copy(0, 170, 240, 110), top);
  spinFor(200);
  EXPECT_GE(outputMs(), before);
  EXPECT_LT(outputMs(), before + 3000);
  EXPECT_FALSE(abRepeat);
  showLyrics = false;
}

TEST_F(InputTest, ShiftKeysMoveTheSongsLyricsAndAreRememberedAfterARestart) {
  const std::string a = song("a.wav", 60), b = song("b.wav", 60);
  writeFile(home.path("music/a.lrc"), kLrc);
  writeFile(home.path("music/b.lrc"), kLrc);
  startEngine({a, b});
  openWindow(kBand);
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  player->playAt(0);
  ASSERT_TRUE(waitPlaying());
  playingFlag = true;
  w->lastPosition = -1;
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);

  w->drawTimer(16, 0, 0, 26, 60); // 18 s: still "L1"
  EXPECT_EQ(w->currentLyricLine, 1);
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(key(Qt::Key_F6, true)); // earlier
    key(Qt::Key_F6, false);
  }
  EXPECT_TRUE(key(Qt::Key_F7, true)); // later
  key(Qt::Key_F7, false);
  EXPECT_EQ(w->noticeText, "Lrc +2.0 s");
  w->drawTimer(16, 0, 0, 26, 60); // 20 s with the shift: "L2"
  EXPECT_EQ(w->currentLyricLine, 2);
  EXPECT_EQ(readFile(home.path(".xmms/lyrics_offsets")), "2000 " + a + "\n");
  EXPECT_EQ(readFile(home.path("music/a.lrc")), kLrc); // the user's file is never written

  // The other song has its own (no) shift.
  player->playAt(1);
  ASSERT_TRUE(waitUntil([this] { return enginePosition() == 1; }, 3000));
  w->doCheckTimer();
  w->drawTimer(16, 0, 0, 26, 60);
  EXPECT_EQ(w->currentLyricLine, 1);
  key(Qt::Key_F7, true);
  key(Qt::Key_F7, false);
  EXPECT_EQ(w->noticeText, "Lrc -0.5 s");

  // After a restart the first song still runs two seconds early.
  w.reset();
  player->playAt(0);
  ASSERT_TRUE(waitUntil([this] { return enginePosition() == 0; }, 3000));
  openWindow(kBand);
  lyricsPanelShown = true;
  showLyrics = true;
  w->lastPosition = -1;
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);
  w->drawTimer(16, 0, 0, 26, 60);
  EXPECT_EQ(w->currentLyricLine, 2);
  const std::string offsets = readFile(home.path(".xmms/lyrics_offsets"));
  EXPECT_NE(offsets.find("2000 " + a + "\n"), std::string::npos) << offsets;
  EXPECT_NE(offsets.find("-500 " + b + "\n"), std::string::npos) << offsets;
  showLyrics = false;
}
