// Position bar, volume knob, play-state indicator, decoration frames and the horizontal-mode
// panel slide.
#include "mainface.h"

#include "logical.h"

#include "xmmsPlayer.h"

#include <QCoreApplication>
#include <QPainter>
#include <QThread>
#include <QTransform>

namespace {
// Shown before the percentage while the user drags the position knob.
const char kSeekLabel[] = "Seek ";
} // namespace

void MainFace::drawPosition(int percent, bool byUser) {
  if (skinPixmap.isNull())
    return;
  if (!byUser && percent == positionPercent)
    return;
  const bool horizontal = windowMode == HorizontalMode;
  if (horizontal ? hPanelsHidden : windowMode != VerticalMode)
    return;
  const SkinElement &bar = horizontal ? H_posbar : posbar;
  QImage &image = horizontal ? hPosbarPixmap : posbarPixmap;
  if (image.isNull())
    return;
  const int w = bar.w(), h = bar.h(), kx = bar.field(6), ky = bar.field(7), kw = bar.field(8),
            kh = bar.field(9);
  {
    QPainter p(&image);
    sheetCopy(p, skinPixmap, bar.sx(), bar.sy(), w, h, 0, 0);
    if (percent >= 0) {
      const bool dragged = positionDrag >= 0;
      if (horizontal)
        sheetCopy(p, skinPixmap, kx + (dragged ? kw : 0), ky, kw, kh, 1, percent * (h - 32) / 100);
      else
        sheetCopy(p, skinPixmap, kx, ky + (dragged ? kh : 0), kw, kh, percent * (w - 32) / 100, 1);
    }
  }
  copyToWindow(image, 0, 0, w, h, bar.x(), bar.y());
  positionPercent = percent;
  if (byUser) {
    noticeTicks = 5;
    noticeText = QString::fromLatin1(kSeekLabel) +
                 QString::number(horizontal ? 100 - percent : percent) + "%";
    wakeTitle();
  }
}

void MainFace::drawVolume(int value, bool pressed) {
  if (windowMode == HorizontalMode) {
    const SkinElement &e = H_VL_BTN;
    copyToWindow(skinPixmap, e.sx(), e.sy(), e.w(), e.h() + 4, e.x(), e.y() - 2);
    copyToWindow(skinPixmap, e.field(6), e.field(7) + (pressed ? e.field(9) : 0), e.field(8),
                 e.field(9), e.x(), e.y() + value * hVolumeTrack / 100);
    value = 100 - value;
  } else if (windowMode == VerticalMode) {
    const SkinElement &e = VL_BTN;
    copyToWindow(skinPixmap, e.sx(), e.sy(), e.w(), e.h(), e.x(), e.y());
    copyToWindow(skinPixmap, e.field(6), e.field(7) + (pressed ? e.field(9) : 0), e.field(8),
                 e.field(9), e.x() + value * 54 / 100 + 2, e.y());
  }
  // Mini mode has no knob; a volume key there still changes the volume.
  value = qBound(0, value, 100);
  if (value != volumePercent) {
    volumePercent = value;
    if (controller)
      controller->setVolume(value);
    noticeTicks = 10;
    noticeText = QCoreApplication::translate("velora", "Vol     ") + QString::number(value) + "%";
    wakeTitle();
  }
}

void MainFace::drawPlayStatus(int state) {
  if (windowMode != VerticalMode || skinPixmap.isNull())
    return;
  const SkinElement &e = play_display_win;
  if (state == 3 || state == 5)
    return;
  if (state == 4)
    state = 0;
  if (state < 0 || state > 2) {
    copyToWindow(skinPixmap, e.x(), e.y(), e.w(), e.h(), e.x(), e.y());
    state = playingFlag ? 0 : pausedFlag ? 1 : 2;
  }
  copyToWindow(skinPixmap, e.sx(), e.sy() + state * e.h(), e.w(), e.h(), e.x(), e.y());
}

void MainFace::drawDecorationFrame() {
  if (xmasFrame < 1 || xmasFrame > 4)
    return;
  if (xmasFrame <= 3) {
    const QImage &left = decorationLeft[xmasFrame - 1];
    const QImage &right = decorationRight[xmasFrame - 1];
    copyToWindow(left, 0, 0, left.width(), left.height(), 0, 10);
    copyToWindow(right, 0, 0, right.width(), right.height(), 100, 10);
  }
  ++xmasFrame;
  if (xmasFrame == 4)
    xmasFrame = 1;
}

void MainFace::moveskins() {
  if (windowMode != HorizontalMode || skinPixmap.isNull())
    return;
  makeHorizontalImages();
  QImage background;
  {
    QImage wall = logicalImage(kLogicalHeight, kLogicalWidth, frame.devicePixelRatio());
    QPainter r(&wall);
    if (!wallpaperPixmap.isNull())
      sheetCopy(r, wallpaperPixmap, 0, 0, kLogicalHeight, kLogicalWidth, 0, 0);
    r.end();
    background = turned(wall);
  }
  auto showFrame = [&](int offset) {
    {
      QPainter p(&frame);
      p.drawImage(0, 0, background);
      sheetCopy(p, skinPixmap, H_WIN_T.sx(), H_WIN_T.sy(), H_WIN_T.w(), H_WIN_T.h(), -offset,
                H_WIN_T.y());
      sheetCopy(p, skinPixmap, H_WIN_B.sx(), H_WIN_B.sy(), H_WIN_B.w(), H_WIN_B.h(),
                H_WIN_B.x() + offset, H_WIN_B.y());
    }
    // Each step must reach the screen before the next one is drawn.
    repaint();
    QThread::msleep(20);
  };
  frameStale = false; // the steps below are the picture; a paint must not recompose it
  if (hPanelsHidden) {
    for (int offset = 0; offset <= 64; offset += 3)
      showFrame(offset);
  } else {
    for (int offset = 65; offset >= 0; offset -= 3)
      showFrame(offset);
    repaintAll();
  }
}
