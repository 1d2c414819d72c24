// Text that fits its boxes, read from the frame image with the shipped default skin: lyric lines
// never share a pixel row with their neighbours at any of the four lyric sizes, and a playlist
// row keeps its descenders.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "sharedir.h"
#include "testenv.h"

#include <QFileInfo>
#include <QPainter>
#include <QSet>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace velora::test;

namespace {

const QColor kCurrent(255, 0, 0), kOther(0, 255, 0);

// Rows (or, for a turned band, columns) of `shot` where a pen drew, by pen: a pixel that differs
// from the background is the current line's when it moved towards red more than towards green.
struct Ink {
  QSet<int> current, other;
};
Ink inkLines(const QImage &shot, const QImage &background, bool byColumn) {
  Ink ink;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QRgb s = shot.pixel(x, y), b = background.pixel(x, y);
      const int dr = qRed(s) - qRed(b), dg = qGreen(s) - qGreen(b), db = qBlue(s) - qBlue(b);
      if (std::abs(dr) + std::abs(dg) + std::abs(db) < 40)
        continue;
      (dr > dg ? ink.current : ink.other).insert(byColumn ? x : y);
    }
  return ink;
}

std::unique_ptr<MainFace> openDefaultSkin(TempHome &home) {
  const QString share = QString::fromStdString(stageDir()) + "/share/velora";
  if (!QFileInfo::exists(share + "/skins/default/skins.conf"))
    return nullptr;
  setVeloraShareDir(share);
  writeFile(home.path(".xmms/pelmar_cfg"), "[pelskin]\nshowlrc=true\n");
  guiApp();
  windowMode = VerticalMode;
  hPanelsHidden = false;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  w->titleTimer->stop();
  w->checkTimer->stop();
  return w;
}

} // namespace

TEST(TextFit, LyricLinesNeverShareARowAndPlaylistRowsKeepDescenders) {
  TempHome home;
  auto w = openDefaultSkin(home);
  ASSERT_TRUE(w) << "no default skin in the stage folder (build the default_skin target)";
  const QStringList texts = {
      "The quick brown fox jumps over the lazy dog and on", // long Latin
      QString::fromUtf8(
          "\xE5\xBA\x8A\xE5\x89\x8D\xE6\x98\x8E\xE6\x9C\x88\xE5\x85\x89\xE7\x96\x91"
          "\xE6\x98\xAF\xE5\x9C\xB0\xE4\xB8\x8A\xE9\x9C\x9C\xE4\xB8\xBE\xE5\xA4\xB4"), // Chinese
      "Jumping gypsy quay, pqgy",                                                      // descenders
  };
  w->lyricsColour = kCurrent;
  w->lyricsBackColour = kOther;
  lyricsLoaded = true;
  lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  showLyrics = true;
  const SkinElement &band = w->lrcwin_show;

  for (int entry = 1; entry <= 4; ++entry) {
    w->selectMenumfont(entry);
    for (int mode : {VerticalMode, HorizontalMode}) {
      windowMode = mode;
      w->composeFrame();
      // Where the band lies in the frame, and which way its lines run.
      const QRect area = mode == VerticalMode ? QRect(band.x(), band.y(), band.w(), band.h())
                                              : QRect(60, 0, 120, 320);
      w->lyrics.lyricLines = {{0.0, ""}, {LyricsReader::lastLineTime, ""}};
      w->currentLyricLine = 0;
      w->lyricScroll = 0;
      w->drawLyrics();
      const QImage background = w->frameImage().copy(area);
      for (int first = 0; first < 3; ++first) {
        // Each text once as the current line, with the other two above and below it.
        w->lyrics.lyricLines = {{0.0, ""},
                                {10.0, texts[first]},
                                {20.0, texts[(first + 1) % 3]},
                                {30.0, texts[(first + 2) % 3]},
                                {LyricsReader::lastLineTime, ""}};
        w->currentLyricLine = 2;
        w->lyricScroll = 0;
        w->drawLyrics();
        const Ink ink = inkLines(w->frameImage().copy(area), background, mode == HorizontalMode);
        const std::string where = "size " + std::to_string(lyricsFontSize) + " mode " +
                                  std::to_string(mode) + " current " +
                                  texts[(first + 1) % 3].left(8).toStdString();
        ASSERT_FALSE(ink.current.isEmpty()) << where;
        ASSERT_FALSE(ink.other.isEmpty()) << where;
        EXPECT_FALSE(ink.current.intersects(ink.other)) << where;
        // The neighbours lie beside the current line.
        const int lo = *std::min_element(ink.current.begin(), ink.current.end());
        const int hi = *std::max_element(ink.current.begin(), ink.current.end());
        const bool above =
            std::any_of(ink.other.begin(), ink.other.end(), [&](int r) { return r < lo; });
        const bool below =
            std::any_of(ink.other.begin(), ink.other.end(), [&](int r) { return r > hi; });
        // (A neighbour whose row would be cut by the band's edge is left out.)
        EXPECT_TRUE(above || below) << where;
        // One row of text: no line is taller than the step between lines.
        EXPECT_LE(hi - lo + 1, w->lyricLineHeight) << where;
      }
    }
  }

  // Mini mode: the sung line has room in its 23 rows; a cut-off line would reach their edges.
  windowMode = MiniMode;
  QImage miniBackground(240, 23, QImage::Format_RGB32);
  {
    QPainter p(&miniBackground);
    p.drawImage(QPoint(0, 0), w->skinPixmap, QRect(0, 463, 240, 23));
  }
  for (const QString &text : texts) {
    w->lyrics.lyricLines = {{0.0, ""}, {1.0, text}, {LyricsReader::lastLineTime, ""}};
    w->currentLyricLine = 1;
    w->composeFrame();
    const Ink ink = inkLines(w->frameImage().copy(0, 25, 240, 23), miniBackground, false);
    ASSERT_FALSE(ink.current.isEmpty()) << text.toStdString();
    EXPECT_FALSE(ink.current.contains(0) || ink.current.contains(22)) << text.toStdString();
  }
  windowMode = VerticalMode;
  lyricsPanelShown = false;

  // The playlist row of "Song pqgy.mp3": all of its ink is inside the 14 rows, as much of it as
  // the same text shows with room to spare.
  playlistPanelShown = true;
  w->playlistModel = {"/music/Song pqgy.mp3"};
  w->composeFrame();
  w->drawPList(0);
  const int rowY = w->plist_Bar.y();
  const QImage row = w->frameImage().copy(10, rowY, 210, 14);
  QImage rowBackground(210, 14, QImage::Format_RGB32);
  {
    QPainter p(&rowBackground);
    p.drawImage(QPoint(0, 0), w->skinPixmap, QRect(10, rowY + 10, 210, 14));
  }
  QImage roomy(210, 40, QImage::Format_RGB32), roomyBackground(210, 40, QImage::Format_RGB32);
  roomyBackground.fill(Qt::black);
  roomy.fill(Qt::black);
  {
    QPainter p(&roomy);
    p.setFont(w->playlistLineFont);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 210, 40), Qt::AlignLeft | Qt::AlignTop, "1.Song pqgy.mp3");
  }
  auto inkRows = [](const QImage &a, const QImage &b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) {
          ++n;
          break;
        }
    return n;
  };
  const int shown = inkRows(row, rowBackground), whole = inkRows(roomy, roomyBackground);
  EXPECT_GT(shown, 8);
  EXPECT_EQ(shown, whole) << "the row cuts off part of its text";
  playlistPanelShown = false;
  lyricsLoaded = false;
  showLyrics = false;
}
