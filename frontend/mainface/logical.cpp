#include "logical.h"

#include <QFileInfo>
#include <QPainter>
#include <QTransform>

#include <cmath>

void sheetCopy(QPainter &p, const QImage &source, int sx, int sy, int w, int h, int x, int y) {
  if (w <= 0 || h <= 0 || source.isNull())
    return;
  const qreal d = source.devicePixelRatio();
  if (d == 1 && p.device()->devicePixelRatio() == 1) {
    p.drawImage(QPoint(x, y), source, QRect(sx, sy, w, h));
    return;
  }
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  p.drawImage(QRectF(x, y, w, h), source, QRectF(sx * d, sy * d, w * d, h * d));
}

QImage logicalImage(int w, int h, qreal ratio) {
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096 || ratio <= 0)
    return QImage();
  QImage image(qCeil(w * ratio), qCeil(h * ratio), QImage::Format_RGB32);
  if (image.isNull())
    return image;
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::black);
  return image;
}

QImage turned(const QImage &image) {
  QImage t = image.transformed(QTransform().rotate(270));
  t.setDevicePixelRatio(image.devicePixelRatio());
  return t;
}

int sheetDensityFor(qreal ratio) {
  // A ratio a hair above a whole number (1.0000001 from a computed fit) still takes that sheet.
  const int d = static_cast<int>(std::ceil(ratio - 0.01));
  return qBound(1, d, kMaxSheetDensity);
}

QImage loadDensePicture(const QString &path, qreal ratio) {
  const QFileInfo info(path);
  const QString stem = info.path() + "/" + info.completeBaseName();
  const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
  for (int d = sheetDensityFor(ratio); d >= 1; --d) {
    const QString name = d == 1 ? path : stem + QStringLiteral("@%1x").arg(d) + suffix;
    if (d > 1 && !QFileInfo::exists(name))
      continue;
    QImage image(name, "PNG");
    if (image.isNull())
      continue;
    // An opaque picture keeps three bytes a pixel: the fourth is always 0xff, and a 3x sheet
    // is some 20 MiB at four. The toolkit packs it where it lies, so no second copy exists.
    if (image.format() == QImage::Format_RGB32)
      image.convertTo(QImage::Format_RGB888);
    else if (image.format() != QImage::Format_ARGB32_Premultiplied)
      image.convertTo(QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(d);
    return image;
  }
  return QImage();
}
