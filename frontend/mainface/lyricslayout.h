// One lyric row laid out on one line of a box, then painted. Layout decides the font size (a row
// too wide at the chosen size is drawn smaller, down to two thirds of it, and one still too wide
// is cut with an ellipsis) and where each timed word landed; painting draws the row in one
// colour, or, for a word-timed row, the part already sung in the current-line colour and the
// rest in the other colour, split at the sweep's x.
#pragma once

#include "core/lyrics.h"
#include "core/lyricwords.h"

#include <QFont>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QString>

#include <algorithm>
#include <memory>

class QColor;
class QPainter;
class QTextLayout;

struct LyricRowLayout {
  QFont font;
  QRect box;     // the row's box; the text is centred in it on one line
  QString shown; // the text as drawn (elided when too wide)
  // `shown` shaped once, and where its line starts: drawing it again shapes nothing.
  std::shared_ptr<const QTextLayout> text;
  QPointF textAt;
  int inkTop = 0, inkBottom = 0; // rows of the box the text may touch
  qreal left = 0, right = 0;     // x where the drawn text starts and ends
  // Per timed word: x where it starts and ends as drawn (a word cut by the ellipsis ends at it).
  QList<qreal> wordLeft, wordRight;
  QList<LyricWord> words;
  double end = -1.0; // closing mark of the last word, negative for none
  bool isEmpty() const { return shown.isEmpty(); }
  bool isTimed() const { return !words.isEmpty(); }
};

// The size is a pixel size (the skin is designed in pixels) and is also kept below `maxHeight`,
// so that rows `maxHeight` apart never share a pixel row. A row is measured once for a font, size
// and box width: the lyrics are drawn again at every status poll and the band moves only by
// whole rows, so later draws take the layout from a small cache and only move it to the box.
LyricRowLayout layoutLyricRow(const QFont &base, int pixelSize, int maxHeight, const QRect &box,
                              const LyricRow &row);

// The x up to which a timed row is sung at song time t (seconds): each word fills from its left
// to its right over its own time, the last one until the row's closing mark or `nextLine`.
qreal sweptX(const LyricRowLayout &row, double t, double nextLine);

// Paints the row in `pen`; a timed row is split at sweptX: `sung` left of it, `pen` right of it.
// A negative sweptX paints the row wholly in `pen`.
void paintLyricRow(QPainter &p, const LyricRowLayout &row, const QColor &pen, const QColor &sung,
                   qreal swept);

// A timed row on screen while its words are sung: its layout, when its last word ends without a
// closing mark (the next line's time) and the x up to which the window shows it sung.
struct LyricsSweepRow {
  LyricRowLayout row;
  double nextLine = 0.0;
  qreal drawn = 0.0;
};

// Rows of one entry: the first at the line height, each further one (a translation) about three
// quarters of it, stacked under the first.
inline int lyricSmallRowStep(int lineHeight) { return std::max(1, (lineHeight * 3 + 2) / 4); }
inline int lyricEntryHeight(const LyricLine &line, int lineHeight) {
  const qsizetype rows = std::min<qsizetype>(line.rowCount(), LyricsReader::maxRows);
  return lineHeight + static_cast<int>(rows - 1) * lyricSmallRowStep(lineHeight);
}
// Top of row k's box below the first row's box.
inline int lyricRowOffset(qsizetype k, int lineHeight) {
  if (k == 0)
    return 0;
  const int small = lyricSmallRowStep(lineHeight);
  return (lineHeight + small) / 2 + static_cast<int>(k - 1) * small;
}
