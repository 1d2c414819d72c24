#include "lyricslayout.h"

#include <QColor>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <utility>

namespace {
// Centred on one row: a lyric never wraps, since a second row would land on its neighbour.
constexpr int kRowFlags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;

// What a row's layout depends on, its box's height position aside.
struct RowKey {
  QString text;
  QFont font;
  int pixelSize, maxHeight, left, width, height;
  QList<std::pair<qsizetype, qsizetype>> spans; // each timed word's characters
  bool operator==(const RowKey &o) const {
    return pixelSize == o.pixelSize && maxHeight == o.maxHeight && left == o.left &&
           width == o.width && height == o.height && text == o.text && spans == o.spans &&
           font == o.font;
  }
};
size_t qHash(const RowKey &k, size_t seed = 0) {
  return qHashMulti(seed, k.text, k.pixelSize, k.maxHeight, k.width, k.spans.size());
}

// A song's lyrics are some dozens of rows, each seen at a few sizes (current row, translation,
// the mini strip); past this the cache starts afresh rather than keeping every song's rows.
constexpr qsizetype kMaxCachedRows = 512;

LyricRowLayout measureRow(const QFont &base, int pixelSize, int maxHeight, const QRect &box,
                          const LyricRow &row) {
  LyricRowLayout out;
  out.box = box;
  if (row.text.isEmpty())
    return out;
  QFont font = base;
  const int smallest = qMax(6, (pixelSize * 2 + 2) / 3);
  int size = qMax(smallest, pixelSize);
  for (;; --size) {
    font.setPixelSize(size);
    const QFontMetrics metrics(font);
    const bool fits =
        metrics.horizontalAdvance(row.text) <= box.width() && metrics.height() <= maxHeight;
    if (fits || size <= smallest)
      break;
  }
  // At the smallest size, a row still too low cannot shrink further: the line height the user
  // chose is smaller than two thirds of the font, so keep the font within the row regardless.
  while (size > 6 && QFontMetrics(font).height() > maxHeight)
    font.setPixelSize(--size);
  out.font = font;
  const QFontMetrics metrics(font);
  out.shown = metrics.elidedText(row.text, Qt::ElideRight, box.width());
  // Where the painter puts the text: the same centring rule as the paint.
  const QRect drawn = metrics.boundingRect(box, kRowFlags, out.shown);
  out.left = drawn.left();
  out.right = drawn.left() + metrics.horizontalAdvance(out.shown);
  out.inkTop = box.top() + (box.height() - metrics.height()) / 2;
  out.inkBottom = out.inkTop + metrics.height();
  // Shaped once and kept; drawn where the painter's own centring of the row would put it.
  auto text = std::make_shared<QTextLayout>(out.shown, font);
  QTextOption option;
  option.setTextDirection(Qt::LeftToRight);
  option.setWrapMode(QTextOption::NoWrap);
  text->setTextOption(option);
  text->setCacheEnabled(true);
  text->beginLayout();
  QTextLine line = text->createLine();
  if (line.isValid()) {
    line.setLineWidth(box.width());
    line.setPosition(QPointF(0, 0));
  }
  text->endLayout();
  if (line.isValid())
    out.textAt = QPointF(box.left() + (box.width() - line.horizontalAdvance()) / 2,
                         box.top() + (box.height() - (line.ascent() + line.descent())) / 2);
  out.text = std::move(text);
  if (row.words.isEmpty())
    return out;
  // An elided row keeps its words up to the ellipsis; the ones after it have nothing to fill and
  // end where the shown text ends.
  const bool elided = out.shown != row.text;
  const qsizetype kept = elided ? std::max<qsizetype>(0, out.shown.size() - 1) : row.text.size();
  const QFontMetricsF exact(font);
  for (const LyricWord &w : row.words) {
    const qsizetype from = std::min(w.from, kept), to = std::min(w.from + w.length, kept);
    const qreal l = out.left + exact.horizontalAdvance(out.shown.left(from));
    const qreal r =
        to >= kept && elided ? out.right : out.left + exact.horizontalAdvance(out.shown.left(to));
    out.wordLeft.append(std::min(l, out.right));
    out.wordRight.append(std::clamp(r, std::min(l, out.right), out.right));
  }
  out.words = row.words;
  out.end = row.end;
  return out;
}
} // namespace

LyricRowLayout layoutLyricRow(const QFont &base, int pixelSize, int maxHeight, const QRect &box,
                              const LyricRow &row) {
  static QHash<RowKey, LyricRowLayout> cache;
  RowKey key{row.text, base, pixelSize, maxHeight, box.left(), box.width(), box.height(), {}};
  key.spans.reserve(row.words.size());
  for (const LyricWord &w : row.words)
    key.spans.append({w.from, w.length});
  auto found = cache.find(key);
  if (found == cache.end()) {
    if (cache.size() >= kMaxCachedRows)
      cache.clear();
    // Measured in a box at the top; each use moves it down to its own box.
    found = cache.insert(key, measureRow(base, pixelSize, maxHeight,
                                         QRect(box.left(), 0, box.width(), box.height()), row));
  }
  LyricRowLayout out = *found;
  const int dy = box.top();
  out.box = box;
  out.inkTop += dy;
  out.inkBottom += dy;
  out.textAt.ry() += dy;
  // The times are the row's own: two rows of one text may be sung at different times.
  out.words = row.words;
  out.end = row.end;
  return out;
}

qreal sweptX(const LyricRowLayout &row, double t, double nextLine) {
  if (row.words.isEmpty() || t < row.words.first().time)
    return row.left;
  qsizetype i = row.words.size() - 1;
  while (i > 0 && row.words.at(i).time > t)
    --i;
  const double start = row.words.at(i).time;
  double stop =
      i + 1 < row.words.size() ? row.words.at(i + 1).time : (row.end >= 0 ? row.end : nextLine);
  // A row sung to its end is all sung, letters reaching past their advance included.
  if (i + 1 == row.words.size() && t >= stop)
    return row.box.right() + 1;
  if (stop <= start)
    return row.wordRight.at(i);
  const double part = std::clamp((t - start) / (stop - start), 0.0, 1.0);
  return row.wordLeft.at(i) + part * (row.wordRight.at(i) - row.wordLeft.at(i));
}

void paintLyricRow(QPainter &p, const LyricRowLayout &row, const QColor &pen, const QColor &sung,
                   qreal swept) {
  if (row.isEmpty() || !row.text || row.text->lineCount() == 0)
    return;
  p.setFont(row.font);
  const QTextLine line = row.text->lineAt(0);
  if (!row.isTimed() || swept < 0) {
    p.setPen(pen);
    line.draw(&p, row.textAt);
    return;
  }
  // The same text drawn twice, each clipped to its side of the sweep, so the fill cuts through a
  // letter exactly where the song is.
  const int x = qRound(swept);
  const QRect &box = row.box;
  p.save();
  p.setClipRect(QRect(x, box.top(), std::max(0, box.right() + 1 - x), box.height()));
  p.setPen(pen);
  line.draw(&p, row.textAt);
  p.setClipRect(QRect(box.left(), box.top(), std::max(0, x - box.left()), box.height()));
  p.setPen(sung);
  line.draw(&p, row.textAt);
  p.restore();
}
