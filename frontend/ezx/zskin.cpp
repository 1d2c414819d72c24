#include "zskin.h"

#include "res_icon_reader.h"

#include <QImage>

ZSkin *ZSkin::skin() {
  static ZSkin theSkin;
  return &theSkin;
}

QPixmap ZSkin::getPixmap(const QString &name) const {
  QString path = RES_ICON_Reader::iconFile(name);
  return path.isEmpty() ? QPixmap() : QPixmap::fromImage(QImage(path));
}
