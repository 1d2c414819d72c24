#include "zpushbutton.h"

#include "uiscale.h"

ZPushButton::ZPushButton(QWidget *parent, int, int width, int height) : QPushButton(parent) {
  if (width > 0 && height > 0)
    setFixedSize(uiPx(width), uiPx(height)); // design pixels, at the window's scale
}
