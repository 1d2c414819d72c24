// The equalizer panel's band columns and its curve display.
#include "mainface.h"

#include "logical.h"

#include <QPainter>

void MainFace::drawEqSlider(int index) {
  if (windowMode != VerticalMode || skinPixmap.isNull())
    return;
  const int kx = EQ.field(6), ky = EQ.field(7), kw = EQ.field(8), kh = EQ.field(9);
  if (index == 11) {
    const SkinElement &e = EQ_Preamp;
    copyToWindow(skinPixmap, e.sx(), e.sy(), e.w(), e.h(), e.x(), e.y());
    copyToWindow(skinPixmap, kx, ky + kh, kw, kh, e.x() + 2,
                 e.y() + e.h() / 2 - kh / 2 - eqValues[10]);
    return;
  }
  if (index < 0 || index > 9)
    return;
  const int w = EQ.w(), h = EQ.h();
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096)
    return;
  if (eqKnobPixmap.deviceIndependentSize().toSize() != QSize(w, h))
    eqKnobPixmap = logicalImage(w, h, frame.devicePixelRatio());
  const int colX = EQ.x() + index * EQ.field(10), v = eqValues[index];
  {
    QPainter p(&eqKnobPixmap);
    sheetCopy(p, skinPixmap, colX, EQ.y(), w, h, 0, 0);
    if (v < 0)
      sheetCopy(p, skinPixmap, EQ.sx() + (v / 2 + 13) * w, EQ.sy(), w, h, 0, 0);
    else
      sheetCopy(p, skinPixmap, EQ.sx() + (v / 2) * w, EQ.sy() + h, w, h, 0, 0);
    sheetCopy(p, skinPixmap, kx, ky + kh, kw, kh, 1, h / 2 - kh / 2 - v);
  }
  copyToWindow(eqKnobPixmap, 0, 0, w, h, colX, EQ.y());
}

void MainFace::drawEqCurve() {
  if (windowMode != VerticalMode || skinPixmap.isNull() || eqCurvePixmap.isNull())
    return;
  const SkinElement &e = eqalzr_win;
  const int colourX = e.field(6), zeroY = e.field(7);
  {
    QPainter p(&eqCurvePixmap);
    sheetCopy(p, skinPixmap, e.sx(), e.sy(), e.field(6), e.field(7), 0, 0);
    for (int j = 0; j < 9; ++j) {
      for (int k = 0; k < 12; ++k) {
        const int x = 12 * j + k;
        const int level = ((11 - k) * eqValues[j] + k * eqValues[j + 1]) / 33;
        sheetCopy(p, skinPixmap, colourX, zeroY - level, 1, 1, x, 10 - level);
      }
    }
  }
  copyToWindow(eqCurvePixmap, 0, 0, e.w(), e.h(), e.x(), e.y());
}
