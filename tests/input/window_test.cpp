// The main window as a user meets it, through the real stylus and key handlers and a real engine:
// loops that end with their song, touches on controls that are out of sight, panels and pressed
// pictures that match the state, the playlist page a tap plays from, and the volume bounds.
#include "core/firststart.h"
#include "inputfixture.h"

#include "guiapp.h"
#include "testskin.h"

#include "kconfig.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <xmms/xmmsctrl.h>

using namespace velora::test;

namespace {
// Horizontal-mode elements of the test skin: the two strips, the position bar and the volume
// track lie apart from each other.
const std::string kHorizontal = "H_WIN_T=0,0,40,320,300,0\nH_WIN_B=200,0,40,320,340,0\n"
                                "H_posbar=5,20,20,200,380,0,420,0,20,28\n"
                                "H_VL_BTN=210,20,20,100,440,0,460,0,14,12\n";

int outputMs() { return xmms_remote_get_output_time(0); }
} // namespace

TEST_F(InputTest, LoopsEndWithTheirSongAndFireAtOrPastB) {
  const std::string a = song("a.wav", 30);
  writeFile(home.path("music/a.lrc"), "[00:02.00]One\n[00:05.00]Two\n[00:08.00]Last\n");
  startEngine({a, song("b.wav", 30)});
  openWindow();
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = false;
  player->playAt(0);
  ASSERT_TRUE(waitPlaying());
  // The last line's loop ends by the song's length, which the engine learns from the plug-in
  // shortly after play starts; under load that can come after the test's first seeks.
  ASSERT_TRUE(waitUntil([this] { return player->songLength() > 0; }, 5000));
  playingFlag = true;
  w->lastPosition = -1; // the next poll takes the song as new and reads its lyrics
  w->doCheckTimer();
  ASSERT_TRUE(lyricsLoaded);
  w->composeFrame();

  // The lyrics band (middle of "lrcwin" at y 240) while lyrics are not shown: no loop.
  w->drawTimer(4, 0, 0, 13, 30);
  tap(100, 240);
  EXPECT_FALSE(abRepeat);

  // Shown: a tap loops the line being sung, "Two" from 5 to 8 s.
  showLyrics = true;
  w->drawTimer(4, 0, 0, 13, 30); // lyrics run two seconds ahead: 6 s is in "Two"
  tap(100, 240);
  ASSERT_TRUE(abRepeat);
  EXPECT_TRUE(waitUntil([] { return outputMs() >= 5000 && outputMs() < 8000; }, 3000));
  // A poll that skips second 8 still closes the loop.
  player->seek(12000);
  ASSERT_TRUE(waitUntil([] { return outputMs() >= 12000; }, 3000));
  w->drawTimer(9, 0, 0, 30, 30);
  EXPECT_TRUE(waitUntil([] { return outputMs() >= 5000 && outputMs() < 8000; }, 3000))
      << outputMs();

  // The last line loops up to a second before the end of the song, so it fires.
  // The window also follows the engine on its own while the test waits, so the engine is put
  // where the test says it is, out of the earlier loop, before the tap picks its line.
  abRepeat = false;
  player->seek(9000);
  ASSERT_TRUE(waitUntil([] { return outputMs() >= 9000 && outputMs() < 12000; }, 3000));
  w->drawTimer(7, 0, 0, 23, 30); // 9 s: "Last"
  tap(100, 240);
  ASSERT_TRUE(abRepeat);
  player->seek(26000);
  ASSERT_TRUE(waitUntil([] { return outputMs() >= 26000; }, 3000));
  w->drawTimer(29, 0, 0, 97, 30);
  EXPECT_TRUE(waitUntil([] { return outputMs() >= 8000 && outputMs() < 12000; }, 3000))
      << outputMs();

  // The next song starts without the loop: its own title, no jump back.
  player->playAt(1);
  ASSERT_TRUE(waitUntil([this] { return enginePosition() == 1; }, 3000));
  w->doCheckTimer();
  EXPECT_FALSE(abRepeat);
  w->drawTimer(29, 0, 0, 97, 30);
  EXPECT_EQ(w->title(), "2.b.wav");
  spinFor(300);
  EXPECT_EQ(enginePosition(), 1);

  // An A-B loop marked with the buttons ends with stop, and both buttons show unmarked.
  w->drawTimer(3, 0, 0, 10, 30);
  tap(160, 105); // pos_A
  tap(160, 125); // pos_B
  ASSERT_TRUE(pointAMarked && pointBMarked);
  tap(100, 68); // stop
  spinFor(50);
  EXPECT_FALSE(abRepeat);
  EXPECT_FALSE(pointAMarked || pointBMarked);
  w->composeFrame();
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150, 100, 160, 500, 20, 10));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150, 120, 190, 500, 20, 10));
  EXPECT_EQ(w->title(), QString("velora") + QString(7, ' '));
  showLyrics = false;
}

TEST_F(InputTest, HiddenHorizontalPanelsIgnoreTheirControlsAndStayHidden) {
  startEngine({song("a.wav", 60)});
  openWindow(kHorizontal);
  player->playAt(0);
  ASSERT_TRUE(waitPlaying());
  playingFlag = true;
  hPanelsHidden = true; // left over from an earlier horizontal session
  tap(150, 10);         // "H_win": to horizontal mode
  ASSERT_EQ(windowMode, HorizontalMode);
  EXPECT_FALSE(hPanelsHidden);
  w->composeFrame();
  // The strips' rows below the position bar and the volume track that lie on them.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 0, 240, 300, 240, 40, 80));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 200, 200, 340, 200, 40, 120));

  ASSERT_TRUE(key(Qt::Key_F9, true)); // the left soft key slides the panels out
  key(Qt::Key_F9, false);
  ASSERT_TRUE(hPanelsHidden);
  // A full composition keeps them out: where the strips were, the (black) wallpaper shows.
  w->composeFrame();
  for (int y : {5, 160, 300}) {
    EXPECT_EQ(w->frameImage().pixel(20, y) & 0xffffff, 0u) << y;
    EXPECT_EQ(w->frameImage().pixel(220, y) & 0xffffff, 0u) << y;
  }

  // Touches where the position bar and the volume track were change nothing.
  volumePercent = 40;
  xmms_remote_set_main_volume(0, 7);
  const int before = outputMs();
  press(15, 200);
  release(15, 200);
  press(220, 60);
  release(220, 60);
  spinFor(300);
  EXPECT_EQ(w->positionDrag, -1);
  EXPECT_EQ(w->volumeDrag, -1);
  EXPECT_EQ(volumePercent, 40);
  EXPECT_EQ(engineVolume(), 7);
  EXPECT_TRUE(enginePlaying());
  EXPECT_GE(outputMs(), before);
  EXPECT_LT(outputMs(), 20000);

  // Slid back in, the bar reacts again.
  key(Qt::Key_F9, true);
  key(Qt::Key_F9, false);
  ASSERT_FALSE(hPanelsHidden);
  press(15, 200);
  EXPECT_GE(w->positionDrag, 0);
  release(15, 200);
}

TEST_F(InputTest, PlaylistPageMiniLeftoversVolumeBoundsAndPressedPictures) {
  std::vector<std::string> songs;
  for (int i = 0; i < 10; ++i)
    songs.push_back(song("s" + std::to_string(i) + ".wav", 20));
  writeFile(home.path("music/s0.lrc"), "[00:01.00]Line\n");
  startEngine(songs);
  // A short playlist bar: 60 pixels, so a knob offset past its travel is possible.
  openWindow("plist_Bar=220,170,12,60,220,530,300,530,10,20,white\n");
  playlistPanelShown = true;
  lyricsPanelShown = equalizerPanelShown = false;
  w->composeFrame();
  // Knob dragged to the bottom of the 120-pixel range of the phone's skins.
  w->drawPlaylistBar(100, false);
  EXPECT_EQ(firstPlaylistLine, 4); // ten entries, six shown: the last page starts at 4
  tap(100, 175);                   // first row shown
  ASSERT_TRUE(waitUntil([this] { return enginePosition() == 4; }, 3000)) << enginePosition();

  // Pressed pictures come back on a release outside the button.
  struct Button {
    int x, y, sx, sy;
  };
  for (const Button &b : {Button{70, 295, 60, 560}, Button{100, 295, 90, 560}}) {
    press(b.x + 5, b.y + 5);
    EXPECT_TRUE(showsSheetRect(w->frameImage(), b.x, b.y, b.sx, b.sy + 10, 20, 10));
    release(230, 250); // on no control
    EXPECT_TRUE(showsSheetRect(w->frameImage(), b.x, b.y, b.sx, b.sy, 20, 10)) << b.x;
  }
  playlistPanelShown = false;
  lyricsPanelShown = true;
  w->composeFrame();
  press(75, 300); // font_BTN
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 70, 295, 180, 570, 20, 10));
  release(230, 250);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 70, 295, 180, 560, 20, 10));
  lyricsPanelShown = false;
  equalizerPanelShown = true;
  w->composeFrame();
  press(45, 300); // presets_BTN
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 295, 270, 570, 20, 10));
  release(230, 250);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 40, 295, 270, 560, 20, 10));
  equalizerPanelShown = false;

  // Mini mode with lyrics loaded but not shown: the window's shape leaves out the lyrics row
  // below the buttons; shown, the row is in and carries the lyrics background at once.
  QImage shape(240, 48, QImage::Format_RGB32);
  shape.fill(Qt::black); // black is inside the shape
  ASSERT_TRUE(shape.save(QString::fromStdString(home.path("skins/default/mask_d.png"))));
  ASSERT_TRUE(
      shape.copy(0, 0, 240, 25).save(QString::fromStdString(home.path("skins/default/mask.png"))));
  w->loadLyrics(QString::fromStdString(songs[0]));
  ASSERT_TRUE(lyricsLoaded);
  windowMode = MiniMode;
  showLyrics = false;
  w->composeFrame();
  EXPECT_EQ(w->mask().boundingRect().height(), 25);
  showLyrics = true;
  w->currentLyricLine = 1;
  w->composeFrame();
  EXPECT_EQ(w->mask().boundingRect().height(), 48);
  // Column 0 lies beside the centred text: background only, from the sheet's lyrics row.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 0, 25, 0, 463, 1, 23));
  showLyrics = false;

  // The volume keys stay within 0 and 100 in mini mode too.
  volumePercent = 97;
  key(Qt::Key_F11, true);
  key(Qt::Key_F11, false);
  EXPECT_EQ(volumePercent, 100);
  volumePercent = 3;
  key(Qt::Key_F12, true);
  key(Qt::Key_F12, false);
  EXPECT_EQ(volumePercent, 0);
  windowMode = VerticalMode;
}

TEST_F(InputTest, FirstStartHighlightsTheSungLineAndAColourChoiceKeepsTheSwitches) {
  startEngine({song("a.wav", 20)});
  ASSERT_FALSE(fileExists(home.path(".xmms/pelmar_cfg")));
  // The first start's seeding, from a shipped tree, before the window reads its settings.
  makeDirs(home.root() + "/share");
  firststart::seedHome(QString::fromStdString(home.home()),
                       QString::fromStdString(home.root() + "/share"));
  openWindow();
  EXPECT_EQ(w->windowTitle(), "velora");
  EXPECT_EQ(w->lyricsColour, QColor("#35c2ff"));
  EXPECT_EQ(w->lyricsBackColour, QColor("#C8C8C8"));
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("lrccolor=#35c2ff"), std::string::npos);
  // A user's own colour survives the next start.
  w.reset();
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nlrccolor=#102030\n");
  openWindow();
  EXPECT_EQ(w->lyricsColour, QColor("#102030"));

  // Switches changed since start-up, not yet in any file, stay as they are after a colour is
  // chosen; the chosen colour is taken.
  volumePercent = 12;
  shuffleOn = !shuffleOn;
  repeatOn = !repeatOn;
  equalizerOn = !equalizerOn;
  const bool shuffle = shuffleOn, repeat = repeatOn, equalizer = equalizerOn;
  QTimer::singleShot(100, [] {
    if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
      dialog->accept(); // as shown
  });
  w->openbutlrcb();
  EXPECT_EQ(volumePercent, 12);
  EXPECT_EQ(shuffleOn, shuffle);
  EXPECT_EQ(repeatOn, repeat);
  EXPECT_EQ(equalizerOn, equalizer);
  EXPECT_EQ(w->lyricsColour, QColor("#102030"));
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("lrcbcolor=#"), std::string::npos);
}
