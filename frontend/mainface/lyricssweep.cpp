// The karaoke sweep between two status polls. A full lyrics draw leaves two pictures of the band:
// the one on screen, with the timed rows filled up to the song's time, and a copy with them
// wholly sung. Each step uncovers, from that copy, the few pixel columns the song has sung since
// the step before, and then sleeps until the word in hand needs its next column, on the next of
// a few even slots between two polls: a pause or a line with nothing left to sing wakes the
// window not at all, and a step due with the next poll is left to the poll's own draw.
#include "mainface.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// How often the lyrics band shows the sweep between two status polls, the poll's own draw
// included: the poll, and one step half way to the next. A step costs what any repaint of a Qt
// window costs (the repaint, the display server's transfer and the wake-ups around them: about
// 0.2 ms of velora's time, of which velora's own drawing is a few hundredths, and a bare Qt
// window repainting a strip costs 0.17 ms), a whole poll about 0.7 ms; with word-timed lyrics
// velora stays within one and a half times its cost with plain ones (bench/lyrics/karaoke.sh:
// 2 showings a second 1.4 times, 3 showings 1.8 times, 10 showings 3.6 times).
constexpr int kSweepShowingsPerPoll = 2;
} // namespace

double MainFace::sweepTime() const { return songClock.now() + lyricsShiftMs / 1000.0; }

bool MainFace::lyricsOnScreen() const {
  if (!lyricsLoaded || !showLyrics || lyrics.isPlain())
    return false;
  switch (windowMode) {
  case MiniMode:
  case HorizontalMode:
    return true;
  case VerticalMode:
    return lyricsPanelShown;
  default:
    return false;
  }
}

void MainFace::sweepStrip(const QRect &band, bool now) {
  QRect source = band, target;
  switch (windowMode) {
  case MiniMode:
    source &= QRect(0, 0, 240, 23);
    target = source.translated(0, 25);
    break;
  case VerticalMode:
    source &= QRect(0, 0, lrcwin_show.w(), lrcwin_show.h());
    target = source.translated(lrcwin_show.x(), lrcwin_show.y());
    break;
  case HorizontalMode: {
    // The band is drawn 320 x 120 and turned a quarter to the left onto the window at (60, 0).
    const QRect b = band & QRect(0, 0, 320, 120);
    source = QRect(b.top(), 320 - b.left() - b.width(), b.height(), b.width());
    target = source.translated(60, 0);
    break;
  }
  default:
    return;
  }
  if (source.isEmpty())
    return;
  // Painted at once rather than queued: a step is a few pixel columns, and going through the
  // event queue costs more than the step itself. Both pictures are kept at the window's density:
  // the strip is widened to whole device pixels, so it is copied pixel for pixel, unblended.
  const qreal d = frame.devicePixelRatio();
  const QRect device =
      QRectF(source.x() * d, source.y() * d, source.width() * d, source.height() * d)
          .toAlignedRect();
  const QPointF shift = QPointF(target.topLeft() - source.topLeft());
  QPainter p(&frame);
  p.drawImage(QRectF(device.x() / d, device.y() / d, device.width() / d, device.height() / d)
                  .translated(shift),
              lyricsSweep.sung, device);
  p.end();
  if (!now)
    return;
  // The window shows the frame scaled and placed by the view, so the strip is found there.
  repaint(view.isIdentity() ? target : toWindow(target).adjusted(-1, -1, 1, 1));
}

void MainFace::advanceSweep(bool now) {
  const double t = sweepTime();
  double wait = std::numeric_limits<double>::infinity();
  for (LyricsSweepRow &r : lyricsSweep.rows) {
    const LyricRowLayout &row = r.row;
    const qreal x = sweptX(row, t, r.nextLine);
    const int from = qRound(r.drawn), to = qRound(x);
    if (to < from) { // the song went back (a seek): start the picture anew
      drawLyrics();
      return;
    }
    if (to > from)
      sweepStrip(QRect(from, row.inkTop, to - from, row.inkBottom - row.inkTop), now);
    r.drawn = x;

    // How long until this row needs its next pixel column.
    const QList<LyricWord> &words = row.words;
    if (t < words.first().time) {
      wait = std::min(wait, words.first().time - t);
      continue;
    }
    qsizetype i = words.size() - 1;
    while (i > 0 && words.at(i).time > t)
      --i;
    const double stop =
        i + 1 < words.size() ? words.at(i + 1).time : (row.end >= 0 ? row.end : r.nextLine);
    if (t >= stop)
      continue; // all sung
    const double pixels = row.wordRight.at(i) - row.wordLeft.at(i);
    wait = std::min(wait, pixels >= 1 ? (stop - words.at(i).time) / pixels : stop - t);
  }
  if (!songClock.moving() || !std::isfinite(wait)) {
    if (sweepTimer)
      sweepTimer->stop();
    return;
  }
  if (!sweepTimer) {
    sweepTimer = new QTimer(this);
    sweepTimer->setSingleShot(true);
    sweepTimer->setTimerType(Qt::PreciseTimer);
    connect(sweepTimer, &QTimer::timeout, this, &MainFace::sweepLyrics);
  }
  // Song time runs at the song's pace; the timer counts wall time. The steps land on even slots
  // between two polls; one that would come with the next poll is left to the poll's own draw.
  const double ms = wait * 1000.0 / std::max(0.1, songClock.pace());
  const int period = checkTimer ? checkTimer->interval() : 1000;
  const double slot = period / static_cast<double>(kSweepShowingsPerPoll);
  const qint64 since = songClock.sinceAnswer();
  const double next = std::max(1.0, std::ceil((static_cast<double>(since) + ms) / slot)) * slot;
  if (next > period - slot / 2) {
    sweepTimer->stop();
    return;
  }
  sweepTimer->start(std::max(1, static_cast<int>(std::ceil(next - static_cast<double>(since)))));
}

void MainFace::sweepLyrics() {
  // A window mode changed since the pictures were drawn would take strips from the wrong place.
  if (!lyricsOnScreen() || lyricsDragging || lyricsSweep.rows.isEmpty() ||
      lyricsSweep.mode != windowMode) {
    lyricsSweep.rows.clear();
    if (sweepTimer)
      sweepTimer->stop();
    return;
  }
  advanceSweep(true);
}
