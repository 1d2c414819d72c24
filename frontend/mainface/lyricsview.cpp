// The lyrics display in each window mode and the two lyrics colour buttons.
#include "mainface.h"

#include "dialogs/colordialog.h"
#include "kconfig.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QTransform>

#include <algorithm>

namespace {
// Centred on one row: a lyric never wraps, since a second row would land on its neighbour.
constexpr int kLyricFlags = Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
// Each line's box; its text is centred in it.
constexpr int kLyricBoxHeight = 40;

// Draws one lyric line on one row of `width` pixels: a line too wide at the chosen size is drawn
// smaller, down to two thirds of it, and one still too wide is cut with an ellipsis. The size is
// a pixel size (the skin is designed in pixels) and is also kept below the row height
// `maxHeight`, so that lines `maxHeight` apart never share a pixel row.
void drawLyricLine(QPainter &p, const QFont &base, int pixelSize, int maxHeight, const QRect &box,
                   const QString &text) {
  if (text.isEmpty())
    return;
  QFont font = base;
  const int smallest = qMax(6, (pixelSize * 2 + 2) / 3);
  int size = qMax(smallest, pixelSize);
  for (;; --size) {
    font.setPixelSize(size);
    const QFontMetrics metrics(font);
    const bool fits =
        metrics.horizontalAdvance(text) <= box.width() && metrics.height() <= maxHeight;
    if (fits || size <= smallest)
      break;
  }
  // At the smallest size, a row still too low cannot shrink further: the line height the user
  // chose is smaller than two thirds of the font, so keep the font within the row regardless.
  while (size > 6 && QFontMetrics(font).height() > maxHeight)
    font.setPixelSize(--size);
  p.setFont(font);
  const QFontMetrics metrics(font);
  p.drawText(box, kLyricFlags, metrics.elidedText(text, Qt::ElideRight, box.width()));
}

// The current line at `centre` + scroll, the lines before it upwards while their box still shows
// (top above -30 is gone), the lines after it downwards until `bottom`. Entry 0 is the empty
// opening entry and is never drawn.
// Lines are drawn only while their whole row lies inside the band (`band` pixels high): a line
// scrolled half out would show cut through its letters.
void drawColumn(QPainter &p, const QFont &font, int pixelSize, const QList<LyricLine> &lines,
                int current, double scroll, int lineHeight, int centre, int bottom, int width,
                int band, const QColor &currentColour, const QColor &otherColour) {
  // Box tops are whole pixels, so neighbours may stand one pixel closer than the step.
  const int rowHeight = std::max(1, lineHeight - 1);
  auto whole = [&](double top) {
    const double middle = static_cast<int>(top) + kLyricBoxHeight / 2.0;
    return middle - rowHeight / 2.0 >= 0 && middle + rowHeight / 2.0 <= band;
  };
  p.setPen(currentColour);
  drawLyricLine(p, font, pixelSize, rowHeight,
                QRect(0, static_cast<int>(scroll) + centre, width, kLyricBoxHeight),
                lines.at(current).text);
  p.setPen(otherColour);
  double y = scroll + centre - lineHeight;
  for (int n = current - 1; n >= 1 && y > -30; --n) {
    if (whole(y))
      drawLyricLine(p, font, pixelSize, rowHeight,
                    QRect(0, static_cast<int>(y), width, kLyricBoxHeight), lines.at(n).text);
    y -= lineHeight;
  }
  y = scroll + centre + lineHeight;
  for (int k = current + 1; k < lines.size() && y < bottom; ++k) {
    if (whole(y))
      drawLyricLine(p, font, pixelSize, rowHeight,
                    QRect(0, static_cast<int>(y), width, kLyricBoxHeight), lines.at(k).text);
    y += lineHeight;
  }
}
// A still page of plain lyrics: every line in the other-lines colour, from the top of the band
// moved up by `scroll`, while the boxes still show.
void drawPage(QPainter &p, const QFont &font, int pixelSize, const QStringList &lines,
              double scroll, int lineHeight, int bottom, int width, const QColor &colour) {
  p.setPen(colour);
  const int first = std::max(0, static_cast<int>(scroll / lineHeight) - 1);
  for (int i = first; i < lines.size(); ++i) {
    const double y = 5 + i * lineHeight - scroll - (kLyricBoxHeight - lineHeight) / 2.0;
    if (y >= bottom)
      break;
    drawLyricLine(p, font, pixelSize, lineHeight - 1,
                  QRect(0, static_cast<int>(y), width, kLyricBoxHeight), lines.at(i));
  }
}
} // namespace

void MainFace::drawLyrics() {
  const QList<LyricLine> &lines = lyrics.lyricLines;
  if (!lyricsLoaded || lines.isEmpty() || skinPixmap.isNull())
    return;
  const int current = qBound(0, currentLyricLine, static_cast<int>(lines.size()) - 1);
  // A zero line height would draw the whole table on one spot; never fewer than one pixel.
  const int lineHeight = qMax(1, lyricLineHeight);
  QFont lyricFont = font();
  const bool plain = lyrics.isPlain();
  // While the stylus drags the lines they follow it; a plain page never scrolls past its end.
  const double scroll = lyricScroll + lyricsDragOffset;
  const double pageMax =
      std::max(0.0, (static_cast<double>(lyrics.plainLines.size()) - 1) * lineHeight);
  plainScroll = std::clamp(plainScroll, 0.0, pageMax);
  const double pageScroll = std::clamp(plainScroll - lyricsDragOffset, 0.0, pageMax);

  switch (windowMode) {
  case MiniMode: {
    if (lyricsPixmap.width() < 240 || lyricsPixmap.height() < 23)
      lyricsPixmap = QImage(qMax(240, lyricsPixmap.width()), qMax(23, lyricsPixmap.height()),
                            QImage::Format_RGB32);
    QPainter p(&lyricsPixmap);
    p.drawImage(QPoint(0, 0), skinPixmap, QRect(0, 463, 240, 23));
    p.setPen(lyricsColour);
    drawLyricLine(p, lyricFont, 15, 23, QRect(0, 0, 240, 23),
                  plain ? lyrics.plainLines.value(static_cast<int>(pageScroll / lineHeight))
                        : lines.at(current).text);
    p.end();
    copyToWindow(lyricsPixmap, 0, 0, 240, 23, 0, 25);
    break;
  }
  case VerticalMode: {
    if (lyricsPixmap.isNull())
      return;
    const SkinElement &e = lrcwin_show;
    QPainter p(&lyricsPixmap);
    p.drawImage(QPoint(0, 0), skinPixmap, QRect(e.sx(), e.sy(), e.w(), e.h()));
    if (plain)
      drawPage(p, lyricFont, lyricsFontSize, lyrics.plainLines, pageScroll, lineHeight, e.h(), 240,
               lyricsBackColour);
    else
      drawColumn(p, lyricFont, lyricsFontSize, lines, current, scroll, lineHeight, 55, 110, 240,
                 e.h(), lyricsColour, lyricsBackColour);
    p.end();
    copyToWindow(lyricsPixmap, 0, 0, e.w(), e.h(), e.x(), e.y());
    break;
  }
  case HorizontalMode: {
    if (rotatePixmap.isNull())
      return;
    {
      QPainter p(&rotatePixmap);
      if (wallpaperPixmap.isNull())
        p.fillRect(0, 0, 320, 120, Qt::black);
      else
        p.drawImage(QPoint(0, 0), wallpaperPixmap, QRect(0, 60, 320, 120));
      if (plain)
        drawPage(p, lyricFont, lyricsFontSize, lyrics.plainLines, pageScroll, lineHeight, 120, 320,
                 lyricsBackColour);
      else
        drawColumn(p, lyricFont, lyricsFontSize, lines, current, scroll, lineHeight, 50, 100, 320,
                   120, lyricsColour, lyricsBackColour);
    }
    // Turned like the rest of the horizontal window, so the band lands on the wallpaper rows it
    // was drawn over and reads in the same direction as the title.
    const QImage turned = rotatePixmap.transformed(QTransform().rotate(270));
    copyToWindow(turned, 0, 0, 120, 320, 60, 0);
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
