// Stylus rules and commands against a real engine: what the engine did after a tap, and which
// pictures the frame image shows.
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

TEST_F(InputTest, BorderPixelsDoNotHitAndPrevReleasedOutsideSendsNothing) {
  startEngine({song("a.wav", 20), song("b.wav", 20)});
  openWindow();
  // prev = 10,60,20,16: x 10 and 30, y 60 and 76 are its border.
  for (auto [x, y] : {std::pair{10, 68}, {30, 68}, {20, 60}, {20, 76}}) {
    press(x, y);
    EXPECT_EQ(w->pressedElement, -1) << x << "," << y;
    release(x, y);
  }
  press(11, 61);
  EXPECT_EQ(w->pressedElement, 0);
  // The pressed picture lies one element height below the normal one.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10, 60, 0, 416, 20, 16));
  release(11, 61);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10, 60, 0, 400, 20, 16));
  EXPECT_EQ(w->pressedElement, -1);

  // Play the second entry, then press "prev" and slide off it: nothing is sent.
  player->playAt(1);
  ASSERT_TRUE(waitPlaying());
  playingFlag = true;
  press(20, 68);
  release(236, 40);                                                     // over nothing
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10, 60, 0, 400, 20, 16)); // released picture
  spinFor(300);
  EXPECT_EQ(enginePosition(), 1);
  // Released on it, it goes back.
  tap(20, 68);
  EXPECT_TRUE(waitUntil([&] { return enginePosition() == 0; }));

  // "play" released outside still toggles: the engine pauses.
  press(50, 68);
  release(236, 40);
  EXPECT_TRUE(waitUntil([&] { return enginePaused(); }));
  EXPECT_FALSE(playingFlag);
  EXPECT_TRUE(pausedFlag);
  // ... and the button shows the play picture again.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 60, 40, 400, 20, 16));
}

TEST_F(InputTest, StopWhilePausedThenPlayStartsFromStoppedWithTheStoredVolume) {
  startEngine({song("a.wav", 20)});
  openWindow();
  volumePercent = 20; // changed while stopped: sent with play
  w->buttonClick(1);
  ASSERT_TRUE(waitPlaying());
  EXPECT_EQ(engineVolume(), 20 * 65 / 100);
  EXPECT_TRUE(playingFlag);
  EXPECT_EQ(w->title(), "1.a.wav");
  w->buttonClick(1);
  EXPECT_TRUE(waitUntil([&] { return enginePaused(); }));
  EXPECT_TRUE(pausedFlag);
  w->buttonClick(3);
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }));
  EXPECT_TRUE(pausedFlag); // stop leaves it
  EXPECT_FALSE(playingFlag);
  EXPECT_EQ(w->title(), "velora       ");
  // Previous and next are ignored while stopped.
  w->buttonClick(4);
  EXPECT_EQ(enginePosition(), 0);
  w->buttonClick(1);
  EXPECT_TRUE(waitPlaying());
  EXPECT_FALSE(pausedFlag);
  EXPECT_TRUE(playingFlag);
  EXPECT_EQ(w->title(), "1.a.wav");
}

TEST_F(InputTest, ReleaseAtTheFarRightOfThePositionBarSeeksToTheEnd) {
  startEngine({song("a.wav", 20)});
  openWindow();
  w->buttonClick(1);
  ASSERT_TRUE(waitPlaying());
  // A song that has only just been asked to start is not yet under way to seek in.
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 300; }));
  // After a full paint the knob's hit zone sits at k = -1: x 9 to 37.
  ASSERT_EQ(w->positionPercent, -1);
  press(60, 96);
  EXPECT_EQ(w->positionDrag, -1); // not on the knob
  release(60, 96);
  press(20, 96);
  ASSERT_GE(w->positionDrag, 0);
  move(100, 96);
  EXPECT_EQ(w->positionPercent, (100 - 10 - 15));
  EXPECT_TRUE(enginePlaying());
  release(239, 96);
  EXPECT_EQ(w->positionDrag, -1);
  EXPECT_EQ(w->positionPercent, 100);
  // The engine jumped to the end of a 20 s song: it stops at once instead of in 19 s.
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000))
      << "length " << player->songLength() << " time " << xmms_remote_get_output_time(0);
}

TEST_F(InputTest, EqualizerBandDragShowsTheNoticeClampsAndReachesTheEngine) {
  startEngine({song("a.wav", 20)});
  openWindow();
  tap(100, 146); // "btn_eqwin"
  ASSERT_TRUE(equalizerPanelShown);
  ASSERT_FALSE(playlistPanelShown);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 90, 140, 80, 472, 30, 12)); // tab on: below
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 0, 165, 0, 325, 20, 4));    // "eqwin" strip

  const int bandX = skin::kEqX + 3 * skin::kEqSpacing + 5;
  press(bandX, skin::kEqCentre);
  EXPECT_EQ(w->eqDragIndex, 3);
  EXPECT_EQ(eqValues[3], 5);
  move(bandX, skin::kEqCentre + 12);
  EXPECT_EQ(eqValues[3], -7);
  EXPECT_EQ(w->noticeText, " EQ 3 == -7 db");
  EXPECT_EQ(w->noticeTicks, 5); // one second of 200 ms title ticks
  release(bandX, skin::kEqCentre + 12);
  EXPECT_EQ(w->eqDragIndex, -1);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 3), -7.0f);

  // Beyond the slider the value clamps.
  press(bandX, skin::kEqCentre);
  move(bandX, 319);
  EXPECT_EQ(eqValues[3], -25);
  EXPECT_EQ(w->noticeText, " EQ 3 == -25 db");
  move(bandX, 0);
  EXPECT_EQ(eqValues[3], 25);
  release(bandX, 0);
  // The engine keeps its bands within its own range of +-20 dB.
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 3), 20.0f);

  // The preamp slider.
  press(28, skin::kEqCentre - 10);
  EXPECT_EQ(w->eqDragIndex, 11);
  release(28, skin::kEqCentre - 10);
  EXPECT_EQ(eqValues[10], 15);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_preamp(0), 15.0f);

  // The reset button zeroes the bands and keeps the preamp.
  press(80, 300);
  EXPECT_TRUE(w->eqZeroPressed);
  release(80, 300);
  EXPECT_FALSE(w->eqZeroPressed);
  EXPECT_EQ(eqValues[3], 0);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 3), 0.0f);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_preamp(0), 15.0f);

  // The on/off toggle flips the flag and the engine.
  const bool before = equalizerOn;
  tap(20, 300);
  EXPECT_EQ(equalizerOn, !before);
  EXPECT_EQ(xmms_remote_is_eq_active(0) != 0, !before);
}

TEST_F(InputTest, WithWinEnabledFalseTheEqualizerDoesNotReactNorThePlaylistTab) {
  startEngine({song("a.wav", 20)});
  openWindow("win_enabled=false\n");
  ASSERT_TRUE(playlistPanelShown);
  ASSERT_TRUE(equalizerPanelShown);
  const int bandX = skin::kEqX + 3 * skin::kEqSpacing + 5;
  eqValues[3] = 4;
  press(bandX, skin::kEqCentre - 10);
  EXPECT_EQ(w->eqDragIndex, -1);
  move(bandX, skin::kEqCentre + 12);
  release(bandX, skin::kEqCentre + 12);
  EXPECT_EQ(eqValues[3], 4);
  EXPECT_FLOAT_EQ(xmms_remote_get_eq_band(0, 3), 0.0f);

  const QImage before = w->frameImage();
  tap(20, 146); // "btn_plistwin"
  EXPECT_TRUE(playlistPanelShown);
  EXPECT_TRUE(equalizerPanelShown); // a working tab would have hidden it
  EXPECT_EQ(w->frameImage(), before);
}

TEST_F(InputTest, LyricsBandLoopsTheCurrentLineOnlyWhenLyricsAreLoaded) {
  const std::string path = song("song.wav", 20);
  startEngine({path});
  openWindow();
  tap(60, 146); // "btn_lrcwin"
  ASSERT_TRUE(lyricsPanelShown);
  w->buttonClick(1);
  ASSERT_TRUE(waitPlaying());
  spinFor(1200);
  ASSERT_FALSE(lyricsLoaded);
  const int timeBefore = xmms_remote_get_output_time(0);
  tap(100, 240);
  EXPECT_FALSE(abRepeat);
  EXPECT_EQ(pointA, 0);
  EXPECT_GE(xmms_remote_get_output_time(0), timeBefore); // no jump back

  // With lyrics, loaded but not shown: nothing to tap on.
  writeFile(home.path("music/song.lrc"), "[00:01.00]one\n[00:03.00]two\n");
  w->loadLyrics(QString::fromStdString(path));
  ASSERT_TRUE(lyricsLoaded);
  w->currentLyricLine = 1;
  showLyrics = false;
  tap(100, 240);
  EXPECT_FALSE(abRepeat);
  // Shown: the line's start to the next line's start.
  showLyrics = true;
  tap(100, 240);
  EXPECT_TRUE(abRepeat);
  EXPECT_EQ(pointA, 1);
  EXPECT_EQ(pointB, 3);
  EXPECT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) < 1500; }));
  // The last line has no next line: its loop ends a second before the song does.
  w->currentLyricLine = 2;
  tap(100, 240);
  EXPECT_EQ(pointA, 3);
  EXPECT_EQ(pointB, 19);
  // The closing entry of the table is no line.
  abRepeat = false;
  w->currentLyricLine = 3;
  tap(100, 240);
  EXPECT_FALSE(abRepeat);
  showLyrics = false;
}

TEST_F(InputTest, PlaylistLinesTogglesAndSettingsWrites) {
  startEngine({song("a.wav", 20), song("b.wav", 20)});
  openWindow();
  ASSERT_EQ(w->playlistModel.size(), 2);
  // The second line of the panel plays entry 2.
  tap(100, 170 + 25);
  EXPECT_TRUE(waitUntil([&] { return enginePosition() == 1 && enginePlaying(); }));
  EXPECT_EQ(w->title(), "2.b.wav");
  EXPECT_TRUE(playingFlag);
  // A tap under the last entry plays nothing.
  tap(100, 170 + 85);
  spinFor(200);
  EXPECT_EQ(enginePosition(), 1);

  // Commands other than bass booster and 3-D audio never write the engine's file: the engine
  // owns it. A rewrite by the settings store would drop this comment line.
  writeFile(home.path(".xmms/config"), readFile(home.path(".xmms/config")) + "# kept\n");
  // Codes 5 and 10 open modal dialogs: each is closed as soon as it is up.
  QTimer dismiss;
  QObject::connect(&dismiss, &QTimer::timeout, [] {
    if (QWidget *modal = QApplication::activeModalWidget())
      modal->close();
  });
  dismiss.start(20);
  for (int code : {9, 11, 12, 13, 15, 18, 19, 20, 21, 5, 10, 25, 40, -1})
    w->buttonClick(code);
  dismiss.stop();
  w->playlistMenu->hide();
  EXPECT_NE(readFile(home.path(".xmms/config")).find("# kept"), std::string::npos);

  // Shuffle and repeat go to the engine.
  const bool shuffle = shuffleOn;
  tap(20, 300);
  EXPECT_EQ(shuffleOn, !shuffle);
  EXPECT_EQ(xmms_remote_is_shuffle(0) != 0, shuffleOn);
  tap(50, 300);
  EXPECT_EQ(xmms_remote_is_repeat(0) != 0, repeatOn);

  // Bass booster writes the engine's file; show-lyrics writes the front-end's.
  const bool bass = bassBoosterOn;
  tap(210, 125);
  EXPECT_EQ(bassBoosterOn, !bass);
  EXPECT_NE(readFile(home.path(".xmms/config"))
                .find(std::string("ezx_bass_booster=") + (bass ? "false" : "true")),
            std::string::npos);
  tap(60, 146); // lyrics panel
  tap(20, 300);
  EXPECT_TRUE(showLyrics);
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("showlrc=true"), std::string::npos);

  // A-B marks: A notes the time shown, B starts the loop from A.
  currentSecond = 4;
  tap(160, 105);
  EXPECT_TRUE(pointAMarked);
  EXPECT_EQ(pointA, 4);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150, 100, 160, 510, 20, 10)); // on: below
  currentSecond = 9;
  tap(160, 125);
  EXPECT_TRUE(abRepeat);
  EXPECT_EQ(pointB, 9);
  tap(160, 125);
  EXPECT_FALSE(abRepeat);
}

TEST_F(InputTest, ModeChangesByTouch) {
  openWindow();
  tap(180, 10); // "mini_win"
  EXPECT_EQ(windowMode, MiniMode);
  EXPECT_FALSE(w->titleTimer->isActive());
  EXPECT_EQ(w->geometry(), QRect(0, 0, 240, 48));
  // Mini mode: the restore button at x 201 to 217.
  press(209, 10);
  EXPECT_EQ(w->pressedElement, 24);
  release(209, 10);
  EXPECT_EQ(windowMode, VerticalMode);
  EXPECT_TRUE(w->titleTimer->isActive());
  EXPECT_EQ(w->geometry(), QRect(0, 0, 240, 320));
  tap(150, 10); // "H_win"
  EXPECT_EQ(windowMode, HorizontalMode);
  EXPECT_TRUE(w->lyricColourButton->isHidden());
}

TEST_F(InputTest, HorizontalPositionBarPressStartsADragWhoseReleaseSeeks) {
  startEngine({song("a.wav", 20)});
  openWindow("H_prev=200,20,20,30,300,600\nH_play=200,60,20,30,300,650\n"
             "H_posbar=10,20,12,200,400,0,420,0,10,28\n");
  windowMode = HorizontalMode;
  w->composeFrame();
  // The pressed picture lies one element width to the right.
  press(210, 35);
  EXPECT_EQ(w->pressedElement, 0);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 200, 20, 320, 600, 20, 30));
  release(210, 35);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 200, 20, 300, 600, 20, 30));
  // With the panel strips slid out the button reacts without a picture.
  hPanelsHidden = true;
  press(210, 35);
  EXPECT_EQ(w->pressedElement, 0);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 200, 20, 300, 600, 20, 30));
  release(210, 35);
  hPanelsHidden = false;

  // Not playing: the bar does not grab.
  press(15, 100);
  EXPECT_LT(w->positionDrag, 0);
  release(15, 100);

  w->buttonClick(1);
  ASSERT_TRUE(waitPlaying());
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 300; }));
  press(15, 100);
  EXPECT_GE(w->positionDrag, 0); // every accepted press on the bar starts a drag
  // The bar runs the other way: its top end is the end of the song.
  release(15, 36);
  EXPECT_EQ(w->positionDrag, -1);
  EXPECT_EQ(w->positionPercent, 0);
  EXPECT_TRUE(waitUntil([] { return !xmms_remote_is_playing(0); }, 3000));
}

TEST_F(InputTest, PlaylistScrollBarFollowsTheStylus) {
  openWindow();
  press(225, 200);
  EXPECT_EQ(w->playlistBarDrag, 0);
  move(225, 230); // 50 pixels down the bar's travel: the pressed knob there
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 221, 220, 300, 550, 10, 20));
  move(225, 400); // clamped at the end of the travel (120 - 20)
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 221, 270, 300, 550, 10, 20));
  release(225, 230);
  EXPECT_EQ(w->playlistBarDrag, -1);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 221, 220, 300, 530, 10, 20)); // released knob
}

TEST_F(InputTest, MiniModeButtons) {
  startEngine({song("a.wav", 20), song("b.wav", 20)});
  writeTestSkin(home.home(), "default", skin::kBody);
  codedSheet(100, 80).save(QString::fromStdString(home.path("skins/default/mini_btn.png")));
  openWindow();
  windowMode = MiniMode;
  w->composeFrame();
  // Play, not playing: the pressed picture of the pause state it switches to.
  press(36, 10);
  EXPECT_EQ(w->pressedElement, 1);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 26, 3, 21, 20, 21, 20));
  release(36, 10);
  ASSERT_TRUE(waitPlaying());
  EXPECT_TRUE(playingFlag);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 26, 3, 21, 0, 21, 20)); // pause picture
  ASSERT_TRUE(waitUntil([] { return xmms_remote_get_output_time(0) > 300; }));
  // Next, released outside: the pressed picture stays and nothing is sent.
  press(57, 10);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 47, 3, 62, 20, 20, 20));
  release(120, 10);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 47, 3, 62, 20, 20, 20));
  spinFor(200);
  EXPECT_EQ(enginePosition(), 0);
  tap(57, 10);
  EXPECT_TRUE(waitUntil([&] { return enginePosition() == 1; }));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 47, 3, 62, 0, 20, 20));
  // The exit button shows its pressed picture; a slide off it does nothing.
  press(229, 10);
  EXPECT_EQ(w->pressedElement, 22);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 220, 0, 40, 60, 20, 18));
  release(100, 40);
  EXPECT_TRUE(w->isWindow());
  EXPECT_EQ(windowMode, MiniMode);
}
