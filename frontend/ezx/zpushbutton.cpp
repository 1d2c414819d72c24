#include "zpushbutton.h"

ZPushButton::ZPushButton(QWidget *parent, int, int width, int height) : QPushButton(parent) {
  if (width > 0 && height > 0)
    setFixedSize(width, height);
}
