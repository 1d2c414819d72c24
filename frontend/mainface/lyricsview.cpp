// The lyrics display in each window mode and the two lyrics colour buttons.
#include "mainface.h"

#include "logical.h"

#include "dialogs/colordialog.h"
#include "kconfig.h"
#include "lyricslayout.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QTransform>

#include <algorithm>

namespace {
// Each line's box; its text is centred in it.
constexpr int kLyricBoxHeight = 40;

// What one column of lyrics is drawn from and into.
struct Column {
  QPainter &p;
  const QFont &font;
  int pixelSize;
  const QList<LyricLine> &lines;
  int current;
  double scroll;
  int lineHeight;
  int centre, bottom, width, band;
  QColor currentColour, otherColour;
  double t;                     // song time of the sweep
  bool allSung;                 // timed rows drawn wholly sung (the picture the sweep uncovers)
  QList<LyricsSweepRow> *timed; // the timed rows drawn, for the sweep
};

// Draws the rows of entry n with its first row's box at `top`. Rows below the first are smaller.
// Rows are drawn only while they lie wholly inside the band: a row scrolled half out would show
// cut through its letters; the current entry's first row is always drawn. Timed rows of the
// current entry, and of the one before it while it is still being sung, fill as they are sung.
void drawEntry(Column &c, int n, double top, bool current) {
  const LyricLine &line = c.lines.at(n);
  const double next = n + 1 < c.lines.size() ? c.lines.at(n + 1).time : line.time;
  const bool sweeping = current || (n == c.current - 1 && c.t < next);
  for (qsizetype k = 0; k < line.rowCount() && k < LyricsReader::maxRows; ++k) {
    const int offset = lyricRowOffset(k, c.lineHeight);
    // Box tops are whole pixels, so neighbours may stand one pixel closer than the step.
    const int rowHeight =
        k == 0 ? std::max(1, c.lineHeight - 1) : std::max(1, lyricSmallRowStep(c.lineHeight) - 1);
    const int boxTop = static_cast<int>(top) + offset;
    const double middle = boxTop + kLyricBoxHeight / 2.0;
    const bool whole = middle - rowHeight / 2.0 >= 0 && middle + rowHeight / 2.0 <= c.band;
    if (!whole && !(current && k == 0))
      continue;
    const int size = k == 0 ? c.pixelSize : std::max(6, c.pixelSize * 3 / 4);
    const LyricRowLayout row = layoutLyricRow(
        c.font, size, rowHeight, QRect(0, boxTop, c.width, kLyricBoxHeight), line.row(k));
    if (sweeping && row.isTimed()) {
      const qreal x = c.allSung ? row.box.right() + 1 : sweptX(row, c.t, next);
      paintLyricRow(c.p, row, c.otherColour, c.currentColour, x);
      if (c.timed)
        c.timed->append(LyricsSweepRow{row, next, x});
    } else {
      paintLyricRow(c.p, row, current ? c.currentColour : c.otherColour, c.currentColour, -1);
    }
  }
}

// The current entry at `centre` + scroll, the entries before it upwards while their box still
// shows (top above -30 is gone), the ones after it downwards until `bottom`. Entry 0 is the empty
// opening entry and is never drawn.
void drawColumn(Column &c) {
  drawEntry(c, c.current, c.scroll + c.centre, true);
  double y = c.scroll + c.centre;
  for (int n = c.current - 1; n >= 1; --n) {
    y -= lyricEntryHeight(c.lines.at(n), c.lineHeight);
    if (y <= -30)
      break;
    drawEntry(c, n, y, false);
  }
  y = c.scroll + c.centre + lyricEntryHeight(c.lines.at(c.current), c.lineHeight);
  for (int k = c.current + 1; k < c.lines.size() && y < c.bottom; ++k) {
    drawEntry(c, k, y, false);
    y += lyricEntryHeight(c.lines.at(k), c.lineHeight);
  }
}

// A still page of plain lyrics: every line in the other-lines colour, from the top of the band
// moved up by `scroll`, while the boxes still show.
void drawPage(QPainter &p, const QFont &font, int pixelSize, const QStringList &lines,
              double scroll, int lineHeight, int bottom, int width, const QColor &colour) {
  const int first = std::max(0, static_cast<int>(scroll / lineHeight) - 1);
  for (int i = first; i < lines.size(); ++i) {
    const double y = 5 + i * lineHeight - scroll - (kLyricBoxHeight - lineHeight) / 2.0;
    if (y >= bottom)
      break;
    const LyricRowLayout row = layoutLyricRow(font, pixelSize, lineHeight - 1,
                                              QRect(0, static_cast<int>(y), width, kLyricBoxHeight),
                                              {lines.at(i), {}, -1});
    paintLyricRow(p, row, colour, colour, -1);
  }
}
} // namespace

void MainFace::drawLyrics() {
  // The timed rows are gathered by the drawing below; until then no sweep is running.
  lyricsSweep.rows.clear();
  const QList<LyricLine> &lines = timing.active() ? timingView : lyrics.lyricLines;
  if (!lyricsLoaded || lines.isEmpty() || skinPixmap.isNull())
    return;
  renderLyrics(false);
  if (lyricsSweep.rows.isEmpty())
    return;
  // The same band with the timed rows wholly sung: each sweep step uncovers a strip of it.
  QList<LyricsSweepRow> rows = std::move(lyricsSweep.rows);
  renderLyrics(true);
  lyricsSweep.sung = windowMode == HorizontalMode ? turned(rotatePixmap) : lyricsPixmap.copy();
  lyricsSweep.rows = std::move(rows);
  lyricsSweep.mode = windowMode;
  // The band on screen shows each row sung up to where it was drawn; the time the second picture
  // took is filled in by the first step, which the band's own update carries to the window (and
  // a repaint from here could land inside the paint event that composes the frame).
  advanceSweep(false);
}

void MainFace::renderLyrics(bool allSung) {
  // While lyrics are being timed the band shows the lines being timed, standing still.
  const bool timingShown = timing.active();
  const QList<LyricLine> &lines = timingShown ? timingView : lyrics.lyricLines;
  const int current = qBound(0, currentLyricLine, static_cast<int>(lines.size()) - 1);
  // A zero line height would draw the whole table on one spot; never fewer than one pixel.
  const int lineHeight = qMax(1, lyricLineHeight);
  QFont lyricFont = font();
  const bool plain = !timingShown && lyrics.isPlain();
  // While the stylus drags the lines they follow it; a plain page never scrolls past its end.
  const double scroll = timingShown ? 0.0 : lyricScroll + lyricsDragOffset;
  const double pageMax =
      std::max(0.0, (static_cast<double>(lyrics.plainLines.size()) - 1) * lineHeight);
  plainScroll = std::clamp(plainScroll, 0.0, pageMax);
  const double pageScroll = std::clamp(plainScroll - lyricsDragOffset, 0.0, pageMax);
  const double t = sweepTime();
  QList<LyricsSweepRow> *timed = allSung ? nullptr : &lyricsSweep.rows;

  switch (windowMode) {
  case MiniMode: {
    const QSize has = lyricsPixmap.deviceIndependentSize().toSize();
    if (has.width() < kLogicalWidth || has.height() < 23)
      lyricsPixmap = logicalImage(qMax(kLogicalWidth, has.width()), qMax(23, has.height()),
                                  frame.devicePixelRatio());
    QPainter p(&lyricsPixmap);
    sheetCopy(p, skinPixmap, 0, 463, kLogicalWidth, 23, 0, 0);
    if (plain) {
      const LyricRowLayout row = layoutLyricRow(
          lyricFont, 15, 23, QRect(0, 0, 240, 23),
          {lyrics.plainLines.value(static_cast<int>(pageScroll / lineHeight)), {}, -1});
      paintLyricRow(p, row, lyricsColour, lyricsColour, -1);
    } else {
      // One row only: the sung line (a translation under it has no room in the strip).
      const double next = lines.at(current + 1 < lines.size() ? current + 1 : current).time;
      const LyricRowLayout row =
          layoutLyricRow(lyricFont, 15, 23, QRect(0, 0, 240, 23), lines.at(current).row(0));
      if (row.isTimed()) {
        const qreal x = allSung ? row.box.right() + 1 : sweptX(row, t, next);
        paintLyricRow(p, row, lyricsBackColour, lyricsColour, x);
        if (timed)
          timed->append(LyricsSweepRow{row, next, x});
      } else {
        paintLyricRow(p, row, lyricsColour, lyricsColour, -1);
      }
    }
    p.end();
    if (!allSung)
      copyToWindow(lyricsPixmap, 0, 0, 240, 23, 0, 25);
    break;
  }
  case VerticalMode: {
    if (lyricsPixmap.isNull())
      return;
    const SkinElement &e = lrcwin_show;
    QPainter p(&lyricsPixmap);
    sheetCopy(p, skinPixmap, e.sx(), e.sy(), e.w(), e.h(), 0, 0);
    if (plain) {
      drawPage(p, lyricFont, lyricsFontSize, lyrics.plainLines, pageScroll, lineHeight, e.h(), 240,
               lyricsBackColour);
    } else {
      Column c{
          p,     lyricFont,    lyricsFontSize,   lines, current, scroll, lineHeight, 55, 110, 240,
          e.h(), lyricsColour, lyricsBackColour, t,     allSung, timed};
      drawColumn(c);
    }
    p.end();
    if (!allSung)
      copyToWindow(lyricsPixmap, 0, 0, e.w(), e.h(), e.x(), e.y());
    break;
  }
  case HorizontalMode: {
    makeHorizontalImages();
    if (rotatePixmap.isNull())
      return;
    {
      QPainter p(&rotatePixmap);
      if (wallpaperPixmap.isNull())
        p.fillRect(0, 0, kLogicalHeight, 120, Qt::black);
      else
        sheetCopy(p, wallpaperPixmap, 0, 60, kLogicalHeight, 120, 0, 0);
      if (plain) {
        drawPage(p, lyricFont, lyricsFontSize, lyrics.plainLines, pageScroll, lineHeight, 120, 320,
                 lyricsBackColour);
      } else {
        Column c{
            p,   lyricFont,    lyricsFontSize,   lines, current, scroll, lineHeight, 50, 100, 320,
            120, lyricsColour, lyricsBackColour, t,     allSung, timed};
        drawColumn(c);
      }
    }
    // Turned like the rest of the horizontal window, so the band lands on the wallpaper rows it
    // was drawn over and reads in the same direction as the title.
    if (!allSung) {
      const QImage shown = turned(rotatePixmap);
      copyToWindow(shown, 0, 0, 120, kLogicalHeight, 60, 0);
    }
    break;
  }
  default:
    break;
  }
}

void MainFace::lrcRepaint() { drawLyrics(); }

void MainFace::chooseLyricsColour(bool currentLine) {
  QColor initial;
  {
    KConfig settings(baseDir + "/.xmms/pelmar_cfg", true);
    settings.setGroup("pelskin");
    initial = QColor(settings.readEntry(currentLine ? "lrccolor" : "lrcbcolor", "#C8C8C8"));
  } // nothing was written: the file stays as it was
  const QColor chosen = ColorDialog::getColor(initial, nullptr);
  if (!chosen.isValid())
    return;
  QColor opaque = chosen;
  opaque.setAlpha(255);
  QPushButton *button = currentLine ? lyricColourButton : lyricBackColourButton;
  if (button) {
    QPalette swatch = button->palette();
    swatch.setColor(QPalette::Button, opaque);
    swatch.setColor(QPalette::Window, Qt::white);
    button->setPalette(swatch);
  }
  {
    KConfig settings(baseDir + "/.xmms/pelmar_cfg");
    settings.setGroup("pelskin");
    settings.writeEntry(currentLine ? "lrccolor" : "lrcbcolor", chosen.name());
    settings.sync();
  }
  // Only the colours: a full settings load would take back the volume and the switches changed
  // since start-up, which live in files written only at close or by the engine.
  loadLyricsColours();
}

void MainFace::openbutlrc() { chooseLyricsColour(true); }

void MainFace::openbutlrcb() { chooseLyricsColour(false); }
