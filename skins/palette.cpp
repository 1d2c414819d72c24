#include "palette.h"

#include <QTransform>

namespace skingen {

QFont font(int pixels, bool bold, bool condensed) {
  QFont f(fontFamily);
  f.setPixelSize(pixels);
  f.setBold(bold);
  if (condensed)
    f.setStretch(QFont::SemiCondensed);
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

QImage blank(int w, int h, QColor fill) {
  QImage img(w * density, h * density, QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(density);
  img.fill(fill);
  return img;
}

QImage part(const QImage &img, const QRect &r) {
  const int d = qRound(img.devicePixelRatio());
  QImage piece = img.copy(r.x() * d, r.y() * d, r.width() * d, r.height() * d);
  piece.setDevicePixelRatio(d);
  return piece;
}

QSize logicalSize(const QImage &img) { return img.deviceIndependentSize().toSize(); }

void antialias(QPainter &p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QImage turn(const QImage &landscape) {
  QImage turned = landscape.transformed(QTransform().rotate(270));
  turned.setDevicePixelRatio(landscape.devicePixelRatio());
  return turned;
}

} // namespace skingen
