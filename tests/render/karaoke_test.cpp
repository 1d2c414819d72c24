// Word-timed and two-language lyrics read back from the frame image: where the current-line
// colour (red) ends and the other colour (green) begins along a karaoke line, in each window
// mode; the rows of a two-language entry; the sweep moving on between two status polls.
#include "guiapp.h"
#include "mainface/mainface.h"
#include "testenv.h"
#include "testskin.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QRegion>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace velora::test;

namespace {

const std::string kSkin = "mwin_Y=0\nmwin_H=320\nlrcwin_show=0,150,240,110,0,500\n"
                          "lrcwin=0,150,240,110,0,500\n";

std::unique_ptr<MainFace> openKaraoke(const std::string &lrc) {
  guiApp();
  windowMode = VerticalMode;
  playingFlag = pausedFlag = false;
  hPanelsHidden = false;
  abRepeat = false;
  auto w = std::make_unique<MainFace>(nullptr, nullptr);
  w->titleTimer->stop();
  w->checkTimer->stop();
  lyricsFontSize = 21;
  w->lyricLineHeight = 28;
  w->lyricsColour = QColor(255, 0, 0);
  w->lyricsBackColour = QColor(0, 255, 0);
  EXPECT_GT(w->lyrics.parseLyricsBytes(QByteArray::fromStdString(lrc), false), 0);
  lyricsLoaded = showLyrics = lyricsPanelShown = true;
  playlistPanelShown = equalizerPanelShown = false;
  return w;
}

// Ink of each pen inside a window rectangle: pixels that differ from what lies under the text
// (the sheet, or the background given), sorted by whether red or green moved more.
struct Ink {
  int red = 0, green = 0;
  int redMin = 1 << 20, redMax = -1, greenMin = 1 << 20, greenMax = -1; // along `alongX`
  int top = 1 << 20, bottom = -1;
};

Ink inkIn(const MainFace &w, const QRect &r, const QImage &under, const QPoint &underAt,
          bool alongX = true) {
  Ink ink;
  const QImage &f = w.frameImage();
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb p = f.pixel(x, y),
                 b = under.pixel(x - r.left() + underAt.x(), y - r.top() + underAt.y());
      const int dr = qRed(p) - qRed(b), dg = qGreen(p) - qGreen(b);
      if (std::abs(dr) + std::abs(dg) + std::abs(qBlue(p) - qBlue(b)) < 60)
        continue;
      const int along = alongX ? x : y;
      ink.top = std::min(ink.top, y);
      ink.bottom = std::max(ink.bottom, y);
      if (dr > dg) {
        ++ink.red;
        ink.redMin = std::min(ink.redMin, along);
        ink.redMax = std::max(ink.redMax, along);
      } else {
        ++ink.green;
        ink.greenMin = std::min(ink.greenMin, along);
        ink.greenMax = std::max(ink.greenMax, along);
      }
    }
  return ink;
}

// The current line's row of the vertical band (box top 55 + 150, 40 high, text centred at 75),
// short of the next line's row.
Ink currentRow(const MainFace &w) {
  return inkIn(w, QRect(0, 210, 240, 28), w.skinPixmap, QPoint(0, 560));
}

void at(MainFace &w, double seconds, bool running = false) {
  w.songClock.sample(static_cast<qint64>(seconds * 1000), running);
  w.drawLyrics();
}

} // namespace

TEST(Karaoke, WordsFillAsTheyAreSungInEveryMode) {
  TempHome home;
  writeTestSkin(home.home(), "default", kSkin);
  // Three words of the same letters, so half way through the second one is the line's middle.
  auto w = openKaraoke("[00:10.00]<00:10.00>HHHH <00:12.00>HHHH <00:14.00>HHHH\n"
                       "[00:16.00]next line\n");
  w->currentLyricLine = 1;
  w->lyricScroll = 0;

  // Before its first word the line is all still to come.
  at(*w, 9.0);
  Ink ink = currentRow(*w);
  ASSERT_GT(ink.green, 50);
  EXPECT_EQ(ink.red, 0);
  const int left = ink.greenMin, right = ink.greenMax, middle = (left + right) / 2;

  // Half way through the second word: the first word wholly red, the second up to its middle,
  // the third not at all.
  at(*w, 13.0);
  ink = currentRow(*w);
  ASSERT_GT(ink.red, 50);
  ASSERT_GT(ink.green, 50);
  // (A faint edge pixel may show in one pen and not the other: one pixel of slack.)
  EXPECT_NEAR(ink.redMin, left, 1);
  EXPECT_NEAR(ink.greenMax, right, 1);
  EXPECT_LT(ink.redMax, ink.greenMin + 2) << "the two colours overlap";
  EXPECT_NEAR(ink.redMax, middle, 3);
  EXPECT_NEAR(ink.greenMin, middle, 3);
  // The same position twice gives the same picture.
  const QImage once = w->frameImage().copy(0, 150, 240, 110);
  at(*w, 13.0);
  EXPECT_EQ(w->frameImage().copy(0, 150, 240, 110), once);

  // Half way through the first word: a sixth of the way (the blanks are not sung).
  at(*w, 11.0);
  ink = currentRow(*w);
  EXPECT_GT(ink.redMax, left + (right - left) / 10);
  EXPECT_LT(ink.redMax, left + (right - left) / 4);

  // The last word ends at the next line's time: at 15.99 s nearly all, at 16 s all of it.
  at(*w, 15.5);
  ink = currentRow(*w);
  EXPECT_GT(ink.green, 0);
  EXPECT_GT(ink.greenMin, middle + (right - left) / 3);
  at(*w, 16.0);
  ink = currentRow(*w);
  EXPECT_EQ(ink.green, 0);
  EXPECT_NEAR(ink.redMax, right, 1);

  // A per-song shift moves the sweep as it moves the lines: 1 s later is the middle again.
  w->lyricsShiftMs = -1000;
  at(*w, 14.0);
  ink = currentRow(*w);
  EXPECT_NEAR(ink.redMax, middle, 3);
  w->lyricsShiftMs = 0;

  // Mini mode: the one line of the strip, under the buttons (y 25..47), at 15 pixels.
  windowMode = MiniMode;
  at(*w, 13.0);
  ink = inkIn(*w, QRect(0, 25, 240, 23), w->skinPixmap, QPoint(0, 463));
  ASSERT_GT(ink.red, 20);
  ASSERT_GT(ink.green, 20);
  EXPECT_LT(ink.redMax, ink.greenMin + 2);
  EXPECT_NEAR(ink.redMax, (ink.redMin + ink.greenMax) / 2, 3);

  // Horizontal mode: turned, the line runs up the screen; the sung part is at its start (below).
  windowMode = HorizontalMode;
  w->wallpaperPixmap = QImage();
  w->wallpaperLoaded = true; // and none is read later
  at(*w, 13.0);
  QImage black(240, 320, QImage::Format_RGB32);
  black.fill(Qt::black);
  // The current row's box is at 50..90 of the 120-pixel band, turned onto x 60 + (50..90); its
  // letters stand around the middle, 70.
  ink = inkIn(*w, QRect(116, 0, 28, 320), black, QPoint(0, 0), false);
  ASSERT_GT(ink.red, 50);
  ASSERT_GT(ink.green, 50);
  EXPECT_GT(ink.redMin + 2, ink.greenMax) << "sung part must be below the rest";
  EXPECT_NEAR(ink.redMin, (ink.redMax + ink.greenMin) / 2, 3);
  windowMode = VerticalMode;

  // A plain line is drawn as before: wholly in the current-line colour.
  w->lyrics.parseLyricsBytes("[00:10.00]HHHH HHHH\n[00:16.00]next\n", false);
  at(*w, 9.0);
  ink = currentRow(*w);
  EXPECT_GT(ink.red, 50);
  EXPECT_EQ(ink.green, 0);
  lyricsLoaded = false;
}

TEST(Karaoke, SweepMovesOnBetweenPollsAndSleepsWhenNothingIsLeft) {
  TempHome home;
  writeTestSkin(home.home(), "default", kSkin);
  auto w = openKaraoke("[00:10.00]<00:10.00>HHHH <00:11.00>HHHH <00:12.00>HHHH\n"
                       "[00:13.00]next line\n");
  w->currentLyricLine = 1;
  w->lyricScroll = 0;
  at(*w, 10.2, true); // the engine answered 10.2 s and is playing
  const int first = currentRow(*w).redMax;
  ASSERT_NE(w->sweepTimer, nullptr);
  EXPECT_TRUE(w->sweepTimer->isActive());
  EXPECT_GE(w->sweepTimer->interval(), 40);
  // No poll comes; the sung part grows from the clock alone, step by step.
  QElapsedTimer waited;
  waited.start();
  while (currentRow(*w).redMax < first + 20 && waited.elapsed() < 5000)
    QTest::qWait(20);
  EXPECT_GE(currentRow(*w).redMax, first + 20);
  // It carries the song at most a moment past the expected poll, then stands still.
  while (w->sweepTimer->isActive() && waited.elapsed() < 8000)
    QTest::qWait(50);
  EXPECT_FALSE(w->sweepTimer->isActive());
  const Ink carried = currentRow(*w);
  EXPECT_GT(carried.green, 0) << "ran past the time the engine could have reached";

  // Paused: one draw, no steps.
  at(*w, 10.5, false);
  EXPECT_FALSE(w->sweepTimer->isActive());
  // A line all sung needs no more steps either.
  at(*w, 13.0, true);
  EXPECT_FALSE(w->sweepTimer->isActive());
  // A step after the window mode changed (the pictures are of the old mode) stops instead.
  at(*w, 10.2, true);
  windowMode = MiniMode;
  const QImage mini = w->frameImage().copy(0, 0, 240, 48);
  w->sweepLyrics();
  EXPECT_FALSE(w->sweepTimer->isActive());
  EXPECT_EQ(w->frameImage().copy(0, 0, 240, 48), mini);
  windowMode = VerticalMode;
  // Lyrics taken off the screen stop the steps at the next one.
  at(*w, 10.2, true);
  lyricsPanelShown = false;
  w->sweepLyrics();
  EXPECT_FALSE(w->sweepTimer->isActive());
  lyricsLoaded = false;
}

TEST(Karaoke, TwoLanguageEntryShowsTwoRowsAndLoopsAsOne) {
  TempHome home;
  writeTestSkin(home.home(), "default", kSkin);
  auto w = openKaraoke("[00:01.00]HHHH before\n"
                       "[00:03.00]HHHHHH\n[00:03.00]HHHHHHH\n"
                       "[00:06.00]HHHH after\n");
  ASSERT_EQ(w->lyrics.lyricLines.size(), 5);
  w->seekTo(3);
  ASSERT_EQ(w->currentLyricLine, 2);
  // First row in its box at 55..95 of the band (letters around 75), the second three quarters
  // of a line lower (around 99).
  const Ink upper = inkIn(*w, QRect(0, 150 + 60, 240, 28), w->skinPixmap, QPoint(0, 560));
  const Ink lower = inkIn(*w, QRect(0, 150 + 88, 240, 22), w->skinPixmap, QPoint(0, 588));
  ASSERT_GT(upper.red, 30);
  ASSERT_GT(lower.red, 30);
  EXPECT_EQ(upper.green, 0);
  EXPECT_EQ(lower.green, 0);
  EXPECT_LT(upper.bottom, lower.top) << "the rows overlap";
  // The second row is smaller: lower letters, and its seven letters narrower than the six above.
  EXPECT_LT(lower.bottom - lower.top, upper.bottom - upper.top);
  EXPECT_LT(lower.redMax - lower.redMin, upper.redMax - upper.redMin);
  // The line before stands one line height above, in the other colour.
  const Ink before = inkIn(*w, QRect(0, 150 + 27, 240, 26), w->skinPixmap, QPoint(0, 527));
  EXPECT_GT(before.green, 30);
  EXPECT_EQ(before.red, 0);
  // The pair scrolls by its whole height (28 + 21) over its three seconds.
  w->seekTo(4);
  EXPECT_NEAR(w->lyricScroll, -49.0 / 3.0, 1e-9);

  // A tap on the band loops the pair's time: both rows, 3 s to 6 s.
  w->seekTo(3);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(100, 205), QPointF(100, 205), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(100, 205), QPointF(100, 205),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w.get(), &press);
  QApplication::sendEvent(w.get(), &release);
  EXPECT_TRUE(abRepeat);
  EXPECT_EQ(pointA, 3);
  EXPECT_EQ(pointB, 6);
  abRepeat = false;
  lyricsLoaded = false;
}

namespace {
// Window rectangles of the paint events a window receives.
struct PaintSpy : QObject {
  QList<QRect> rects;
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint)
      rects.append(static_cast<QPaintEvent *>(e)->rect());
    return false;
  }
};
} // namespace

TEST(Karaoke, StepsMatchAFreshDrawAtEveryDensityAndReachTheWindow) {
  TempHome home;
  writeTestSkin(home.home(), "default", kSkin);
  // The second line has the first one's text but its own word times: rows measured once must
  // still fill by the times of the line they are drawn for.
  auto w = openKaraoke("[00:10.00]<00:10.00>HHHH <00:12.00>HHHH <00:14.00>HHHH\n"
                       "[00:16.00]<00:16.00>HHHH <00:17.00>HHHH <00:18.00>HHHH\n"
                       "[00:19.00]next line\n");
  for (const int scale : {1, 2, 3}) {
    SCOPED_TRACE(scale);
    w->resize(240 * scale, 320 * scale);
    w->show();
    spinUntil([&] { return w->denseFrame().devicePixelRatio() == scale; });
    ASSERT_EQ(w->denseFrame().devicePixelRatio(), scale);
    w->currentLyricLine = 1;
    w->lyricScroll = 0;
    // The song stands at 11 s; then, without a poll, it is at 13 s and one step follows.
    at(*w, 11.0);
    QCoreApplication::processEvents(); // the draw's own update is not the step's
    PaintSpy spy;
    w->installEventFilter(&spy);
    w->songClock.sample(13000, false);
    w->sweepLyrics();
    w->removeEventFilter(&spy);
    const qreal d = scale;
    const QRect dense(0, 150 * scale, 240 * scale, 110 * scale);
    const QImage stepped = w->denseFrame().copy(dense);
    const Ink ink = currentRow(*w);
    EXPECT_NEAR(ink.redMax, (ink.redMin + ink.greenMax) / 2, 3) << "not half way at 13 s";
    // The strip the step showed reached the window where the view puts it.
    QRegion painted;
    for (const QRect &r : spy.rects)
      painted += r;
    const QRect sung(qRound(ink.redMin * d), qRound(ink.top * d),
                     qRound((ink.redMax - ink.redMin + 1) * d),
                     qRound((ink.bottom - ink.top + 1) * d));
    EXPECT_TRUE(painted.contains(QRect(sung.center(), QSize(1, 1))))
        << "no paint of the swept strip in the window";
    // What the steps built is what a whole draw at that time gives, pixel for pixel.
    w->drawLyrics();
    EXPECT_EQ(stepped, w->denseFrame().copy(dense));

    // The line of the same text sings by its own times: at 17.5 s, half way through its second
    // word (its words are a second each), the middle again.
    w->currentLyricLine = 2;
    at(*w, 17.5);
    const Ink second = currentRow(*w);
    EXPECT_NEAR(second.redMax, (second.redMin + second.greenMax) / 2, 3);
  }
  // Between two polls the band is shown once more, half way, and the rest is left to the next
  // poll's draw: one step, then the sweep waits.
  w->resize(240, 320);
  spinUntil([&] { return w->denseFrame().devicePixelRatio() == 1; });
  w->currentLyricLine = 1;
  at(*w, 10.2, true);
  QCoreApplication::processEvents();
  const int before = currentRow(*w).redMax;
  ASSERT_TRUE(w->sweepTimer->isActive());
  EXPECT_LE(w->sweepTimer->remainingTime(), w->checkTimer->interval() / 2);
  PaintSpy steps;
  w->installEventFilter(&steps);
  QElapsedTimer waited;
  waited.start();
  while (w->sweepTimer->isActive() && waited.elapsed() < 5000)
    QTest::qWait(20);
  w->removeEventFilter(&steps);
  EXPECT_FALSE(w->sweepTimer->isActive()) << "the sweep goes on past the poll's time";
  const qsizetype strips = std::count_if(steps.rects.cbegin(), steps.rects.cend(),
                                         [](const QRect &r) { return r.top() >= 150; });
  EXPECT_EQ(strips, 1);
  EXPECT_GT(currentRow(*w).redMax, before + 10);

  // A smaller lyrics size takes effect at once: the row measured at the old size is not reused.
  w->currentLyricLine = 1;
  at(*w, 13.0);
  const Ink big = currentRow(*w);
  lyricsFontSize = 14;
  at(*w, 13.0);
  const Ink small = currentRow(*w);
  EXPECT_LT(small.greenMax - small.redMin, big.greenMax - big.redMin);
  EXPECT_LT(small.bottom - small.top, big.bottom - big.top);
  lyricsLoaded = false;
}
