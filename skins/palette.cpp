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
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(fill);
  return img;
}

void antialias(QPainter &p) {
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QImage turn(const QImage &landscape) { return landscape.transformed(QTransform().rotate(270)); }

} // namespace skingen
