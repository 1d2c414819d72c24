// Drawing of the main window read back from its frame image, on skins whose sheet pixels each
// have their own colour, so every copied rectangle can be traced to its place on the sheet.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "renderwindow.h"
#include "testenv.h"
#include "testskin.h"

#include <QApplication>
#include <QBitmap>
#include <QDialog>
#include <QPainter>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

using namespace velora::test;

namespace {

// What a frame area should show: a sheet rectangle with text drawn over it.
QImage textOver(const QImage &sheet, const QRect &source, const QFont &font, const QColor &pen,
                const QString &text) {
  QImage out(source.size(), QImage::Format_RGB32);
  QPainter p(&out);
  p.drawImage(QPoint(0, 0), sheet, source);
  p.setFont(font);
  p.setPen(pen);
  p.drawText(QRect(QPoint(0, 0), source.size()), Qt::AlignLeft | Qt::AlignTop, text);
  return out;
}

QImage area(const MainFace &w, const QRect &r) {
  return w.frameImage().copy(r).convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST(Render, VerticalCompositionOrderAndToggles) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kBase + "prev=10,40,30,20,300,0\nplay=20,45,30,20,300,100\n"
                        "audio3d_btn=100,50,20,10,0,600\npos_A=130,50,20,10,40,600\n"
                        "lrcwin=0,200,240,40,0,400\nbtn_lrcwin=5,205,20,10,300,650\n"
                        "showlrc_BTN=60,210,20,10,80,600\nplay_display_win=150,10,20,10,300,300\n");
  auto w = openWindow();
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  audio3dOn = false;
  pointAMarked = true;
  showLyrics = false;
  w->composeFrame();
  const QImage &f = w->frameImage();
  // "play" comes after "prev": where they overlap, play shows.
  EXPECT_TRUE(showsSheetRect(f, 10, 40, 300, 0, 10, 5));
  EXPECT_TRUE(showsSheetRect(f, 20, 45, 300, 100, 30, 20));
  EXPECT_TRUE(showsSheetRect(f, 100, 50, 0, 600, 20, 10));  // off
  EXPECT_TRUE(showsSheetRect(f, 130, 50, 40, 610, 20, 10)); // on: the picture below
  // The lyrics strip is full width from the sheet's row, the tab and buttons come over it.
  EXPECT_TRUE(showsSheetRect(f, 30, 200, 30, 400, 30, 5));
  EXPECT_TRUE(showsSheetRect(f, 5, 205, 300, 660, 20, 10));  // tab on
  EXPECT_TRUE(showsSheetRect(f, 60, 210, 80, 600, 20, 10));  // show-lyrics off
  EXPECT_TRUE(showsSheetRect(f, 150, 10, 300, 320, 20, 10)); // stopped indicator

  playingFlag = true;
  audio3dOn = true;
  lyricsPanelShown = false;
  w->composeFrame();
  EXPECT_TRUE(showsSheetRect(f, 20, 45, 330, 100, 30, 20)); // playing picture to the right
  EXPECT_TRUE(showsSheetRect(f, 100, 50, 0, 610, 20, 10));
  EXPECT_TRUE(showsSheetRect(f, 5, 205, 300, 650, 20, 10));  // tab off, no strip
  EXPECT_TRUE(showsSheetRect(f, 30, 200, 30, 200, 30, 5));   // background there
  EXPECT_TRUE(showsSheetRect(f, 150, 10, 300, 300, 20, 10)); // playing indicator
  playingFlag = false;
  pointAMarked = false;
}

TEST(Render, MiniModeTakesTheMaskOfTheLyricsState) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase);
  // Opaque (black) on the left half in mask.png, on the right half in mask_d.png.
  for (const auto &[file, leftOpaque] :
       {std::pair{"mask.png", true}, std::pair{"mask_d.png", false}}) {
    QImage m(240, 25, QImage::Format_RGB32);
    m.fill(Qt::white);
    QPainter p(&m);
    p.fillRect(leftOpaque ? QRect(0, 0, 120, 25) : QRect(120, 0, 120, 25), Qt::black);
    p.end();
    m.save(q(home.path("skins/default/")) + file);
  }
  auto w = openWindow();
  windowMode = MiniMode;
  lyricsLoaded = false;
  w->composeFrame();
  EXPECT_TRUE(w->mask().contains(QPoint(10, 10)));
  EXPECT_FALSE(w->mask().contains(QPoint(200, 10)));
  // Loaded but not shown: the lyrics row stays out of the window.
  lyricsLoaded = true;
  showLyrics = false;
  w->composeFrame();
  EXPECT_TRUE(w->mask().contains(QPoint(10, 10)));
  EXPECT_FALSE(w->mask().contains(QPoint(200, 10)));
  showLyrics = true;
  w->composeFrame();
  EXPECT_FALSE(w->mask().contains(QPoint(10, 10)));
  EXPECT_TRUE(w->mask().contains(QPoint(200, 10)));
  lyricsLoaded = showLyrics = false;
  windowMode = VerticalMode;
}

TEST(Render, HorizontalModeIsTurnedAndItsLyricsSitOnTheSameWallpaper) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase);
  codedSheet(320, 240).save(q(home.path("skins/wall.png")));
  writeFile(home.path(".xmms/pelmar_cfg"),
            "[pelskin]\nbackskin=" + home.path("skins/wall.png") + "\n");
  auto w = openWindow();
  windowMode = HorizontalMode;
  w->composeFrame();
  const QImage composed = area(*w, QRect(0, 0, 240, 320));
  // Turned by 270 degrees: landscape pixel (x, y) shows at (y, 319 - x).
  for (int y : {0, 60, 239})
    for (int x : {0, 100, 319})
      EXPECT_EQ(composed.pixel(y, 319 - x) & 0xffffff, sheetColour(x, y) & 0xffffff)
          << x << "," << y;

  // Lyrics whose lines are all empty redraw exactly the wallpaper band under them.
  w->lyrics.lyricLines = {
      {0.0, QString()}, {5.0, QString()}, {LyricsReader::lastLineTime, QString()}};
  lyricsLoaded = true;
  w->currentLyricLine = 1;
  w->lyricScroll = 0;
  w->drawLyrics();
  EXPECT_EQ(area(*w, QRect(0, 0, 240, 320)), composed);
  // A real line changes only the band between x 60 and 179.
  w->lyrics.lyricLines[1].text = "Hello";
  w->lyricsColour = Qt::red;
  w->drawLyrics();
  const QImage drawn = area(*w, QRect(0, 0, 240, 320));
  EXPECT_NE(drawn.copy(60, 0, 120, 320), composed.copy(60, 0, 120, 320));
  EXPECT_EQ(drawn.copy(0, 0, 60, 320), composed.copy(0, 0, 60, 320));
  EXPECT_EQ(drawn.copy(180, 0, 60, 320), composed.copy(180, 0, 60, 320));
  // The current line is centred on landscape row 60 + 50 + 20: column 130 of the window.
  int red = 0;
  for (int y = 0; y < 320; ++y)
    for (int x = 60; x < 180; ++x)
      if (qRed(drawn.pixel(x, y)) > 200 && qGreen(drawn.pixel(x, y)) < 60 &&
          qBlue(drawn.pixel(x, y)) < 60) {
        ++red;
        EXPECT_GE(x, 110);
        EXPECT_LT(x, 150);
      }
  EXPECT_GT(red, 10);
  lyricsLoaded = false;
  windowMode = VerticalMode;
}

TEST(Render, NarrowTitleStaysWideTitleBounces) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "title_win=20,100,120,16,0,700,#ffffff\n");
  auto w = openWindow();
  const QRect titleArea(20, 100, 120, 16);
  auto run = [&](const QString &title, int ticks) {
    w->setTitle(title);
    QList<QImage> shots;
    for (int i = 0; i < ticks; ++i) {
      w->drawTitle();
      shots << area(*w, titleArea);
    }
    return shots;
  };
  const QList<QImage> narrow = run("Hi", 40);
  for (const QImage &s : narrow)
    EXPECT_EQ(s, narrow.first());
  EXPECT_EQ(narrow.first(),
            textOver(w->skinPixmap, QRect(0, 700, 120, 16), w->titleFont, w->titlePen, "Hi"));

  const QString wide = "A title far too wide for its area";
  const QList<QImage> shots = run(wide, 600);
  // Resting at its start, then at its end (the end of the text touches the right edge)...
  EXPECT_EQ(shots.first(),
            textOver(w->skinPixmap, QRect(0, 700, 120, 16), w->titleFont, w->titlePen, wide));
  QImage atEnd(120, 16, QImage::Format_RGB32);
  {
    QPainter p(&atEnd);
    p.drawImage(QPoint(0, 0), w->skinPixmap, QRect(0, 700, 120, 16));
    p.setFont(w->titleFont);
    p.setPen(w->titlePen);
    p.drawText(QRect(120 - w->titleWidth, 0, w->titleWidth + 200, 16), Qt::AlignLeft | Qt::AlignTop,
               wide);
  }
  const int firstEnd = static_cast<int>(shots.indexOf(atEnd));
  ASSERT_GT(firstEnd, 0);
  // ... and back to the start: both ends are reached, one pixel per tick.
  EXPECT_GE(shots.indexOf(shots.first(), firstEnd), firstEnd + w->titleWidth - 120);
  QSet<QByteArray> distinct;
  for (const QImage &s : shots)
    distinct.insert(QByteArray(reinterpret_cast<const char *>(s.constBits()), s.sizeInBytes()));
  EXPECT_GT(distinct.size(), w->titleWidth - 120);
}

TEST(Render, VolumeChangeShowsItsNoticeForTenTicks) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kBase + "title_win=20,100,120,16,0,700,#ffff00\n"
                        "VL_BTN=10,60,114,12,0,650,200,650,14,12\n");
  auto w = openWindow();
  volumePercent = 45;
  w->drawVolume(37, false);
  EXPECT_EQ(volumePercent, 37);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10 + 37 * 54 / 100 + 2, 60, 200, 650, 14, 12));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10, 60, 0, 650, 10, 12)); // track left of it
  const QImage notice =
      textOver(w->skinPixmap, QRect(0, 700, 120, 16), w->titleFont, w->titlePen, "Vol     37%");
  for (int tick = 0; tick < 10; ++tick) {
    w->drawTitle();
    EXPECT_EQ(area(*w, QRect(20, 100, 120, 16)), notice) << "tick " << tick;
  }
  w->drawTitle();
  EXPECT_NE(area(*w, QRect(20, 100, 120, 16)), notice);
  // The knob pressed, same value: no new notice.
  w->drawVolume(37, true);
  EXPECT_EQ(w->noticeTicks, 0);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10 + 21, 60, 200, 662, 14, 12));
}

TEST(Render, PositionBarAndSeekNotice) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "posbar=10,80,232,10,0,620,300,620,32,8\n");
  auto w = openWindow();
  w->positionDrag = -1;
  w->drawTimer(83, 0, 0, 50, 166);
  // 50 percent of a 200-pixel travel.
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10 + 100, 81, 300, 620, 32, 8));
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 10, 80, 0, 620, 100, 1));
  EXPECT_EQ(w->positionPercent, 50);
  w->drawPosition(20, true);
  EXPECT_EQ(w->noticeText, "Seek 20%");
  EXPECT_EQ(w->noticeTicks, 5);
}

TEST(Render, FlatEqualizerIsAStraightLine) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "eqalzr_win=10,250,108,21,0,500,120,30\n");
  auto w = openWindow();
  for (int &v : eqValues)
    v = 9;
  w->drawEqCurve();
  const QImage &f = w->frameImage();
  const int line = 10 - 9 * 11 / 33; // row 7
  for (int x = 0; x < 108; ++x) {
    for (int y = 0; y < 21; ++y) {
      const QRgb want = y == line ? sheetColour(120, 30 - 3) : sheetColour(x, 500 + y);
      ASSERT_EQ(f.pixel(10 + x, 250 + y) & 0xffffff, want & 0xffffff) << x << "," << y;
    }
  }
  // A rising band tilts the line.
  eqValues[1] = 21;
  w->drawEqCurve();
  EXPECT_EQ(f.pixel(10 + 11, 250 + 10 - (0 * 9 + 11 * 21) / 33) & 0xffffff,
            sheetColour(120, 30 - (11 * 21) / 33) & 0xffffff);
  for (int &v : eqValues)
    v = 0;
}

TEST(Render, PlayStatusPausedIsDrawnWithoutClearing) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "play_display_win=150,10,20,10,300,300\n");
  // A hole in the paused picture lets what was there before show through.
  QImage sheet = codedSheet().convertToFormat(QImage::Format_ARGB32);
  sheet.setPixel(305, 312, qRgba(0, 0, 0, 0));
  sheet.save(q(home.path("skins/default/skins.png")));
  auto w = openWindow();
  w->drawPlayStatus(2);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150, 10, 300, 320, 20, 10));
  w->drawPlayStatus(1);
  EXPECT_EQ(w->frameImage().pixel(155, 12) & 0xffffff, sheetColour(305, 322) & 0xffffff);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150, 10, 300, 310, 5, 2));
  // Restoring first (state -1) clears the hole to the background.
  pausedFlag = true;
  w->drawPlayStatus(-1);
  EXPECT_EQ(w->frameImage().pixel(155, 12) & 0xffffff, sheetColour(155, 12) & 0xffffff);
  pausedFlag = false;
  // 3 and 5 draw nothing; 4 draws like 0.
  w->drawPlayStatus(3);
  EXPECT_EQ(w->frameImage().pixel(155, 12) & 0xffffff, sheetColour(155, 12) & 0xffffff);
  w->drawPlayStatus(4);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 150, 10, 300, 300, 20, 10));
}

TEST(Render, PlaylistFileAndSevenEntriesFromLineOne) {
  TempHome home;
  writeTestSkin(home.home(), "default",
                kBase + "plist_Bar=222,200,15,100,400,0,400,200,10,10,#ff0000\n");
  std::string m3u = "#EXTM3U\n  /m/one.mp3  \n\n/m/x\n#EXTINF:1,x\n";
  for (const char *n :
       {"two.mp3", "three.ogg", "four.mp3", "f\xC3\xBCnf.mp3", "six.mp3", "seven.flac"})
    m3u += std::string("/music/") + n + "\n";
  writeFile(home.path(".xmms/xmms.m3u"), m3u);
  auto w = openWindow();
  playlistPanelShown = true;
  ASSERT_EQ(w->playlistModel.size(), 7);
  EXPECT_EQ(w->playlistModel[0], "/m/one.mp3");
  EXPECT_EQ(w->playlistModel[4], QString::fromUtf8("/music/f\xC3\xBCnf.mp3"));
  // An unreadable file keeps the list.
  w->loadPlaylistFile(q(home.path("nothing.m3u")));
  EXPECT_EQ(w->playlistModel.size(), 7);

  w->drawPList(1);
  for (int r = 0; r < 6; ++r) {
    const QString &path = w->playlistModel[r + 1];
    const QString want = QString::number(r + 2) + "." + path.mid(path.lastIndexOf('/') + 1);
    EXPECT_EQ(area(*w, QRect(10, 200 + 20 * r, 210, 14)),
              textOver(w->skinPixmap, QRect(10, 210, 210, 14), w->playlistLineFont, QColor(Qt::red),
                       want))
        << "row " << r;
  }
  // The scroll bar at its end shows the last page; the knob is drawn at its offset.
  w->drawPlaylistBar(80, true);
  EXPECT_EQ(firstPlaylistLine, 1);
  EXPECT_TRUE(showsSheetRect(w->frameImage(), 223, 280, 400, 210, 10, 10));
  w->drawPlaylistBar(0, false);
  EXPECT_EQ(firstPlaylistLine, 0);
  playlistPanelShown = false;
}

namespace {
// The lyrics band as it should look: the given boxes (top y, text, current?) over the background.
QImage lyricsBand(const MainFace &w, const QList<std::tuple<int, QString, bool>> &boxes) {
  QImage out(240, 110, QImage::Format_RGB32);
  QPainter p(&out);
  p.drawImage(QPoint(0, 0), w.skinPixmap, QRect(0, 500, 240, 110));
  QFont f = w.font();
  f.setPixelSize(lyricsFontSize); // one letter a line: it fits at the full size
  p.setFont(f);
  for (const auto &[y, text, current] : boxes) {
    p.setPen(current ? w.lyricsColour : w.lyricsBackColour);
    p.drawText(QRect(0, y, 240, 40), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
               text);
  }
  return out;
}
} // namespace

TEST(Render, LyricLineBoxesAndTheirBand) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "lrcwin_show=0,150,240,110,0,500\n");
  auto w = openWindow();
  lyricsFontSize = 21;
  w->lyricLineHeight = 28;
  w->lyricsColour = QColor(255, 0, 0);
  w->lyricsBackColour = QColor(0, 255, 0);
  // "Ajg": the line whose box starts at -29 reaches into the band only with its descenders.
  w->lyrics.lyricLines = {
      {0.0, "Z"},  {10.0, "Ajg"}, {20.0, "B"}, {30.0, "C"},
      {40.0, "D"}, {50.0, "E"},   {60.0, "F"}, {LyricsReader::lastLineTime, ""}};
  lyricsLoaded = true;
  w->currentLyricLine = 4;
  w->lyricScroll = 0;
  w->drawLyrics();
  // Current at 55, then 27 and -1 above (entry 0 never). The boxes at -29 and 83 would show
  // their rows only in part (cut at the band's top and bottom), so they are left out.
  const QImage withTop = lyricsBand(*w, {{55, "D", true}, {27, "C", false}, {-1, "B", false}});
  EXPECT_EQ(area(*w, QRect(0, 150, 240, 110)), withTop);
  EXPECT_NE(withTop, lyricsBand(*w, {{55, "D", true},
                                     {27, "C", false},
                                     {-1, "B", false},
                                     {-29, "Ajg", false},
                                     {83, "E", false}}));
  w->lyricScroll = -1;
  w->drawLyrics();
  EXPECT_EQ(area(*w, QRect(0, 150, 240, 110)),
            lyricsBand(*w, {{54, "D", true}, {26, "C", false}, {-2, "B", false}}));

  // Positioning: half way between two lines is half a line height up.
  w->seekTo(25);
  EXPECT_EQ(w->currentLyricLine, 2);
  EXPECT_DOUBLE_EQ(w->lyricScroll, -14.0);
  // Two lines at the same time: no division by zero, the line stands still.
  // A first lyric at 0.0 s shares its time with the opening entry; before it (t < 0) the
  // opening entry is current and the gap to the next line is zero.
  w->lyrics.lyricLines = {{0.0, ""}, {0.0, "X"}, {5.0, "Y"}, {LyricsReader::lastLineTime, ""}};
  w->seekTo(-1);
  EXPECT_EQ(w->currentLyricLine, 0);
  EXPECT_EQ(w->lyricScroll, 0.0);
  w->seekTo(0);
  EXPECT_EQ(w->currentLyricLine, 1); // at play time 0 the first lyric is current
  EXPECT_EQ(w->lyricScroll, 0.0);

  // Mini mode: one line at 15 points whatever the lyrics size, under the button strip.
  windowMode = MiniMode;
  w->lyrics.lyricLines = {{0.0, ""}, {1.0, "Mini"}, {LyricsReader::lastLineTime, ""}};
  w->currentLyricLine = 1;
  w->drawLyrics();
  QImage mini(240, 23, QImage::Format_RGB32);
  {
    QPainter p(&mini);
    p.drawImage(QPoint(0, 0), w->skinPixmap, QRect(0, 463, 240, 23));
    QFont f = w->font();
    f.setPixelSize(15);
    p.setFont(f);
    p.setPen(w->lyricsColour);
    p.drawText(QRect(0, 0, 240, 23), Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine,
               "Mini");
  }
  EXPECT_EQ(area(*w, QRect(0, 25, 240, 23)), mini);
  windowMode = VerticalMode;
  lyricsLoaded = false;
  lyricsFontSize = 18;
}

TEST(Render, HugeLyricsLoadAndDraw) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "lrcwin_show=0,150,240,110,0,500\n");
  std::string big;
  big.reserve(3 << 20);
  for (int i = 0; i < 100000; ++i)
    big += "[" + std::to_string(i / 60) + ":" + std::to_string(i % 60) + ".50]line " +
           std::to_string(i) + "\n";
  big += "[00:03.00]" + std::string(1 << 20, 'x') + "\n";
  makeDirs(home.path("m"));
  writeFile(home.path("m/song.lrc"), big);
  auto w = openWindow();
  lyricsPanelShown = showLyrics = true;
  w->loadLyrics(q(home.path("m/song.mp3")));
  ASSERT_TRUE(lyricsLoaded);
  EXPECT_EQ(w->lyrics.lyricLines.size(), 100000 + 3);
  const QImage before = area(*w, QRect(0, 150, 240, 110));
  for (int s : {1, 2, 50000, 99999})
    w->drawTimer(s, 0, 0, 0, 100000);
  EXPECT_EQ(w->currentLyricLine, 100001); // the last lyric, 99999.5 s, after the 3.0 s one
  EXPECT_NE(area(*w, QRect(0, 150, 240, 110)), before);
  lyricsLoaded = false;
  lyricsPanelShown = showLyrics = false;
}

TEST(Render, CancelledColourChooserChangesNothing) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase);
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nlrccolor=#102030\n");
  auto w = openWindow();
  const std::string before = readFile(home.path(".xmms/pelmar_cfg"));
  auto answer = [](bool accept) {
    QTimer::singleShot(100, [accept] {
      if (QWidget *d = QApplication::activeModalWidget()) {
        if (auto *dialog = qobject_cast<QDialog *>(d))
          accept ? dialog->accept() : dialog->reject();
      }
    });
  };
  answer(false);
  w->openbutlrc();
  EXPECT_EQ(readFile(home.path(".xmms/pelmar_cfg")), before);
  EXPECT_EQ(w->lyricsColour, QColor(0x10, 0x20, 0x30));
  // Accepted as shown: the other-lines colour is written and read back.
  answer(true);
  w->openbutlrcb();
  EXPECT_NE(readFile(home.path(".xmms/pelmar_cfg")).find("lrcbcolor=#c8c8c8"), std::string::npos)
      << readFile(home.path(".xmms/pelmar_cfg"));
  EXPECT_EQ(w->lyricBackColourButton->palette().color(QPalette::Button), QColor("#c8c8c8"));
}

TEST(Render, TimeDigitsInEachMode) {
  TempHome home;
  writeTestSkin(home.home(), "default", kBase + "time_win=100,20,8,12,0,680,40,12\n");
  codedSheet(200, 20).save(q(home.path("skins/default/mini_btn.png")));
  auto w = openWindow();
  const int glyphs[5] = {0, 1, 10, 2, 3}; // 83 s is 01:23
  w->drawTime(83);
  for (int k = 0; k < 5; ++k)
    EXPECT_TRUE(showsSheetRect(w->frameImage(), 100 + 8 * k, 20, glyphs[k] * 8, 680, 8, 12)) << k;

  windowMode = HorizontalMode;
  hPanelsHidden = false;
  w->drawTime(83);
  // The 40 x 12 time image turned by 270 degrees at (40, 10): its pixel (x, y) shows at
  // (40 + y, 10 + 39 - x).
  for (int k = 0; k < 5; ++k)
    for (int x = 0; x < 8; ++x)
      for (int y = 0; y < 12; ++y)
        ASSERT_EQ(w->frameImage().pixel(40 + y, 10 + 39 - (8 * k + x)) & 0xffffff,
                  sheetColour(glyphs[k] * 8 + x, 680 + y) & 0xffffff)
            << k << " " << x << "," << y;

  windowMode = MiniMode;
  w->drawTime(83);
  const int xs[5] = {90, 101, 114, 121, 132};
  for (int k = 0; k < 5; ++k) {
    if (k == 2)
      EXPECT_TRUE(showsSheetRect(w->frameImage(), 114, 8, 182, 0, 4, 16));
    else
      EXPECT_TRUE(showsSheetRect(w->frameImage(), xs[k], 8, 82 + 10 * glyphs[k], 0, 10, 16)) << k;
  }
  windowMode = VerticalMode;
}
