#include "util_pushbutton.h"

#include "uiscale.h"
#include "zskin.h"

#include <QPainter>

const int UTIL_PushButton::defaultWidth = 60;
const int UTIL_PushButton::defaultHeight = 30;

UTIL_PushButton::UTIL_PushButton(const QString &skinName, const QString &text, QWidget *parent, int,
                                 int width, int height)
    : QPushButton(text, parent), face(skinName), facePixmap(ZSkin::skin()->getPixmap(skinName)) {
  // Sizes are the design's; the button grows with the window's scale.
  setFixedSize(uiPx(width > 0 ? width : defaultWidth), uiPx(height > 0 ? height : defaultHeight));
  setFocusPolicy(Qt::NoFocus);
}

void UTIL_PushButton::paintEvent(QPaintEvent *e) {
  if (facePixmap.isNull()) {
    QPushButton::paintEvent(e);
    return;
  }
  QPainter p(this);
  p.drawPixmap(rect(), facePixmap);
  if (isDown())
    p.fillRect(rect(), QColor(0, 0, 0, 70));
  if (!text().isEmpty()) {
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, text());
  }
}
