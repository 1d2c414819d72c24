// The title area (scrolling title, short notices) and the time digits, in each window mode.
#include "mainface.h"

#include "logical.h"

#include <QPainter>
#include <QTimer>
#include <QTransform>

void MainFace::drawTitle() {
  if (skinPixmap.isNull() || titlePixmap.isNull())
    return;
  const int w = title_win.w(), h = title_win.h();
  QPainter p(&titlePixmap);
  sheetCopy(p, skinPixmap, title_win.sx(), title_win.sy(), w, h, 0, 0);
  p.setFont(titleFont);
  p.setPen(titlePen);
  const int flags = Qt::AlignLeft | Qt::AlignTop;
  const bool notice = noticeTicks > 0;
  if (notice) {
    --noticeTicks;
    p.drawText(QRect(0, 0, w, h), flags, noticeText);
  } else if (!titleText.isNull()) {
    if (titleWidth == -1) {
      QRect bounds;
      p.drawText(QRect(0, 0, w, h), flags, titleText, &bounds);
      titleWidth = bounds.right() - bounds.left() + 1;
      titleOffset = 0;
      titleStep = -1;
      if (w < titleWidth)
        titleOffset = 5;
    } else {
      int x;
      if (titleOffset >= 0)
        x = 0;
      else if (titleWidth + titleOffset > w)
        x = titleOffset;
      else
        x = w - titleWidth;
      // The width is the text's own, so a text wider than the area is not cut at its right.
      p.drawText(QRect(x, 0, qMax(w, titleWidth) + 1, h), flags, titleText);
    }
    if (w < titleWidth) {
      titleOffset += titleStep;
      if (titleOffset + titleWidth <= w - 3)
        titleStep = 1;
      else if (titleOffset > 4)
        titleStep = -1;
    }
  }
  p.end();

  switch (windowMode) {
  case VerticalMode:
    copyToWindow(titlePixmap, 0, 0, w, h, title_win.x(), title_win.y());
    break;
  case HorizontalMode: {
    const QImage shown = turned(titlePixmap);
    copyToWindow(shown, 0, 0, h, w, hPanelsHidden ? 10 : 21, 112);
    break;
  }
  default: // the mini strip has no title
    break;
  }
  // A title that fits stands still and no notice is left to end: the tick sleeps until the
  // title, a notice or the window's picture changes (a tick driven by hand is left alone).
  if (titleTimer && titleTimer->isActive() && !notice && titleWidth <= w) {
    titleTimer->stop();
    titleAsleep = true;
  }
}

void MainFace::showNotice(const QString &text) {
  noticeText = text;
  noticeTicks = 10; // two seconds of the 200 ms title tick
  wakeTitle();
}

void MainFace::wakeTitle() {
  if (titleAsleep && titleTimer && !titleTimer->isActive() && windowMode != MiniMode) {
    titleAsleep = false;
    titleTimer->start(200);
  }
}

void MainFace::drawTime(int seconds) {
  if (seconds < 0)
    seconds = 0;
  const QString text =
      QString::asprintf("%02d", seconds / 60) + ":" + QString::asprintf("%02d", seconds % 60);
  // Glyph numbers: digits 0 to 9, the separator is 10. Long songs give more than two minute
  // digits; only the last two fit the display.
  int glyph[5];
  const QString digits = text.right(5);
  for (int k = 0; k < 5; ++k)
    glyph[k] = digits[k] == QLatin1Char(':') ? 10 : digits[k].digitValue();

  switch (windowMode) {
  case MiniMode: {
    makeMiniImages();
    const int xs[5] = {90, 101, 114, 121, 132};
    for (int k = 0; k < 5; ++k) {
      if (k == 2)
        copyToWindow(miniButtonsPixmap, 182, 0, 4, 16, xs[k], 8);
      else
        copyToWindow(miniButtonsPixmap, 82 + 10 * glyph[k], 0, 10, 16, xs[k], 8);
    }
    break;
  }
  case VerticalMode: {
    const int w = time_win.w(), h = time_win.h();
    for (int k = 0; k < 5; ++k)
      copyToWindow(skinPixmap, time_win.sx() + glyph[k] * w, time_win.sy(), w, h,
                   time_win.x() + k * w, time_win.y());
    break;
  }
  case HorizontalMode: {
    if (timePixmap.isNull() || skinPixmap.isNull())
      return;
    const int w = time_win.w(), h = time_win.h();
    {
      QPainter p(&timePixmap);
      for (int k = 0; k < 5; ++k)
        sheetCopy(p, skinPixmap, time_win.sx() + glyph[k] * w, time_win.sy(), w, h, k * w, 0);
    }
    const QImage shown = turned(timePixmap);
    copyToWindow(shown, 0, 0, time_win.field(7), time_win.field(6), hPanelsHidden ? 5 : 40, 10);
    break;
  }
  default:
    break;
  }
}
