#include "uiscale.h"

#include <QApplication>
#include <QHash>

#include <cmath>

namespace {

qreal currentScale = 1;

// The toolkit's fonts for the classes that take the scale as they were before any scaling, so a
// scale set twice does not grow them twice.
const char *const kScaledClasses[] = {"QMenu", "QDialog", "QMessageBox"};

QHash<QByteArray, QFont> &baseFonts() {
  static QHash<QByteArray, QFont> fonts;
  return fonts;
}

QFont scaled(QFont f, qreal scale) {
  if (f.pixelSize() > 0)
    f.setPixelSize(std::max(1, qRound(f.pixelSize() * scale)));
  else if (f.pointSizeF() > 0)
    f.setPointSizeF(f.pointSizeF() * scale);
  return f;
}

} // namespace

qreal uiScale() { return currentScale; }

void setUiScale(qreal scale) {
  if (!(scale > 0) || !std::isfinite(scale))
    scale = 1;
  if (std::abs(scale - currentScale) < 1e-6 && !baseFonts().isEmpty())
    return;
  currentScale = scale;
  if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
    return;
  for (const char *cls : kScaledClasses) {
    if (!baseFonts().contains(cls))
      baseFonts().insert(cls, QApplication::font(cls));
    QApplication::setFont(scaled(baseFonts().value(cls), scale), cls);
  }
}

int uiPx(int designPixels) {
  if (designPixels == 0)
    return 0;
  const int px = qRound(designPixels * currentScale);
  if (px == 0)
    return designPixels > 0 ? 1 : -1;
  return px;
}

QFont uiFont(const QFont &base, int designPixels) {
  QFont f = base;
  f.setPixelSize(std::max(1, uiPx(designPixels)));
  return f;
}
