// The lyrics display in each window mode and the two lyrics colour buttons.
#include "mainface.h"

#include "dialogs/colordialog.h"
#include "kconfig.h"

#include <QPainter>
#include <QPushButton>
#include <QTransform>

namespace {
// Centred and word-wrapped; both vertical alignments are set, so a line is centred in its box.
constexpr int kLyricFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::AlignVCenter | Qt::TextWordWrap;

// The current line at `centre` + scroll, the lines before it upwards while their box still shows
// (top above -30 is gone), the lines after it downwards until `bottom`. Entry 0 is the empty
// opening entry and is never drawn.
void drawColumn(QPainter &p, const QList<LyricLine> &lines, int current, double scroll,
                int lineHeight, int centre, int bottom, int width, const QColor &currentColour,
                const QColor &otherColour) {
  p.setPen(currentColour);
  p.drawText(QRect(0, static_cast<int>(scroll) + centre, width, 40), kLyricFlags,
             lines.at(current).text);
  p.setPen(otherColour);
  double y = scroll + centre - lineHeight;
  for (int n = current - 1; n >= 1 && y > -30; --n) {
    p.drawText(QRect(0, static_cast<int>(y), width, 40), kLyricFlags, lines.at(n).text);
    y -= lineHeight;
  }
  y = scroll + centre + lineHeight;
  for (int k = current + 1; k < lines.size() && y < bottom; ++k) {
    p.drawText(QRect(0, static_cast<int>(y), width, 40), kLyricFlags, lines.at(k).text);
    y += lineHeight;
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

  switch (windowMode) {
  case MiniMode: {
    if (lyricsPixmap.width() < 240 || lyricsPixmap.height() < 23)
      lyricsPixmap = QImage(qMax(240, lyricsPixmap.width()), qMax(23, lyricsPixmap.height()),
                            QImage::Format_RGB32);
    QPainter p(&lyricsPixmap);
    p.drawImage(QPoint(0, 0), skinPixmap, QRect(0, 463, 240, 23));
    lyricFont.setPointSize(15);
    p.setFont(lyricFont);
    p.setPen(lyricsColour);
    p.drawText(QRect(0, 0, 240, 23), kLyricFlags, lines.at(current).text);
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
    lyricFont.setPointSize(lyricsFontSize);
    p.setFont(lyricFont);
    drawColumn(p, lines, current, lyricScroll, lineHeight, 55, 110, 240, lyricsColour,
               lyricsBackColour);
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
      lyricFont.setPointSize(lyricsFontSize);
      p.setFont(lyricFont);
      drawColumn(p, lines, current, lyricScroll, lineHeight, 50, 100, 320, lyricsColour,
                 lyricsBackColour);
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
  loadSettings();
}

void MainFace::openbutlrc() { chooseLyricsColour(true); }

void MainFace::openbutlrcb() { chooseLyricsColour(false); }
